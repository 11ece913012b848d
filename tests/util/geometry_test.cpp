#include "util/geometry.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <initializer_list>
#include <limits>
#include <numbers>
#include <ostream>
#include <random>
#include <string>
#include <tuple>
#include <type_traits>
#include <utility>
#include <vector>

#include "services/runtime.h"
#include "support/support.h"

namespace velmorak::util {
namespace {

// A closed multi-part polygon in the vertex layout the walkers expect: each
// part repeats its first vertex, and one spare vertex follows every part.
template <class T>
struct Polygon {
    std::vector<T> x;
    std::vector<T> y;
    std::vector<std::int32_t> ends;

    void add_part(const std::vector<std::pair<T, T>>& ring) {
        for (const auto& [px, py] : ring) {
            x.push_back(px);
            y.push_back(py);
        }
        x.push_back(ring.front().first);
        y.push_back(ring.front().second);
        ends.push_back(static_cast<std::int32_t>(x.size()));
        x.push_back(ring.front().first);  // the spare vertex, kept out of the bounding box
        y.push_back(ring.front().second);
    }
    std::int32_t n() const { return static_cast<std::int32_t>(x.size()); }
    std::int32_t parts() const { return static_cast<std::int32_t>(ends.size()); }
    T xmin() const { return *std::min_element(x.begin(), x.end()); }
};

// The one-part polygon of a ring, in the precision T.
template <class T>
Polygon<T> polygon_of(const std::vector<std::pair<double, double>>& ring) {
    std::vector<std::pair<T, T>> cast;
    for (const auto& [x, y] : ring) cast.emplace_back(static_cast<T>(x), static_cast<T>(y));
    Polygon<T> p;
    p.add_part(cast);
    return p;
}

bool inside(float px, float py, const Polygon<float>& p) {
    return INSIDE_POLYGON(px, py, p.x.data(), p.y.data(), p.n(), p.xmin(), p.ends.data(), p.parts());
}
bool inside(double px, double py, const Polygon<double>& p) {
    return INSIDE_POLYGON_8(px, py, p.x.data(), p.y.data(), p.n(), p.xmin(), p.ends.data(), p.parts());
}

template <class T>
Polygon<T> square_0_2() {
    Polygon<T> p;
    p.add_part({{0, 0}, {2, 0}, {2, 2}, {0, 2}});
    return p;
}

// Runs `call` in a captured runtime and returns the console output; the call
// must end the run.
template <class Call>
std::string stopped_run_output(Call call) {
    testing::Capture cap;
    cap.rt().pause_at_exit = false;
    EXPECT_THROW(call(), services::RunStop);
    return cap.out();
}

// Four points P1 to P4, a row of a table the float routine and its "_8" twin
// both answer.
struct Points {
    double x1, y1, x2, y2, x3, y3, x4, y4;
};

std::ostream& operator<<(std::ostream& os, const Points& p) {
    return os << "(" << p.x1 << "," << p.y1 << ") (" << p.x2 << "," << p.y2 << ") (" << p.x3 << "," << p.y3
              << ") (" << p.x4 << "," << p.y4 << ")";
}

// routine on the points in single precision, and its twin on them in double.
template <class Routine>
auto on_floats(Routine routine, const Points& p) {
    const auto f = [](double v) { return static_cast<float>(v); };
    return routine(f(p.x1), f(p.y1), f(p.x2), f(p.y2), f(p.x3), f(p.y3), f(p.x4), f(p.y4));
}
template <class Routine>
auto on_doubles(Routine routine, const Points& p) {
    return routine(p.x1, p.y1, p.x2, p.y2, p.x3, p.y3, p.x4, p.y4);
}

// ---------------------------------------------------------------- lengths

TEST(Distance, MeasuresTheSegmentAndIsExactlyZeroWithinTheToleranceInBothAxes) {
    const struct {
        float x1, y1, x2, y2, want;
    } rows[] = {
        {0.0f, 0.0f, 3.0f, 4.0f, 5.0f}, {-1.0f, 2.0f, -4.0f, -2.0f, 5.0f},
        {1.0e7f, -2.0e7f, 1.0e7f + 6.0f, -2.0e7f - 8.0f, 10.0f}, {0.0f, 0.0f, 5.0e-7f, 5.0e-7f, 0.0f},
        {1.0f, 1.0f, 1.0f + 5.0e-7f, 1.0f - 5.0e-7f, 0.0f},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(::testing::Message() << r.x1 << "," << r.y1 << " " << r.x2 << "," << r.y2);
        EXPECT_EQ(DISTANCE(r.x1, r.y1, r.x2, r.y2), r.want);
        EXPECT_EQ(DISTANCE_8(r.x1, r.y1, r.x2, r.y2), r.want);
    }
    EXPECT_GT(DISTANCE(0.0f, 0.0f, 5.0e-7f, 2.0e-6f), 0.0f);  // one axis beyond the tolerance
    // The tolerance is a strict bound: differences equal to it measure.
    EXPECT_GT(DISTANCE(0.0f, 0.0f, 1.0e-6f, 1.0e-6f), 0.0f);
}

TEST(Distance, IsSymmetricAndZeroOnlyForCoincidentPointsOverRandomPoints) {
    std::mt19937 gen(12345);
    std::uniform_real_distribution<double> coord(-1.0e4, 1.0e4);
    for (int i = 0; i < 2000; ++i) {
        const double x1 = coord(gen), y1 = coord(gen), x2 = coord(gen), y2 = coord(gen);
        const float fx1 = static_cast<float>(x1), fy1 = static_cast<float>(y1);
        const float fx2 = static_cast<float>(x2), fy2 = static_cast<float>(y2);
        EXPECT_EQ(DISTANCE(fx1, fy1, fx2, fy2), DISTANCE(fx2, fy2, fx1, fy1));
        EXPECT_EQ(DISTANCE_8(x1, y1, x2, y2), DISTANCE_8(x2, y2, x1, y1));
        EXPECT_EQ(DISTANCE_8(x1, y1, x1, y1), 0.0f);
        const double length = std::hypot(x2 - x1, y2 - y1);
        EXPECT_NEAR(DISTANCE_8(x1, y1, x2, y2), length, length * 1.0e-6);
    }
}

TEST(Distance8, RoundsTheDifferencesToFloatBeforeComparingAndSquaring) {
    // 9.99999999e-7 rounds to the float tolerance itself, which is not below it.
    EXPECT_GT(DISTANCE_8(0.0, 0.0, 9.99999999e-7, 9.99999999e-7), 0.0f);
    // Squares formed in float overflow although the length fits in a float.
    EXPECT_EQ(DISTANCE_8(0.0, 0.0, 3.0e20, 4.0e20), std::numeric_limits<float>::infinity());
}

TEST(VectorMagnitude, ComponentsUpToTheToleranceGiveZero) {
    EXPECT_EQ(VECTOR_MAGNITUDE(1.0e-6f, -1.0e-6f), 0.0f);  // inclusive, unlike DISTANCE
    EXPECT_GT(VECTOR_MAGNITUDE(1.0e-6f, 2.0e-6f), 0.0f);
    EXPECT_EQ(VECTOR_MAGNITUDE(3.0f, -4.0f), 5.0f);
}

// ---------------------------------------------------------------- angles

TEST(Angle2d, AnswersTheAngleBetweenTheDirectionsUpTo180) {
    EXPECT_FLOAT_EQ(ANGLE2D(0, 0, 1, 0, 0, 0, -1, 1), 135.0f);
    EXPECT_FLOAT_EQ(ANGLE2D(0, 0, 1, 1, 0, 0, 1, -1), 90.0f);
    EXPECT_FLOAT_EQ(ANGLE2D(5, 5, 6, 5, 0, 0, -1, 0), 180.0f);
    // 170 and -170 degrees are 20 apart, not 340.
    const double c = std::cos(170.0 * std::numbers::pi / 180.0);
    const double s = std::sin(170.0 * std::numbers::pi / 180.0);
    EXPECT_NEAR(ANGLE2D(0, 0, c, s, 0, 0, c, -s), 20.0f, 1.0e-4);
}

TEST(Angle2d, AnyVerticalDirectionGivesZero) {
    EXPECT_EQ(ANGLE2D(0, 0, 0, 1, 0, 0, 1, 0), 0.0f);
    EXPECT_EQ(ANGLE2D(0, 0, 1, 0, 3, 3, 3, -1), 0.0f);
    EXPECT_EQ(ANGLE2D(0, 0, 5.0e-7, 1, 0, 0, 1, 0), 0.0f);
    // The tolerance is the float 1.0e-6f, slightly below 1.0e-6.
    EXPECT_NEAR(ANGLE2D(0, 0, 9.99999998e-7, 1, 0, 0, 1, 0), 90.0f, 1.0e-3);
}

// ---------------------------------------------------------------- points and sides

TEST(SamePoint, DifferencesMustBeStrictlyBelowTheTolerance) {
    const struct {
        float x1, y1, x2, y2;
        bool same;
    } rows[] = {{1.0f, 1.0f, 1.25f, 0.75f, true}, {1.0f, 1.0f, 1.5f, 1.0f, false}, {1.0f, 1.0f, 1.0f, 0.5f, false},
                {1.0f, 1.0f, 1.0f, 1.5f, false}, {0.0f, 0.0f, -0.5f, 0.0f, false}};
    for (const auto& r : rows) {
        SCOPED_TRACE(::testing::Message() << r.x1 << "," << r.y1 << " " << r.x2 << "," << r.y2);
        EXPECT_EQ(SAME_POINT(r.x1, r.y1, r.x2, r.y2, 0.5f), r.same);
        EXPECT_EQ(SAME_POINT_8(r.x1, r.y1, r.x2, r.y2, 0.5), r.same);
    }
}

TEST(SameSide, SignTellsSameSideOppositeSidesOrOnTheLine) {
    const struct {
        Points p;
        int sign;
    } rows[] = {{{0, 0, 4, 0, 1, 1, 7, 3}, 1}, {{0, 0, 4, 0, 1, 1, 2, -1}, -1}, {{0, 0, 4, 0, 9, 0, 2, -1}, 0},
                {{0, 0, 4, 4, 0, 1, -5, 0}, 1}, {{0, 0, 4, 4, 0, 1, 1, 0}, -1}, {{0, 0, 4, 4, -3, -3, 1, 0}, 0}};
    const auto sign = [](float v) { return (v > 0.0f) - (v < 0.0f); };
    for (const auto& r : rows) {
        EXPECT_EQ(sign(on_floats(SAME_SIDE, r.p)), r.sign) << r.p;
        EXPECT_EQ(sign(on_doubles(SAME_SIDE_8, r.p)), r.sign) << r.p;
    }
}

TEST(SameSide8, RoundsItsDifferencesToFloat) {
    // 1e-300 above the line becomes 0 in float: on the line.
    EXPECT_EQ(SAME_SIDE_8(0, 0, 1, 0, 0, 1.0e-300, 0, 1), 0.0f);
    EXPECT_GT(SAME_SIDE_8(0, 0, 1, 0, 0, 1.0e-30, 0, 1), 0.0f);
}

TEST(IntersectPoint, IsTrueOnTheInfiniteLine) {
    EXPECT_TRUE(INTERSECT_POINT(0, 0, 2, 1, 1, 0.5f));
    EXPECT_TRUE(INTERSECT_POINT(0, 0, 2, 1, -4, -2));  // beyond the segment
    EXPECT_FALSE(INTERSECT_POINT(0, 0, 2, 1, 1, 0.75f));
}

// ---------------------------------------------------------------- segment tests

TEST(IntersectLine, TouchingSegmentsAndSegmentsOnOneLineMeet) {
    const struct {
        Points p;
        bool meet;
    } rows[] = {
        {{0, 0, 2, 2, 0, 2, 2, 0}, true},
        {{0, 0, 1, 0, 1, 0, 1, 5}, true},   // shared end point
        {{0, 0, 2, 0, 1, 0, 1, 5}, true},   // T-junction
        {{0, 0, 2, 0, 1, 1, 1, 5}, false},  // would cross beyond P3
        {{0, 0, 2, 0, 3, -1, 3, 1}, false},
        // Parallel segments on different lines do not meet ...
        {{0, 0, 1, 0, 0, 1, 1, 1}, false}, {{0, 0, 1, 1, 1, 0, 2, 1}, false},
        // ... segments on one line do, even apart.
        {{0, 0, 1, 0, 2, 0, 3, 0}, true}, {{0, 0, 1, 1, 5, 5, 7, 7}, true},
    };
    for (const auto& r : rows) {
        EXPECT_EQ(on_floats(INTERSECT_LINE, r.p), r.meet) << r.p;
        EXPECT_EQ(on_doubles(INTERSECT_LINE_8, r.p), r.meet) << r.p;
    }
}

// -1 collinear, 0 parallel, 3 inside both, 1 inside the first only, 2 inside
// the second only, 4 outside both.
TEST(IntersectLineV2, ClassifiesWhereTheCrossingFalls) {
    const struct {
        Points p;
        std::int32_t code;
    } rows[] = {
        {{0, 0, 2, 0, 1, -1, 1, 1}, 3}, {{0, 0, 2, 0, 1, 1, 1, 2}, 1}, {{0, 0, 2, 0, 3, -1, 3, 1}, 2},
        {{0, 0, 2, 0, 3, 1, 3, 2}, 4},
        // A segment's start point is outside it, its end point inside.
        {{0, 0, 2, 0, 0, -1, 0, 1}, 2},  // at the first segment's start
        {{0, 0, 2, 0, 2, -1, 2, 1}, 3},  // at its end
        {{0, 0, 2, 0, 1, 0, 1, 1}, 1},   // the second segment starting on the first
        {{0, 0, 2, 0, 1, -1, 1, 0}, 3},  // and ending on it
        // Parallel and collinear segments.
        {{0, 0, 2, 0, 0, 1, 2, 1}, 0}, {{0, 0, 2, 0, 5, 0, 9, 0}, -1}, {{0, 0, 1, 1, 0.5, 0.5, 3, 3}, -1},
    };
    for (const auto& r : rows) EXPECT_EQ(on_floats(INTERSECT_LINE_V2, r.p), r.code) << r.p;
}

// ---------------------------------------------------------------- line crossing point

// Parallel lines, and two vertical ones, give no point and leave the result alone.
TEST(IntersectionPoint, CrossesTheInfiniteLines) {
    const struct {
        Points p;
        bool found;
        double x, y;
    } rows[] = {
        {{0, 0, 1, 1, 0, 3, 1, 2.5}, true, 2, 2},  // beyond both segments
        {{0, 1, 2, 2, 4, -7, 4, 9}, true, 4, 3},   // second vertical
        {{-1, 5, -1, 6, 0, 1, 2, 2}, true, -1, 0.5},  // first vertical
        {{0, 0, 1, 1, 0, 1, 2, 3}, false, 7, 8}, {{0, 0, 0, 1, 2, 0, 2, 1}, false, 7, 8},
        {{3, 0, 3, 1, 3, 5, 3, 6}, false, 7, 8},
    };
    for (const auto& r : rows) {
        float x = 7, y = 8;
        const auto point = [&](auto... c) { return INTERSECTION_POINT(c..., x, y); };
        EXPECT_EQ(on_floats(point, r.p), r.found) << r.p;
        EXPECT_EQ(x, static_cast<float>(r.x)) << r.p;
        EXPECT_EQ(y, static_cast<float>(r.y)) << r.p;
        double dx = 7, dy = 8;
        const auto point_8 = [&](auto... c) { return INTERSECTION_POINT_8(c..., dx, dy); };
        EXPECT_EQ(on_doubles(point_8, r.p), r.found) << r.p;
        EXPECT_EQ(dx, r.x) << r.p;
        EXPECT_EQ(dy, r.y) << r.p;
    }
}

TEST(IntersectionPoint, SlopesAreComparedInFloat) {
    // 1/3 and float(11/3)/11 are the same float but different doubles.
    const float rise = 11.0f / 3.0f;
    ASSERT_EQ(rise / 11.0f, 1.0f / 3.0f);
    ASSERT_NE(static_cast<double>(rise) / 11.0, 1.0 / 3.0);
    float x = 7, y = 8;
    EXPECT_FALSE(INTERSECTION_POINT(0, 0, 3, 1, 1, 0, 12, rise, x, y));
    EXPECT_EQ(x, 7.0f);
    double dx = 0, dy = 0;
    EXPECT_TRUE(INTERSECTION_POINT_8(0, 0, 3, 1, 1, 0, 12, rise, dx, dy));
}

// ---------------------------------------------------------------- point in polygon

// Each probe against the float and the double walker on the one-part polygon
// of the ring.
void expect_probes(const std::vector<std::pair<double, double>>& ring,
                   std::initializer_list<std::tuple<double, double, bool>> probes) {
    const Polygon<float> p = polygon_of<float>(ring);
    const Polygon<double> p8 = polygon_of<double>(ring);
    for (const auto& [x, y, in] : probes) {
        EXPECT_EQ(inside(static_cast<float>(x), static_cast<float>(y), p), in) << "float " << x << "," << y;
        EXPECT_EQ(inside(x, y, p8), in) << "double " << x << "," << y;
    }
}

TEST(InsidePolygon, SquareInsideOutsideAndOnTheTopEdge) {
    const Polygon<float> sq = square_0_2<float>();
    ASSERT_EQ(sq.n(), 6);
    ASSERT_EQ(sq.ends[0], 5);
    // On the top edge the boundary stays on one side at (0, 2): outside.
    expect_probes({{0, 0}, {2, 0}, {2, 2}, {0, 2}},
                  {{1.0, 1.0, true}, {3.0, 1.0, false}, {1.0, 2.0, false}, {1.0, -0.5, false}});
}

TEST(InsidePolygon, RayThroughAVertexCountsOnceWhenTheBoundaryPasses) {
    // A diamond whose first vertex (0, 1) lies on the rays of these points;
    // (2.5, 1) has its ray through both (2, 1) and (0, 1).
    expect_probes({{0, 1}, {1, 0}, {2, 1}, {1, 2}}, {{1.5, 1.0, true}, {0.5, 1.0, true}, {2.5, 1.0, false}});
    // The same diamond starting elsewhere: (0, 1) is now an inner vertex.
    expect_probes({{1, 0}, {2, 1}, {1, 2}, {0, 1}}, {{1.5, 1.0, true}, {0.5, 1.0, true}, {2.5, 1.0, false}});
}

TEST(InsidePolygon, RayThroughAVertexWhereTheBoundaryTurnsBackDoesNotCount) {
    // A notch whose bottom (2, 2) touches the ray from above.
    expect_probes({{0, 0}, {4, 0}, {4, 4}, {2, 2}, {0, 4}}, {{3.0, 2.0, true}, {1.0, 1.0, true}, {2.0, 3.0, false}});
    // The apex of a roof touched from below.
    expect_probes({{0, 0}, {4, 0}, {4, 2}, {2, 3}, {0, 2}}, {{3.0, 3.0, false}});
}

TEST(InsidePolygon, AnEdgeAlongTheRayCountsOnceWhenTheBoundaryPasses) {
    // An L shape with the step edge (4, 2)-(2, 2) on the ray's line.
    expect_probes({{0, 0}, {4, 0}, {4, 2}, {2, 2}, {2, 4}, {0, 4}},
                  {{5.0, 2.0, false}, {1.0, 2.0, true}, {3.0, 1.0, true}, {3.0, 3.0, false}});
}

TEST(InsidePolygon, AnswerDoesNotDependOnWhereTheRingStarts) {
    // Starting on (2, 2) puts the run (4, 2), (2, 2) across the closing repeat:
    // the vertex before the first is found by walking back past the run.
    const std::vector<std::pair<double, double>> ring = {{0, 0}, {4, 0}, {4, 2}, {2, 2}, {2, 4}, {0, 4}};
    const std::vector<std::pair<double, double>> probes = {{5, 2}, {1, 2}, {3, 1}, {3, 3}, {1, 4.5},
                                                           {1, 0}, {3, 2.5}, {1.5, 3}, {5, 0}, {3, 0}};
    for (std::size_t start = 0; start < ring.size(); ++start) {
        std::vector<std::pair<double, double>> rotated(ring.begin() + static_cast<long>(start), ring.end());
        rotated.insert(rotated.end(), ring.begin(), ring.begin() + static_cast<long>(start));
        Polygon<double> rot;
        rot.add_part(rotated);
        Polygon<double> ref;
        ref.add_part(ring);
        for (const auto& [px, py] : probes) {
            EXPECT_EQ(inside(px, py, rot), inside(px, py, ref)) << "start " << start << " point " << px << "," << py;
        }
    }
}

TEST(InsidePolygon, PartsAreWalkedSeparatelyAndAHoleIsOutside) {
    Polygon<float> ring;
    ring.add_part({{0, 0}, {10, 0}, {10, 10}, {0, 10}});
    ring.add_part({{3, 3}, {7, 3}, {7, 7}, {3, 7}});
    ASSERT_EQ(ring.n(), 12);
    ASSERT_EQ(ring.ends[1], 11);
    EXPECT_TRUE(inside(1.0f, 5.0f, ring));
    EXPECT_FALSE(inside(5.0f, 5.0f, ring));
    EXPECT_TRUE(inside(8.5f, 5.0f, ring));
    EXPECT_FALSE(inside(11.0f, 5.0f, ring));
    // No edge joins the parts across the spare vertex: edges through a spare
    // at (-5, 20) would add a crossing left of the point.
    ring.x[5] = -5;
    ring.y[5] = 20;
    EXPECT_TRUE(inside(1.0f, 5.0f, ring));
}

// Even-odd crossing count in double precision, valid away from the boundary.
bool reference_inside(double px, double py, const std::vector<std::pair<double, double>>& ring) {
    bool in = false;
    for (std::size_t i = 0, j = ring.size() - 1; i < ring.size(); j = i++) {
        const auto [xi, yi] = ring[i];
        const auto [xj, yj] = ring[j];
        if ((yi > py) != (yj > py) && px < (xj - xi) * (py - yi) / (yj - yi) + xi) in = !in;
    }
    return in;
}

double distance_to_boundary(double px, double py, const std::vector<std::pair<double, double>>& ring) {
    double best = std::numeric_limits<double>::infinity();
    for (std::size_t i = 0, j = ring.size() - 1; i < ring.size(); j = i++) {
        const auto [x1, y1] = ring[j];
        const auto [x2, y2] = ring[i];
        const double len2 = (x2 - x1) * (x2 - x1) + (y2 - y1) * (y2 - y1);
        const double t = std::clamp(((px - x1) * (x2 - x1) + (py - y1) * (y2 - y1)) / len2, 0.0, 1.0);
        best = std::min(best, std::hypot(px - (x1 + t * (x2 - x1)), py - (y1 + t * (y2 - y1))));
    }
    return best;
}

// A star-shaped ring of random radii, concave in places.
std::vector<std::pair<double, double>> random_star(std::mt19937& gen, int vertices, double cx, double cy) {
    std::uniform_real_distribution<double> radius(2.0, 10.0);
    std::vector<std::pair<double, double>> ring;
    for (int i = 0; i < vertices; ++i) {
        const double a = 2.0 * std::numbers::pi * i / vertices;
        const double r = radius(gen);
        ring.emplace_back(cx + r * std::cos(a), cy + r * std::sin(a));
    }
    return ring;
}

TEST(InsidePolygon, AgreesWithAReferenceOnRandomPointsAwayFromEdges) {
    std::mt19937 gen(777);
    int inside_count = 0;
    int checked = 0;
    for (int shape = 0; shape < 20; ++shape) {
        const auto ring = random_star(gen, 7 + shape, 50.0, 40.0);
        const Polygon<float> p = polygon_of<float>(ring);
        const Polygon<double> p8 = polygon_of<double>(ring);
        std::uniform_real_distribution<double> coord(38.0, 62.0);
        for (int i = 0; i < 200; ++i) {
            const float fx = static_cast<float>(coord(gen));
            const float fy = static_cast<float>(coord(gen));
            if (distance_to_boundary(fx, fy, ring) < 1.0e-3) continue;
            const bool expected = reference_inside(fx, fy, ring);
            EXPECT_EQ(inside(fx, fy, p), expected) << fx << "," << fy;
            EXPECT_EQ(inside(static_cast<double>(fx), static_cast<double>(fy), p8), expected) << fx << "," << fy;
            inside_count += expected ? 1 : 0;
            ++checked;
        }
    }
    // The sample must exercise both answers.
    EXPECT_GT(inside_count, checked / 10);
    EXPECT_LT(inside_count, checked * 9 / 10);
}

TEST(InsidePolygon, PartsEndingBeforeTheVerticesStopTheRun) {
    Polygon<float> two;
    two.add_part({{0, 0}, {10, 0}, {10, 10}, {0, 10}});
    two.add_part({{3, 3}, {7, 3}, {7, 7}, {3, 7}});
    const std::string out = stopped_run_output([&] {
        INSIDE_POLYGON(5.0f, 5.0f, two.x.data(), two.y.data(), two.n(), 0.0f, two.ends.data(), 1);
    });
    EXPECT_EQ(out,
              "\nInvalid number of polygons in region sent to inside_polygon routine - contact "
              "support@velmorak.example\n");
}

TEST(InsidePolygon, PartEndsThatDoNotMatchTheVerticesStopTheRun) {
    Polygon<double> sq = square_0_2<double>();
    std::vector<std::int32_t> beyond = {7};  // past the six vertices
    EXPECT_NE(stopped_run_output([&] {
                  INSIDE_POLYGON_8(1.0, 1.0, sq.x.data(), sq.y.data(), sq.n(), 0.0, beyond.data(), 1);
              }).find("inside_polygon routine - contact"),
              std::string::npos);
    std::vector<std::int32_t> short_part = {4};  // vertices 5 and 6 left over
    EXPECT_NE(stopped_run_output([&] {
                  INSIDE_POLYGON_8(1.0, 1.0, sq.x.data(), sq.y.data(), sq.n(), 0.0, short_part.data(), 1);
              }).find("Invalid number of polygons"),
              std::string::npos);
    std::vector<std::int32_t> backwards = {3, 2};
    EXPECT_NE(stopped_run_output([&] {
                  INSIDE_POLYGON_8(1.0, 1.0, sq.x.data(), sq.y.data(), sq.n(), 0.0, backwards.data(), 2);
              }).find("Invalid number of polygons"),
              std::string::npos);
}

TEST(InsidePolygon, StopMessageEndsAnOpenLineFirst) {
    const Polygon<float> sq = square_0_2<float>();
    testing::Capture cap;
    cap.rt().pause_at_exit = false;
    cap.rt().console.put("progress 12");
    EXPECT_THROW(INSIDE_POLYGON(1.0f, 1.0f, sq.x.data(), sq.y.data(), sq.n(), 0.0f, sq.ends.data(), 0),
                 services::RunStop);
    EXPECT_EQ(cap.out(),
              "progress 12\nInvalid number of polygons in region sent to inside_polygon routine - contact "
              "support@velmorak.example\n");
}

// ---------------------------------------------------------------- grid fill

struct Grid {
    std::int32_t nr;
    std::int32_t nc;
    std::vector<std::uint8_t> mask;
    std::vector<std::uint8_t> work;
    std::vector<std::int32_t> ivalues;
    std::vector<float> rvalues;
    GridRange range{-1, -1, -1, -1, -1};

