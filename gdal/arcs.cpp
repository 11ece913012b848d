#include "arcs.h"

#include <cmath>
#include <memory>

namespace velmorak::gdal12 {
namespace {

constexpr double kPi = 3.14159265358979323846;

}  // namespace

bool arc_through(double x0, double y0, double x1, double y1, double radius, bool major, double& cx, double& cy,
                 double& a0, double& sweep) {
    const double dx = x1 - x0;
    const double dy = y1 - y0;
    const double chord = std::sqrt(dx * dx + dy * dy);
    const double r = std::fabs(radius);
    if (!(r > 0.0) || !(chord > 0.0) || chord > 2.0 * r) return false;
    const double half = chord / 2.0;
    const double d = std::sqrt(std::fmax(0.0, r * r - half * half));
    // The centre of a clockwise minor arc lies to the right of the chord; a major arc's, or an
    // anticlockwise arc's, to its left.
    const double side = (radius > 0.0) != major ? 1.0 : -1.0;
    cx = x0 + dx / 2.0 + side * d * (dy / chord);
    cy = y0 + dy / 2.0 - side * d * (dx / chord);
    a0 = std::atan2(y0 - cy, x0 - cx);
    const double a1 = std::atan2(y1 - cy, x1 - cx);
    sweep = radius > 0.0 ? a0 - a1 : a1 - a0;
    while (sweep <= 0.0) sweep += 2.0 * kPi;
    while (sweep > 2.0 * kPi) sweep -= 2.0 * kPi;
    return true;
}

OGRGeometry* arc_geometry(const double* x, const double* y, const double* z, std::size_t n, const double* radius,
                          const unsigned char* major, ArcMode mode, double tolerance) {
    auto add = [&](OGRSimpleCurve& c, double px, double py, double pz) {
        if (z != nullptr)
            c.addPoint(px, py, pz);
        else
            c.addPoint(px, py);
    };
    auto line = std::make_unique<OGRLineString>();
    std::unique_ptr<OGRCompoundCurve> compound;
    std::unique_ptr<OGRCircularString> arcs;
    if (mode == ArcMode::curves) compound = std::make_unique<OGRCompoundCurve>();
    // Ends the run of straight segments or of arcs being built, into the compound curve.
    auto flush = [&](bool straight) {
        if (straight && line->getNumPoints() > 1) compound->addCurveDirectly(line.release());
        if (!straight && arcs && arcs->getNumPoints() > 2) compound->addCurveDirectly(arcs.release());
        if (!line) line = std::make_unique<OGRLineString>();
        if (!arcs) arcs = std::make_unique<OGRCircularString>();
        if (straight) line->empty();
        else arcs->empty();
    };
    if (mode == ArcMode::curves) arcs = std::make_unique<OGRCircularString>();
    for (std::size_t i = 0; i < n; ++i) {
        const double zi = z != nullptr ? z[i] : 0.0;
        double cx = 0.0, cy = 0.0, a0 = 0.0, sweep = 0.0;
        const double ri = radius != nullptr ? radius[i] : 0.0;
        const bool mi = major != nullptr && major[i] != 0;
        const bool arc = mode != ArcMode::chords && i + 1 < n &&
                         arc_through(x[i], y[i], x[i + 1], y[i + 1], ri, mi, cx, cy, a0, sweep);
        const double r = std::fabs(ri);
        const double turn = ri > 0.0 ? -1.0 : 1.0;  // clockwise: the angle falls
        const double z1 = z != nullptr && i + 1 < n ? z[i + 1] : 0.0;
        if (mode == ArcMode::curves) {
            if (arc) {
                if (line->getNumPoints() > 0) {
                    add(*line, x[i], y[i], zi);
                    flush(true);
                }
                if (arcs->getNumPoints() == 0) add(*arcs, x[i], y[i], zi);
                const double am = a0 + turn * sweep / 2.0;
                add(*arcs, cx + r * std::cos(am), cy + r * std::sin(am), (zi + z1) / 2.0);
                add(*arcs, x[i + 1], y[i + 1], z1);
            } else {
                if (arcs->getNumPoints() > 0) flush(false);
                add(*line, x[i], y[i], zi);
            }
            continue;
        }
        add(*line, x[i], y[i], zi);
        if (!arc) continue;
        // Steps of equal angle, each chord within the tolerance of the arc: r (1 - cos(step / 2)) <= tolerance.
        const double step = 2.0 * std::acos(std::fmax(-1.0, 1.0 - tolerance / r));
        const double steps = step > 0.0 ? std::ceil(sweep / step) : 1.0;
        const long count = steps < 1.0 ? 1 : steps > 100000.0 ? 100000 : static_cast<long>(steps);
        for (long k = 1; k < count; ++k) {
            const double t = static_cast<double>(k) / static_cast<double>(count);
            const double ak = a0 + turn * sweep * t;
            add(*line, cx + r * std::cos(ak), cy + r * std::sin(ak), zi + (z1 - zi) * t);
        }
    }
    if (mode != ArcMode::curves) return line.release();
    flush(true);
    flush(false);
    return compound.release();
}

void add_arc_extent(const double* x, const double* y, std::size_t n, const double* radius, const unsigned char* major,
                    OGREnvelope& e) {
    for (std::size_t i = 0; i + 1 < n; ++i) {
        double cx = 0.0, cy = 0.0, a0 = 0.0, sweep = 0.0;
        if (!arc_through(x[i], y[i], x[i + 1], y[i + 1], radius[i], major[i] != 0, cx, cy, a0, sweep)) continue;
        const double r = std::fabs(radius[i]);
        const double turn = radius[i] > 0.0 ? -1.0 : 1.0;
        // The arc reaches the east, north, west or south of its circle where it sweeps past that angle.
        for (int quarter = -8; quarter <= 8; ++quarter) {
            const double a = quarter * kPi / 2.0;
            const double along = turn * (a - a0);
            if (along <= 0.0 || along >= sweep) continue;
            const double px = cx + r * std::cos(a);
            const double py = cy + r * std::sin(a);
            e.MinX = std::fmin(e.MinX, px);
            e.MaxX = std::fmax(e.MaxX, px);
            e.MinY = std::fmin(e.MinY, py);
            e.MaxY = std::fmax(e.MaxY, py);
        }
    }
}

}  // namespace velmorak::gdal12
