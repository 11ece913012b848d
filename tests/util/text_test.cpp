#include "util/text.h"

#include <gtest/gtest.h>

#include <string>

#include "io/input_file.h"
#include "services/messages.h"
#include "services/runtime.h"
#include "services/units.h"
#include "support/support.h"
#include "util/tables.h"

namespace velmorak::util {
namespace {

using tables::expect_answers;
using tables::expect_in_place;
using tables::expect_texts;

TEST(Trimf, RemovesLeadingBlanksOnlyAndKeepsTabs) {
    expect_texts(TRIMF, {{"   ab cd  ", "ab cd"}, {"     ", ""}, {"", ""}, {"\t a", "\t a"},
                         {"  \tx\t", "\tx\t"}});  // a trailing tab is text
    EXPECT_EQ(ltrim_blanks("  \tx  "), "\tx  ");
}

TEST(Ss256, CutsAt256WithoutTrailingBlanks) {
    const std::string long_text = std::string(250, 'a') + "bcdefghijklmnopqrstuvwxyz" + std::string(25, 'z');
    ASSERT_EQ(long_text.size(), 300u);
    expect_texts(SS256, {{long_text, long_text.substr(0, 256)}, {"short   ", "short"},
                         {std::string(255, 'a') + " b", std::string(255, 'a')}});  // a blank at the cut goes too
}

TEST(DroppingFamily, RemovesOnlyItsOwnCharacters) {
    expect_texts(REMOVETABS, {{"1.0\t2.0", "1.02.0"}, {"a \t", "a"}});  // what was before the tab becomes trailing
    expect_texts(REMOVESPACES, {{" a b  c  ", "abc"}, {"a\tb", "a\tb"}});
    expect_texts(REMOVEQUOTES, {{"'a' \"b\"", "a b"}, {"\"\"", ""}});
    expect_texts(DOUBLEQUOTE, {{"x\"y", "x\"\"y"}, {"\"\"'", "\"\"\"\"'"}, {"plain  ", "plain"}});
}

TEST(CaseMapping, MapsAsciiLettersOnly) {
    // Letters of other code pages (here Windows-1252 e acute) stay as they are.
    expect_texts(UPPERCASE, {{"abz AZ 09 [`{@] \t", "ABZ AZ 09 [`{@] \t"}, {"\xe9", "\xe9"}, {"abc   ", "ABC"}});
    expect_texts(LOWERCASE, {{"ABZ az 09 [`{@]", "abz az 09 [`{@]"}, {"\xc9", "\xc9"}});
}

TEST(CommentLine, BlankAndCommentLinesAreTrueAndTheCommentIsCut) {
    expect_in_place(COMMENTLINE, {{"   # header", true, ""}, {"   ", true, ""}, {"  !", true, ""},
                                  // Text before a comment is kept and gives false.
                                  {"x = 1 ! one # two", false, "x = 1"}, {"  a # b ! c", false, "a"},
                                  {"name \"x#1\"", false, "name \"x"},  // quotes give no protection
                                  {"\t# tab first", false, "\t"}});
}

TEST(NumberLine, BlankOrNumberStartIsTrue) {
    expect_in_place(NUMBERLINE, {{"  -3.5 2", true, "-3.5 2"}, {".5", true, ".5"}, {"7 x", true, "7 x"},
                                 {"", true, ""}, {"  +3", false, "+3"}, {"e5", false, "e5"}});
}

TEST(PositiveIntegerNumber, OnlyDigitsAfterLeftAdjustment) {
    expect_in_place(POSITIVEINTEGERNUMBER, {{" 0042 ", true, "0042"}, {"42a", false, "42a"}, {"-1", false, "-1"},
                                            {"+1", false, "+1"}, {"4 2", false, "4 2"}, {"4.2", false, "4.2"},
                                            {"4\t", false, "4\t"}, {"", false, ""}, {"   ", false, ""}});
}

TEST(Blank, TabsCountAsBlankAndAreRemoved) {
    expect_in_place(BLANK, {{" \t \t ", true, ""}, {"a\tb \t", false, "ab"}});
}

TEST(WorkingLength, InPlaceRoutinesSeeTenThousandCharacters) {
    // Leading blanks take up the working length before the text is left-adjusted.
    expect_in_place(POSITIVEINTEGERNUMBER, {{std::string(10000, '7') + "x", true, std::string(10000, '7')},
                                            {std::string(9999, ' ') + "12", true, "1"}});
    expect_in_place(BLANK, {{std::string(10000, ' ') + "x", true, ""}});
}

TEST(Asame, IgnoresCaseTabsAndOuterBlanksWithinTheFirstThousandCharacters) {
    const std::string a(1000, 'a');
    const std::string a999(999, 'a');
    expect_answers(ASAME, {{" Elevation", "ELEVATION  ", true}, {"\t a\tb ", "AB", true},
                           {"a b", "ab", false},  // inner blanks count
                           {"ab", "abc", false}, {"[", "{", false},  // not letters: no folding
                           {a + "x", a + "y", true}, {a999 + "x", a999 + "y", false}});
    expect_answers(ASAMECS, {{" Elevation", "ELEVATION  ", false}, {" Elevation", "Elevation", true},
                             {" \t ", "", true}});
}

TEST(FlagExists, CaseInsensitiveContiguousMatch) {
    expect_answers(FLAGEXISTS, {{"string 2d {", "STRING 2D", true}, {"  Columns 3", "columns", true},
                                {"string 2 d", "string 2d", false}, {"str", "string", false},
                                {"[x]", "{X}", false}, {"\xe9", "\xc9", false},  // other code pages are not folded
                                // Blanks around the flag: trailing ones are ignored, leading ones are not.
                                {"anything", "   ", true}, {"", "", true}, {"   ", "x", false},
                                {"pline", "PLINE   ", true}, {"pline 3", " PLINE", false},
                                {"  pline 3", " PLINE", true},
                                {"a b", "a\tb", false},  // a tab is text, not a blank
                                // The first ten thousand characters are seen.
                                {std::string(9996, '.') + "data", "DATA", true},
                                {std::string(9997, '.') + "data", "DATA", false}});
    // The helper itself does not cut.
    expect_answers(contains_nocase, {{std::string(9997, '.') + "data", "DATA", true}});
}

TEST(CheckLine, SplitsAtTheSeparatorOrTheColumnAndMatchesTheLeftPart) {
    const struct {
        const char* line;
        const char* flag;
        const char* separator;
        int column;
        bool result;
        const char* left;
        const char* right;
    } rows[] = {
        {"Read GIS == file.mif", "read gis", "==", 0, true, "Read GIS", " file.mif"},
        {"Read GIS == file.mif", "write", "==", 0, false, "Read GIS", " file.mif"},
        {"== x", "*", "==", 0, false, "", " x"},  // an empty left part never matches, not even "*"
        // The separator's trailing blanks are its own; at the end of the line
        // they fall into the padding.
        {"a =b = c", "A", "= ", 0, true, "a =b", "c"}, {"key =", "key", "= ", 0, true, "key", ""},
        // A blank separator, or one given but missing with a column, splits at the column.
        {"ABCDEF", "bc", "  ", 3, true, "ABC", "DEF"}, {"ABCDEF", "*", ":", 2, true, "AB", "CDEF"},
        {"   abc", "*", ":", 3, false, "", "abc"},  // nothing left of the column: no match
        // Separator missing and column 0: everything goes left, and a blank
        // left still matches.
        {"ABCDEF", "cde", ":", 0, true, "ABCDEF", ""}, {"", "*", ":", 0, true, "", ""},
        // Blank separator and column 0: the left part is empty and counts as not found.
        {"abc", "", "", 0, true, "", "abc"}, {"abc", "a", "", 0, false, "", "abc"},
    };
    for (const auto& row : rows) {
        std::string right = "old";
        std::string left = "old";
        const std::string in = std::string(row.line) + "|" + row.flag + "|" + row.separator + "|" +
                               std::to_string(row.column);
        EXPECT_EQ(CHECKLINE(row.line, row.flag, row.separator, row.column, right, left), row.result) << in;
        EXPECT_EQ(left, row.left) << in;
        EXPECT_EQ(right, row.right) << in;
    }
}

TEST(Replace, FirstCaseInsensitiveOccurrence) {
    const struct {
        const char* s;
        const char* old_text;
        const char* new_text;
        const char* want;
    } rows[] = {
        {"C:\\Data\\file.MIF", ".mif", ".mid", "C:\\Data\\file.mid"},
        {"C:\\Data\\file.MIF", ".tab", ".mid", "C:\\Data\\file.MIF"},
        {"aXa xA", "xa", "yy", "ayy xA"},  // the rest keeps its case
        {"abc", "b  ", "", "ac"}, {"abc", "c", "d  ", "abd"},
        {"abc", "  ", "x", "xabc"},  // a blank old text puts the new one in front
        {"", "", "x", "x"},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(REPLACE(row.s, row.old_text, row.new_text), row.want)
            << row.s << "|" << row.old_text << "|" << row.new_text;
    }
}

TEST(Substring, FieldsAndEmptyFields) {
    const struct {
        const char* s;
        const char* separator;
        int n;
        const char* want;
    } rows[] = {
        {"a,b,,d", ",", 1, "a"}, {"a,b,,d", ",", 2, "b"}, {"a,b,,d", ",", 3, ""}, {"a,b,,d", ",", 4, "d"},
        {"a,b,,d", ",", 5, ""}, {"a,b,,d", ",", 0, ""}, {"a,b,,d", ",", -1, ""}, {"a,b,", ",", 3, ""},
        {"  whole text  ", ",", 1, "whole text"}, {"x,  y  ,z", ",", 2, "y"}, {"a b  c", " ", 2, "b"},
        {"a b  c", " ", 3, ""}, {"a b  c", " ", 4, "c"},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(SUBSTRING(row.s, row.separator, row.n), row.want) << row.s << "|" << row.separator << "|" << row.n;
    }
}

// READLINE runs against a real file on a unit of an in-process runtime.
class ReadLineTest : public ::testing::Test {
protected:
    // Writes the file and opens it for input on a pool unit.
    int open(const std::string& content) {
        const std::string path = dir_.write("readline.txt", content);
        int unit = 0;
        services::OPENFILE(unit, "I ", path);
        return unit;
    }
    velmorak::testing::TempDir dir_;
    velmorak::testing::Capture cap_;
};

TEST_F(ReadLineTest, CleansEachRecordAndClassifiesIt) {
    const int unit = open("\tstring 3d { ! remark\n12.5 3.0\n! remark\n   \n  +4 name\n");
    ASSERT_NE(unit, 0);
    const struct {
        bool text_line;
        const char* line;
    } records[] = {{true, "string 3d {"}, {false, "12.5 3.0"}, {false, ""}, {false, ""}, {true, "+4 name"}};
    int record = 0;
    for (const auto& want : records) {
        ++record;
        std::string line;
        EXPECT_EQ(READLINE(unit, line), want.text_line) << "record " << record;
        EXPECT_EQ(line, want.line) << "record " << record;
    }
    services::CLOSER(unit);
}

TEST_F(ReadLineTest, LongRecordsAreCutToTenThousand) {
    const int unit = open(std::string(10000, 'a') + "!b\n");
    std::string line;
    EXPECT_TRUE(READLINE(unit, line));
    EXPECT_EQ(line, std::string(10000, 'a'));
    services::CLOSER(unit);
}

TEST_F(ReadLineTest, EndOfFileStopsTheRunWithTheUnitNumber) {
    const int unit = open("only\n");
    ASSERT_EQ(unit, 901);
    std::string line;
    EXPECT_TRUE(READLINE(unit, line));
    EXPECT_THROW(READLINE(unit, line), services::RunStop);
    const std::string out = cap_.out();
    EXPECT_NE(out.find("ERROR - End-of-file encountered reading text line from file unit number901\n"),
              std::string::npos)
        << out;
    EXPECT_EQ(services::DMESSAGES().counts[0], 1);
    // STOPRUN closed the unit.
    EXPECT_FALSE(cap_.rt().units.connected(unit));
}

TEST_F(ReadLineTest, UnitNumbersOfFourDigitsPrintAsAsterisks) {
    const std::string path = dir_.write("empty.txt", "");
    cap_.rt().units.connect(1000, path, io::InputFile::open(path));
    std::string line;
    EXPECT_THROW(READLINE(1000, line), services::RunStop);
    const std::string out = cap_.out();
    EXPECT_NE(out.find("ERROR - End-of-file encountered reading text line from file unit number***\n"),
              std::string::npos)
        << out;
}

TEST_F(ReadLineTest, ReadErrorStopsTheRunWithItsOwnMessage) {
    // Reading this process's memory at offset 0 fails with an I/O error.
    auto file = io::InputFile::open("/proc/self/mem");
    if (!file) GTEST_SKIP() << "/proc/self/mem cannot be opened here";
    cap_.rt().units.connect(950, "/proc/self/mem", std::move(file));
    std::string line;
    EXPECT_THROW(READLINE(950, line), services::RunStop);
    const std::string out = cap_.out();
    EXPECT_NE(out.find("ERROR - Reading text line from file unit number950\n"), std::string::npos) << out;
}

}  // namespace
}  // namespace velmorak::util
