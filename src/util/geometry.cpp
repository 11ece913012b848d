#include "util/geometry.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstddef>
#include <limits>
#include <string>
#include <string_view>

#include "services/runtime.h"

// The single-precision routines must round every intermediate to float, as the
// results depend on it (tolerances, exact side and slope comparisons). x86-64
// evaluates float in float; fused multiply-adds would skip a rounding, so
// contraction is switched off for this file whatever the target.
static_assert(FLT_EVAL_METHOD == 0, "float arithmetic must not keep excess precision");
#if defined(__clang__)
#pragma clang fp contract(off)
#elif defined(__GNUC__)
#pragma GCC optimize("fp-contract=off")
#endif

namespace velmorak::util {
namespace {

constexpr float kTolerance = 1.0e-6f;
constexpr float kCircleTolerance = 1.0e-5f;
constexpr std::string_view kSupportAddress = "support@velmorak.example";
constexpr std::string_view kInsideRoutine = "inside_polygon";
constexpr std::string_view kGridRoutine = "grid_inside_polygon";

// INT: truncation toward zero. Out-of-range values are clamped with room left
// for the +1 and -1 the callers apply; not a number gives 0.
std::int32_t int_part(double value) {
    constexpr double kHigh = std::numeric_limits<std::int32_t>::max() - 2;
    constexpr double kLow = std::numeric_limits<std::int32_t>::min() + 2;
    if (std::isnan(value)) return 0;
    if (value >= kHigh) return static_cast<std::int32_t>(kHigh);
    if (value <= kLow) return static_cast<std::int32_t>(kLow);
    return static_cast<std::int32_t>(value);
}

// NINT: nearest whole number, halves away from zero, clamped like int_part.
std::int32_t nint(float value) {
    return int_part(std::round(static_cast<double>(value)));
}

// Adding to an integer cell wraps around instead of overflowing.
std::int32_t wrapping_add(std::int32_t a, std::int32_t b) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(a) + static_cast<std::uint32_t>(b));
}

[[noreturn]] void bad_part_list(std::string_view routine) {
    services::Console& con = services::runtime().console;
    std::string text = "Invalid number of polygons in region sent to ";
    text.append(routine);
    text.append(" routine - contact ");
    text.append(kSupportAddress);
    con.end_line();
    con.line(text);
    services::STOPRUN();
}

// Calls part(first, last) with the 0-based indexes of each part's first and
// last vertex, in order, until the next part would begin beyond vertex n.
// Parts that run out early, end before they begin or end beyond vertex n stop
// the run, so every index handed out lies inside the vertex list.
template <class Part>
void for_each_part(std::int32_t n, const std::int32_t* ends, std::int32_t nparts, std::string_view routine,
                   Part&& part) {
    std::int64_t start = 1;  // 1-based first vertex of the next part
    for (std::int32_t k = 0;; ++k) {
        if (start > n) return;
        if (k >= nparts) bad_part_list(routine);
        const std::int64_t end = ends[k];
        if (end < start || end > n) bad_part_list(routine);
        part(static_cast<std::int32_t>(start - 1), static_cast<std::int32_t>(end - 1));
        start = end + 2;
    }
}

float distance_of(float dx, float dy) {
    dx = std::fabs(dx);
    dy = std::fabs(dy);
    if (dx < kTolerance && dy < kTolerance) return 0.0f;
    return std::sqrt(dx * dx + dy * dy);
}

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

bool intersect_line(float x1, float y1, float x2, float y2, float x3, float y3, float x4, float y4) {
    return INTERSECT_LINE(x1, y1, x2, y2, x3, y3, x4, y4);
}
bool intersect_line(double x1, double y1, double x2, double y2, double x3, double y3, double x4, double y4) {
    return INTERSECT_LINE_8(x1, y1, x2, y2, x3, y3, x4, y4);
}
bool interpolate_triangle(float px, float py, const float* x, const float* y, const float* z, float& zout) {
    return INTERPOLATE_TRIANGLE(px, py, x, y, z, zout);
}
bool interpolate_triangle(double px, double py, const double* x, const double* y, const float* z, float& zout) {
    return INTERPOLATE_TRIANGLE_8(px, py, x, y, z, zout);
}

