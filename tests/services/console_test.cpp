#include "services/console.h"

#include <gtest/gtest.h>

#include <filesystem>

#include <sstream>
#include <string>

#include "services/runtime.h"
#include "support/support.h"

namespace velmorak::services {
namespace {

using testing::Capture;

TEST(Console, RecordEndGivesAnEmptyLineAtLineStartAndOnlyEndsAnOpenLine) {
    Capture cap;
    Console& con = cap.rt().console;
    con.end_line();
    con.line("Build 2007-09-AB");
    con.end_line();
    con.put("      10");
    con.put("      20");
    con.end_line();
    con.line("Converted 25");
    EXPECT_EQ(cap.out(), "\nBuild 2007-09-AB\n\n      10      20\nConverted 25\n");
}

TEST(Console, AWholeLineContinuesAnOpenLine) {
    Capture cap;
    Console& con = cap.rt().console;
    con.put("Trying to open file a.mif...");
    con.line("OK.");
    EXPECT_FALSE(con.line_open());
    EXPECT_EQ(cap.out(), "Trying to open file a.mif...OK.\n");
}

TEST(Console, ControlCharactersOfEchoedInputAreShownInCaretNotation) {
    Capture cap;
    Console& con = cap.rt().console;
    con.line(std::string("1 1") + '\0' + " 2\x1b[31m\r\x7f");
    con.line("a\tb");
    EXPECT_EQ(cap.out(), "1 1^@ 2^[[31m^M^?\na\tb\n");
}

TEST(Console, ReadLineDropsTheCarriageReturnAndReportsTheEndOfInput) {
    Capture cap("answer\r\nnext\n");
    std::string a;
    ASSERT_TRUE(cap.rt().console.read_line(a));
    EXPECT_EQ(a, "answer");
    ASSERT_TRUE(cap.rt().console.read_line(a));
    EXPECT_EQ(a, "next");
    EXPECT_FALSE(cap.rt().console.read_line(a));
}

TEST(Pause, TypedCommandRunsAndThePauseTextComesAgainUntilAnEmptyLine) {
    Capture cap("dir\n\nrest\n");
    EXPECT_TRUE(PAUSEPROMPT());
    EXPECT_EQ(cap.out(), "\nPress Enter to Continue\nPress Enter to Continue\n");
    ASSERT_EQ(cap.commands.size(), 1u);
    EXPECT_EQ(cap.commands[0], "dir");
}

TEST(Pause, EndOfInputEndsThePauseAtOnce) {
    Capture cap("");
    EXPECT_FALSE(PAUSEPROMPT());
    EXPECT_FALSE(run_time_pause("ERROR - something"));
    EXPECT_EQ(cap.out(), "\nPress Enter to Continue\nERROR - something\n");
}

TEST(Pause, AnOpenLineIsEndedBeforeThePauseText) {
    Capture cap("\n");
    cap.rt().console.put("XS1, XS2, ");
    EXPECT_TRUE(run_time_pause("Press Enter to Continue"));
    EXPECT_EQ(cap.out(), "XS1, XS2, \nPress Enter to Continue\n");
}

// The outputs a stopped run was writing are dropped: a file they were to
// replace stays as it was, a new one is not created, no temporary is left.
TEST(StopRun, ClosesEveryUnitWithoutReportPausesAndStopsWithStatusOne) {
    testing::TempDir dir;
    dir.write("b.txt", "earlier\n");
    Capture cap("\n");
    INITSERVICES();
    int u1 = 0, u2 = 0, u3 = 0;
    OPENFILE(u1, "O ", dir.file("a.txt"));
    OPENFILE(u2, "O ", dir.file("b.txt"));
    OPENFILE(u3, "O ", dir.file("c.txt"));
    cap.rt().units.output(u2).line("not kept");
    const std::string before = cap.out();
    try {
        STOPRUN();
        FAIL() << "STOPRUN returned";
    } catch (const RunStop& stop) {
        EXPECT_EQ(stop.status, 1);
    }
    const std::string after = cap.out().substr(before.size());
    EXPECT_EQ(after, "\nPress Enter to Close\n");
    EXPECT_EQ(dir.read("b.txt"), "earlier\n");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);
    EXPECT_FALSE(cap.rt().units.connected(u1));
    EXPECT_TRUE(cap.rt().units.in_use(u1));  // the flags stay as they were
}

TEST(RunTimeStop, WritesItsMessageAndStopsWithoutPause) {
    Capture cap("");
    EXPECT_THROW(run_time_stop("ERROR - Reading data"), RunStop);
    EXPECT_EQ(cap.out(), "ERROR - Reading data\n");
}

}  // namespace
}  // namespace velmorak::services