    Grid(std::int32_t rows, std::int32_t cols)
        : nr(rows),
          nc(cols),
          mask(static_cast<std::size_t>(rows * cols), 0),
          work(static_cast<std::size_t>(rows * cols), 0),
          ivalues(static_cast<std::size_t>(rows * cols), -7),
          rvalues(static_cast<std::size_t>(rows * cols), -7.0f) {}
    std::size_t at(std::int32_t r, std::int32_t j) const {
        return static_cast<std::size_t>((r - 1) * nc + (j - 1));
    }
    CellGrid cells(float dx = 1.0f, float dy = 1.0f, std::int32_t margin_y = 0, std::int32_t margin_x = 0) {
        return {mask, work, ivalues, rvalues, nr, nc, dx, dy, margin_y, margin_x};
    }

    struct Action {
        bool act = false, clear = true;
        CellAction action;
        std::int32_t margin_y = 0, margin_x = 0;
    };
    template <class T>
    void fill(const Polygon<T>& p, const std::vector<float>& z, const Action& a, float dx = 1.0f, float dy = 1.0f) {
        const CellGrid grid = cells(dx, dy, a.margin_y, a.margin_x);
        if constexpr (std::is_same_v<T, float>) {
            range = grid_inside_polygon(grid, a.clear, a.act, a.action, p.x.data(), p.y.data(), z.data(), p.n(),
                                        p.ends.data(), p.parts());
        } else {
            range = grid_inside_polygon_8(grid, a.clear, a.act, a.action, p.x.data(), p.y.data(), z.data(), p.n(),
                                          p.ends.data(), p.parts());
        }
    }
    int marked() const { return static_cast<int>(std::count(mask.begin(), mask.end(), 1)); }
};

template <class T>
Polygon<T> box(T x1, T y1, T x2, T y2) {
    Polygon<T> p;
    p.add_part({{x1, y1}, {x2, y1}, {x2, y2}, {x1, y2}});
    return p;
}

TEST(GridInsidePolygon, MarksTheCellsWhosePointsLieInside) {
    Grid g(10, 10);
    g.fill(box<float>(2.5f, 2.5f, 6.5f, 5.5f), std::vector<float>(6, 0.0f), {});
    EXPECT_EQ(g.range.r_lo, 3);
    EXPECT_EQ(g.range.j_lo, 3);
    EXPECT_EQ(g.range.r_hi, 6);
    EXPECT_EQ(g.range.j_hi, 7);
    EXPECT_EQ(g.range.n_acted, 0);  // no action asked for
    // Cell (r, j) stands for the point (j, r): x 3..6 and y 3..5 are inside.
    for (std::int32_t r = 1; r <= 10; ++r) {
        for (std::int32_t j = 1; j <= 10; ++j) {
            const bool in = r >= 3 && r <= 5 && j >= 3 && j <= 6;
            EXPECT_EQ(g.mask[g.at(r, j)], in ? 1 : 0) << r << "," << j;
        }
    }
}

TEST(GridInsidePolygon, IntegerActionRoundsHalvesAwayFromZeroAndAdds) {
    Grid g(10, 10);
    const Polygon<double> p = box<double>(2.5, 2.5, 6.5, 5.5);
    const std::vector<float> z(6, 0.0f);
    Grid::Action a;
    a.act = true;
    a.action.set_integer = true;
    a.action.v = 2.5f;
    g.fill(p, z, a);
    EXPECT_EQ(g.range.n_acted, 12);
    EXPECT_EQ(g.ivalues[g.at(4, 4)], 3);
    EXPECT_EQ(g.ivalues[g.at(4, 7)], -7);  // outside: untouched
    EXPECT_EQ(g.rvalues[g.at(4, 4)], -7.0f);
    a.action.add = true;
    a.action.v = -2.5f;
    g.fill(p, z, a);
    EXPECT_EQ(g.ivalues[g.at(4, 4)], 0);
    EXPECT_EQ(g.ivalues[g.at(3, 6)], 0);
}

TEST(GridInsidePolygon, RealActionStoresOrAdds) {
    Grid g(10, 10);
    const Polygon<float> p = box<float>(2.5f, 2.5f, 6.5f, 5.5f);
    Grid::Action a;
    a.act = true;
    a.action.set_real = true;
    a.action.v = 1.25f;
    g.fill(p, std::vector<float>(6, 0.0f), a);
    EXPECT_EQ(g.rvalues[g.at(5, 6)], 1.25f);
    a.action.add = true;
    g.fill(p, std::vector<float>(6, 0.0f), a);
    EXPECT_EQ(g.rvalues[g.at(5, 6)], 2.5f);
    EXPECT_EQ(g.rvalues[g.at(6, 6)], -7.0f);
    EXPECT_EQ(g.ivalues[g.at(5, 6)], -7);
}

TEST(GridInsidePolygon, TriangleActionInterpolatesAtTheCellPoints) {
    // The plane z = x + 2y over a triangle given as a single closed part.
    Polygon<double> tri;
    tri.add_part({{0.5, 0.5}, {8.5, 0.5}, {0.5, 8.5}});
    const std::vector<float> z = {1.5f, 9.5f, 17.5f, 1.5f, 0.0f};
    Grid g(10, 10);
    Grid::Action a;
    a.act = true;
    g.fill(tri, z, a);
    ASSERT_GT(g.range.n_acted, 20);
    EXPECT_EQ(g.range.n_acted, g.marked());
    for (std::int32_t r = 1; r <= 10; ++r) {
        for (std::int32_t j = 1; j <= 10; ++j) {
            if (g.mask[g.at(r, j)] == 1) {
                EXPECT_NEAR(g.rvalues[g.at(r, j)], j + 2.0 * r, 1.0e-4) << r << "," << j;
            } else {
                EXPECT_EQ(g.rvalues[g.at(r, j)], -7.0f);
            }
        }
    }
    // Any other polygon size leaves the values alone.
    Grid sq(10, 10);
    sq.fill(box<double>(2.5, 2.5, 6.5, 5.5), std::vector<float>(6, 3.0f), a);
    EXPECT_EQ(sq.range.n_acted, 12);
    EXPECT_EQ(std::count(sq.rvalues.begin(), sq.rvalues.end(), -7.0f), 100);
}

TEST(GridInsidePolygon, MarginsAreNeverTouchedAndCrossingsLeftOfTheRangeCount) {
    // The box starts in the left margin: its left edge crosses left of the
    // range and must still open the rows.
    Grid g(10, 10);
    std::fill(g.mask.begin(), g.mask.end(), 9);
    Grid::Action a;
    a.margin_x = 3;
    a.margin_y = 2;
    g.fill(box<float>(0.5f, 0.5f, 6.5f, 9.5f), std::vector<float>(6, 0.0f), a);
    EXPECT_EQ(g.range.r_lo, 3);
    EXPECT_EQ(g.range.j_lo, 4);
    EXPECT_EQ(g.range.r_hi, 8);
    EXPECT_EQ(g.range.j_hi, 7);
    for (std::int32_t r = 1; r <= 10; ++r) {
        for (std::int32_t j = 1; j <= 10; ++j) {
            const bool in_range = r >= 3 && r <= 8 && j >= 4 && j <= 7;
            const std::uint8_t expected = !in_range ? 9 : (j <= 6 ? 1 : 0);
            EXPECT_EQ(g.mask[g.at(r, j)], expected) << r << "," << j;
        }
    }
}

TEST(GridInsidePolygon, ClearingFlagDecidesWhetherEarlierMarksSurvive) {
    Grid g(10, 10);
    std::fill(g.mask.begin(), g.mask.end(), 1);
    Grid::Action a;
    a.clear = false;
    g.fill(box<float>(2.5f, 2.5f, 6.5f, 5.5f), std::vector<float>(6, 0.0f), a);
    EXPECT_EQ(g.marked(), 100);
    a.clear = true;
    g.fill(box<float>(2.5f, 2.5f, 6.5f, 5.5f), std::vector<float>(6, 0.0f), a);
    EXPECT_EQ(g.marked(), 100 - 20 + 12);  // the 4 by 5 range cleared, 12 marked again
}

TEST(GridInsidePolygon, PolygonOutsideTheGridActsOnNothing) {
    Grid g(10, 10);
    Grid::Action a;
    a.act = true;
    a.action.set_real = true;
    a.action.v = 1.0f;
    g.fill(box<float>(20.5f, 2.5f, 26.5f, 5.5f), std::vector<float>(6, 0.0f), a);
    EXPECT_LT(g.range.j_hi, g.range.j_lo);
    EXPECT_EQ(g.range.n_acted, 0);
    EXPECT_EQ(g.marked(), 0);
}

TEST(GridInsidePolygon, AgreesWithInsidePolygonAtTheCellPoints) {
    std::mt19937 gen(4242);
    for (int shape = 0; shape < 8; ++shape) {
        const auto ring = random_star(gen, 9 + shape, 25.3, 24.7);
        const Polygon<float> p = polygon_of<float>(ring);
        const Polygon<double> p8 = polygon_of<double>(ring);
        Grid g(80, 80), g8(80, 80);
        const std::vector<float> z(static_cast<std::size_t>(p.n()), 0.0f);
        g.fill(p, z, {}, 0.5f, 0.5f);
        g8.fill(p8, z, {}, 0.5f, 0.5f);
        int marked = 0;
        for (std::int32_t r = 1; r <= 80; ++r) {
            for (std::int32_t j = 1; j <= 80; ++j) {
                const double px = j * 0.5, py = r * 0.5;
                if (distance_to_boundary(px, py, ring) < 1.0e-3) continue;
                const bool expected = reference_inside(px, py, ring);
                EXPECT_EQ(g.mask[g.at(r, j)] == 1, expected) << shape << ": " << r << "," << j;
                EXPECT_EQ(g8.mask[g8.at(r, j)] == 1, expected) << shape << ": " << r << "," << j;
                marked += expected ? 1 : 0;
            }
        }
        EXPECT_GT(marked, 100);
    }
}

TEST(GridInsidePolygon, BadPartListStopsTheRunNamingTheGridRoutine) {
    Polygon<float> two;
    two.add_part({{0.5f, 0.5f}, {5.5f, 0.5f}, {5.5f, 5.5f}});
    two.add_part({{1.5f, 1.5f}, {2.5f, 1.5f}, {2.5f, 2.5f}});
    Grid g(10, 10);
    const std::vector<float> z(static_cast<std::size_t>(two.n()), 0.0f);
    const std::string out = stopped_run_output([&] {
        grid_inside_polygon(g.cells(), true, false, {}, two.x.data(), two.y.data(), z.data(), two.n(),
                            two.ends.data(), 1);
    });
    EXPECT_EQ(out,
              "\nInvalid number of polygons in region sent to grid_inside_polygon routine - contact "
              "support@velmorak.example\n");
}

// ---------------------------------------------------------------- point lists

TEST(PointsInsidePolygon8, FlagsAndCountsThePointsInside) {
    Polygon<double> ring;
    ring.add_part({{10, 10}, {20, 10}, {20, 20}, {10, 20}});
    ring.add_part({{13, 13}, {17, 13}, {17, 17}, {13, 17}});
    const std::vector<double> px = {11, 15, 18.5, 25, 5, 15, 15, 12};
    const std::vector<double> py = {15, 15, 12, 15, 15, 5, 25, 18};
    std::vector<std::int32_t> flags(px.size(), 7);
    std::int32_t count = -1;
    points_inside_polygon_8(flags.data(), px.data(), py.data(), static_cast<std::int32_t>(px.size()), count,
                            ring.x.data(), ring.y.data(), ring.n(), ring.ends.data(), ring.parts());
    EXPECT_EQ(flags, (std::vector<std::int32_t>{1, 0, 1, 0, 0, 0, 0, 1}));
    EXPECT_EQ(count, 3);
}

TEST(PointsInsidePolygon8, AgreesWithInsidePolygonOnRandomPoints) {
    std::mt19937 gen(99);
    const auto ring = random_star(gen, 13, 30.0, 30.0);
    Polygon<double> p;
    p.add_part(ring);
    std::uniform_real_distribution<double> coord(15.0, 45.0);
    std::vector<double> px, py;
    for (int i = 0; i < 500; ++i) {
        const double x = coord(gen), y = coord(gen);
        if (distance_to_boundary(x, y, ring) < 1.0e-3) continue;
        px.push_back(x);
        py.push_back(y);
    }
    std::vector<std::int32_t> flags(px.size());
    std::int32_t count = 0;
    points_inside_polygon_8(flags.data(), px.data(), py.data(), static_cast<std::int32_t>(px.size()), count,
                            p.x.data(), p.y.data(), p.n(), p.ends.data(), p.parts());
    std::int32_t expected_count = 0;
    for (std::size_t i = 0; i < px.size(); ++i) {
        const bool expected = inside(px[i], py[i], p);
        EXPECT_EQ(flags[i], expected ? 1 : 0) << px[i] << "," << py[i];
        expected_count += expected ? 1 : 0;
    }
    EXPECT_EQ(count, expected_count);
    EXPECT_GT(count, 50);
}

TEST(PointsInsidePolygon8, BadPartListStopsTheRunNamingTheGridRoutine) {
    Polygon<double> two;
    two.add_part({{0, 0}, {10, 0}, {10, 10}, {0, 10}});
    two.add_part({{3, 3}, {7, 3}, {7, 7}, {3, 7}});
    const double px = 1.0, py = 1.0;
    std::int32_t flag = 0, count = 0;
    const std::string out = stopped_run_output([&] {
        points_inside_polygon_8(&flag, &px, &py, 1, count, two.x.data(), two.y.data(), two.n(), two.ends.data(), 1);
    });
    EXPECT_NE(out.find("grid_inside_polygon routine - contact support@velmorak.example"), std::string::npos);
}

TEST(SetPointsValue8, AppliesTheCellActionToFlaggedPoints) {
    Polygon<double> tri;
    tri.add_part({{0, 0}, {10, 0}, {0, 10}});
    const std::vector<float> z = {0.0f, 10.0f, 20.0f, 0.0f, 0.0f};  // z = x + 2y
    const std::vector<std::int32_t> flags = {1, 0, 1};
    const std::vector<double> px = {2, 3, 1}, py = {1, 3, 4};
    std::vector<std::int32_t> iv = {5, 5, 5};
    std::vector<float> rv = {1.0f, 1.0f, 1.0f};

    set_points_value_8(flags.data(), px.data(), py.data(), iv.data(), rv.data(), 3, {true, false, 3.5f, false},
                       tri.x.data(), tri.y.data(), z.data(), tri.n());
    EXPECT_EQ(iv, (std::vector<std::int32_t>{4, 5, 4}));
    set_points_value_8(flags.data(), px.data(), py.data(), iv.data(), rv.data(), 3, {true, false, -1.4f, true},
                       tri.x.data(), tri.y.data(), z.data(), tri.n());
    EXPECT_EQ(iv, (std::vector<std::int32_t>{3, 5, 3}));
    EXPECT_EQ(rv, (std::vector<float>{1.0f, 1.0f, 1.0f}));

    set_points_value_8(flags.data(), px.data(), py.data(), iv.data(), rv.data(), 3, {false, true, 0.5f, true},
                       tri.x.data(), tri.y.data(), z.data(), tri.n());
    EXPECT_EQ(rv, (std::vector<float>{1.5f, 1.0f, 1.5f}));

    set_points_value_8(flags.data(), px.data(), py.data(), iv.data(), rv.data(), 3, {false, false, 0.0f, false},
                       tri.x.data(), tri.y.data(), z.data(), tri.n());
    EXPECT_NEAR(rv[0], 4.0f, 1.0e-5);
    EXPECT_EQ(rv[1], 1.0f);
    EXPECT_NEAR(rv[2], 9.0f, 1.0e-5);
}

// ---------------------------------------------------------------- interpolation

TEST(InterpolateTriangle, ReturnsTheVertexValueAtEachVertex) {
    const float x[3] = {0.0f, 4.0f, 1.0f}, y[3] = {0.0f, 1.0f, 3.0f}, z[3] = {10.0f, 20.0f, 40.0f};
    const double x8[3] = {0.0, 4.0, 1.0}, y8[3] = {0.0, 1.0, 3.0};
    for (int v = 0; v < 3; ++v) {
        float zout = 0.0f;
        ASSERT_TRUE(INTERPOLATE_TRIANGLE(x[v], y[v], x, y, z, zout)) << v;
        EXPECT_NEAR(zout, z[v], 1.0e-4) << v;
        ASSERT_TRUE(INTERPOLATE_TRIANGLE_8(x8[v], y8[v], x8, y8, z, zout)) << v;
        EXPECT_NEAR(zout, z[v], 1.0e-4) << v;
    }
}

TEST(InterpolateTriangle, CentroidGetsTheMeanOfTheVertexValues) {
    const float x[3] = {0.0f, 3.0f, 0.0f}, y[3] = {0.0f, 0.0f, 3.0f}, z[3] = {0.0f, 0.0f, 3.0f};
    float zout = 0.0f;
    ASSERT_TRUE(INTERPOLATE_TRIANGLE(1.0f, 1.0f, x, y, z, zout));
    EXPECT_FLOAT_EQ(zout, 1.0f);
    const double x8[3] = {100000.0, 100003.0, 100000.0}, y8[3] = {200000.0, 200000.0, 200003.0};
    ASSERT_TRUE(INTERPOLATE_TRIANGLE_8(100001.0, 200001.0, x8, y8, z, zout));
    EXPECT_FLOAT_EQ(zout, 1.0f);
}

TEST(InterpolateTriangle, NoCrossingGivesTheNoValue) {
    // The line from the third vertex through P runs parallel to V1V2.
    const float x[3] = {0.0f, 2.0f, 1.0f}, y[3] = {0.0f, 0.0f, 1.0f}, z[3] = {1.0f, 2.0f, 3.0f};
    float zout = 5.0f;
    EXPECT_FALSE(INTERPOLATE_TRIANGLE(2.0f, 1.0f, x, y, z, zout));
    EXPECT_EQ(zout, -99999.0f);
    const double x8[3] = {0.0, 0.0, 1.0}, y8[3] = {0.0, 2.0, 1.0};  // V1V2 vertical, P below V3
    zout = 5.0f;
    EXPECT_FALSE(INTERPOLATE_TRIANGLE_8(1.0, 0.0, x8, y8, z, zout));
    EXPECT_EQ(zout, -99999.0f);
}

TEST(InterpolateTriangle, ReproducesThePlaneInsideRandomTriangles) {
    std::mt19937 gen(2024);
    std::uniform_real_distribution<double> coord(-50.0, 50.0);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    for (int i = 0; i < 500; ++i) {
        double x8[3], y8[3];
        float x[3], y[3], z[3];
        for (int v = 0; v < 3; ++v) {
            x8[v] = coord(gen);
            y8[v] = coord(gen);
            x[v] = static_cast<float>(x8[v]);
            y[v] = static_cast<float>(y8[v]);
        }
        const double area = 0.5 * std::fabs((x8[1] - x8[0]) * (y8[2] - y8[0]) - (x8[2] - x8[0]) * (y8[1] - y8[0]));
        if (area < 50.0) continue;  // slivers lose too many digits in float
        // z = 2 + 0.3x - 0.2y
        for (int v = 0; v < 3; ++v) z[v] = static_cast<float>(2.0 + 0.3 * x8[v] - 0.2 * y8[v]);
        double a = unit(gen), b = unit(gen);
        if (a + b > 1.0) {
            a = 1.0 - a;
            b = 1.0 - b;
        }
        const double px = x8[0] + a * (x8[1] - x8[0]) + b * (x8[2] - x8[0]);
        const double py = y8[0] + a * (y8[1] - y8[0]) + b * (y8[2] - y8[0]);
        const double expected = 2.0 + 0.3 * px - 0.2 * py;
        float zout = 0.0f;
        ASSERT_TRUE(INTERPOLATE_TRIANGLE_8(px, py, x8, y8, z, zout));
        EXPECT_NEAR(zout, expected, 2.0e-3) << i;
        ASSERT_TRUE(INTERPOLATE_TRIANGLE(static_cast<float>(px), static_cast<float>(py), x, y, z, zout));
        EXPECT_NEAR(zout, expected, 2.0e-2) << i;
        for (int v = 0; v < 3; ++v) {
            ASSERT_TRUE(INTERPOLATE_TRIANGLE_8(x8[v], y8[v], x8, y8, z, zout));
            EXPECT_NEAR(zout, z[v], 2.0e-3) << i << " vertex " << v;
        }
    }
}

TEST(InterpolateElement8, TriangleInsideInterpolatesAndOutsideLeavesZAlone) {
    const double x[4] = {0, 4, 0, 0}, y[4] = {0, 0, 4, 0};
    const float z[4] = {0.0f, 4.0f, 8.0f, 0.0f};  // z = x + 2y
    float zout = 5.0f;
    ASSERT_TRUE(INTERPOLATE_ELEMENT_8(1.0, 1.0, x, y, z, 3, 0.0, zout));
    EXPECT_NEAR(zout, 3.0f, 1.0e-5);
    zout = 5.0f;
    EXPECT_FALSE(INTERPOLATE_ELEMENT_8(3.0, 3.0, x, y, z, 3, 0.0, zout));
    EXPECT_EQ(zout, 5.0f);
}

TEST(InterpolateElement8, QuadrilateralAveragesTheTrianglesHoldingThePoint) {
    const double x[4] = {0, 2, 2, 0}, y[4] = {0, 0, 2, 2};
    // At (0.5, 0.3) the triangles without vertex 3 (all zero) and without
    // vertex 4 (z = 2y, 0.6) hold the point: their mean is 0.3.
    const float saddle[4] = {0.0f, 0.0f, 4.0f, 0.0f};
    float zout = 0.0f;
    ASSERT_TRUE(INTERPOLATE_ELEMENT_8(0.5, 0.3, x, y, saddle, 4, 0.0, zout));
    EXPECT_NEAR(zout, 0.3f, 1.0e-5);
    // A planar element keeps its plane (z = x + 2y).
    const float plane[4] = {0.0f, 2.0f, 6.0f, 4.0f};
    ASSERT_TRUE(INTERPOLATE_ELEMENT_8(1.5, 0.7, x, y, plane, 4, 0.0, zout));
    EXPECT_NEAR(zout, 2.9f, 1.0e-5);
}

TEST(InterpolateElement8, PointOutsideTheQuadrilateralGivesTheNoValue) {
    const double x[4] = {0, 2, 2, 0}, y[4] = {0, 0, 2, 2};
    const float z[4] = {1.0f, 2.0f, 3.0f, 4.0f};
    float zout = 5.0f;
    EXPECT_FALSE(INTERPOLATE_ELEMENT_8(3.0, 1.0, x, y, z, 4, 0.0, zout));
    EXPECT_EQ(zout, -99999.0f);
}

TEST(InterpolateElement8, OtherVertexCountsLeaveZAlone) {
    const double x[4] = {0, 2, 2, 0}, y[4] = {0, 0, 2, 2};
    const float z[4] = {1.0f, 2.0f, 3.0f, 4.0f};
    float zout = 5.0f;
    EXPECT_FALSE(INTERPOLATE_ELEMENT_8(1.0, 0.5, x, y, z, 5, 0.0, zout));
    EXPECT_FALSE(INTERPOLATE_ELEMENT_8(1.0, 0.5, x, y, z, 2, 0.0, zout));
    EXPECT_EQ(zout, 5.0f);
}

// ---------------------------------------------------------------- local axes and sub-grids

TEST(GeoShift, ExpressesPointsInTurnedAxes) {
    const double x[3] = {500001.0, 500000.0, 500003.0}, y[3] = {7000000.0, 7000001.0, 7000004.0};
    float u[3], v[3];
    GEO_SHIFT(x, y, 3, 500000.0, 7000000.0, static_cast<float>(std::numbers::pi / 2.0), u, v);
    EXPECT_NEAR(u[0], 0.0f, 1.0e-6);
    EXPECT_NEAR(v[0], -1.0f, 1.0e-6);
    EXPECT_NEAR(u[1], 1.0f, 1.0e-6);
    EXPECT_NEAR(v[1], 0.0f, 1.0e-6);
    GEO_SHIFT(x, y, 3, 500000.0, 7000000.0, 0.0f, u, v);
    EXPECT_EQ(u[2], 3.0f);  // the offset is taken in double before rounding
    EXPECT_EQ(v[2], 4.0f);
    GEO_SHIFT(x, y, 3, 500000.0, 7000000.0, std::atan2(4.0f, 3.0f), u, v);
    EXPECT_NEAR(u[2], 5.0f, 1.0e-5);
    EXPECT_NEAR(v[2], 0.0f, 1.0e-5);
}

TEST(SetSubGridArea, BoundsAndCellRange) {
    const float x[3] = {12.0f, 3.5f, 27.0f}, y[3] = {8.0f, 41.0f, 15.0f};
    std::int32_t lo_y = -1, lo_x = -1, hi_y = -1, hi_x = -1;
    float xmin = 0, ymin = 0, xmax = 0, ymax = 0;
    SET_SUB_GRID_AREA(x, y, 3, 5.0f, 6, 100, lo_y, lo_x, hi_y, hi_x, xmin, ymin, xmax, ymax);
    EXPECT_EQ(xmin, 3.5f);
    EXPECT_EQ(xmax, 27.0f);
    EXPECT_EQ(ymin, 8.0f);
    EXPECT_EQ(ymax, 41.0f);
    EXPECT_EQ(lo_x, 1);
    EXPECT_EQ(hi_x, 6);
    EXPECT_EQ(lo_y, 2);
    EXPECT_EQ(hi_y, 6);  // 9, limited to the cells along y
}

TEST(SetSubGridArea, PointsFarLeftOfTheOriginGiveALowestIndexOfZero) {
    const float x[2] = {-100.0f, -60.0f}, y[2] = {-3.0f, 12.0f};
    std::int32_t lo_y = -1, lo_x = -1, hi_y = -1, hi_x = -1;
    float xmin = 0, ymin = 0, xmax = 0, ymax = 0;
    SET_SUB_GRID_AREA(x, y, 2, 10.0f, 50, 50, lo_y, lo_x, hi_y, hi_x, xmin, ymin, xmax, ymax);
    EXPECT_EQ(lo_x, 0);
    EXPECT_EQ(hi_x, -5);
    EXPECT_EQ(lo_y, 1);  // INT(-0.3) truncates to 0
    EXPECT_EQ(hi_y, 2);
}

// ---------------------------------------------------------------- hydraulic panels

TEST(HydParam, WetDryDisabledAndOneSidedPanels) {
    const struct {
        float x1, z1, x2, z2, level, enable;
        float area, width, perimeter;
    } rows[] = {
        {0.0f, 1.0f, 4.0f, 3.0f, 5.0f, 1.0f, 12.0f, 4.0f, std::sqrt(20.0f)},  // wet: the whole width
        {0.0f, 1.0f, 4.0f, 3.0f, 0.5f, 1.0f, 0.0f, 0.0f, 0.0f},               // dry
        {0.0f, 1.0f, 4.0f, 3.0f, 5.0f, 0.0f, 0.0f, 0.0f, 0.0f},               // disabled
        // Level halfway up the rise from the first end: half the width.
        {0.0f, 0.0f, 4.0f, 2.0f, 1.0f, 1.0f, 1.0f, 2.0f, std::sqrt(5.0f)},
        {10.0f, 2.0f, 14.0f, 0.0f, 0.5f, 1.0f, 0.25f, 1.0f, std::sqrt(1.25f)},  // only the second end wet
    };
    for (const auto& r : rows) {
        float area = -1, width = -1, perimeter = -1;
        SCOPED_TRACE(::testing::Message() << r.x1 << "," << r.z1 << " " << r.x2 << "," << r.z2 << " level " << r.level
                                          << " enable " << r.enable);
        HYD_PARAM(r.x1, r.z1, r.x2, r.z2, r.level, r.enable, area, width, perimeter);
        EXPECT_EQ(area, r.area);
        EXPECT_EQ(width, r.width);
        EXPECT_FLOAT_EQ(perimeter, r.perimeter);
    }
}

TEST(HydParam2, EachHalfOfThePanelHasItsOwnResults) {
    float a1 = -1, a2 = -1, w1 = -1, w2 = -1, p1 = -1, p2 = -1;
    // Panel (0, 0)-(4, 2) at level 1.5: the first half (0, 0)-(2, 1) is wet,
    // the second (2, 1)-(4, 2) is wet from its first end for 1 of its 2.
    HYD_PARAM2(0.0f, 0.0f, 1.0f, 4.0f, 2.0f, 1.0f, 1.5f, a1, a2, w1, w2, p1, p2);
    EXPECT_EQ(a1, 2.0f);
    EXPECT_EQ(w1, 2.0f);
    EXPECT_FLOAT_EQ(p1, std::sqrt(5.0f));
    EXPECT_EQ(a2, 0.25f);
    EXPECT_EQ(w2, 1.0f);
    EXPECT_FLOAT_EQ(p2, std::sqrt(1.25f));
    HYD_PARAM2(0.0f, 0.0f, 1.0f, 4.0f, 2.0f, -1.0f, 1.5f, a1, a2, w1, w2, p1, p2);
    EXPECT_EQ(a1, 2.0f);
    EXPECT_EQ(a2, 0.0f);
    EXPECT_EQ(w2, 0.0f);
    EXPECT_EQ(p2, 0.0f);
}

TEST(CircleWidth, WidthOfTheWaterSurface) {
    EXPECT_EQ(CIRCLE_WIDTH(1.5f, 1.5f), 3.0f);
    EXPECT_EQ(CIRCLE_WIDTH(1.5f, 0.0f), 0.0f);
    EXPECT_EQ(CIRCLE_WIDTH(1.5f, 3.0f), 0.0f);
    EXPECT_EQ(CIRCLE_WIDTH(1.5f, 5.0e-6f), 0.0f);
    EXPECT_FLOAT_EQ(CIRCLE_WIDTH(2.0f, 1.0f), 2.0f * std::sqrt(3.0f));
    EXPECT_FLOAT_EQ(CIRCLE_WIDTH(2.0f, 3.0f), 2.0f * std::sqrt(3.0f));
}

}  // namespace
}  // namespace velmorak::util
