#include "util/geometry/grid_fill.h"

#include <algorithm>
#include <cstddef>
#include <limits>
#include <type_traits>

#include "util/geometry/interpolation.h"
#include "util/geometry/internal.h"

namespace velmorak::util {
namespace {

using detail::int_part;

// NINT: nearest whole number, halves away from zero, clamped like int_part.
std::int32_t nint(float value) {
    return int_part(std::round(static_cast<double>(value)));
}

// Adding to an integer cell wraps around instead of overflowing.
std::int32_t wrapping_add(std::int32_t a, std::int32_t b) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(a) + static_cast<std::uint32_t>(b));
}

// The cell action shared by the grid and the point list, on element c of the
// value arrays; an array the action does not need is not touched.
template <class T>
void act_on(std::int32_t* ivalues, float* rvalues, std::size_t c, const CellAction& action, T px, T py, const T* x,
            const T* y, const float* z, std::int32_t n) {
    if (action.set_integer) {
        const std::int32_t value = nint(action.v);
        ivalues[c] = action.add ? wrapping_add(ivalues[c], value) : value;
    } else if (action.set_real) {
        rvalues[c] = action.add ? rvalues[c] + action.v : action.v;
    } else if (n == 5) {
        float zv = 0.0f;
        bool found = false;
        if constexpr (std::is_same_v<T, float>) found = INTERPOLATE_TRIANGLE(px, py, x, y, z, zv);
        else found = INTERPOLATE_TRIANGLE_8(px, py, x, y, z, zv);
        if (found) rvalues[c] = action.add ? rvalues[c] + zv : zv;
    }
}

template <class T>
GridRange grid_fill(const CellGrid& grid, bool clear, bool act, const CellAction& action, const T* x, const T* y,
                    const float* z, std::int32_t n, const std::int32_t* ends, std::int32_t nparts) {
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
    const float dx = grid.dx;
    const float dy = grid.dy;
    const T cell_x = dx;
    const T cell_y = dy;
    const std::int32_t nr = grid.nr;
    const std::int32_t nc = grid.nc;
    GridRange range;
    // Negative margins would reach outside the grid; the range never does.
    range.r_lo = std::max({int_part(ymin / cell_y) + 1, grid.margin_y + 1, 1});
    range.r_hi = std::min({int_part(ymax / cell_y) + 1, nr - grid.margin_y, nr});
    range.j_lo = std::max({int_part(xmin / cell_x) + 1, grid.margin_x + 1, 1});
    range.j_hi = std::min({int_part(xmax / cell_x) + 1, nc - grid.margin_x, nc});
    const std::int32_t r_lo = range.r_lo;
    const std::int32_t r_hi = range.r_hi;
    const std::int32_t j_lo = range.j_lo;
    const std::int32_t j_hi = range.j_hi;
    if (r_hi < r_lo || j_hi < j_lo) return range;

    const auto cell = [nc](std::int32_t r, std::int32_t j) {
        return static_cast<std::size_t>(r - 1) * static_cast<std::size_t>(nc) + static_cast<std::size_t>(j - 1);
    };
    for (std::int32_t r = r_lo; r <= r_hi; ++r) {
        for (std::int32_t j = j_lo; j <= j_hi; ++j) {
            grid.crossings[cell(r, j)] = 0;
            if (clear) grid.inside[cell(r, j)] = 0;
        }
    }

    // Each edge adds one crossing per scan line it passes to the cell holding
    // the crossing; crossings left of the range go to its first column so that
    // the parity there is right, those right of it cannot matter.
    const auto scan_row = [r_lo, r_hi, cell_y](T yv) { return std::clamp(int_part(yv / cell_y) + 1, r_lo, r_hi + 1); };
    detail::for_each_part(n, ends, nparts, detail::kGridRoutine, [&](std::int32_t first, std::int32_t last) {
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
                if (j > j_hi) continue;
                ++grid.crossings[cell(r, std::max(j, j_lo))];
            }
        }
    });

    for (std::int32_t r = r_lo; r <= r_hi; ++r) {
        bool in = false;
        for (std::int32_t j = j_lo; j <= j_hi; ++j) {
            const std::size_t c = cell(r, j);
            if (grid.crossings[c] % 2 == 1) in = !in;
            if (!in) continue;
            grid.inside[c] = 1;
            if (!act) continue;
            ++range.n_acted;
            act_on<T>(grid.ivalues.data(), grid.rvalues.data(), c, action, static_cast<float>(j) * dx,
                      static_cast<float>(r) * dy, x, y, z, n);
        }
    }
    return range;
}

}  // namespace

GridRange grid_inside_polygon(const CellGrid& grid, bool clear, bool act, const CellAction& action, const float* x,
                              const float* y, const float* z, std::int32_t n, const std::int32_t* ends,
                              std::int32_t nparts) {
    return grid_fill<float>(grid, clear, act, action, x, y, z, n, ends, nparts);
}

GridRange grid_inside_polygon_8(const CellGrid& grid, bool clear, bool act, const CellAction& action,
                                const double* x, const double* y, const float* z, std::int32_t n,
                                const std::int32_t* ends, std::int32_t nparts) {
    return grid_fill<double>(grid, clear, act, action, x, y, z, n, ends, nparts);
}

void set_points_value_8(const std::int32_t* flags, const double* px, const double* py, std::int32_t* ivalues,
                        float* rvalues, std::int32_t k, const CellAction& action, const double* x, const double* y,
                        const float* z, std::int32_t n) {
    for (std::int32_t p = 0; p < k; ++p) {
        if (flags[p] != 1) continue;
        act_on<double>(ivalues, rvalues, static_cast<std::size_t>(p), action, px[p], py[p], x, y, z, n);
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

}  // namespace velmorak::util
