#include "util/fixed.h"

#include <gtest/gtest.h>

#include <limits>

namespace velmorak::util {
namespace {

TEST(PutFixed, RightAlignsWithDecimals) {
    EXPECT_EQ(fixed(12.5, 16, 6), "       12.500000");
    EXPECT_EQ(fixed(3.25, 16, 6), "        3.250000");
    EXPECT_EQ(fixed(-999.0, 12, 3), "    -999.000");
    EXPECT_EQ(fixed(123.456, 16, 3), "         123.456");
}

TEST(PutFixed, ZeroBeforeThePointIsDroppedOnlyWhenTheFieldIsNarrow) {
    EXPECT_EQ(fixed(0.5, 6, 3), " 0.500");
    EXPECT_EQ(fixed(0.5, 5, 3), "0.500");
    EXPECT_EQ(fixed(0.5, 4, 3), ".500");
    EXPECT_EQ(fixed(-0.5, 5, 3), "-.500");
    EXPECT_EQ(fixed(-0.5, 4, 3), "****");
}

TEST(PutFixed, OverflowFillsTheFieldWithAsterisks) {
    EXPECT_EQ(fixed(1e20, 16, 6), "****************");
    EXPECT_EQ(fixed(123456789.0, 16, 6), "123456789.000000");   // exactly 16 wide
    EXPECT_EQ(fixed(-123456789.0, 16, 6), "****************");  // one too wide
    EXPECT_EQ(fixed(std::numeric_limits<double>::quiet_NaN(), 8, 2), "********");
    EXPECT_EQ(fixed(std::numeric_limits<double>::infinity(), 8, 2), "********");
}

TEST(PutFixed, NegativeZeroAndValuesRoundingToZeroHaveNoSign) {
    EXPECT_EQ(fixed(-0.0, 8, 3), "   0.000");
    EXPECT_EQ(fixed(-0.0004, 8, 3), "   0.000");
    EXPECT_EQ(fixed(-0.0005, 8, 3), "  -0.001");  // just above the half in binary
}

TEST(PutFixed, ExactHalvesRoundAwayFromZero) {
    EXPECT_EQ(fixed(0.125, 6, 2), "  0.13");
    EXPECT_EQ(fixed(-0.125, 6, 2), " -0.13");
    EXPECT_EQ(fixed(2.5, 4, 0), "  3.");
    EXPECT_EQ(fixed(0.375, 6, 2), "  0.38");
    // 2.675 is stored just below the half: it rounds down, as the exact value says.
    EXPECT_EQ(fixed(2.675, 6, 2), "  2.67");
    EXPECT_EQ(fixed(1.0000005, 10, 6), "  1.000001");  // stored above the half
}

TEST(PutFixed, ZeroDecimalsKeepThePoint) {
    EXPECT_EQ(fixed(5.0, 4, 0), "  5.");
    EXPECT_EQ(fixed(0.0, 3, 0), " 0.");
}

TEST(PutInt, RightAlignedWithOverflow) {
    EXPECT_EQ(fixed_int(901, 4), " 901");
    EXPECT_EQ(fixed_int(10, 8), "      10");
    EXPECT_EQ(fixed_int(1000, 3), "***");
    EXPECT_EQ(fixed_int(-5, 2), "-5");
    EXPECT_EQ(int_text(-2147483648LL), "-2147483648");
}

}  // namespace
}  // namespace velmorak::util
