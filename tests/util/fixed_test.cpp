#include "util/fixed.h"
#include "util/freeformat.h"

#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
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

// ---------------------------------------------------------------- fields from the digits read

// Each token read as the converter reads it (a double, or a float for a 12d
// height) and written into a field: from its digits where put_digits_field
// takes it, from its value otherwise. The field must be the one the value
// gives, and the digits must be used exactly where the row says.
TEST(PutDigitsField, EdgeTokensGiveTheFieldsOfTheirValues) {
    struct Row {
        const char* token;
        int width;
        int decimals;
        Precision precision;
        bool from_digits;  // the field is written from the token's digits
        const char* want;  // right-aligned in the width
    };
    constexpr Precision D = Precision::double_value;
    constexpr Precision F = Precision::single_value;
    const Row rows[] = {
        // Survey coordinates and heights, padded with zeros.
        {"316211.306", 16, 6, D, true, "316211.306000"},
        {"-6216306.595", 16, 5, D, true, "-6216306.59500"},
        {"15.735", 16, 3, F, true, "15.735"},
        {"12", 16, 6, D, true, "12.000000"},
        {"1.", 16, 6, D, true, "1.000000"},
        {"0", 16, 6, D, true, "0.000000"},
        {"0.000", 16, 6, D, true, "0.000000"},
        {"0.5", 5, 3, D, true, "0.500"},
        // Negative zeros lose their sign.
        {"-0.000", 16, 6, D, false, "0.000000"},
        {"-0", 16, 3, F, false, "0.000"},
        // Leading zeros and signs.
        {"007.25", 16, 6, D, false, "7.250000"},
        {"-00.5", 16, 6, D, false, "-0.500000"},
        {"+12.5", 16, 6, D, false, "12.500000"},
        {".5", 16, 6, D, false, "0.500000"},
        {"-.5", 16, 5, D, false, "-0.50000"},
        // Exponents, also Fortran's.
        {"1e3", 16, 6, D, false, "1000.000000"},
        {"1.5D2", 16, 5, D, false, "150.00000"},
        {"2.5e-3", 16, 3, F, false, "0.002"},  // the float lies below the half
        // More decimals than the field: rounded from the value.
        {"0.1234567", 16, 6, D, false, "0.123457"},
        {"15.7355", 16, 3, F, false, "15.736"},  // the float lies above the half
        // 15 digits in all fit a double's precision; 17 do not.
        {"999999999.999999", 16, 6, D, true, "999999999.999999"},
        {"1234567890.12345", 16, 5, D, true, "1234567890.12345"},
        {"123456789.12345678", 16, 6, D, false, "123456789.123457"},
        {"12345678901234567", 16, 0, D, false, "****************"},
        // Values too wide for the field: asterisks, or the zero before the point dropped.
        {"1234567890.1", 16, 6, D, false, "****************"},
        {"-123456789.5", 16, 6, D, false, "****************"},
        {"123456789", 16, 6, D, true, "123456789.000000"},
        {"0.5", 4, 3, D, false, ".500"},
        {"-0.5", 5, 3, D, false, "-.500"},
        {"-0.5", 4, 3, D, false, "****"},
        // Single-precision heights: digits only below the power of two whose
        // floats lie closer than a unit of the last decimal.
        {"16383.999", 16, 3, F, true, "16383.999"},
        {"16384.001", 16, 3, F, false, "16384.002"},  // the float nearest to it is 16384.001953125
        {"999.9999", 12, 4, F, true, "999.9999"},
        {"1234.5678", 12, 4, F, false, "1234.5677"},  // 1234.5677490234375
        {"-999", 16, 3, F, true, "-999.000"},
        {"-99999", 16, 3, F, false, "-99999.000"},
        {"0.1234567", 16, 7, F, true, "0.1234567"},
        {"1.1234567", 16, 7, F, false, "1.1234567"},  // right, but not provably so
        // A token longer than its text holds keeps the value's field.
        {"0.000000000000000000000001", 16, 6, D, false, "0.000000"},
    };
    for (const Row& r : rows) {
        FreeFormat ff(r.token);
        double value = 0.0;
        float single = 0.0f;
        const ReadStatus status = r.precision == D ? ff.read(value) : ff.read(single);
        ASSERT_EQ(status, ReadStatus::ok) << r.token;
        if (r.precision == F) value = single;
        NumberText text;
        ff.last_text(text);
        const std::string want = std::string(static_cast<std::size_t>(r.width) - std::strlen(r.want), ' ') + r.want;

        std::string from_value(static_cast<std::size_t>(r.width), ' ');
        put_fixed_field(from_value.data(), value, r.width, r.decimals);
        EXPECT_EQ(from_value, want) << r.token << " in " << r.width << "." << r.decimals;

        std::string from_digits(static_cast<std::size_t>(r.width), ' ');
        EXPECT_EQ(put_digits_field(from_digits.data(), text, r.width, r.decimals, r.precision), r.from_digits)
            << r.token << " in " << r.width << "." << r.decimals;
        EXPECT_EQ(from_digits, r.from_digits ? want : std::string(static_cast<std::size_t>(r.width), ' '))
            << r.token << " in " << r.width << "." << r.decimals;

        // The one-pass vertex reader takes the same value and text, or leaves
        // the line to FreeFormat when it holds a token that is not plain.
        double x = 0.0;
        double y = 0.0;
        float z = 0.0f;
        NumberText texts[3];
        std::size_t rest = 0;
        const std::string token = r.token;
        const bool taken = r.precision == D
                               ? read_plain_values(token + " 2", rest, x, &texts[0], y, &texts[1])
                               : read_plain_values("1 2 " + token, rest, x, &texts[0], y, &texts[1], z, &texts[2]);
        const NumberText& kept = r.precision == D ? texts[0] : texts[2];
        if (token.size() <= NumberText::kCapacity) {
            EXPECT_EQ(taken, text.plain) << r.token;
        }
        if (taken) {
            EXPECT_EQ(kept.view(), text.view()) << r.token;
            EXPECT_EQ(kept.as_written, text.as_written) << r.token;
            if (r.precision == D) {
                EXPECT_EQ(x, value) << r.token;
            } else {
                EXPECT_EQ(z, single) << r.token;
            }
        }
    }
}

}  // namespace
}  // namespace velmorak::util
