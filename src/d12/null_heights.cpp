#include "d12/null_heights.h"

#include <cmath>

namespace velmorak::d12 {

std::size_t fill_null_heights(const double* x, const double* y, double* z, std::size_t n) noexcept {
    std::size_t first = 0;
    while (first < n && std::isnan(z[first])) ++first;
    if (first == n) return 0;
    std::size_t filled = first;
    for (std::size_t i = 0; i < first; ++i) z[i] = z[first];
    // The plan distance of vertex i is the sum of the segments before it, one
    // after the other from the first vertex: a gap's vertices sum the same
    // segments again from the real height before the gap, in the same order,
    // and so get the distances a running sum over the whole string gives.
    double along = 0.0;  // plan distance of vertex `i`
    std::size_t before = first;
    double before_along = 0.0;
    for (std::size_t i = 1; i < n; ++i) {
        const double dx = x[i] - x[i - 1];
        const double dy = y[i] - y[i - 1];
        along += std::sqrt(dx * dx + dy * dy);
        if (i <= first) {
            before_along = along;
            continue;
        }
        if (std::isnan(z[i])) continue;
        if (i > before + 1) {
            const double span = along - before_along;
            double at = before_along;
            for (std::size_t k = before + 1; k < i; ++k) {
                const double ex = x[k] - x[k - 1];
                const double ey = y[k] - y[k - 1];
                at += std::sqrt(ex * ex + ey * ey);
                z[k] = span > 0.0 ? z[before] + (z[i] - z[before]) * ((at - before_along) / span) : z[before];
            }
            filled += i - before - 1;
        }
        before = i;
        before_along = along;
    }
    for (std::size_t k = before + 1; k < n; ++k) z[k] = z[before];
    return filled + (n - before - 1);
}

}  // namespace velmorak::d12
