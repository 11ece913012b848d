#pragma once
// Elevations along one breakline polyline once its vertices have been
// snapped: the vertices between two snapped vertices are interpolated by the
// distance walked along the polyline, and the vertices before the first and
// after the last snapped vertex take that vertex's elevation.
//
// Distances are DISTANCE_8 between consecutive vertices, summed in single
// precision, and the interpolation is done in single precision. A run of
// vertices whose walked length is exactly zero takes the mean of the two
// snapped elevations at its ends.
#include <cstdint>
#include <span>

namespace velmorak::mif2d12 {

// Vertices 1..n are x[0..n-1], y, z, snapped. On entry z holds the snapped
// elevations at snapped vertices (others are overwritten), and at least one
// vertex is snapped. True when the first or the last vertex is not snapped:
// the polyline dangles.
bool interpolate_elevations(std::span<const double> x, std::span<const double> y, std::span<float> z,
                            std::span<const bool> snapped, std::int32_t n);

}  // namespace velmorak::mif2d12