template <class T>
bool inside_polygon(T px, T py, const T* x, const T* y, std::int32_t n, T xref, const std::int32_t* ends,
                    std::int32_t nparts) {
    const T ray_end = xref - T(10.0);
    std::int32_t crossings = 0;
    for_each_part(n, ends, nparts, kInsideRoutine, [&](std::int32_t first, std::int32_t last) {
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
            if (intersect_line(px, py, ray_end, py, x1, y1, x2, y2)) ++crossings;
        }
    });
    return crossings % 2 == 1;
}

// The cell action shared by the grid and the point list, on element c of the
// value arrays; an array the action does not need is not touched.
template <class T>
void act_on(std::int32_t* ivalues, float* rvalues, std::size_t c, bool set_integer, bool set_real, float v,
            bool add, T px, T py, const T* x, const T* y, const float* z, std::int32_t n) {
    if (set_integer) {
        const std::int32_t value = nint(v);
        ivalues[c] = add ? wrapping_add(ivalues[c], value) : value;
    } else if (set_real) {
        rvalues[c] = add ? rvalues[c] + v : v;
    } else if (n == 5) {
        float zv = 0.0f;
        if (interpolate_triangle(px, py, x, y, z, zv)) rvalues[c] = add ? rvalues[c] + zv : zv;
    }
}

