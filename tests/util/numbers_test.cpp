#include "util/numbers.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <sstream>
#include <string>

#include "services/runtime.h"

namespace velmorak::util {
namespace {

const std::string kStars(20, '*');

TEST(AInteger, WritesDigitsWithoutBlanks) {
    EXPECT_EQ(AINTEGER(0), "0");
    EXPECT_EQ(AINTEGER(7), "7");
    EXPECT_EQ(AINTEGER(-17), "-17");
    EXPECT_EQ(AINTEGER(std::numeric_limits<std::int32_t>::min()), "-2147483648");
    EXPECT_EQ(AINTEGER(std::numeric_limits<std::int32_t>::max()), "2147483647");
}

TEST(AIntegerPrec0, PadsNonNegativeNumbersWithZerosUpToNdig) {
    EXPECT_EQ(AINTEGERPREC0(42, 6), "000042");
    EXPECT_EQ(AINTEGERPREC0(0, 3), "000");
    EXPECT_EQ(AINTEGERPREC0(7, 2), "07");
    EXPECT_EQ(AINTEGERPREC0(7, 20), std::string(19, '0') + "7");
}

TEST(AIntegerPrec0, LeavesNegativesLongNumbersAndSmallNdigAsAInteger) {
    EXPECT_EQ(AINTEGERPREC0(-42, 6), "-42");
    EXPECT_EQ(AINTEGERPREC0(1234567, 6), "1234567");
    EXPECT_EQ(AINTEGERPREC0(123456, 6), "123456");
    EXPECT_EQ(AINTEGERPREC0(5, 1), "5");
    EXPECT_EQ(AINTEGERPREC0(5, 0), "5");
    EXPECT_EQ(AINTEGERPREC0(5, -3), "5");
}

TEST(AIntegerPrec0, NdigBeyondTheFieldStopsAtTwentyDigits) {
    EXPECT_EQ(AINTEGERPREC0(5, 25), std::string(19, '0') + "5");
}

TEST(AInteger8Prec0, HandlesSixtyFourBitValues) {
    EXPECT_EQ(AINTEGER8PREC0(9000000000LL, 12), "009000000000");
    EXPECT_EQ(AINTEGER8PREC0(std::numeric_limits<std::int64_t>::max(), 20), "09223372036854775807");
    EXPECT_EQ(AINTEGER8PREC0(std::numeric_limits<std::int64_t>::min(), 20), "-9223372036854775808");
    EXPECT_EQ(AINTEGER8PREC0(-42, 6), "-42");
}

TEST(AReal, DecimalsFollowTheMagnitude) {
    EXPECT_EQ(AREAL(0.0012345678F), "0.001235");  // below 0.01: 6
    EXPECT_EQ(AREAL(0.012345678F), "0.01235");    // below 0.1: 5
    EXPECT_EQ(AREAL(0.12345678F), "0.1235");      // below 1: 4
    EXPECT_EQ(AREAL(1.2345678F), "1.235");        // below 10: 3
    EXPECT_EQ(AREAL(12.345F), "12.35");           // below 100: 2
    EXPECT_EQ(AREAL(123.45678F), "123.5");        // below 1000: 1
    EXPECT_EQ(AREAL(1234.5678F), "1235.");        // from 1000 on: none
    EXPECT_EQ(AREAL(-98765.4F), "-98765.");
}

TEST(AReal, BoundsBelongToTheNextRow) {
    EXPECT_EQ(AREAL(9.9994F), "9.999");
    EXPECT_EQ(AREAL(10.004F), "10.");
    EXPECT_EQ(AREAL(999.94F), "999.9");
    EXPECT_EQ(AREAL(1000.4F), "1000.");
}

TEST(AReal, DropsTrailingZerosButKeepsThePoint) {
    EXPECT_EQ(AREAL(5.0F), "5.");
    EXPECT_EQ(AREAL(0.0F), "0.");
    EXPECT_EQ(AREAL(-0.25F), "-0.25");
    EXPECT_EQ(AREAL(1234.0F), "1234.");
    EXPECT_EQ(AREAL(0.005F), "0.005");
    EXPECT_EQ(AREAL(100.0F), "100.");
}

TEST(AReal, RoundingCanCarryIntoAWholeNumber) {
    EXPECT_EQ(AREAL(0.00000001F), "0.");
    EXPECT_EQ(AREAL(-0.00000001F), "0.");
    EXPECT_EQ(AREAL(999.96F), "1000.");
}

TEST(AReal, ValuesWiderThanTwentyColumnsGiveAsterisks) {
    EXPECT_EQ(AREAL(1.0E25F), kStars);
    EXPECT_EQ(AREAL(-1.0E25F), kStars);
    // 1e19 is stored as 9999999980506447872: nineteen digits and the point fill the field.
    EXPECT_EQ(AREAL(1.0E19F), "9999999980506447872.");
    EXPECT_EQ(AREAL(-1.0E19F), kStars);
    EXPECT_EQ(AREAL(std::numeric_limits<float>::quiet_NaN()), kStars);
}

TEST(AReal8, UsesTheFinerTable) {
    EXPECT_EQ(AREAL8(0.1), "0.1");
    EXPECT_EQ(AREAL8(-0.5), "-0.5");
    EXPECT_EQ(AREAL8(0.00123456789), "0.0012345679");  // 10 decimals below 1
    EXPECT_EQ(AREAL8(1.2345678912), "1.234567891");     // below 10: 9
    EXPECT_EQ(AREAL8(12.345678912), "12.34567891");     // below 100: 8
    EXPECT_EQ(AREAL8(123456.789), "123456.789");        // below 1e6: 4
    EXPECT_EQ(AREAL8(123456789.123), "123456789.1");    // below 1e9: 1
}

TEST(AReal8, LargeValuesHaveNoDecimalsAndOverflowToAsterisks) {
    EXPECT_EQ(AREAL8(2.0E9), "2000000000.");
    EXPECT_EQ(AREAL8(999999999.94), "999999999.9");
    EXPECT_EQ(AREAL8(1.0E18), "1000000000000000000.");  // exactly 20 columns
    EXPECT_EQ(AREAL8(1.0E19), kStars);
    EXPECT_EQ(AREAL8(-1.0E18), kStars);
}

TEST(ARealD, KeepsExactlyNdDecimals) {
    EXPECT_EQ(AREALD(2.5F, 3), "2.500");
    EXPECT_EQ(AREALD(-1.0F, 0), "-1.");
    EXPECT_EQ(AREALD(0.125F, 2), "0.13");
    EXPECT_EQ(AREALD(-0.5F, 1), "-0.5");
}

TEST(ARealD, TooWideGivesAsterisks) {
    EXPECT_EQ(AREALD(1.0E25F, 0), kStars);
    EXPECT_EQ(AREALD(1.0F, 19), kStars);  // "1." and 19 decimals is 21 columns
    EXPECT_EQ(AREALD(1.0F, 18), "1.000000000000000000");
}

TEST(CsvColumn, FindsTheNameIgnoringCaseAndBlanks) {
    EXPECT_EQ(CSVCOLUMN("X, Y ,Elevation", "elevation", 99), 3);
    EXPECT_EQ(CSVCOLUMN("X, Y ,Elevation", " y", 99), 2);
    EXPECT_EQ(CSVCOLUMN("X,\tY\t,Z", "y", 99), 2);
    EXPECT_EQ(CSVCOLUMN("Name,Chain\tage", "CHAINAGE", 99), 2);
}

TEST(CsvColumn, FirstMatchWinsAndEmptyFieldsAreCounted) {
    EXPECT_EQ(CSVCOLUMN("a,b,A", "a", 99), 1);
    EXPECT_EQ(CSVCOLUMN("a,,c", "C", 99), 3);
}

TEST(CsvColumn, MissingNameOrBlankHeaderGivesDefault) {
    EXPECT_EQ(CSVCOLUMN("X, Y ,Elevation", "Z", 99), 99);
    EXPECT_EQ(CSVCOLUMN("", "Z", -1), -1);
    EXPECT_EQ(CSVCOLUMN("   \t  ", "Z", 5), 5);
    EXPECT_EQ(CSVCOLUMN("Elev", "Elevation", 7), 7);
}

TEST(CsvColumn, SeesOnlyTheFirst10000Characters) {
    std::string header(9990, 'a');
    header += ",depth";  // ends at 9996
    EXPECT_EQ(CSVCOLUMN(header, "depth", 0), 2);
    std::string cut_header(9997, 'a');
    cut_header += ",depth";  // "de" only is seen
    EXPECT_EQ(CSVCOLUMN(cut_header, "depth", 0), 0);
    EXPECT_EQ(CSVCOLUMN(cut_header, "de", 0), 2);
}

TEST(CsvValue, ReadsTheFieldsOfALine) {
    float v = -1.0F;
    EXPECT_TRUE(CSVVALUE("1.5,,abc,7", 1, v));
    EXPECT_FLOAT_EQ(v, 1.5F);
    v = -1.0F;
    EXPECT_FALSE(CSVVALUE("1.5,,abc,7", 2, v));
    EXPECT_EQ(v, 0.0F);
    v = -1.0F;
    EXPECT_FALSE(CSVVALUE("1.5,,abc,7", 3, v));
    EXPECT_EQ(v, 0.0F);
    EXPECT_TRUE(CSVVALUE("1.5,,abc,7", 4, v));
    EXPECT_FLOAT_EQ(v, 7.0F);
    v = -1.0F;
    EXPECT_FALSE(CSVVALUE("1.5,,abc,7", 5, v));
    EXPECT_EQ(v, 0.0F);
}

TEST(CsvValue, ColumnBelowOneReadsTheFirstField) {
    float v = 0.0F;
    EXPECT_TRUE(CSVVALUE("2.25,3", 0, v));
    EXPECT_FLOAT_EQ(v, 2.25F);
    EXPECT_TRUE(CSVVALUE("2.25,3", -4, v));
    EXPECT_FLOAT_EQ(v, 2.25F);
}

TEST(CsvValue, BlanksInsideTheFieldAreIgnored) {
    float v = 0.0F;
    EXPECT_TRUE(CSVVALUE("  1 2.5 ,x", 1, v));
    EXPECT_FLOAT_EQ(v, 12.5F);
    EXPECT_TRUE(CSVVALUE("a, - 3 ", 2, v));
    EXPECT_FLOAT_EQ(v, -3.0F);
    EXPECT_FALSE(CSVVALUE("a,    ,b", 2, v));
    EXPECT_EQ(v, 0.0F);
}

TEST(CsvValue, AcceptsTheExponentForms) {
    float v = 0.0F;
    EXPECT_TRUE(CSVVALUE("-1.5E2", 1, v));
    EXPECT_FLOAT_EQ(v, -150.0F);
    EXPECT_TRUE(CSVVALUE("2.5d1", 1, v));
    EXPECT_FLOAT_EQ(v, 25.0F);
    EXPECT_TRUE(CSVVALUE("1.5-3", 1, v));  // a signed exponent without its letter
    EXPECT_FLOAT_EQ(v, 0.0015F);
    EXPECT_TRUE(CSVVALUE("+.5", 1, v));
    EXPECT_FLOAT_EQ(v, 0.5F);
    EXPECT_TRUE(CSVVALUE("5.", 1, v));
    EXPECT_FLOAT_EQ(v, 5.0F);
}

TEST(CsvValue, RejectsWhatIsNotOneNumber) {
    float v = -1.0F;
    EXPECT_FALSE(CSVVALUE("1.5x", 1, v));
    EXPECT_EQ(v, 0.0F);
    v = -1.0F;
    EXPECT_FALSE(CSVVALUE("nan", 1, v));
    EXPECT_EQ(v, 0.0F);
    v = -1.0F;
    EXPECT_FALSE(CSVVALUE("1e60", 1, v));  // beyond single precision
    EXPECT_EQ(v, 0.0F);
    v = -1.0F;
    EXPECT_FALSE(CSVVALUE("--1", 1, v));
    EXPECT_EQ(v, 0.0F);
}

TEST(ExtractString, TakesTheFieldByColumnWithoutQuotes) {
    const std::string line = "a, \"b c\" ,d,'e'f";
    EXPECT_EQ(EXTRACTSTRING(line, line, "", 2), "b c");
    EXPECT_EQ(EXTRACTSTRING(line, line, "", 1), "a");
    EXPECT_EQ(EXTRACTSTRING(line, line, "", 3), "d");
    EXPECT_EQ(EXTRACTSTRING(line, line, "", 4), "ef");
}

TEST(ExtractString, MissingOrEmptyFieldsAreBlank) {
    const std::string line = "a,,  ,d   ";
    EXPECT_EQ(EXTRACTSTRING(line, line, "", 0), "");
    EXPECT_EQ(EXTRACTSTRING(line, line, "", -1), "");
    EXPECT_EQ(EXTRACTSTRING(line, line, "", 2), "");
    EXPECT_EQ(EXTRACTSTRING(line, line, "", 3), "");
    EXPECT_EQ(EXTRACTSTRING(line, line, "", 4), "d");
    EXPECT_EQ(EXTRACTSTRING(line, line, "", 5), "");
}

TEST(ExtractString, LeadingTabStaysInTheField) {
    const std::string line = "a,\tb";
    EXPECT_EQ(EXTRACTSTRING(line, line, "", 2), "\tb");
}

TEST(ExtractString, NamedValueWinsOverTheColumn) {
    const std::string line = "ID=7, Name = 'Main Drain', depth=2.5";
    const std::string lower = "id=7, name = 'main drain', depth=2.5";
    EXPECT_EQ(EXTRACTSTRING(line, lower, "NAME", 1), "Main Drain");
    EXPECT_EQ(EXTRACTSTRING(line, lower, " depth ", 1), "2.5");
    EXPECT_EQ(EXTRACTSTRING(line, lower, "id", 3), "7");
}

TEST(ExtractString, NameMustStartAWordAndBeFollowedByEquals) {
    const std::string line = "maxdepth=9, depth=2, width 4";
    EXPECT_EQ(EXTRACTSTRING(line, line, "depth", 1), "2");
    EXPECT_EQ(EXTRACTSTRING(line, line, "width", 1), "maxdepth=9");  // no "=": by column
    EXPECT_EQ(EXTRACTSTRING(line, line, "height", 2), "depth=2");
    EXPECT_EQ(EXTRACTSTRING(line, line, "   ", 2), "depth=2");
}

TEST(ExtractString, NamedValueMayBeEmpty) {
    const std::string line = "depth=,3";
    EXPECT_EQ(EXTRACTSTRING(line, line, "depth", 2), "");
}

TEST(ExtractInteger, ReadsTheFirstValueOfTheField) {
    std::istringstream in;
    std::ostringstream out;
    services::ScopedRuntime rt(in, out);
    EXPECT_EQ(EXTRACTINTEGER("a,42,b", "a,42,b", "", 2, -1), 42);
    EXPECT_EQ(EXTRACTINTEGER("a, 12 34 ,b", "a, 12 34 ,b", "", 2, -1), 12);
    EXPECT_EQ(EXTRACTINTEGER("a,\"+8\"", "a,\"+8\"", "", 2, -1), 8);
    EXPECT_EQ(EXTRACTINTEGER("n=-3,5", "n=-3,5", "N", 2, -1), -3);
    EXPECT_EQ(out.str(), "");
}

TEST(ExtractInteger, EmptyFieldGivesDefaultSilently) {
    std::istringstream in;
    std::ostringstream out;
    services::ScopedRuntime rt(in, out);
    EXPECT_EQ(EXTRACTINTEGER("1,,3", "1,,3", "", 2, 77), 77);
    EXPECT_EQ(EXTRACTINTEGER("1,  '' ,3", "1,  '' ,3", "", 2, 77), 77);
    EXPECT_EQ(EXTRACTINTEGER("1,2", "1,2", "", 9, 77), 77);
    EXPECT_EQ(EXTRACTINTEGER("1,2", "1,2", "", 0, 77), 77);
    EXPECT_EQ(out.str(), "");
}

TEST(ExtractInteger, BadFieldWritesOneLineAndStopsTheRun) {
    std::istringstream in("\n");
    std::ostringstream out;
    services::ScopedRuntime rt(in, out);
    EXPECT_THROW(EXTRACTINTEGER("1,2,3,abc ,5", "1,2,3,abc ,5", "depth  ", 4, 0), services::RunStop);
    EXPECT_EQ(out.str(),
              " Could not convert \"abc\" in column  4 to an integer value for the depth field.\n"
              "\nPress Enter to Close\n");
}

TEST(ExtractInteger, RealsAndOverflowAreConversionErrors) {
    for (const std::string line : {"1.5", "99999999999"}) {
        std::istringstream in;
        std::ostringstream out;
        services::ScopedRuntime rt(in, out);
        rt.get().pause_at_exit = false;
        EXPECT_THROW(EXTRACTINTEGER(line, line, "n", 1, 0), services::RunStop) << line;
        EXPECT_EQ(out.str(), " Could not convert \"" + line + "\" in column  1 to an integer value for the n field.\n");
    }
}

TEST(ExtractReal, ReadsRealsAndDefaults) {
    std::istringstream in;
    std::ostringstream out;
    services::ScopedRuntime rt(in, out);
    EXPECT_FLOAT_EQ(EXTRACTREAL("x,2.5E1", "x,2.5e1", "", 2, -1.0F), 25.0F);
    EXPECT_FLOAT_EQ(EXTRACTREAL("x,7", "x,7", "", 2, -1.0F), 7.0F);
    EXPECT_FLOAT_EQ(EXTRACTREAL("x,1.5d-1 9", "x,1.5d-1 9", "", 2, -1.0F), 0.15F);
    EXPECT_FLOAT_EQ(EXTRACTREAL("x,", "x,", "", 2, -1.0F), -1.0F);
    EXPECT_EQ(out.str(), "");
}

TEST(ExtractReal, BadFieldNamesTheColumnAndTheField) {
    std::istringstream in;
    std::ostringstream out;
    services::ScopedRuntime rt(in, out);
    rt.get().pause_at_exit = false;
    const std::string line = "a,b,c,d,e,f,g,h,i,j,k,12.5m";
    EXPECT_THROW(EXTRACTREAL(line, line, "Level", 12, 0.0F), services::RunStop);
    EXPECT_EQ(out.str(), " Could not convert \"12.5m\" in column 12 to a real value for the Level field.\n");
}

TEST(ExtractReal, NotANumberIsAConversionError) {
    std::istringstream in;
    std::ostringstream out;
    services::ScopedRuntime rt(in, out);
    rt.get().pause_at_exit = false;
    EXPECT_THROW(EXTRACTREAL("nan", "nan", "z", 1, 0.0F), services::RunStop);
    EXPECT_EQ(out.str(), " Could not convert \"nan\" in column  1 to a real value for the z field.\n");
}

TEST(NumberOfNumbers, CountsNumbersBeforeAComment) {
    EXPECT_EQ(NUMBEROFNUMBERS("1.0, 2.5  -3e2 ! note"), 3);
    EXPECT_EQ(NUMBEROFNUMBERS("1\t2,3 # 4 5"), 3);
    EXPECT_EQ(NUMBEROFNUMBERS("10,,20"), 2);
    EXPECT_EQ(NUMBEROFNUMBERS("   "), 0);
    EXPECT_EQ(NUMBEROFNUMBERS(""), 0);
    EXPECT_EQ(NUMBEROFNUMBERS("! 1 2"), 0);
}

TEST(NumberOfNumbers, OtherTextMakesTheCountNegative) {
    EXPECT_EQ(NUMBEROFNUMBERS("1 2 x 3"), -2);
    EXPECT_EQ(NUMBEROFNUMBERS("abc"), 0);
    EXPECT_EQ(NUMBEROFNUMBERS("+1"), 0);
    EXPECT_EQ(NUMBEROFNUMBERS("1 +2"), -1);
    EXPECT_EQ(NUMBEROFNUMBERS("5 6 7;"), -3);
}

}  // namespace
}  // namespace velmorak::util
