#pragma once
// Side and intersection tests for segments and lines. Stateless; nothing here
// fails. The "_8" twins take double coordinates; SAME_SIDE_8, and with it
// INTERSECT_LINE_8, rounds its six differences to float, while
// INTERSECTION_POINT_8 works in double throughout.
#include <cstdint>

namespace velmorak::util {

// Positive when P3 and P4 lie strictly on the same side of the line P1P2,
// negative when on opposite sides, zero when either lies on it.
float SAME_SIDE(float x1, float y1, float x2, float y2, float x3, float y3, float x4, float y4);
float SAME_SIDE_8(double x1, double y1, double x2, double y2, double x3, double y3, double x4, double y4);

// P3 lies on the line through P1 and P2.
bool INTERSECT_POINT(float x1, float y1, float x2, float y2, float x3, float y3);
// Segments P1P2 and P3P4 meet; touching counts, and so do any two segments on
// one line, even apart.
bool INTERSECT_LINE(float x1, float y1, float x2, float y2, float x3, float y3, float x4, float y4);
bool INTERSECT_LINE_8(double x1, double y1, double x2, double y2, double x3, double y3, double x4, double y4);
// -1 collinear, 0 parallel, 3 crossing inside both segments, 1 inside the
// first only, 2 inside the second only, 4 outside both. A segment's start
// point is not inside it; its end point is.
std::int32_t INTERSECT_LINE_V2(float x1, float y1, float x2, float y2, float x3, float y3, float x4, float y4);
// Crossing point of the infinite lines P1P2 and P3P4; false (x, y untouched)
// when they are parallel or both vertical.
bool INTERSECTION_POINT(float x1, float y1, float x2, float y2, float x3, float y3, float x4, float y4, float& x,
                        float& y);
bool INTERSECTION_POINT_8(double x1, double y1, double x2, double y2, double x3, double y3, double x4, double y4,
                          double& x, double& y);

}  // namespace velmorak::util
