#pragma once
// A grid index over the breakline points that answers the snapping search
// with the same point as the plain scan of findSnappedPoint (the first point
// in table order that snaps), at a cost that grows with points plus vertices
// instead of their product.
//
// The plane is cut into square cells many times the tolerance wide. Every
// point is listed in each cell its tolerance box reaches (one, sometimes two
// or four), so a vertex looks in its own cell only: any point that snaps to it
// has the vertex inside its box, and the cell of a coordinate never decreases
// as the coordinate grows, so rounding cannot move the vertex out of the cells
// the box was given. A cell lists its points in table order, each with its
// coordinates, so the first that snaps is the answer.
//
// Cells are numbered from the lowest corner of the points' boxes and held in
// an open-addressing hash of their 64-bit number. Cell numbers are clamped to
// 2^31 in each axis (the cell widens when the points spread that far), so
// extreme coordinates share edge cells but are still compared exactly. Points
// that are not finite never snap and are left out.
//
// find_all answers a whole run of vertices, fetching the hash slots and cell
// lists of later vertices while it compares the current one: the index is far
// larger than the caches, so the waits for memory overlap instead of adding up.
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "util/big_array.h"

namespace velmorak::mif2d12 {

class SnapIndex {
public:
    // Indexes points 0..count-1 of x and y.
    void build(std::span<const double> x, std::span<const double> y, std::int32_t count);

    // The lowest-numbered point that snaps to the vertex, -1 when none does.
    std::int32_t find(double vertex_x, double vertex_y) const;

    // find for vertices 0..out.size()-1 of x and y, into out.
    void find_all(std::span<const double> x, std::span<const double> y, std::span<std::int32_t> out) const;

private:
    static constexpr std::uint64_t kNoKey = ~std::uint64_t{0};
    struct Slot {
        std::uint64_t key = kNoKey;  // cell number: column << 32 | row
        std::int32_t begin = 0;      // the cell's entries in members_
        std::int32_t end = 0;
    };
    struct Member {
        double x;
        double y;
        std::int32_t point;
    };

    bool place_grid(std::span<const double> x, std::span<const double> y, std::size_t n);
    void fill(std::span<const double> x, std::span<const double> y, std::size_t n, std::size_t entries);
    template <typename Visit>
    void for_each_cell(double px, double py, Visit&& visit) const;
    std::int64_t cell(double v, double origin) const;
    std::uint64_t vertex_key(double vertex_x, double vertex_y) const;  // kNoKey when no point can snap
    std::size_t home(std::uint64_t key) const;
    const Slot* slot_of(std::uint64_t key) const;  // nullptr when the cell is empty
    Slot& insert(std::uint64_t key);
    std::int32_t first_snapping(const Slot& slot, double vertex_x, double vertex_y) const;

    double origin_x_ = 0.0;
    double origin_y_ = 0.0;
    double cells_per_unit_ = 1.0;  // the reciprocal of the cell size
    util::BigArray<Slot> slots_;
    util::BigArray<Member> members_;  // every cell's list, filled whole by build
    std::uint64_t mask_ = 0;
};

}  // namespace velmorak::mif2d12
