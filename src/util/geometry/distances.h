#pragma once
// Lengths, angles, coincidence of points, and points in turned local axes.
// Stateless; nothing here fails. The "_8" twins take double coordinates but
// answer in float, DISTANCE_8 after rounding its two differences to float.
#include <cstdint>

namespace velmorak::util {

float DISTANCE(float x1, float y1, float x2, float y2);
float DISTANCE_8(double x1, double y1, double x2, double y2);
float VECTOR_MAGNITUDE(float u, float v);
// Angle in degrees, 0 to 180, between the directions P1->P2 and P3->P4; 0 when
// either direction is vertical (|dx| below 1.0E-6).
float ANGLE2D(double x1, double y1, double x2, double y2, double x3, double y3, double x4, double y4);

bool SAME_POINT(float x1, float y1, float x2, float y2, float tolerance);
bool SAME_POINT_8(double x1, double y1, double x2, double y2, double tolerance);

// Points in axes with origin (x0, y0) turned by `angle` radians.
void GEO_SHIFT(const double* x, const double* y, std::int32_t n, double x0, double y0, float angle, float* u,
               float* v);

}  // namespace velmorak::util
