#pragma once
// What the geometry sources share and their callers never see: the float
// rounding the single-precision routines depend on, the small tolerance, INT,
// and the walk over the parts of a multi-part polygon.
//
// Include it after every other header: the rounding settings below apply to
// all code that follows them in the source.
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string_view>

// The single-precision routines must round every intermediate to float, as the
// results depend on it (tolerances, exact side and slope comparisons). x86-64
// evaluates float in float; fused multiply-adds would skip a rounding, so
// contraction is switched off for every geometry source whatever the target.
static_assert(FLT_EVAL_METHOD == 0, "float arithmetic must not keep excess precision");
#if defined(__clang__)
#pragma clang fp contract(off)
#elif defined(__GNUC__)
#pragma GCC optimize("fp-contract=off")
#endif

namespace velmorak::util::detail {

// 1.0E-6 held in single precision.
constexpr float kTolerance = 1.0e-6f;

// INT: truncation toward zero. Out-of-range values are clamped with room left
// for the +1 and -1 the callers apply; not a number gives 0.
inline std::int32_t int_part(double value) {
    constexpr double kHigh = std::numeric_limits<std::int32_t>::max() - 2;
    constexpr double kLow = std::numeric_limits<std::int32_t>::min() + 2;
    if (std::isnan(value)) return 0;
    if (value >= kHigh) return static_cast<std::int32_t>(kHigh);
    if (value <= kLow) return static_cast<std::int32_t>(kLow);
    return static_cast<std::int32_t>(value);
}

// Writes the bad-part-list message naming `routine` and stops the run.
[[noreturn]] void bad_part_list(std::string_view routine);

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

// The routine names the bad-part-list message gives.
constexpr std::string_view kInsideRoutine = "inside_polygon";
constexpr std::string_view kGridRoutine = "grid_inside_polygon";

}  // namespace velmorak::util::detail
