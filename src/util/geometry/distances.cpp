#include "util/geometry/distances.h"

#include <cmath>

#include "util/geometry/internal.h"

namespace velmorak::util {
namespace {

using detail::kTolerance;

float distance_of(float dx, float dy) {
    dx = std::fabs(dx);
    dy = std::fabs(dy);
    if (dx < kTolerance && dy < kTolerance) return 0.0f;
    return std::sqrt(dx * dx + dy * dy);
}

}  // namespace

float DISTANCE(float x1, float y1, float x2, float y2) {
    return distance_of(x2 - x1, y2 - y1);
}

float DISTANCE_8(double x1, double y1, double x2, double y2) {
    return distance_of(static_cast<float>(x2 - x1), static_cast<float>(y2 - y1));
}

float VECTOR_MAGNITUDE(float u, float v) {
    if (std::fabs(u) <= kTolerance && std::fabs(v) <= kTolerance) return 0.0f;
    return std::sqrt(u * u + v * v);
}

float ANGLE2D(double x1, double y1, double x2, double y2, double x3, double y3, double x4, double y4) {
    const double tolerance = kTolerance;
    if (std::fabs(x2 - x1) < tolerance || std::fabs(x4 - x3) < tolerance) return 0.0f;
    const double degrees = 180.0 / std::acos(-1.0);
    const double a1 = std::atan2(y2 - y1, x2 - x1) * degrees;
    const double a2 = std::atan2(y4 - y3, x4 - x3) * degrees;
    double angle = std::fabs(a2 - a1);
    if (angle > 180.0) angle = 360.0 - angle;
    return static_cast<float>(angle);
}

bool SAME_POINT(float x1, float y1, float x2, float y2, float tolerance) {
    return std::fabs(x1 - x2) < tolerance && std::fabs(y1 - y2) < tolerance;
}

bool SAME_POINT_8(double x1, double y1, double x2, double y2, double tolerance) {
    return std::fabs(x1 - x2) < tolerance && std::fabs(y1 - y2) < tolerance;
}

void GEO_SHIFT(const double* x, const double* y, std::int32_t n, double x0, double y0, float angle, float* u,
               float* v) {
    // The angle is a float, and so are its cosine and sine.
    const double c = std::cos(angle);
    const double s = std::sin(angle);
    for (std::int32_t i = 0; i < n; ++i) {
        const double dx = x[i] - x0;
        const double dy = y[i] - y0;
        u[i] = static_cast<float>(dx * c + dy * s);
        v[i] = static_cast<float>(dy * c - dx * s);
    }
}

}  // namespace velmorak::util
