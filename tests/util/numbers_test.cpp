#include "util/numbers.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>

#include "services/runtime.h"
#include "support/support.h"

namespace velmorak::util {
namespace {

using velmorak::testing::Capture;

const std::string kStars(20, '*');
constexpr std::int32_t kInt32Min = std::numeric_limits<std::int32_t>::min();
constexpr std::int64_t kInt64Min = std::numeric_limits<std::int64_t>::min();

TEST(AInteger, WritesDigitsWithoutBlanks) {
    const struct {
        std::int32_t i;
        const char* want;
    } rows[] = {
        {0, "0"}, {7, "7"}, {-17, "-17"}, {kInt32Min, "-2147483648"},
        {std::numeric_limits<std::int32_t>::max(), "2147483647"},
    };
    for (const auto& row : rows) EXPECT_EQ(AINTEGER(row.i), row.want) << row.i;
}

// Zeros pad non-negative numbers up to ndig digits, at most twenty; negatives,
// longer numbers and an ndig of 1 or less are written as AINTEGER writes them.
TEST(AIntegerPrec0, PadsNonNegativeNumbersWithZerosUpToNdig) {
    const struct {
        std::int64_t i;
        int ndig;
        std::string want;
    } rows[] = {
        {42, 6, "000042"}, {0, 3, "000"}, {7, 2, "07"}, {7, 20, std::string(19, '0') + "7"},
        {5, 25, std::string(19, '0') + "5"}, {-42, 6, "-42"}, {1234567, 6, "1234567"}, {123456, 6, "123456"},
        {5, 1, "5"}, {5, 0, "5"}, {5, -3, "5"},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(AINTEGERPREC0(static_cast<std::int32_t>(row.i), row.ndig), row.want) << row.i << " " << row.ndig;
        EXPECT_EQ(AINTEGER8PREC0(row.i, row.ndig), row.want) << row.i << " " << row.ndig;
    }
    // Sixty-four-bit values.
    EXPECT_EQ(AINTEGER8PREC0(9000000000LL, 12), "009000000000");
    EXPECT_EQ(AINTEGER8PREC0(std::numeric_limits<std::int64_t>::max(), 20), "09223372036854775807");
    EXPECT_EQ(AINTEGER8PREC0(kInt64Min, 20), "-9223372036854775808");
}

TEST(AReal, DecimalsFollowTheMagnitudeAndTrailingZerosGo) {
    const struct {
        float x;
        std::string want;
    } rows[] = {
        // Six decimals below 0.01, one fewer per decade, none from 1000 on.
        {0.0012345678F, "0.001235"}, {0.012345678F, "0.01235"}, {0.12345678F, "0.1235"}, {1.2345678F, "1.235"},
        {12.345F, "12.35"}, {123.45678F, "123.5"}, {1234.5678F, "1235."}, {-98765.4F, "-98765."},
        // A bound belongs to the next row.
        {9.9994F, "9.999"}, {10.004F, "10."}, {999.94F, "999.9"}, {1000.4F, "1000."},
        // Trailing zeros are dropped, the point stays.
        {5.0F, "5."}, {0.0F, "0."}, {-0.25F, "-0.25"}, {1234.0F, "1234."}, {0.005F, "0.005"}, {100.0F, "100."},
        // Rounding can carry into a whole number.
        {0.00000001F, "0."}, {-0.00000001F, "0."}, {999.96F, "1000."},
        // Values wider than twenty columns give asterisks. 1e19 is stored as
        // 9999999980506447872: nineteen digits and the point fill the field.
        {1.0E25F, kStars}, {-1.0E25F, kStars}, {1.0E19F, "9999999980506447872."}, {-1.0E19F, kStars},
        {std::numeric_limits<float>::quiet_NaN(), kStars},
    };
    for (const auto& row : rows) EXPECT_EQ(AREAL(row.x), row.want) << row.x;
}

TEST(AReal8, UsesTheFinerTable) {
    const struct {
        double x;
        std::string want;
    } rows[] = {
        {0.1, "0.1"}, {-0.5, "-0.5"},
        {0.00123456789, "0.0012345679"},  // 10 decimals below 1
        {1.2345678912, "1.234567891"},     // below 10: 9
        {12.345678912, "12.34567891"},     // below 100: 8
        {123456.789, "123456.789"},        // below 1e6: 4
        {123456789.123, "123456789.1"},    // below 1e9: 1
        // Large values have no decimals and overflow to asterisks.
        {2.0E9, "2000000000."}, {999999999.94, "999999999.9"},
        {1.0E18, "1000000000000000000."},  // exactly 20 columns
        {1.0E19, kStars}, {-1.0E18, kStars},
    };
    for (const auto& row : rows) EXPECT_EQ(AREAL8(row.x), row.want) << row.x;
}

TEST(ARealD, KeepsExactlyNdDecimals) {
    const struct {
        float x;
        int nd;
        std::string want;
    } rows[] = {
        {2.5F, 3, "2.500"}, {-1.0F, 0, "-1."}, {0.125F, 2, "0.13"}, {-0.5F, 1, "-0.5"}, {1.0E25F, 0, kStars},
        {1.0F, 19, kStars},  // "1." and 19 decimals is 21 columns
        {1.0F, 18, "1.000000000000000000"},
    };
    for (const auto& row : rows) EXPECT_EQ(AREALD(row.x, row.nd), row.want) << row.x << " " << row.nd;
}

TEST(CsvColumn, FindsTheNameIgnoringCaseAndBlanks) {
    const std::string long_header = std::string(9990, 'a') + ",depth";  // ends at 9996
    const std::string cut_header = std::string(9997, 'a') + ",depth";   // "de" only is seen
    const struct {
        std::string header;
        std::string name;
        int default_column;
        int want;
    } rows[] = {
        {"X, Y ,Elevation", "elevation", 99, 3}, {"X, Y ,Elevation", " y", 99, 2}, {"X,\tY\t,Z", "y", 99, 2},
        {"Name,Chain\tage", "CHAINAGE", 99, 2},
        // The first match wins; empty fields are counted.
        {"a,b,A", "a", 99, 1}, {"a,,c", "C", 99, 3},
        // A missing name or a blank header gives the default.
        {"X, Y ,Elevation", "Z", 99, 99}, {"", "Z", -1, -1}, {"   \t  ", "Z", 5, 5}, {"Elev", "Elevation", 7, 7},
        // Only the first 10000 characters are seen.
        {long_header, "depth", 0, 2}, {cut_header, "depth", 0, 0}, {cut_header, "de", 0, 2},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(CSVCOLUMN(row.header, row.name, row.default_column), row.want)
            << row.header.substr(0, 40) << " | " << row.name;
    }
}

// A field that gives no number sets the value to 0.
TEST(CsvValue, ReadsOneNumberFromAField) {
    const struct {
        const char* line;
        int icol;
        bool ok;
        float value;
    } rows[] = {
        {"1.5,,abc,7", 1, true, 1.5F}, {"1.5,,abc,7", 2, false, 0.0F}, {"1.5,,abc,7", 3, false, 0.0F},
        {"1.5,,abc,7", 4, true, 7.0F}, {"1.5,,abc,7", 5, false, 0.0F},
        // A column below one reads the first field.
        {"2.25,3", 0, true, 2.25F}, {"2.25,3", -4, true, 2.25F},
        // Blanks inside the field are ignored.
        {"  1 2.5 ,x", 1, true, 12.5F}, {"a, - 3 ", 2, true, -3.0F}, {"a,    ,b", 2, false, 0.0F},
        // The exponent forms; a signed exponent may come without its letter.
        {"-1.5E2", 1, true, -150.0F}, {"2.5d1", 1, true, 25.0F}, {"1.5-3", 1, true, 0.0015F}, {"+.5", 1, true, 0.5F},
        {"5.", 1, true, 5.0F},
        // What is not one number in single precision.
        {"1.5x", 1, false, 0.0F}, {"nan", 1, false, 0.0F}, {"1e60", 1, false, 0.0F}, {"--1", 1, false, 0.0F},
    };
    for (const auto& row : rows) {
        float v = -1.0F;
        EXPECT_EQ(CSVVALUE(row.line, row.icol, v), row.ok) << row.line << " column " << row.icol;
        EXPECT_FLOAT_EQ(v, row.value) << row.line << " column " << row.icol;
    }
}

TEST(ExtractString, TakesTheFieldByNameOrColumnWithoutQuotes) {
    const struct {
        const char* line;
        const char* lower;  // nullptr: the line itself
        const char* name;
        int icol;
        const char* want;
    } rows[] = {
        {"a, \"b c\" ,d,'e'f", nullptr, "", 2, "b c"}, {"a, \"b c\" ,d,'e'f", nullptr, "", 1, "a"},
        {"a, \"b c\" ,d,'e'f", nullptr, "", 3, "d"}, {"a, \"b c\" ,d,'e'f", nullptr, "", 4, "ef"},
        // Missing or empty fields are blank.
        {"a,,  ,d   ", nullptr, "", 0, ""}, {"a,,  ,d   ", nullptr, "", -1, ""}, {"a,,  ,d   ", nullptr, "", 2, ""},
        {"a,,  ,d   ", nullptr, "", 3, ""}, {"a,,  ,d   ", nullptr, "", 4, "d"}, {"a,,  ,d   ", nullptr, "", 5, ""},
        {"a,\tb", nullptr, "", 2, "\tb"},  // a leading tab stays in the field
        // A named value wins over the column.
        {"ID=7, Name = 'Main Drain', depth=2.5", "id=7, name = 'main drain', depth=2.5", "NAME", 1, "Main Drain"},
        {"ID=7, Name = 'Main Drain', depth=2.5", "id=7, name = 'main drain', depth=2.5", " depth ", 1, "2.5"},
        {"ID=7, Name = 'Main Drain', depth=2.5", "id=7, name = 'main drain', depth=2.5", "id", 3, "7"},
        // The name must start a word and be followed by "="; else the column counts.
        {"maxdepth=9, depth=2, width 4", nullptr, "depth", 1, "2"},
        {"maxdepth=9, depth=2, width 4", nullptr, "width", 1, "maxdepth=9"},
        {"maxdepth=9, depth=2, width 4", nullptr, "height", 2, "depth=2"},
        {"maxdepth=9, depth=2, width 4", nullptr, "   ", 2, "depth=2"},
        {"depth=,3", nullptr, "depth", 2, ""},  // a named value may be empty
    };
    for (const auto& row : rows) {
        EXPECT_EQ(EXTRACTSTRING(row.line, row.lower ? row.lower : row.line, row.name, row.icol), row.want)
            << row.line << " | " << row.name << " | " << row.icol;
    }
}

TEST(ExtractNumber, ReadsTheFirstValueOfTheFieldOrGivesTheDefaultSilently) {
    Capture cap;
    const struct {
        const char* line;
        const char* name;
        int icol;
        std::int32_t want;
    } integers[] = {
        {"a,42,b", "", 2, 42}, {"a, 12 34 ,b", "", 2, 12}, {"a,\"+8\"", "", 2, 8}, {"n=-3,5", "N", 2, -3},
        // An empty field gives the default.
        {"1,,3", "", 2, 77}, {"1,  '' ,3", "", 2, 77}, {"1,2", "", 9, 77}, {"1,2", "", 0, 77},
    };
    for (const auto& row : integers) {
        EXPECT_EQ(EXTRACTINTEGER(row.line, row.line, row.name, row.icol, 77), row.want) << row.line;
    }
    const struct {
        const char* line;
        const char* lower;
        float want;
    } reals[] = {{"x,2.5E1", "x,2.5e1", 25.0F}, {"x,7", "x,7", 7.0F}, {"x,1.5d-1 9", "x,1.5d-1 9", 0.15F},
                 {"x,", "x,", -1.0F}};
    for (const auto& row : reals) EXPECT_FLOAT_EQ(EXTRACTREAL(row.line, row.lower, "", 2, -1.0F), row.want) << row.line;
    EXPECT_EQ(cap.out(), "");
}

TEST(ExtractInteger, BadFieldWritesOneLineAndStopsTheRun) {
    Capture cap("\n");
    EXPECT_THROW(EXTRACTINTEGER("1,2,3,abc ,5", "1,2,3,abc ,5", "depth  ", 4, 0), services::RunStop);
    EXPECT_EQ(cap.out(),
              " Could not convert \"abc\" in column  4 to an integer value for the depth field.\n"
              "\nPress Enter to Close\n");
}

// Reals, overflow and "nan" are conversion errors; the line names the column
// and the field.
TEST(ExtractNumber, ConversionErrorsNameTheColumnAndTheField) {
    const std::string level_line = "a,b,c,d,e,f,g,h,i,j,k,12.5m";
    const struct {
        bool integer;
        std::string line;
        const char* name;
        int icol;
        std::string message;
    } rows[] = {
        {true, "1.5", "n", 1, " Could not convert \"1.5\" in column  1 to an integer value for the n field.\n"},
        {true, "99999999999", "n", 1,
         " Could not convert \"99999999999\" in column  1 to an integer value for the n field.\n"},
        {false, level_line, "Level", 12,
         " Could not convert \"12.5m\" in column 12 to a real value for the Level field.\n"},
        {false, "nan", "z", 1, " Could not convert \"nan\" in column  1 to a real value for the z field.\n"},
    };
    for (const auto& row : rows) {
        Capture cap;
        cap.rt().pause_at_exit = false;
        if (row.integer) {
            EXPECT_THROW(EXTRACTINTEGER(row.line, row.line, row.name, row.icol, 0), services::RunStop) << row.line;
        } else {
            EXPECT_THROW(EXTRACTREAL(row.line, row.line, row.name, row.icol, 0.0F), services::RunStop) << row.line;
        }
        EXPECT_EQ(cap.out(), row.message);
    }
}

TEST(NumberOfNumbers, CountsNumbersBeforeACommentAndTurnsNegativeAtOtherText) {
    const struct {
        const char* line;
        int want;
    } rows[] = {
        {"1.0, 2.5  -3e2 ! note", 3}, {"1\t2,3 # 4 5", 3}, {"10,,20", 2}, {"   ", 0}, {"", 0}, {"! 1 2", 0},
        {"1 2 x 3", -2}, {"abc", 0}, {"+1", 0}, {"1 +2", -1}, {"5 6 7;", -3},
    };
    for (const auto& row : rows) EXPECT_EQ(NUMBEROFNUMBERS(row.line), row.want) << '"' << row.line << '"';
}

}  // namespace
}  // namespace velmorak::util
