#include "util/freeformat.h"

#include <gtest/gtest.h>

#include <bit>
#include <charconv>
#include <cstdint>
#include <initializer_list>
#include <random>
#include <ostream>
#include <string>

namespace velmorak::util {

// Failures name the status instead of dumping its bytes.
static void PrintTo(ReadStatus s, std::ostream* os) {
    static const char* const kNames[] = {"ok", "end", "null", "bad"};
    *os << kNames[static_cast<int>(s)];
}

namespace {

// Reads the texts of a line one by one, then expects the end of the line,
// which leaves the last text in place.
void expect_text_values(const std::string& line, bool slash_ends_text, std::initializer_list<std::string> texts) {
    FreeFormat ff(line, slash_ends_text);
    std::string s;
    for (const std::string& want : texts) {
        ASSERT_EQ(ff.read_text(s), ReadStatus::ok) << line << " before " << want;
        EXPECT_EQ(s, want) << line;
    }
    EXPECT_EQ(ff.read_text(s), ReadStatus::end) << line;
    if (texts.size() > 0) {
        EXPECT_EQ(s, *(texts.end() - 1)) << line;
    }
}

TEST(FreeFormatText, QuotesBlanksCommasAndSlashes) {
    // A quoted text keeps its blanks and commas; a doubled quote inside is one quote.
    expect_text_values(R"("Main, Drain 2" next)", false, {"Main, Drain 2", "next"});
    expect_text_values(R"("a ""big"" pipe","""",x)", false, {R"(a "big" pipe)", R"(")", "x"});
    // An unquoted text ends at a blank, a tab or a comma ...
    expect_text_values("ab cd\tef,gh", false, {"ab", "cd", "ef", "gh"});
    // ... and at a slash only when asked, which ends the whole read.
    expect_text_values("a/b c", false, {"a/b", "c"});
    expect_text_values("a/b c", true, {"a"});
    expect_text_values(R"("a/b" c)", true, {"a/b", "c"});  // a slash inside quotes is text
}

TEST(FreeFormatText, EmptyQuotedTextIsAValue) {
    FreeFormat ff(R"("",7)");
    std::string s = "old";
    ASSERT_EQ(ff.read_text(s), ReadStatus::ok);
    EXPECT_EQ(s, "");
    std::int32_t i = 0;
    ASSERT_EQ(ff.read(i), ReadStatus::ok);
    EXPECT_EQ(i, 7);
}

TEST(FreeFormatStatus, MissingValueIsEndAndLeavesTargetAlone) {
    FreeFormat ff("1.5 2");
    double a = 0, b = 0, c = -7;
    EXPECT_EQ(ff.read_all(a, b, c), ReadStatus::end);
    EXPECT_EQ(a, 1.5);
    EXPECT_EQ(b, 2.0);
    EXPECT_EQ(c, -7.0);
}

TEST(FreeFormatStatus, EmptyAndBlankLinesHaveNoValue) {
    std::int32_t i = 3;
    EXPECT_EQ(FreeFormat("").read(i), ReadStatus::end);
    EXPECT_EQ(FreeFormat("   \t  ").read(i), ReadStatus::end);
    EXPECT_EQ(i, 3);
}

TEST(FreeFormatStatus, LettersForANumberAreBad) {
    double d = 9;
    std::int32_t i = 9;
    EXPECT_EQ(FreeFormat("abc").read(d), ReadStatus::bad);
    EXPECT_EQ(FreeFormat("12abc").read(i), ReadStatus::bad);
    EXPECT_EQ(FreeFormat("1.5").read(i), ReadStatus::bad);
    EXPECT_EQ(FreeFormat("\"5\"").read(d), ReadStatus::bad);  // a quoted text is not a number
    EXPECT_EQ(d, 9.0);
    EXPECT_EQ(i, 9);
}

TEST(FreeFormatStatus, ReadAllStopsAtTheFirstBadValue) {
    FreeFormat ff("1 x 3");
    double a = 0, b = 0, c = 0;
    EXPECT_EQ(ff.read_all(a, b, c), ReadStatus::bad);
    EXPECT_EQ(a, 1.0);
    EXPECT_EQ(ff.last_token(), "x");
    EXPECT_EQ(c, 0.0);
}

TEST(FreeFormatNull, EmptyFieldBetweenCommasIsNull) {
    FreeFormat ff("1,,3, ,5");
    std::int32_t v[5] = {0, -1, 0, -1, 0};
    EXPECT_EQ(ff.read(v[0]), ReadStatus::ok);
    EXPECT_EQ(ff.read(v[1]), ReadStatus::null);
    EXPECT_EQ(ff.read(v[2]), ReadStatus::ok);
    EXPECT_EQ(ff.read(v[3]), ReadStatus::null);
    EXPECT_EQ(ff.read(v[4]), ReadStatus::ok);
    EXPECT_EQ(v[0], 1);
    EXPECT_EQ(v[1], -1);
    EXPECT_EQ(v[2], 3);
    EXPECT_EQ(v[3], -1);
    EXPECT_EQ(v[4], 5);
}

TEST(FreeFormatNull, LeadingCommaIsNullButTrailingCommaIsEnd) {
    FreeFormat ff(" ,2,");
    std::string s = "keep";
    std::int32_t i = 0;
    EXPECT_EQ(ff.read_text(s), ReadStatus::null);
    EXPECT_EQ(s, "keep");
    EXPECT_EQ(ff.read(i), ReadStatus::ok);
    EXPECT_EQ(i, 2);
    EXPECT_EQ(ff.read(i), ReadStatus::end);
}

TEST(FreeFormatSeparators, BlanksTabsAndOneCommaSeparate) {
    FreeFormat ff("1 ,\t2\t3,4  ,  5");
    std::int32_t v[5] = {};
    EXPECT_EQ(ff.read_all(v[0], v[1], v[2], v[3], v[4]), ReadStatus::ok);
    for (int k = 0; k < 5; ++k) EXPECT_EQ(v[k], k + 1);
}

TEST(FreeFormatSeparators, TrailingBlanksAreNoValue) {
    FreeFormat ff("  7   ");
    std::int32_t i = 0;
    ASSERT_EQ(ff.read(i), ReadStatus::ok);
    EXPECT_EQ(i, 7);
    EXPECT_EQ(ff.read(i), ReadStatus::end);
    EXPECT_EQ(i, 7);
}

TEST(FreeFormatSeparators, RestIsWhatIsLeftUnread) {
    FreeFormat ff("3 string name");
    std::int32_t i = 0;
    ASSERT_EQ(ff.read(i), ReadStatus::ok);
    EXPECT_EQ(ff.rest(), " string name");
}

TEST(FreeFormatNumber, SignsPointsAndExponents) {
    struct Case {
        const char* text;
        double want;
    };
    for (const Case c : {Case{"+2.5", 2.5}, Case{"-2.5", -2.5}, Case{"5.", 5.0}, Case{".5", 0.5}, Case{"-.5", -0.5},
                         Case{"1E3", 1000.0}, Case{"1e-3", 0.001}, Case{"1.5D2", 150.0}, Case{"1.5d+2", 150.0},
                         Case{"+1.5E+2", 150.0}, Case{"007", 7.0}, Case{"0x1.75p+18", 381952.0},
                         Case{"-0x1.8p-1", -0.75}, Case{"+0X1P3", 8.0}, Case{"0x0p+0", 0.0},
                         Case{"0x1.7593eff21e508p+18", 382543.74915273534}}) {
        double d = 0;
        ASSERT_EQ(FreeFormat(c.text).read(d), ReadStatus::ok) << c.text;
        EXPECT_DOUBLE_EQ(d, c.want) << c.text;
    }
}

TEST(FreeFormatNumber, NotFiniteOrMalformedIsBad) {
    for (const char* text : {"nan", "NaN", "inf", "-inf", "Infinity", "1e400", "-1e400", "1e", "1.5e+", ".", "-",
                             "+", "++1", "+-1", "1..2", "0x10", "0x", "0xp+1", "0x1p", "0x-1p2", "0x1.gp1",
                             "0x1p99999", "x1p1", "--0x1p1", "0x1D.p+-1", "0x1p--2", "0x1.p", "0x1..8p1",
                             "0x1.8p1.5"}) {
        double d = 42;
        const ReadStatus s = FreeFormat(text).read(d);
        EXPECT_EQ(s, ReadStatus::bad) << text;
        EXPECT_EQ(d, 42.0) << text;
    }
}

TEST(FreeFormatNumber, FloatRangeIsSmallerThanDouble) {
    float f = 1;
    double d = 1;
    EXPECT_EQ(FreeFormat("1e39").read(f), ReadStatus::bad);
    EXPECT_EQ(FreeFormat("1e39").read(d), ReadStatus::ok);
    EXPECT_EQ(f, 1.0F);
    EXPECT_EQ(d, 1e39);
}

// A bad value (overflow, an exponent, a second sign) leaves the target alone.
TEST(FreeFormatNumber, IntegerLimitsOverflowAndSigns) {
    const struct {
        const char* text;
        ReadStatus status;
        std::int64_t want;
    } rows[] = {
        {"2147483647", ReadStatus::ok, 2147483647}, {"-2147483648", ReadStatus::ok, -2147483647 - 1},
        {"+12", ReadStatus::ok, 12}, {"2147483648", ReadStatus::bad, 5}, {"-2147483649", ReadStatus::bad, 5},
        {"1e3", ReadStatus::bad, 5}, {"+-3", ReadStatus::bad, 5}, {"-+3", ReadStatus::bad, 5},
        {"++3", ReadStatus::bad, 5},
    };
    for (const auto& r : rows) {
        std::int32_t i = 5;
        EXPECT_EQ(FreeFormat(r.text).read(i), r.status) << r.text;
        EXPECT_EQ(i, r.want) << r.text;
    }
    std::int64_t l = 0;
    EXPECT_EQ(FreeFormat("2147483648").read(l), ReadStatus::ok);
    EXPECT_EQ(l, 2147483648LL);
    EXPECT_EQ(FreeFormat("9223372036854775808").read(l), ReadStatus::bad);
}

TEST(ParseNumber, WholeTokenOnly) {
    double d = 0;
    EXPECT_TRUE(parse_number("12.5", d));
    EXPECT_EQ(d, 12.5);
    EXPECT_FALSE(parse_number("12.5 ", d));
    EXPECT_FALSE(parse_number(" 12.5", d));
    EXPECT_FALSE(parse_number("", d));
    // A long digit string is still one number; a long D-exponent token too.
    EXPECT_TRUE(parse_number(std::string(100, '1'), d));
    EXPECT_DOUBLE_EQ(d, 1.1111111111111111e99);
    EXPECT_TRUE(parse_number(std::string(60, '0') + "1.5D2", d));
    EXPECT_EQ(d, 150.0);
    EXPECT_TRUE(parse_number(std::string(100, '1') + "D2", d));
    EXPECT_DOUBLE_EQ(d, 1.1111111111111111e101);
    std::int32_t i = 0;
    EXPECT_FALSE(parse_number("", i));
    EXPECT_FALSE(parse_number("1 2", i));
}

// A number read from a line is the number of its whole token (up to the next
// blank, tab or comma) whatever follows it: digits next to colons and slashes
// (the characters either side of '0'..'9'), bytes above 0x7F, exponents and
// letters right after the digits, runs of every length up to past 19 digits.
TEST(FreeFormatNumber, ValueOfALineIsTheValueOfItsWholeToken) {
    std::mt19937_64 rng(4242);
    const std::string tails[] = {"", " ", ",", "\t", " 12.5", "/", ":", "e3", "E-2", "D1", "x", "\xFF", "\x80\x80",
                                 "-", "+", ".", "0:", "9/"};
    std::uniform_int_distribution<int> ndigits(0, 22);
    for (int i = 0; i < 200000; ++i) {
        std::string token = (rng() % 4 == 0) ? "-" : "";
        const int n = ndigits(rng);
        const int point = std::uniform_int_distribution<int>(-1, n)(rng);
        for (int k = 0; k < n; ++k) {
            if (k == point) token += '.';
            token += static_cast<char>('0' + rng() % 10);
        }
        if (point == n) token += '.';
        token += tails[rng() % std::size(tails)];
        const std::string line = std::string(rng() % 3, ' ') + token + (rng() % 2 ? " 7 8 9 10 11" : "");
        const std::size_t first = line.find_first_not_of(" \t");
        if (first == std::string::npos || line[first] == ',') continue;  // no value, or a null one
        const std::string whole = line.substr(first, line.find_first_of(" \t,", first) - first);

        double d = -1.0;
        double want_d = -1.0;
        const bool ok_d = parse_number(whole, want_d);
        FreeFormat ff(line);
        ASSERT_EQ(ff.read(d), ok_d ? ReadStatus::ok : ReadStatus::bad) << line;
        if (ok_d) {
            ASSERT_EQ(std::bit_cast<std::uint64_t>(d), std::bit_cast<std::uint64_t>(want_d)) << line;
        }
        ASSERT_EQ(ff.last_token(), whole) << line;

        float f = -1.0f;
        float want_f = -1.0f;
        const bool ok_f = parse_number(whole, want_f);
        ASSERT_EQ(FreeFormat(line).read(f), ok_f ? ReadStatus::ok : ReadStatus::bad) << line;
        if (ok_f) {
            ASSERT_EQ(std::bit_cast<std::uint32_t>(f), std::bit_cast<std::uint32_t>(want_f)) << line;
        }

        std::int64_t k = -1;
        std::int64_t want_k = -1;
        const auto parsed = std::from_chars(whole.data(), whole.data() + whole.size(), want_k);
        const bool ok_k = parsed.ec == std::errc{} && parsed.ptr == whole.data() + whole.size();
        ASSERT_EQ(FreeFormat(line).read(k), ok_k ? ReadStatus::ok : ReadStatus::bad) << line;
        if (ok_k) {
            ASSERT_EQ(k, want_k) << line;
        }
    }
}

}  // namespace
}  // namespace velmorak::util

namespace velmorak::util {
namespace {

// Whatever path a number takes, the value must be the correctly rounded one
// that from_chars gives for the same text.
TEST(ParseNumber, PlainDecimalsMatchFromCharsBitForBit) {
    std::mt19937_64 rng(99);
    std::uniform_int_distribution<int> ndigits(1, 21);
    std::uniform_int_distribution<int> digit(0, 9);
    for (int i = 0; i < 300000; ++i) {
        std::string text = (rng() & 1) ? "-" : "";
        const int n = ndigits(rng);
        const int point = std::uniform_int_distribution<int>(0, n)(rng);
        for (int k = 0; k < n; ++k) {
            if (k == point) text += '.';
            text += static_cast<char>('0' + digit(rng));
        }
        double d = 0, want_d = 0;
        float f = 0, want_f = 0;
        const char* b = text.data();
        const char* e = b + text.size();
        ASSERT_TRUE(parse_number(text, d)) << text;
        ASSERT_TRUE(parse_number(text, f)) << text;
        std::from_chars(b, e, want_d);
        std::from_chars(b, e, want_f);
        ASSERT_EQ(std::bit_cast<std::uint64_t>(d), std::bit_cast<std::uint64_t>(want_d)) << text;
        ASSERT_EQ(std::bit_cast<std::uint32_t>(f), std::bit_cast<std::uint32_t>(want_f)) << text;
    }
}

}  // namespace
}  // namespace velmorak::util
