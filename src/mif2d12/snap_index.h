#pragma once
// A grid index over the breakline points that answers the snapping search
// with the same point as the plain scan of findSnappedPoint (the first point
// in table order that snaps), at a cost that grows with points plus vertices
// instead of their product.
//
// Points are grouped into square cells twice the tolerance wide, found
// through an open-addressing hash of the cell coordinates; each cell lists
// its points in table order. A vertex looks only at the cells its tolerance
// box can reach: every point that can snap lies in them, since the cell of a
// coordinate never decreases as the coordinate grows. Points that are not
// finite never snap and are left out; cell coordinates beyond 2^62 are
// clamped, so huge coordinates share edge cells but are still compared
// exactly.
#include <cstdint>
#include <span>
#include <vector>

namespace velmorak::mif2d12 {

class SnapIndex {
public:
    // Indexes points 0..count-1; x and y must stay unchanged while the index is used.
    void build(std::span<const double> x, std::span<const double> y, std::int32_t count);

    // The lowest-numbered point that snaps to the vertex, -1 when none does.
    std::int32_t find(double vertex_x, double vertex_y) const;

private:
    struct Cell {
        std::int64_t cx;
        std::int64_t cy;
        std::int32_t begin;  // first entry in members_
        std::int32_t end;
    };
    std::int32_t lookup(std::int64_t cx, std::int64_t cy) const;
    std::int32_t insert(std::int64_t cx, std::int64_t cy);

    std::span<const double> x_;
    std::span<const double> y_;
    std::vector<Cell> cells_;
    std::vector<std::int32_t> members_;  // point numbers, cell after cell, ascending within a cell
    std::vector<std::int32_t> slots_;    // hash slots: a cell number or -1
    std::uint64_t mask_ = 0;
};

}  // namespace velmorak::mif2d12
