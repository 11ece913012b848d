#include "util/geometry/polygons.h"

#include <algorithm>
#include <limits>
#include <string>
#include <string_view>
#include <type_traits>

#include "services/runtime.h"
#include "util/geometry/intersections.h"
#include "util/geometry/internal.h"

namespace velmorak::util {
namespace detail {

[[noreturn]] void bad_part_list(std::string_view routine) {
    constexpr std::string_view kSupportAddress = "support@velmorak.example";
    services::Console& con = services::runtime().console;
    std::string text = "Invalid number of polygons in region sent to ";
    text.append(routine);
    text.append(" routine - contact ");
    text.append(kSupportAddress);
    con.end_line();
    con.line(text);
    services::STOPRUN();
}

}  // namespace detail

namespace {

using detail::for_each_part;
using detail::int_part;

template <class T>
bool inside_polygon(T px, T py, const T* x, const T* y, std::int32_t n, T xref, const std::int32_t* ends,
                    std::int32_t nparts) {
    const T ray_end = xref - T(10.0);
    const auto crosses_ray = [&](T x1, T y1, T x2, T y2) {
        if constexpr (std::is_same_v<T, float>) return INTERSECT_LINE(px, py, ray_end, py, x1, y1, x2, y2);
        else return INTERSECT_LINE_8(px, py, ray_end, py, x1, y1, x2, y2);
    };
    std::int32_t crossings = 0;
    for_each_part(n, ends, nparts, detail::kInsideRoutine, [&](std::int32_t first, std::int32_t last) {
        // y of the last vertex off the ray's line before the vertex on it.
        T before = py;
        if (y[first] == py) {
            // The part is closed: what precedes its first vertex is its
            // second-to-last vertex, or the last one off the line before that.
            for (std::int32_t i = last - 1; i > first; --i) {
                if (y[i] != py) {
                    before = y[i];
                    break;
                }
            }
        }
        for (std::int32_t i = first + 1; i <= last; ++i) {
            const T x1 = x[i - 1];
            const T y1 = y[i - 1];
            const T x2 = x[i];
            const T y2 = y[i];
            if (y1 == y2) continue;
            if (y2 == py) {
                before = y1;
                continue;
            }
            if (y1 == py && x1 <= px) {
                if ((before - py) * (y2 - py) < T(0)) ++crossings;
                continue;
            }
            if (crosses_ray(x1, y1, x2, y2)) ++crossings;
        }
    });
    return crossings % 2 == 1;
}

}  // namespace

bool INSIDE_POLYGON(float px, float py, const float* x, const float* y, std::int32_t n, float xref,
                    const std::int32_t* ends, std::int32_t nparts) {
    return inside_polygon<float>(px, py, x, y, n, xref, ends, nparts);
}

bool INSIDE_POLYGON_8(double px, double py, const double* x, const double* y, std::int32_t n, double xref,
                      const std::int32_t* ends, std::int32_t nparts) {
    return inside_polygon<double>(px, py, x, y, n, xref, ends, nparts);
}

void points_inside_polygon_8(std::int32_t* flags, const double* px, const double* py, std::int32_t k,
                             std::int32_t& count, const double* x, const double* y, std::int32_t n,
                             const std::int32_t* ends, std::int32_t nparts) {
    double x0 = std::numeric_limits<double>::infinity();
    double y0 = x0;
    for (std::int32_t i = 0; i < n; ++i) {
        x0 = std::min(x0, x[i]);
        y0 = std::min(y0, y[i]);
    }
    x0 -= 1.0;
    y0 -= 1.0;
    // The flags count the crossings left of each point until the parity is taken.
    for (std::int32_t p = 0; p < k; ++p) flags[p] = 0;

    // Every vertex lies at least 1 above y0, so for a point at height h above
    // y0 the quotient (y - y0)/h truncates to 0 exactly for vertices below the
    // point's line; likewise for x and the crossings left of the point.
    for_each_part(n, ends, nparts, detail::kGridRoutine, [&](std::int32_t first, std::int32_t last) {
        for (std::int32_t i = first + 1; i <= last; ++i) {
            const double x1 = x[i - 1];
            const double y1 = y[i - 1];
            const double x2 = x[i];
            const double y2 = y[i];
            for (std::int32_t p = 0; p < k; ++p) {
                if (!(py[p] >= y0 + 1.0 && px[p] >= x0 + 1.0)) continue;
                const double h = py[p] - y0;
                const std::int32_t a = int_part((y1 - y0) / h);
                const std::int32_t b = int_part((y2 - y0) / h);
                if (a == b || (a != 0 && b != 0)) continue;
                const double xc = x1 == x2 ? x1 : x1 + (py[p] - y1) * (x2 - x1) / (y2 - y1);
                if (int_part((xc - x0) / (px[p] - x0)) < 1) ++flags[p];
            }
        }
    });

    count = 0;
    for (std::int32_t p = 0; p < k; ++p) {
        flags[p] = flags[p] % 2 != 0 ? 1 : 0;
        count += flags[p];
    }
}

}  // namespace velmorak::util
