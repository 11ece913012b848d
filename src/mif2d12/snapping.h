#pragma once
// Snapping polyline vertices onto breakline points: the point table, the
// snapping test and findSnappedPoint, the plain scan that defines which point
// a vertex takes.
//
// A point snaps to a vertex when it lies within the tolerance of 0.001 map
// units (held in single precision, so slightly above 0.001) separately in X
// and in Y, both strictly. The first point in table order that does so wins,
// whether or not another vertex took it before; the nearer of two candidates
// is not sought. Points and vertices that are not finite never snap.
//
// findSnappedPoint looks at every point for every vertex; the conversion
// asks the grid index of snap_index.h, which gives the same answers.
#include <cmath>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "util/big_array.h"

namespace velmorak::mif2d12 {

inline constexpr float kSnapTolerance = 0.001f;

// The snapping test, the one both searches use: differences in double
// precision against the single-precision tolerance widened.
inline bool snaps(double vertex_x, double vertex_y, double point_x, double point_y) noexcept {
    constexpr double tolerance = kSnapTolerance;
    return std::fabs(vertex_x - point_x) < tolerance && std::fabs(vertex_y - point_y) < tolerance;
}

// The breakline points of a run, numbered in the order the points layer holds
// them (0-based here): X and Y, the elevation, and whether a vertex took it.
// Sized once for the run. Only points 0..count-1 are ever read, so the
// coordinate and elevation columns are left uninitialised: the memory of the
// million-point table is touched only as far as the layer fills it.
struct BreaklinePoints {
    explicit BreaklinePoints(std::int32_t capacity_)
        : capacity(capacity_),
          x_store(static_cast<std::size_t>(capacity_)),
          y_store(static_cast<std::size_t>(capacity_)),
          z_store(static_cast<std::size_t>(capacity_)),
          used_flags(new bool[static_cast<std::size_t>(capacity_)]()) {}

    std::span<bool> used() noexcept { return {used_flags.get(), static_cast<std::size_t>(capacity)}; }
    std::span<const bool> used() const noexcept { return {used_flags.get(), static_cast<std::size_t>(capacity)}; }

    std::int32_t capacity;
    std::int32_t count = 0;

private:
    util::BigArray<double> x_store;
    util::BigArray<double> y_store;
    util::BigArray<float> z_store;

public:
    std::span<double> x = x_store.span();
    std::span<double> y = y_store.span();
    std::span<float> z = z_store.span();
    std::unique_ptr<bool[]> used_flags;
};

// Scans points 0..count-1 in order for the first that snaps to the vertex.
// Found: z receives its elevation, its used flag is set, true. Otherwise z
// receives default_z, false.
bool findSnappedPoint(double vertex_x, double vertex_y, float default_z, std::span<const double> point_x,
                      std::span<const double> point_y, std::span<const float> point_z, std::span<bool> used,
                      std::int32_t count, float& z);

}  // namespace velmorak::mif2d12
