#include "util/big_array.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace velmorak::util {
namespace {

// Vectors sized once read as zeros before they are written, keep what was
// written when they grow, and copy like any vector.
TEST(LazyVector, ReadsZeroUntilWrittenAndKeepsValuesWhenGrown) {
    LazyVector<double> v(3'000'000);  // large enough to come fresh from the system
    EXPECT_EQ(v[0], 0.0);
    EXPECT_EQ(v[2'999'999], 0.0);
    v[5] = 2.5;
    v.resize(v.size() + 10);
    EXPECT_EQ(v[5], 2.5);
    EXPECT_EQ(v.back(), 0.0);
    v.push_back(7.0);
    EXPECT_EQ(v.back(), 7.0);
    LazyVector<float> small(4);
    for (const float f : small) EXPECT_EQ(f, 0.0f);
    const LazyVector<float> copy = small;
    EXPECT_EQ(copy.size(), 4u);
    LazyVector<std::int32_t> filled(5, -1);  // a value given is written
    for (const std::int32_t i : filled) EXPECT_EQ(i, -1);
}

TEST(BigArray, HoldsWhatIsWrittenWhateverItsSize) {
    for (const std::size_t n : {std::size_t{0}, std::size_t{1}, std::size_t{1000}, std::size_t{1} << 20}) {
        BigArray<std::uint64_t> a(n);
        EXPECT_EQ(a.size(), n);
        EXPECT_EQ(a.empty(), n == 0);
        for (std::size_t i = 0; i < n; ++i) a[i] = i * 3;
        std::uint64_t sum = 0;
        for (const std::uint64_t x : a.span()) sum += x;
        EXPECT_EQ(sum, n == 0 ? 0 : 3 * (n - 1) * n / 2);
        // Storage of 2 MiB and more is aligned for huge pages.
        if (n * sizeof(std::uint64_t) >= (std::size_t{2} << 20)) {
            EXPECT_EQ(reinterpret_cast<std::uintptr_t>(a.data()) % (std::size_t{2} << 20), 0u);
        }
    }
    BigArray<double> moved(100);
    moved[99] = 1.5;
    BigArray<double> target = std::move(moved);
    EXPECT_EQ(target[99], 1.5);
    EXPECT_EQ(target.size(), 100u);
}

}  // namespace
}  // namespace velmorak::util
