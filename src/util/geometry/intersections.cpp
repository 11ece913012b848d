#include "util/geometry/intersections.h"

#include "util/geometry/internal.h"

namespace velmorak::util {
namespace {

// Both twins compare their coordinates exactly and differ only in the type
// the slopes and the crossing are computed in.
template <class T>
bool intersection_point(T x1, T y1, T x2, T y2, T x3, T y3, T x4, T y4, T& x, T& y) {
    if (x1 != x2 && x3 != x4) {
        const T m1 = (y2 - y1) / (x2 - x1);
        const T m2 = (y4 - y3) / (x4 - x3);
        if (m1 == m2) return false;
        x = (x3 * m2 - y3 + y1 - x1 * m1) / (m2 - m1);
        y = (x - x3) * m2 + y3;
        return true;
    }
    if (x1 != x2) {
        const T m1 = (y2 - y1) / (x2 - x1);
        x = x3;
        y = (x3 - x1) * m1 + y1;
        return true;
    }
    if (x3 != x4) {
        const T m2 = (y4 - y3) / (x4 - x3);
        x = x1;
        y = (x1 - x3) * m2 + y3;
        return true;
    }
    return false;
}

}  // namespace

float SAME_SIDE(float x1, float y1, float x2, float y2, float x3, float y3, float x4, float y4) {
    const float dx = x2 - x1;
    const float dy = y2 - y1;
    return ((y3 - y1) * dx - (x3 - x1) * dy) * ((y4 - y2) * dx - (x4 - x2) * dy);
}

float SAME_SIDE_8(double x1, double y1, double x2, double y2, double x3, double y3, double x4, double y4) {
    const float dx = static_cast<float>(x2 - x1);
    const float dy = static_cast<float>(y2 - y1);
    const float dy3 = static_cast<float>(y3 - y1);
    const float dx3 = static_cast<float>(x3 - x1);
    const float dy4 = static_cast<float>(y4 - y2);
    const float dx4 = static_cast<float>(x4 - x2);
    return (dy3 * dx - dx3 * dy) * (dy4 * dx - dx4 * dy);
}

bool INTERSECT_POINT(float x1, float y1, float x2, float y2, float x3, float y3) {
    return SAME_SIDE(x1, y1, x2, y2, x3, y3, x3, y3) == 0.0f;
}

bool INTERSECT_LINE(float x1, float y1, float x2, float y2, float x3, float y3, float x4, float y4) {
    const float s1 = SAME_SIDE(x1, y1, x2, y2, x3, y3, x4, y4);
    const float s2 = SAME_SIDE(x3, y3, x4, y4, x1, y1, x2, y2);
    return s1 <= 0.0f && s2 <= 0.0f;
}

bool INTERSECT_LINE_8(double x1, double y1, double x2, double y2, double x3, double y3, double x4, double y4) {
    const float s1 = SAME_SIDE_8(x1, y1, x2, y2, x3, y3, x4, y4);
    const float s2 = SAME_SIDE_8(x3, y3, x4, y4, x1, y1, x2, y2);
    return s1 <= 0.0f && s2 <= 0.0f;
}

std::int32_t INTERSECT_LINE_V2(float x1, float y1, float x2, float y2, float x3, float y3, float x4, float y4) {
    const float d = (x2 - x1) * (y4 - y3) - (y2 - y1) * (x4 - x3);
    const float na = (x4 - x3) * (y1 - y3) - (y4 - y3) * (x1 - x3);
    const float nb = (x2 - x1) * (y1 - y3) - (y2 - y1) * (x1 - x3);
    if (d == 0.0f) return na == 0.0f && nb == 0.0f ? -1 : 0;
    const float ua = na / d;
    const float ub = nb / d;
    const bool on_first = ua > 0.0f && ua <= 1.0f;
    const bool on_second = ub > 0.0f && ub <= 1.0f;
    if (on_first && on_second) return 3;
    if (on_first) return 1;
    if (on_second) return 2;
    return 4;
}

bool INTERSECTION_POINT(float x1, float y1, float x2, float y2, float x3, float y3, float x4, float y4, float& x,
                        float& y) {
    return intersection_point<float>(x1, y1, x2, y2, x3, y3, x4, y4, x, y);
}

bool INTERSECTION_POINT_8(double x1, double y1, double x2, double y2, double x3, double y3, double x4, double y4,
                          double& x, double& y) {
    return intersection_point<double>(x1, y1, x2, y2, x3, y3, x4, y4, x, y);
}

}  // namespace velmorak::util
