#include "util/fixed.h"

#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <cstdint>
#include <initializer_list>
#include <limits>
#include <random>
#include <string>

namespace velmorak::util {
namespace {

// Each row's field as fixed() lays it out; a failure names the value exactly.
struct FieldRow {
    double x;
    int width;
    int decimals;
    const char* want;
};

void expect_fields(std::initializer_list<FieldRow> rows) {
    for (const FieldRow& r : rows) {
        EXPECT_EQ(fixed(r.x, r.width, r.decimals), r.want)
            << ::testing::PrintToString(r.x) << " in " << r.width << "." << r.decimals;
    }
}

TEST(PutFixed, RightAlignsWithDecimals) {
    expect_fields({{12.5, 16, 6, "       12.500000"}, {3.25, 16, 6, "        3.250000"}, {-999.0, 12, 3, "    -999.000"},
                   {123.456, 16, 3, "         123.456"},
                   // Zero decimals keep the point.
                   {5.0, 4, 0, "  5."}, {0.0, 3, 0, " 0."}});
}

TEST(PutFixed, ZeroBeforeThePointIsDroppedOnlyWhenTheFieldIsNarrow) {
    expect_fields({{0.5, 6, 3, " 0.500"}, {0.5, 5, 3, "0.500"}, {0.5, 4, 3, ".500"}, {-0.5, 5, 3, "-.500"},
                   {-0.5, 4, 3, "****"}});
}

TEST(PutFixed, OverflowFillsTheFieldWithAsterisks) {
    expect_fields({{1e20, 16, 6, "****************"},
                   {123456789.0, 16, 6, "123456789.000000"},   // exactly 16 wide
                   {-123456789.0, 16, 6, "****************"},  // one too wide
                   {std::numeric_limits<double>::quiet_NaN(), 8, 2, "********"},
                   {std::numeric_limits<double>::infinity(), 8, 2, "********"},
                   // Degenerate layouts.
                   {1.0, 0, 2, ""}, {1.0, 5, -1, "*****"},
                   {1.0, 10, 400, "**********"},  // far more decimals than any buffer holds
                   {1e300, 8, 0, "********"}});
}

TEST(PutFixed, NegativeZeroAndValuesRoundingToZeroHaveNoSign) {
    expect_fields({{-0.0, 8, 3, "   0.000"}, {-0.0004, 8, 3, "   0.000"},
                   {-0.0005, 8, 3, "  -0.001"}});  // just above the half in binary
}

TEST(PutFixed, ExactHalvesRoundAwayFromZero) {
    expect_fields({{0.125, 6, 2, "  0.13"}, {-0.125, 6, 2, " -0.13"}, {2.5, 4, 0, "  3."}, {0.375, 6, 2, "  0.38"},
                   // 2.675 is stored just below the half: it rounds down, as the exact value says.
                   {2.675, 6, 2, "  2.67"},
                   {1.0000005, 10, 6, "  1.000001"},  // stored above the half
                   // Here the value times 10^decimals is beyond 2^52, so the product shows no fraction.
                   {5000000000.0078125, 20, 6, "   5000000000.007813"},
                   {562949953421311.25, 20, 1, "   562949953421311.3"},
                   {-562949953421311.25, 20, 1, "  -562949953421311.3"},
                   // The last bit is worth 0.25 here: stepping to the next double would land on .5.
                   {1125899906842624.25, 20, 1, "  1125899906842624.3"},
                   {1125899906842624.75, 20, 1, "  1125899906842624.8"},
                   {1000000000000000.5, 20, 0, "   1000000000000001."}});
}

TEST(PutFixed, RoundingCarryCanWidenTheNumber) {
    expect_fields({{9.5, 4, 0, " 10."}, {-99.5, 5, 0, "-100."}, {99.5, 3, 0, "***"}, {9.996, 5, 2, "10.00"},
                   {9.996, 4, 2, "****"}, {0.9921875, 10, 6, "  0.992188"}});
}

TEST(PutFixed, AppendsToTheCallersBuffer) {
    std::string out = "x=";
    put_fixed(out, 1.25, 6, 2);
    put_int(out, 7, 3);
    EXPECT_EQ(out, "x=  1.25  7");
}

// Fields laid out in a blank line: each stays within its columns, whether the
// value is plain, rounds at a half, overflows or is not a number.
TEST(PutFixed, FieldsInABlankLineStayInTheirColumns) {
    const double values[] = {316211.306, -0.0005, 2.5, 1e12, std::numeric_limits<double>::quiet_NaN(), 0.125, -7.0};
    for (const double v : values) {
        std::string line(12, ' ');
        line.front() = line.back() = '|';
        put_fixed_field(line.data() + 1, v, 10, 3);
        EXPECT_EQ(line.front(), '|') << v;
        EXPECT_EQ(line.back(), '|') << v;
        EXPECT_EQ(line.substr(1, 10), fixed(v, 10, 3)) << v;
    }
    std::string row;
    char* blank = append_blanks(row, 5);
    put_fixed_field(blank, 1.5, 5, 1);
    EXPECT_EQ(row, "  1.5");
}

TEST(PutInt, RightAlignedWithOverflow) {
    const struct {
        std::int64_t value;
        int width;
        const char* want;
    } rows[] = {{901, 4, " 901"}, {10, 8, "      10"}, {1000, 3, "***"}, {-5, 2, "-5"}, {-10, 2, "**"}, {5, 0, ""}};
    for (const auto& r : rows) EXPECT_EQ(fixed_int(r.value, r.width), r.want) << r.value << " in " << r.width;
    EXPECT_EQ(int_text(-2147483648LL), "-2147483648");
}

}  // namespace
}  // namespace velmorak::util

namespace velmorak::util {
namespace {

// The digits of every value must be the correctly rounded decimal of the exact
// binary value, however the writer gets there. Random values are almost never
// exact halves, where to_chars (halves to even) and the writer (halves away)
// would differ, so to_chars is the reference here.
TEST(PutFixed, AgreesWithCorrectRoundingOnRandomValues) {
    std::mt19937_64 rng(12345);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    std::uniform_int_distribution<int> exponent(-8, 15);
    std::uniform_int_distribution<int> decimals(0, 10);
    for (int i = 0; i < 200000; ++i) {
        const double x = (unit(rng) - 0.5) * std::pow(10.0, exponent(rng));
        const int d = decimals(rng);
        char buf[400];
        // Exact halves (large values keep few fraction bits) follow their own rule, tested above.
        const auto w = std::to_chars(buf, buf + sizeof buf, std::fabs(x), std::chars_format::fixed, d + 40);
        const std::string wide(buf, w.ptr);
        const std::string tail = wide.substr(wide.find('.') + 1 + static_cast<std::size_t>(d));
        if (tail.front() == '5' && tail.find_first_not_of('0', 1) == std::string::npos) continue;
        const auto r = std::to_chars(buf, buf + sizeof buf, std::fabs(x), std::chars_format::fixed, d);
        std::string want(buf, r.ptr);
        if (d == 0) want += '.';
        const bool nonzero = want.find_first_of("123456789") != std::string::npos;
        if (x < 0 && nonzero) want = "-" + want;
        std::string got = fixed(x, 60, d);
        got.erase(0, got.find_first_not_of(' '));
        ASSERT_EQ(got, want) << "x=" << x << " d=" << d;
    }
}

}  // namespace
}  // namespace velmorak::util
