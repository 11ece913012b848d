// The snapping search: the plain scan that defines the answer, and the grid
// index that must give the same answer for every vertex.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <vector>

#include "mif2d12/snap_index.h"
#include "mif2d12/snapping.h"

namespace velmorak::mif2d12 {
namespace {

struct Table {
    std::vector<double> x;
    std::vector<double> y;
    std::vector<float> z;
    std::vector<char> used_storage;  // char, not bool: the scan takes a span of bool

    void add(double px, double py, float pz) {
        x.push_back(px);
        y.push_back(py);
        z.push_back(pz);
    }
    // Runs the scan with fresh used flags; the number of the point taken, -1 for none.
    std::int32_t scan(double vx, double vy, float default_z = -5.0f) {
        std::unique_ptr<bool[]> used(new bool[x.size() + 1]());
        float out = 0.0f;
        const bool found = findSnappedPoint(vx, vy, default_z, x, y, z, {used.get(), x.size()},
                                            static_cast<std::int32_t>(x.size()), out);
        std::int32_t taken = -1;
        for (std::size_t i = 0; i < x.size(); ++i)
            if (used[i]) taken = static_cast<std::int32_t>(i);
        EXPECT_EQ(found, taken >= 0);
        EXPECT_EQ(out, found ? z[static_cast<std::size_t>(taken)] : default_z);
        return taken;
    }
};

TEST(FindSnappedPoint, ToleranceIsTheSinglePrecisionThousandthAppliedStrictlyPerAxis) {
    Table t;
    t.add(0.0009, 0.0009, 1.0f);  // 0 .. 0.0009 in X and Y
    EXPECT_EQ(t.scan(0.0, 0.0), 0);
    EXPECT_EQ(t.scan(0.0018, 0.0018), 0);
    EXPECT_EQ(t.scan(0.002, 0.0), -1);  // 0.0011 away in X
    EXPECT_EQ(t.scan(0.0009, 0.002), -1);  // 0.0011 away in Y only

    // Exactly 0.001 apart (the difference is the double 0.001) is still inside,
    // since the tolerance is 0.001 held in single precision.
    Table e;
    e.add(0.001, 0.0, 2.0f);
    EXPECT_EQ(e.scan(0.0, 0.0), 0);
    EXPECT_EQ(e.scan(0.002, -0.001), 0);
    EXPECT_EQ(e.scan(0.0, 0.0011), -1);
    // Just beyond the widened tolerance.
    const double beyond = std::nextafter(static_cast<double>(kSnapTolerance), 1.0);
    EXPECT_EQ(e.scan(0.001 - static_cast<double>(kSnapTolerance), 0.0), -1);
    EXPECT_EQ(e.scan(0.001 + beyond, 0.0), -1);
}

TEST(FindSnappedPoint, FirstPointInTableOrderWinsAndOnlyItIsMarked) {
    Table t;
    t.add(5.0005, 5.0, 1.0f);  // within tolerance, not the nearest
    t.add(5.0, 5.0, 2.0f);     // exactly on the vertex, stored later
    EXPECT_EQ(t.scan(5.0, 5.0), 0);

    // A point that is already used is taken again before a later one.
    std::unique_ptr<bool[]> used(new bool[2]{true, false});
    float z = 0.0f;
    EXPECT_TRUE(findSnappedPoint(5.0, 5.0, 9.0f, t.x, t.y, t.z, {used.get(), 2}, 2, z));
    EXPECT_EQ(z, 1.0f);
    EXPECT_FALSE(used[1]);

    // Nothing near: the default elevation and no flag.
    EXPECT_FALSE(findSnappedPoint(7.0, 7.0, 9.0f, t.x, t.y, t.z, {used.get(), 2}, 2, z));
    EXPECT_EQ(z, 9.0f);
    EXPECT_FALSE(used[1]);
    // Points beyond the count are not looked at.
    EXPECT_FALSE(findSnappedPoint(5.0, 5.0, 9.0f, t.x, t.y, t.z, {used.get(), 2}, 0, z));
}

std::int32_t index_answer(const Table& t, double vx, double vy) {
    SnapIndex index;
    index.build(t.x, t.y, static_cast<std::int32_t>(t.x.size()));
    return index.find(vx, vy);
}

// Points on, near, exactly at and just beyond the tolerance from vertices at
// several coordinate magnitudes, with duplicates, against the scan.
TEST(SnapIndex, GivesTheScansAnswerForRandomVerticesAndPoints) {
    std::mt19937_64 rng(20240607);
    const double tol = kSnapTolerance;
    const double offsets[] = {0.0,
                              tol,
                              -tol,
                              0.001,
                              -0.001,
                              std::nextafter(tol, 0.0),
                              std::nextafter(tol, 1.0),
                              0.0009,
                              0.0011,
                              2 * tol,
                              tol / 2};
    const double magnitudes[] = {0.0, 1.0, 1000.0, 512.0, 300000.0, 6500000.0, -6500000.0};
    std::uniform_int_distribution<int> pick_offset(0, std::size(offsets) - 1);
    std::uniform_real_distribution<double> jitter(-0.003, 0.003);
    std::uniform_int_distribution<int> kind(0, 4);

    std::int64_t snapped = 0;
    std::int64_t missed = 0;
    for (int round = 0; round < 40; ++round) {
        const double base = magnitudes[static_cast<std::size_t>(round) % std::size(magnitudes)];
        // Vertices on a small lattice whose spacing straddles the cell size, so
        // vertices fall on cell edges as well as inside cells.
        std::uniform_int_distribution<int> lattice(-20, 20);
        std::vector<std::pair<double, double>> vertices;
        for (int v = 0; v < 60; ++v)
            vertices.emplace_back(base + lattice(rng) * 0.001, base + lattice(rng) * 0.0015);

        Table t;
        for (int p = 0; p < 300; ++p) {
            const auto& [vx, vy] = vertices[rng() % vertices.size()];
            double px = vx;
            double py = vy;
            switch (kind(rng)) {
                case 0:  // exact offsets in each axis, signs included
                    px = vx + offsets[static_cast<std::size_t>(pick_offset(rng))];
                    py = vy + offsets[static_cast<std::size_t>(pick_offset(rng))];
                    break;
                case 1:  // anywhere near
                    px = vx + jitter(rng);
                    py = vy + jitter(rng);
                    break;
                case 2:  // a duplicate of an earlier point
                    if (!t.x.empty()) {
                        const std::size_t d = rng() % t.x.size();
                        px = t.x[d];
                        py = t.y[d];
                    }
                    break;
                default:  // on the vertex
                    break;
            }
            t.add(px, py, static_cast<float>(p));
        }
        SnapIndex index;
        index.build(t.x, t.y, static_cast<std::int32_t>(t.x.size()));
        std::vector<double> run_x;
        std::vector<double> run_y;
        std::vector<std::int32_t> expected_run;
        auto check = [&](double vx, double vy) {
            const std::int32_t expected = t.scan(vx, vy);
            ASSERT_EQ(index.find(vx, vy), expected) << "vertex " << vx << " " << vy;
            (expected >= 0 ? snapped : missed) += 1;
            run_x.push_back(vx);
            run_y.push_back(vy);
            expected_run.push_back(expected);
        };
        for (const auto& [vx, vy] : vertices) check(vx, vy);
        // Vertices between the lattice places too, and next to every point.
        for (int q = 0; q < 100; ++q) {
            const std::size_t p = rng() % t.x.size();
            check(t.x[p] + offsets[static_cast<std::size_t>(pick_offset(rng))],
                  t.y[p] - offsets[static_cast<std::size_t>(pick_offset(rng))]);
        }
        // The same vertices as one run, and runs shorter than the look-ahead.
        for (const std::size_t length : {run_x.size(), std::size_t{0}, std::size_t{1}, std::size_t{7}, std::size_t{17}}) {
            std::vector<std::int32_t> got(length, -2);
            index.find_all(run_x, run_y, got);
            for (std::size_t k = 0; k < length; ++k) ASSERT_EQ(got[k], expected_run[k]) << "run vertex " << k;
        }
    }
    // Both outcomes were exercised many times.
    EXPECT_GT(snapped, 1000);
    EXPECT_GT(missed, 1000);
}

TEST(SnapIndex, PointsAndVerticesThatAreNotFiniteOrHugeGiveTheScansAnswer) {
    const double inf = std::numeric_limits<double>::infinity();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double huge = 1.0e300;
    Table t;
    t.add(nan, 0.0, 1.0f);
    t.add(inf, inf, 2.0f);
    t.add(-inf, 5.0, 3.0f);
    t.add(huge, huge, 4.0f);
    t.add(-huge, 1.0e20, 5.0f);
    t.add(1.0e20, -1.0e20, 6.0f);
    t.add(0.0, 0.0, 7.0f);
    t.add(huge, huge, 8.0f);
    t.add(std::numeric_limits<double>::max(), 0.0, 9.0f);
    const double vertices[][2] = {{0.0, 0.0},   {nan, 0.0},   {0.0, nan},     {inf, inf},   {-inf, 5.0},
                                  {huge, huge}, {-huge, 1e20}, {1e20, -1e20}, {huge, -huge}, {std::numeric_limits<double>::max(), 0.0},
                                  {-std::numeric_limits<double>::max(), 0.0}};
    for (const auto& v : vertices) EXPECT_EQ(index_answer(t, v[0], v[1]), t.scan(v[0], v[1])) << v[0] << " " << v[1];
    SnapIndex index;
    index.build(t.x, t.y, static_cast<std::int32_t>(t.x.size()));
    std::vector<double> vx;
    std::vector<double> vy;
    for (const auto& v : vertices) {
        vx.push_back(v[0]);
        vy.push_back(v[1]);
    }
    std::vector<std::int32_t> got(vx.size(), -2);
    index.find_all(vx, vy, got);
    for (std::size_t k = 0; k < vx.size(); ++k) EXPECT_EQ(got[k], t.scan(vx[k], vy[k])) << vx[k] << " " << vy[k];
    EXPECT_EQ(index_answer(t, huge, huge), 3);
    EXPECT_EQ(index_answer(t, 0.0, 0.0), 6);
}

TEST(SnapIndex, EmptyTableFindsNothing) {
    Table t;
    EXPECT_EQ(index_answer(t, 0.0, 0.0), -1);
    t.add(1.0, 1.0, 1.0f);
    SnapIndex index;
    index.build(t.x, t.y, 0);
    EXPECT_EQ(index.find(1.0, 1.0), -1);
    const double vx[2] = {1.0, 0.0};
    std::int32_t got[2] = {-2, -2};
    index.find_all(vx, vx, got);
    EXPECT_EQ(got[0], -1);
    EXPECT_EQ(got[1], -1);
    // Built again over the table, the same index finds the point.
    index.build(t.x, t.y, 1);
    EXPECT_EQ(index.find(1.0, 1.0), 0);
}

// Clusters far apart widen the cells; answers stay the scan's, also for vertices
// beyond every point and between the clusters.
TEST(SnapIndex, WidelySpreadPointsGiveTheScansAnswer) {
    std::mt19937_64 rng(99);
    std::uniform_real_distribution<double> near(-0.004, 0.004);
    const double centres[] = {-1.0e12, 0.0, 3.5, 1.0e12, 4.0e15};
    Table t;
    for (int p = 0; p < 400; ++p) {
        const double c = centres[rng() % std::size(centres)];
        t.add(c + near(rng), -c + near(rng), static_cast<float>(p));
    }
    SnapIndex index;
    index.build(t.x, t.y, static_cast<std::int32_t>(t.x.size()));
    std::vector<double> vx;
    std::vector<double> vy;
    for (int v = 0; v < 2000; ++v) {
        const double c = centres[rng() % std::size(centres)];
        vx.push_back(c + near(rng));
        vy.push_back(-c + near(rng));
    }
    vx.insert(vx.end(), {-2.0e12, 5.0e11, 1.0e16, 3.5});
    vy.insert(vy.end(), {2.0e12, -5.0e11, -1.0e16, -1.0e16});
    std::vector<std::int32_t> got(vx.size(), -2);
    index.find_all(vx, vy, got);
    int found = 0;
    for (std::size_t k = 0; k < vx.size(); ++k) {
        const std::int32_t expected = t.scan(vx[k], vy[k]);
        ASSERT_EQ(index.find(vx[k], vy[k]), expected) << vx[k] << " " << vy[k];
        ASSERT_EQ(got[k], expected) << vx[k] << " " << vy[k];
        found += expected >= 0;
    }
    EXPECT_GT(found, 200);
}

// Many points spread over a wide area, each found again from a vertex beside it,
// and vertices far from every point finding none (its speed is measured in bench/).
TEST(SnapIndex, ManyPointsAreEachFoundFromANearbyVertex) {
    constexpr int kCount = 200'000;
    std::vector<double> x(kCount);
    std::vector<double> y(kCount);
    std::mt19937_64 rng(7);
    std::uniform_real_distribution<double> coord(0.0, 10000.0);
    for (int i = 0; i < kCount; ++i) {
        x[static_cast<std::size_t>(i)] = coord(rng);
        y[static_cast<std::size_t>(i)] = coord(rng);
    }
    SnapIndex index;
    index.build(x, y, kCount);
    std::int64_t found = 0;
    for (int i = 0; i < kCount; ++i) {
        // Every other vertex sits on a point, the rest nowhere near one.
        const auto p = static_cast<std::size_t>(i);
        if (i % 2 == 0) {
            const std::int32_t k = index.find(x[p] + 0.0005, y[p] - 0.0005);
            ASSERT_GE(k, 0);
            // The point found is the lowest-numbered one within the tolerance: itself,
            // unless an earlier point lies just as close.
            ASSERT_LE(k, i);
            ++found;
        } else
            found += index.find(coord(rng) + 20000.0, coord(rng)) >= 0;
    }
    EXPECT_EQ(found, kCount / 2);
}

}  // namespace
}  // namespace velmorak::mif2d12
