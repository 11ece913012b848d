#pragma once
// Linear interpolation of an elevation inside a triangle or a quadrilateral.
// Coordinates are float, or double in the "_8" twins; elevations are float in
// both. INTERPOLATE_ELEMENT_8 tests whether the point lies inside with
// INSIDE_POLYGON_8, which cannot fail on the element it builds.
#include <cstdint>

namespace velmorak::util {

// The elevation that interpolation answers when it finds none.
inline constexpr float kNoValue = -99999.0f;

// Elevation at P from the triangle x[0..2], y[0..2], z[0..2]; false with
// z = -99999.0 when the construction finds no crossing point. Distances are
// unsigned, so the plane through the vertices is reproduced only inside.
bool INTERPOLATE_TRIANGLE(float px, float py, const float* x, const float* y, const float* z, float& zout);
bool INTERPOLATE_TRIANGLE_8(double px, double py, const double* x, const double* y, const float* z, float& zout);
// Elevation at P inside a triangle (nv = 3) or quadrilateral (nv = 4, the mean
// over the four triangles left when one vertex is dropped that hold P). False
// when P is outside (z untouched for a triangle, -99999.0 for a
// quadrilateral) and for any other vertex count (z untouched).
bool INTERPOLATE_ELEMENT_8(double px, double py, const double* x, const double* y, const float* z, std::int32_t nv,
                           double xref, float& zout);

}  // namespace velmorak::util
