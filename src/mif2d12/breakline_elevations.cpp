#include "mif2d12/breakline_elevations.h"

#include "util/geometry.h"

namespace velmorak::mif2d12 {

bool interpolate_elevations(std::span<const double> x, std::span<const double> y, std::span<float> z,
                            std::span<const bool> snapped, std::int32_t n) {
    // 1-based positions as in the walk's description; vertex k is element k-1.
    auto at = [](std::int32_t k) { return static_cast<std::size_t>(k - 1); };
    auto segment = [&](std::int32_t k) {  // from vertex k-1 to vertex k
        return util::DISTANCE_8(x[at(k - 1)], y[at(k - 1)], x[at(k)], y[at(k)]);
    };

    bool dangle = false;
    std::int32_t k = 2;
    while (k <= n) {
        // One run: from vertex i to the next snapped vertex, or to the last vertex.
        const std::int32_t i = k - 1;
        float walked = 0.0f;
        while (k < n && !snapped[at(k)]) {
            walked += segment(k);
            ++k;
        }
        walked += segment(k);
        if (i == 1 && !snapped[at(1)]) {
            z[at(1)] = z[at(k)];
            dangle = true;
        }
        if (k == n && !snapped[at(n)]) {
            z[at(n)] = z[at(i)];
            dangle = true;
        }
        if (k - i > 1) {
            const float zi = z[at(i)];
            const float zk = z[at(k)];
            float distance = 0.0f;
            for (std::int32_t j = i + 1; j <= k - 1; ++j) {
                distance += segment(j);
                z[at(j)] = walked == 0.0f ? (zi + zk) / 2.0f : zi + (zk - zi) * distance / walked;
            }
        }
        ++k;
    }
    return dangle;
}

}  // namespace velmorak::mif2d12
