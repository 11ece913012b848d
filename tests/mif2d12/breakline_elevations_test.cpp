// Elevations along a snapped polyline: interpolation by walked distance in
// single precision over several runs, and the end rules around a single
// snapped vertex. (The conversion's own tests cover the other cases.)
#include "mif2d12/breakline_elevations.h"

#include <gtest/gtest.h>

#include <vector>

namespace velmorak::mif2d12 {
namespace {

struct Polyline {
    std::vector<double> x;
    std::vector<double> y;
    std::vector<float> z;
    std::vector<char> snapped;
    static constexpr float kOwn = -7.0f;  // the polyline's own elevation at unsnapped vertices

    void add(double vx, double vy, bool is_snapped, float vz = kOwn) {
        x.push_back(vx);
        y.push_back(vy);
        z.push_back(is_snapped ? vz : kOwn);
        snapped.push_back(is_snapped);
    }
    bool run() {
        std::unique_ptr<bool[]> flags(new bool[snapped.size()]);
        for (std::size_t k = 0; k < snapped.size(); ++k) flags[k] = snapped[k] != 0;
        return interpolate_elevations(x, y, z, {flags.get(), snapped.size()}, static_cast<std::int32_t>(x.size()));
    }
};

TEST(BreaklineElevations, InteriorVerticesFollowTheDistanceWalkedBetweenSnappedVertices) {
    Polyline p;
    p.add(0, 0, true, 0.0f);
    p.add(1, 0, false);
    p.add(1, 2, false);  // the walk turns: distances along the line, not straight to the ends
    p.add(4, 2, true, 6.0f);
    p.add(4, 6, false);
    p.add(4, 10, true, 2.0f);
    EXPECT_FALSE(p.run());
    // Walked total 1 + 2 + 3 = 6 to the second snapped vertex, then 8 to the third.
    EXPECT_EQ(p.z, (std::vector<float>{0.0f, 1.0f, 3.0f, 6.0f, 4.0f, 2.0f}));

    // Single precision throughout: a third of the way is 1/3 rounded to float.
    Polyline t;
    t.add(0, 0, true, 0.0f);
    t.add(1, 0, false);
    t.add(3, 0, true, 1.0f);
    t.run();
    EXPECT_EQ(t.z[1], 1.0f * 1.0f / 3.0f);
}

// One snapped vertex in the middle: both ends copy it and the walks stay flat.
TEST(BreaklineElevations, EndsBeyondTheOnlySnappedVertexCopyItAndDangle) {
    Polyline p;
    p.add(0, 0, false);
    p.add(1, 0, false);
    p.add(2, 0, true, 4.0f);
    p.add(3, 0, false);
    p.add(7, 0, false);
    EXPECT_TRUE(p.run());
    EXPECT_EQ(p.z, (std::vector<float>{4.0f, 4.0f, 4.0f, 4.0f, 4.0f}));
}

}  // namespace
}  // namespace velmorak::mif2d12
