#include "util/geometry/interpolation.h"

#include <type_traits>

#include "util/geometry/distances.h"
#include "util/geometry/intersections.h"
#include "util/geometry/polygons.h"
#include "util/geometry/internal.h"

namespace velmorak::util {
namespace {

using detail::kTolerance;

// Q is where the line from the third vertex through P crosses the line V1V2;
// the elevation at Q comes from V1 and V2, the one at P from V3 and Q. The
// twins differ only in the coordinates' type; elevations are float in both.
template <class T>
bool interpolate_triangle(T px, T py, const T* x, const T* y, const float* z, float& zout) {
    const auto distance = [](T x1, T y1, T x2, T y2) {
        if constexpr (std::is_same_v<T, float>) return DISTANCE(x1, y1, x2, y2);
        else return DISTANCE_8(x1, y1, x2, y2);
    };
    T qx = 0;
    T qy = 0;
    bool crossing = false;
    if constexpr (std::is_same_v<T, float>) {
        crossing = INTERSECTION_POINT(x[0], y[0], x[1], y[1], x[2], y[2], px, py, qx, qy);
    } else {
        crossing = INTERSECTION_POINT_8(x[0], y[0], x[1], y[1], x[2], y[2], px, py, qx, qy);
    }
    if (!crossing) {
        zout = kNoValue;
        return false;
    }
    const float d12 = distance(x[0], y[0], x[1], y[1]);
    const float zq = d12 < kTolerance ? z[0] + (z[1] - z[0]) / 2.0f
                                      : z[0] + (z[1] - z[0]) * distance(x[0], y[0], qx, qy) / d12;
    const float d3q = distance(x[2], y[2], qx, qy);
    zout = d3q < kTolerance ? z[2] + (zq - z[2]) / 2.0f : z[2] + (zq - z[2]) * distance(x[2], y[2], px, py) / d3q;
    return true;
}

}  // namespace

bool INTERPOLATE_TRIANGLE(float px, float py, const float* x, const float* y, const float* z, float& zout) {
    return interpolate_triangle<float>(px, py, x, y, z, zout);
}

bool INTERPOLATE_TRIANGLE_8(double px, double py, const double* x, const double* y, const float* z, float& zout) {
    return interpolate_triangle<double>(px, py, x, y, z, zout);
}

bool INTERPOLATE_ELEMENT_8(double px, double py, const double* x, const double* y, const float* z, std::int32_t nv,
                           double xref, float& zout) {
    // One triangle as a closed one-part polygon: three vertices, the repeat of
    // the first, and the spare vertex that follows every part.
    const auto inside_triangle = [&](const double* tx, const double* ty) {
        const double poly_x[5] = {tx[0], tx[1], tx[2], tx[0], tx[0]};
        const double poly_y[5] = {ty[0], ty[1], ty[2], ty[0], ty[0]};
        const std::int32_t ends[1] = {4};
        return INSIDE_POLYGON_8(px, py, poly_x, poly_y, 5, xref, ends, 1);
    };
    if (nv == 3) {
        if (!inside_triangle(x, y)) return false;
        return INTERPOLATE_TRIANGLE_8(px, py, x, y, z, zout);
    }
    if (nv != 4) return false;

    float sum = 0.0f;
    std::int32_t found = 0;
    for (std::int32_t left_out = 0; left_out < 4; ++left_out) {
        double tx[3];
        double ty[3];
        float tz[3];
        std::int32_t m = 0;
        for (std::int32_t i = 0; i < 4; ++i) {
            if (i == left_out) continue;
            tx[m] = x[i];
            ty[m] = y[i];
            tz[m] = z[i];
            ++m;
        }
        float zv = 0.0f;
        if (inside_triangle(tx, ty) && INTERPOLATE_TRIANGLE_8(px, py, tx, ty, tz, zv)) {
            sum += zv;
            ++found;
        }
    }
    if (found == 0) {
        zout = kNoValue;
        return false;
    }
    zout = sum / static_cast<float>(found);
    return true;
}

}  // namespace velmorak::util
