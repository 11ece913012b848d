#include "mif2d12/snapping.h"

namespace velmorak::mif2d12 {

bool findSnappedPoint(double vertex_x, double vertex_y, float default_z, std::span<const double> point_x,
                      std::span<const double> point_y, std::span<const float> point_z, std::span<bool> used,
                      std::int32_t count, float& z) {
    for (std::size_t i = 0; i < static_cast<std::size_t>(count); ++i) {
        if (!snaps(vertex_x, vertex_y, point_x[i], point_y[i])) continue;
        z = point_z[i];
        used[i] = true;
        return true;
    }
    z = default_z;
    return false;
}

}  // namespace velmorak::mif2d12
