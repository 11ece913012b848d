#include "util/geometry/hydraulics.h"

#include <cmath>

#include "util/geometry/distances.h"
#include "util/geometry/internal.h"

namespace velmorak::util {

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
    constexpr float kCircleTolerance = 1.0e-5f;
    if (depth < kCircleTolerance || depth > 2.0f * radius - kCircleTolerance) return 0.0f;
    const float offset = radius - depth;
    return 2.0f * std::sqrt(radius * radius - offset * offset);
}

}  // namespace velmorak::util
