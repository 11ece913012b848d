#pragma once
// Null heights among real ones. A null elevation is never written as if it
// were a height: a string surveyed with a gap in its levels (a vertex the
// surveyor could not reach, a null written by the terrain package for a
// point off the surface) keeps its real heights, and the gap takes the
// height of the line between its neighbours. The GDAL driver fills gaps this
// way by default, and the C interface offers the same routine
// (velmorak_d12_fill_null_heights), so that both give the same heights.
#include <cstddef>

namespace velmorak::d12 {

// Fills each NaN of z[0..n) in a string that has a real height: linearly
// along the string's plan length (the running sum of sqrt(dx*dx + dy*dy)
// from its first vertex) between the nearest real heights before and after
// it; before the first real height and after the last it takes that nearest
// height; where its two neighbours lie at the same plan distance it takes the
// earlier one's. A string of null heights only is left as it is. Returns the
// number of heights filled. Nothing is allocated.
std::size_t fill_null_heights(const double* x, const double* y, double* z, std::size_t n) noexcept;

}  // namespace velmorak::d12
