#include "util/text.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "io/input_file.h"
#include "io/names.h"
#include "io/output_file.h"
#include "services/runtime.h"
#include "services/units.h"
#include "support/support.h"

namespace velmorak::util {
namespace {

TEST(Trimf, RemovesLeadingBlanksOnlyAndKeepsTabs) {
    EXPECT_EQ(TRIMF("   ab cd  "), "ab cd");
    EXPECT_EQ(TRIMF("     "), "");
    EXPECT_EQ(TRIMF(""), "");
    EXPECT_EQ(TRIMF("\t a"), "\t a");
    EXPECT_EQ(TRIMF("  \tx\t"), "\tx\t");  // a trailing tab is text
    EXPECT_EQ(ltrim_blanks("  \tx  "), "\tx  ");
}

TEST(Ss256, CutsAt256WithoutTrailingBlanks) {
    const std::string long_text = std::string(250, 'a') + "bcdefghijklmnopqrstuvwxyz" + std::string(25, 'z');
    ASSERT_EQ(long_text.size(), 300u);
    EXPECT_EQ(SS256(long_text), long_text.substr(0, 256));
    EXPECT_EQ(SS256("short   "), "short");
    // A blank at the cut leaves the result without it.
    EXPECT_EQ(SS256(std::string(255, 'a') + " b"), std::string(255, 'a'));
}

TEST(DroppingFamily, RemovesOnlyItsOwnCharacters) {
    EXPECT_EQ(REMOVETABS("1.0\t2.0"), "1.02.0");
    EXPECT_EQ(REMOVETABS("a \t"), "a");  // what was before the tab becomes trailing
    EXPECT_EQ(REMOVESPACES(" a b  c  "), "abc");
    EXPECT_EQ(REMOVESPACES("a\tb"), "a\tb");
    EXPECT_EQ(REMOVEQUOTES("'a' \"b\""), "a b");
    EXPECT_EQ(REMOVEQUOTES("\"\""), "");
}

TEST(DoubleQuote, DoublesEveryDoubleQuote) {
    EXPECT_EQ(DOUBLEQUOTE("x\"y"), "x\"\"y");
    EXPECT_EQ(DOUBLEQUOTE("\"\"'"), "\"\"\"\"'");
    EXPECT_EQ(DOUBLEQUOTE("plain  "), "plain");
}

TEST(CaseMapping, MapsAsciiLettersOnly) {
    EXPECT_EQ(UPPERCASE("abz AZ 09 [`{@] \t"), "ABZ AZ 09 [`{@] \t");
    EXPECT_EQ(LOWERCASE("ABZ az 09 [`{@]"), "abz az 09 [`{@]");
    // Letters of other code pages (here Windows-1252 e acute) stay as they are.
    EXPECT_EQ(UPPERCASE("\xe9"), "\xe9");
    EXPECT_EQ(LOWERCASE("\xc9"), "\xc9");
    EXPECT_EQ(UPPERCASE("abc   "), "ABC");
}

TEST(CommentLine, BlankAndCommentLinesAreTrueAndTheCommentIsCut) {
    std::string line = "   # header";
    EXPECT_TRUE(COMMENTLINE(line));
    EXPECT_EQ(line, "");

    line = "   ";
    EXPECT_TRUE(COMMENTLINE(line));
    EXPECT_EQ(line, "");

    line = "  !";
    EXPECT_TRUE(COMMENTLINE(line));
    EXPECT_EQ(line, "");
}

TEST(CommentLine, TextBeforeACommentIsKeptAndGivesFalse) {
    std::string line = "x = 1 ! one # two";
    EXPECT_FALSE(COMMENTLINE(line));
    EXPECT_EQ(line, "x = 1");

    line = "  a # b ! c";
    EXPECT_FALSE(COMMENTLINE(line));
    EXPECT_EQ(line, "a");

    // Quotes give no protection.
    line = "name \"x#1\"";
    EXPECT_FALSE(COMMENTLINE(line));
    EXPECT_EQ(line, "name \"x");

    line = "\t# tab first";
    EXPECT_FALSE(COMMENTLINE(line));
    EXPECT_EQ(line, "\t");
}

TEST(NumberLine, BlankOrNumberStartIsTrue) {
    std::string line = "  -3.5 2";
    EXPECT_TRUE(NUMBERLINE(line));
    EXPECT_EQ(line, "-3.5 2");

    line = ".5";
    EXPECT_TRUE(NUMBERLINE(line));
    line = "7 x";
    EXPECT_TRUE(NUMBERLINE(line));
    line = "";
    EXPECT_TRUE(NUMBERLINE(line));

    line = "  +3";
    EXPECT_FALSE(NUMBERLINE(line));
    EXPECT_EQ(line, "+3");
    line = "e5";
    EXPECT_FALSE(NUMBERLINE(line));
}

TEST(PositiveIntegerNumber, OnlyDigitsAfterLeftAdjustment) {
    std::string line = " 0042 ";
    EXPECT_TRUE(POSITIVEINTEGERNUMBER(line));
    EXPECT_EQ(line, "0042");

    for (const char* bad : {"42a", "-1", "+1", "4 2", "4.2", "4\t", "", "   "}) {
        std::string l = bad;
        EXPECT_FALSE(POSITIVEINTEGERNUMBER(l)) << '"' << bad << '"';
    }
}

TEST(Blank, TabsCountAsBlankAndAreRemoved) {
    std::string line = " \t \t ";
    EXPECT_TRUE(BLANK(line));
    EXPECT_EQ(line, "");

    line = "a\tb \t";
    EXPECT_FALSE(BLANK(line));
    EXPECT_EQ(line, "ab");
}

TEST(WorkingLength, InPlaceRoutinesSeeTenThousandCharacters) {
    std::string line = std::string(10000, '7') + "x";
    EXPECT_TRUE(POSITIVEINTEGERNUMBER(line));
    EXPECT_EQ(line.size(), 10000u);

    // Leading blanks take up the working length before the text is left-adjusted.
    line = std::string(9999, ' ') + "12";
    EXPECT_TRUE(POSITIVEINTEGERNUMBER(line));
    EXPECT_EQ(line, "1");

    line = std::string(10000, ' ') + "x";
    EXPECT_TRUE(BLANK(line));
}

TEST(Asame, IgnoresCaseTabsAndOuterBlanks) {
    EXPECT_TRUE(ASAME(" Elevation", "ELEVATION  "));
    EXPECT_FALSE(ASAMECS(" Elevation", "ELEVATION  "));
    EXPECT_TRUE(ASAMECS(" Elevation", "Elevation"));
    EXPECT_TRUE(ASAME("\t a\tb ", "AB"));
    EXPECT_TRUE(ASAMECS(" \t ", ""));
    EXPECT_FALSE(ASAME("a b", "ab"));   // inner blanks count
    EXPECT_FALSE(ASAME("ab", "abc"));
    EXPECT_FALSE(ASAME("[", "{"));      // not letters: no folding
}

TEST(Asame, SeesOnlyTheFirstThousandCharacters) {
    const std::string a = std::string(1000, 'a');
    EXPECT_TRUE(ASAME(a + "x", a + "y"));
    EXPECT_FALSE(ASAME(std::string(999, 'a') + "x", std::string(999, 'a') + "y"));
}

TEST(FlagExists, CaseInsensitiveContiguousMatch) {
    EXPECT_TRUE(FLAGEXISTS("string 2d {", "STRING 2D"));
    EXPECT_TRUE(FLAGEXISTS("  Columns 3", "columns"));
    EXPECT_FALSE(FLAGEXISTS("string 2 d", "string 2d"));
    EXPECT_FALSE(FLAGEXISTS("str", "string"));
    EXPECT_FALSE(FLAGEXISTS("[x]", "{X}"));
    // Letters of other code pages are not folded.
    EXPECT_FALSE(FLAGEXISTS("\xe9", "\xc9"));
}

TEST(FlagExists, BlanksAroundTheFlag) {
    EXPECT_TRUE(FLAGEXISTS("anything", "   "));
    EXPECT_TRUE(FLAGEXISTS("", ""));
    EXPECT_FALSE(FLAGEXISTS("   ", "x"));
    // Trailing blanks of the flag are ignored, leading ones are not.
    EXPECT_TRUE(FLAGEXISTS("pline", "PLINE   "));
    EXPECT_FALSE(FLAGEXISTS("pline 3", " PLINE"));
    EXPECT_TRUE(FLAGEXISTS("  pline 3", " PLINE"));
    // A tab is text, not a blank.
    EXPECT_FALSE(FLAGEXISTS("a b", "a\tb"));
}

TEST(FlagExists, SeesTheFirstTenThousandCharacters) {
    EXPECT_TRUE(FLAGEXISTS(std::string(9996, '.') + "data", "DATA"));
    EXPECT_FALSE(FLAGEXISTS(std::string(9997, '.') + "data", "DATA"));
    EXPECT_TRUE(contains_nocase(std::string(9997, '.') + "data", "DATA"));  // the helper itself does not cut
}

TEST(CheckLine, SplitsAtTheSeparatorAndMatchesTheLeftPart) {
    std::string right;
    std::string left;
    EXPECT_TRUE(CHECKLINE("Read GIS == file.mif", "read gis", "==", 0, right, left));
    EXPECT_EQ(left, "Read GIS");
    EXPECT_EQ(right, " file.mif");

    EXPECT_FALSE(CHECKLINE("Read GIS == file.mif", "write", "==", 0, right, left));
    EXPECT_EQ(left, "Read GIS");

    // An empty left part never matches, not even with the flag "*".
    EXPECT_FALSE(CHECKLINE("== x", "*", "==", 0, right, left));
    EXPECT_EQ(left, "");
    EXPECT_EQ(right, " x");
}

TEST(CheckLine, SeparatorTrailingBlanksAreItsOwn) {
    std::string right;
    std::string left;
    EXPECT_TRUE(CHECKLINE("a =b = c", "A", "= ", 0, right, left));
    EXPECT_EQ(left, "a =b");
    EXPECT_EQ(right, "c");
    // At the end of the line the separator's blanks fall into the padding.
    EXPECT_TRUE(CHECKLINE("key =", "key", "= ", 0, right, left));
    EXPECT_EQ(left, "key");
    EXPECT_EQ(right, "");
}

TEST(CheckLine, WithoutSeparatorUsesTheColumn) {
    std::string right;
    std::string left;
    EXPECT_TRUE(CHECKLINE("ABCDEF", "bc", "  ", 3, right, left));
    EXPECT_EQ(left, "ABC");
    EXPECT_EQ(right, "DEF");

    // Separator given but missing, column not 0: the column splits.
    EXPECT_TRUE(CHECKLINE("ABCDEF", "*", ":", 2, right, left));
    EXPECT_EQ(left, "AB");
    EXPECT_EQ(right, "CDEF");

    // Separator missing and column 0: everything goes left.
    EXPECT_TRUE(CHECKLINE("ABCDEF", "cde", ":", 0, right, left));
    EXPECT_EQ(left, "ABCDEF");
    EXPECT_EQ(right, "");
}

TEST(CheckLine, BlankLeftAfterMissingSeparatorStillMatchesAtColumnZero) {
    std::string right = "old";
    std::string left = "old";
    EXPECT_TRUE(CHECKLINE("", "*", ":", 0, right, left));
    EXPECT_EQ(left, "");
    EXPECT_EQ(right, "");
    // Blank separator and column 0: left is empty and "found" is false.
    EXPECT_TRUE(CHECKLINE("abc", "", "", 0, right, left));
    EXPECT_EQ(right, "abc");
    EXPECT_FALSE(CHECKLINE("abc", "a", "", 0, right, left));
    // A column split that leaves nothing on the left fails.
    EXPECT_FALSE(CHECKLINE("   abc", "*", ":", 3, right, left));
    EXPECT_EQ(right, "abc");
}

TEST(Replace, FirstCaseInsensitiveOccurrence) {
    EXPECT_EQ(REPLACE("C:\\Data\\file.MIF", ".mif", ".mid"), "C:\\Data\\file.mid");
    EXPECT_EQ(REPLACE("C:\\Data\\file.MIF", ".tab", ".mid"), "C:\\Data\\file.MIF");
    EXPECT_EQ(REPLACE("aXa xA", "xa", "yy"), "ayy xA");  // rest keeps its case
    EXPECT_EQ(REPLACE("abc", "b  ", ""), "ac");
    EXPECT_EQ(REPLACE("abc", "c", "d  "), "abd");
}

TEST(Replace, BlankOldTextPutsNewInFront) {
    EXPECT_EQ(REPLACE("abc", "  ", "x"), "xabc");
    EXPECT_EQ(REPLACE("", "", "x"), "x");
}

TEST(Substring, FieldsAndEmptyFields) {
    EXPECT_EQ(SUBSTRING("a,b,,d", ",", 1), "a");
    EXPECT_EQ(SUBSTRING("a,b,,d", ",", 2), "b");
    EXPECT_EQ(SUBSTRING("a,b,,d", ",", 3), "");
    EXPECT_EQ(SUBSTRING("a,b,,d", ",", 4), "d");
    EXPECT_EQ(SUBSTRING("a,b,,d", ",", 5), "");
    EXPECT_EQ(SUBSTRING("a,b,,d", ",", 0), "");
    EXPECT_EQ(SUBSTRING("a,b,,d", ",", -1), "");
    EXPECT_EQ(SUBSTRING("a,b,", ",", 3), "");
    EXPECT_EQ(SUBSTRING("  whole text  ", ",", 1), "whole text");
    EXPECT_EQ(SUBSTRING("x,  y  ,z", ",", 2), "y");
}

TEST(Substring, BlankSeparator) {
    EXPECT_EQ(SUBSTRING("a b  c", " ", 2), "b");
    EXPECT_EQ(SUBSTRING("a b  c", " ", 3), "");
    EXPECT_EQ(SUBSTRING("a b  c", " ", 4), "c");
}

// READLINE runs against a real file on a unit of an in-process runtime.
class ReadLineTest : public ::testing::Test {
protected:
    void SetUp() override { path_ = dir_.path() / "readline.txt"; }
    void write(const std::string& content) {
        std::ofstream f(path_, std::ios::binary);
        f << content;
    }
    velmorak::testing::TempDir dir_;
    std::filesystem::path path_;
};

TEST_F(ReadLineTest, CleansEachRecordAndClassifiesIt) {
    write("\tstring 3d { ! remark\n12.5 3.0\n! remark\n   \n  +4 name\n");
    std::istringstream in;
    std::ostringstream out;
    services::ScopedRuntime rt(in, out);
    int unit = 0;
    services::OPENFILE(unit, "I ", path_.string());
    ASSERT_NE(unit, 0);

    std::string line;
    EXPECT_TRUE(READLINE(unit, line));
    EXPECT_EQ(line, "string 3d {");
    EXPECT_FALSE(READLINE(unit, line));
    EXPECT_EQ(line, "12.5 3.0");
    EXPECT_FALSE(READLINE(unit, line));
    EXPECT_EQ(line, "");
    EXPECT_FALSE(READLINE(unit, line));
    EXPECT_EQ(line, "");
    EXPECT_TRUE(READLINE(unit, line));
    EXPECT_EQ(line, "+4 name");
    services::CLOSER(unit);
}

TEST_F(ReadLineTest, LongRecordsAreCutToTenThousand) {
    write(std::string(10000, 'a') + "!b\n");
    std::istringstream in;
    std::ostringstream out;
    services::ScopedRuntime rt(in, out);
    int unit = 0;
    services::OPENFILE(unit, "I ", path_.string());
    std::string line;
    EXPECT_TRUE(READLINE(unit, line));
    EXPECT_EQ(line, std::string(10000, 'a'));
    services::CLOSER(unit);
}

TEST_F(ReadLineTest, EndOfFileStopsTheRunWithTheUnitNumber) {
    write("only\n");
    std::istringstream in;
    std::ostringstream out;
    services::ScopedRuntime rt(in, out);
    int unit = 0;
    services::OPENFILE(unit, "I ", path_.string());
    ASSERT_EQ(unit, 901);
    std::string line;
    EXPECT_TRUE(READLINE(unit, line));
    EXPECT_THROW(READLINE(unit, line), services::RunStop);
    EXPECT_NE(out.str().find("ERROR - End-of-file encountered reading text line from file unit number901\n"),
              std::string::npos)
        << out.str();
    EXPECT_EQ(services::DMESSAGES().counts[0], 1);
    // STOPRUN closed the unit.
    EXPECT_FALSE(rt.get().units.connected(unit));
}

TEST_F(ReadLineTest, UnitNumbersOfFourDigitsPrintAsAsterisks) {
    write("");
    std::istringstream in;
    std::ostringstream out;
    services::ScopedRuntime rt(in, out);
    rt.get().units.connect(1000, path_.string(), io::InputFile::open(path_.string()));
    std::string line;
    EXPECT_THROW(READLINE(1000, line), services::RunStop);
    EXPECT_NE(out.str().find("ERROR - End-of-file encountered reading text line from file unit number***\n"),
              std::string::npos)
        << out.str();
}

TEST(ReadLine, ReadErrorStopsTheRunWithItsOwnMessage) {
    // Reading this process's memory at offset 0 fails with an I/O error.
    std::istringstream in;
    std::ostringstream out;
    services::ScopedRuntime rt(in, out);
    auto file = io::InputFile::open("/proc/self/mem");
    if (!file) GTEST_SKIP() << "/proc/self/mem cannot be opened here";
    rt.get().units.connect(950, "/proc/self/mem", std::move(file));
    std::string line;
    EXPECT_THROW(READLINE(950, line), services::RunStop);
    EXPECT_NE(out.str().find("ERROR - Reading text line from file unit number950\n"), std::string::npos) << out.str();
}

}  // namespace
}  // namespace velmorak::util
