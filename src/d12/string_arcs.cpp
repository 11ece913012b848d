#include "d12/string_arcs.h"

#include <algorithm>

#include "d12/string_records.h"
#include "d12/string_walk.h"

namespace velmorak::d12 {
namespace {

constexpr double kPi = 3.14159265358979323846;

double height(double z, float null_value) {
    return std::isnan(z) || !has_elevation(static_cast<float>(z), null_value) ? StringArcs::kNone : z;
}

void add_vertex(StringRecord& s, double x, double y, double z) {
    s.x.push_back(x);
    s.y.push_back(y);
    s.z.push_back(z);
    s.has_heights = s.has_heights || !std::isnan(z);
}

}  // namespace

void apply_arcs(const StringArcs& a, float null_value, StringRecord& s) {
    s.radius.clear();
    s.major.clear();
    const bool centred = !std::isnan(a.centre[0]) && !std::isnan(a.centre[1]) && !std::isnan(a.radius) && a.radius != 0.0;
    if (s.x.empty() && centred) {
        // An arc or circle string: its start and end, or a circle's point due east of its centre and
        // the one opposite, joined by arcs of its radius.
        const double r = a.radius;
        const bool arc = !std::isnan(a.start[0]) && !std::isnan(a.start[1]) && !std::isnan(a.end[0]) &&
                         !std::isnan(a.end[1]) && (a.start[0] != a.end[0] || a.start[1] != a.end[1]);
        if (arc) {
            const double zc = height(a.centre[2], null_value);
            const double z0 = std::isnan(height(a.start[2], null_value)) ? zc : height(a.start[2], null_value);
            const double z1 = std::isnan(height(a.end[2], null_value)) ? zc : height(a.end[2], null_value);
            add_vertex(s, a.start[0], a.start[1], z0);
            add_vertex(s, a.end[0], a.end[1], z1);
            // The arc runs clockwise for a positive radius; it is the major one when it sweeps over half a turn.
            const double a0 = std::atan2(a.start[1] - a.centre[1], a.start[0] - a.centre[0]);
            const double a1 = std::atan2(a.end[1] - a.centre[1], a.end[0] - a.centre[0]);
            double sweep = r > 0.0 ? a0 - a1 : a1 - a0;
            while (sweep <= 0.0) sweep += 2.0 * kPi;
            while (sweep > 2.0 * kPi) sweep -= 2.0 * kPi;
            s.radius.assign({r, 0.0});
            s.major.assign({static_cast<unsigned char>(sweep > kPi ? 1 : 0), 0});
        } else {
            const double R = std::fabs(r);
            const double z = height(a.centre[2], null_value);
            add_vertex(s, a.centre[0] + R, a.centre[1], z);
            add_vertex(s, a.centre[0] - R, a.centre[1], z);
            add_vertex(s, a.centre[0] + R, a.centre[1], z);
            s.radius.assign({r, r, 0.0});
            s.major.assign({0, 0, 0});
            s.closed = true;
        }
        return;
    }
    const std::size_t n = s.x.size();
    const std::size_t segments = std::min(n > 0 ? n - 1 : 0, a.segment_radius.size());
    bool any = false;
    for (std::size_t i = 0; i < segments && !any; ++i) any = a.segment_radius[i] != 0.0;
    if (!any) return;
    s.radius.assign(n, 0.0);
    s.major.assign(n, 0);
    for (std::size_t i = 0; i < segments; ++i) {
        s.radius[i] = a.segment_radius[i];
        s.major[i] = i < a.segment_major.size() ? a.segment_major[i] : 0;
    }
}

}  // namespace velmorak::d12