template <class T>
void grid_fill(std::span<std::uint8_t> inside, std::span<std::uint8_t> crossings, std::span<std::int32_t> ivalues,
               std::span<float> rvalues, std::int32_t nr, std::int32_t nc, float dx, float dy, std::int32_t margin_y,
               std::int32_t margin_x, bool clear, bool act, bool set_integer, bool set_real, float v, bool add,
               std::int32_t& r_lo, std::int32_t& j_lo, std::int32_t& r_hi, std::int32_t& j_hi,
               std::int32_t& n_acted, const T* x, const T* y, const float* z, std::int32_t n,
               const std::int32_t* ends, std::int32_t nparts) {
    T xmin = std::numeric_limits<T>::infinity();
    T ymin = xmin;
    T xmax = -xmin;
    T ymax = -xmin;
    for (std::int32_t i = 0; i < n; ++i) {
        xmin = std::min(xmin, x[i]);
        xmax = std::max(xmax, x[i]);
        ymin = std::min(ymin, y[i]);
        ymax = std::max(ymax, y[i]);
    }
    const T cell_x = dx;
    const T cell_y = dy;
    // Negative margins would reach outside the grid; the range never does.
    r_lo = std::max({int_part(ymin / cell_y) + 1, margin_y + 1, 1});
    r_hi = std::min({int_part(ymax / cell_y) + 1, nr - margin_y, nr});
    j_lo = std::max({int_part(xmin / cell_x) + 1, margin_x + 1, 1});
    j_hi = std::min({int_part(xmax / cell_x) + 1, nc - margin_x, nc});
    if (r_hi < r_lo || j_hi < j_lo) {
        n_acted = 0;
        return;
    }

    const auto cell = [nc](std::int32_t r, std::int32_t j) {
        return static_cast<std::size_t>(r - 1) * static_cast<std::size_t>(nc) + static_cast<std::size_t>(j - 1);
    };
    for (std::int32_t r = r_lo; r <= r_hi; ++r) {
        for (std::int32_t j = j_lo; j <= j_hi; ++j) {
            crossings[cell(r, j)] = 0;
            if (clear) inside[cell(r, j)] = 0;
        }
    }

    // Each edge adds one crossing per scan line it passes to the cell holding
    // the crossing; crossings left of the range go to its first column so that
    // the parity there is right, those right of it cannot matter.
    const std::int32_t row_lo = r_lo;
    const std::int32_t row_hi = r_hi;
    const std::int32_t col_lo = j_lo;
    const std::int32_t col_hi = j_hi;
    const auto scan_row = [row_lo, row_hi, cell_y](T yv) {
        return std::clamp(int_part(yv / cell_y) + 1, row_lo, row_hi + 1);
    };
    for_each_part(n, ends, nparts, kGridRoutine, [&](std::int32_t first, std::int32_t last) {
        for (std::int32_t i = first + 1; i <= last; ++i) {
            const T x1 = x[i - 1];
            const T y1 = y[i - 1];
            const T x2 = x[i];
            const T y2 = y[i];
            const std::int32_t t1 = scan_row(y1);
            const std::int32_t t2 = scan_row(y2);
            if (t1 == t2) continue;
            for (std::int32_t r = std::min(t1, t2); r < std::max(t1, t2); ++r) {
                const T line_y = static_cast<float>(r) * dy;
                const T xc = x1 == x2 ? x1 : x1 + (line_y - y1) * (x2 - x1) / (y2 - y1);
                const std::int32_t j = int_part(xc / cell_x) + 1;
                if (j > col_hi) continue;
                ++crossings[cell(r, std::max(j, col_lo))];
            }
        }
    });

    n_acted = 0;
    for (std::int32_t r = r_lo; r <= r_hi; ++r) {
        bool in = false;
        for (std::int32_t j = j_lo; j <= j_hi; ++j) {
            const std::size_t c = cell(r, j);
            if (crossings[c] % 2 == 1) in = !in;
            if (!in) continue;
            inside[c] = 1;
            if (!act) continue;
            ++n_acted;
            act_on<T>(ivalues.data(), rvalues.data(), c, set_integer, set_real, v, add, static_cast<float>(j) * dx,
                      static_cast<float>(r) * dy, x, y, z, n);
        }
    }
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

bool INSIDE_POLYGON(float px, float py, const float* x, const float* y, std::int32_t n, float xref,
                    const std::int32_t* ends, std::int32_t nparts) {
    return inside_polygon<float>(px, py, x, y, n, xref, ends, nparts);
}

bool INSIDE_POLYGON_8(double px, double py, const double* x, const double* y, std::int32_t n, double xref,
                      const std::int32_t* ends, std::int32_t nparts) {
    return inside_polygon<double>(px, py, x, y, n, xref, ends, nparts);
}

void grid_inside_polygon(std::span<std::uint8_t> inside, std::span<std::uint8_t> crossings,
                         std::span<std::int32_t> ivalues, std::span<float> rvalues, std::int32_t nr, std::int32_t nc,
                         float dx, float dy, std::int32_t margin_y, std::int32_t margin_x, bool clear, bool act,
                         bool set_integer, bool set_real, float v, bool add, std::int32_t& r_lo, std::int32_t& j_lo,
                         std::int32_t& r_hi, std::int32_t& j_hi, std::int32_t& n_acted, const float* x,
                         const float* y, const float* z, std::int32_t n, const std::int32_t* ends,
                         std::int32_t nparts) {
    grid_fill<float>(inside, crossings, ivalues, rvalues, nr, nc, dx, dy, margin_y, margin_x, clear, act, set_integer,
                     set_real, v, add, r_lo, j_lo, r_hi, j_hi, n_acted, x, y, z, n, ends, nparts);
}

void grid_inside_polygon_8(std::span<std::uint8_t> inside, std::span<std::uint8_t> crossings,
                           std::span<std::int32_t> ivalues, std::span<float> rvalues, std::int32_t nr,
                           std::int32_t nc, float dx, float dy, std::int32_t margin_y, std::int32_t margin_x,
                           bool clear, bool act, bool set_integer, bool set_real, float v, bool add,
                           std::int32_t& r_lo, std::int32_t& j_lo, std::int32_t& r_hi, std::int32_t& j_hi,
                           std::int32_t& n_acted, const double* x, const double* y, const float* z, std::int32_t n,
                           const std::int32_t* ends, std::int32_t nparts) {
    grid_fill<double>(inside, crossings, ivalues, rvalues, nr, nc, dx, dy, margin_y, margin_x, clear, act,
                      set_integer, set_real, v, add, r_lo, j_lo, r_hi, j_hi, n_acted, x, y, z, n, ends, nparts);
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
    for_each_part(n, ends, nparts, kGridRoutine, [&](std::int32_t first, std::int32_t last) {
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

void set_points_value_8(const std::int32_t* flags, const double* px, const double* py, std::int32_t* ivalues,
                        float* rvalues, std::int32_t k, bool set_integer, bool set_real, float v, bool add,
                        const double* x, const double* y, const float* z, std::int32_t n) {
    for (std::int32_t p = 0; p < k; ++p) {
        if (flags[p] != 1) continue;
        act_on<double>(ivalues, rvalues, static_cast<std::size_t>(p), set_integer, set_real, v, add, px[p], py[p], x,
                       y, z, n);
    }
}

bool INTERPOLATE_TRIANGLE(float px, float py, const float* x, const float* y, const float* z, float& zout) {
    float qx = 0.0f;
    float qy = 0.0f;
    if (!INTERSECTION_POINT(x[0], y[0], x[1], y[1], x[2], y[2], px, py, qx, qy)) {
        zout = kNoValue;
        return false;
    }
    const float d12 = DISTANCE(x[0], y[0], x[1], y[1]);
    const float zq = d12 < kTolerance ? z[0] + (z[1] - z[0]) / 2.0f
                                      : z[0] + (z[1] - z[0]) * DISTANCE(x[0], y[0], qx, qy) / d12;
    const float d3q = DISTANCE(x[2], y[2], qx, qy);
    zout = d3q < kTolerance ? z[2] + (zq - z[2]) / 2.0f : z[2] + (zq - z[2]) * DISTANCE(x[2], y[2], px, py) / d3q;
    return true;
}

bool INTERPOLATE_TRIANGLE_8(double px, double py, const double* x, const double* y, const float* z, float& zout) {
    double qx = 0.0;
    double qy = 0.0;
    if (!INTERSECTION_POINT_8(x[0], y[0], x[1], y[1], x[2], y[2], px, py, qx, qy)) {
        zout = kNoValue;
        return false;
    }
    const float d12 = DISTANCE_8(x[0], y[0], x[1], y[1]);
    const float zq = d12 < kTolerance ? z[0] + (z[1] - z[0]) / 2.0f
                                      : z[0] + (z[1] - z[0]) * DISTANCE_8(x[0], y[0], qx, qy) / d12;
    const float d3q = DISTANCE_8(x[2], y[2], qx, qy);
    zout = d3q < kTolerance ? z[2] + (zq - z[2]) / 2.0f
                            : z[2] + (zq - z[2]) * DISTANCE_8(x[2], y[2], px, py) / d3q;
    return true;
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

void SET_SUB_GRID_AREA(const float* x, const float* y, std::int32_t n, float size, std::int32_t cells_y,
                       std::int32_t cells_x, std::int32_t& lo_y, std::int32_t& lo_x, std::int32_t& hi_y,
                       std::int32_t& hi_x, float& xmin, float& ymin, float& xmax, float& ymax) {
    if (n < 1) return;
    xmin = xmax = x[0];
    ymin = ymax = y[0];
    for (std::int32_t i = 1; i < n; ++i) {
        xmin = std::min(xmin, x[i]);
        xmax = std::max(xmax, x[i]);
        ymin = std::min(ymin, y[i]);
        ymax = std::max(ymax, y[i]);
    }
    lo_x = std::max(int_part(xmin / size) + 1, 0);
    hi_x = std::min(int_part(xmax / size) + 1, cells_x);
    lo_y = std::max(int_part(ymin / size) + 1, 0);
    hi_y = std::min(int_part(ymax / size) + 1, cells_y);
}

void HYD_PARAM(float x1, float z1, float x2, float z2, float level, float enable, float& area, float& width,
               float& perimeter) {
    area = 0.0f;
    width = 0.0f;
    perimeter = 0.0f;
    if (!(enable > 0.0f)) return;
    const float w = x2 - x1;
    if (level >= z1 && level >= z2) {
        area = w * (level - (z1 + z2) / 2.0f);
        width = w;
        perimeter = DISTANCE(x1, z1, x2, z2);
    } else if (level >= z1) {
        // Only the first end is wet: the water reaches the bed part way along.
        width = w * (level - z1) / (z2 - z1);
        area = width * (level - z1) / 2.0f;
        perimeter = DISTANCE(x1, z1, x1 + width, level);
    } else if (level >= z2) {
        width = w * (level - z2) / (z1 - z2);
        area = width * (level - z2) / 2.0f;
        perimeter = DISTANCE(x2 - width, level, x2, z2);
    }
}

void HYD_PARAM2(float x1, float z1, float enable1, float x2, float z2, float enable2, float level, float& area1,
                float& area2, float& width1, float& width2, float& perimeter1, float& perimeter2) {
    const float xm = (x1 + x2) / 2.0f;
    const float zm = (z1 + z2) / 2.0f;
    HYD_PARAM(x1, z1, xm, zm, level, enable1, area1, width1, perimeter1);
    HYD_PARAM(xm, zm, x2, z2, level, enable2, area2, width2, perimeter2);
}

float CIRCLE_WIDTH(float radius, float depth) {
    if (depth < kCircleTolerance || depth > 2.0f * radius - kCircleTolerance) return 0.0f;
    const float offset = radius - depth;
    return 2.0f * std::sqrt(radius * radius - offset * offset);
}

}  // namespace velmorak::util
