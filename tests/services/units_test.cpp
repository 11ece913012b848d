#include "services/units.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "services/runtime.h"
#include "support/support.h"

namespace velmorak::services {
namespace {

using testing::Capture;
using testing::TempDir;

TEST(UnitPool, HandsOutTheLowestFreeUnitAndReusesClosedOnes) {
    TempDir dir;
    Capture cap;
    INITSERVICES();
    int a = 0, b = 0, c = 0;
    OPENFILE(a, "O ", dir.file("a"));
    OPENFILE(b, "O ", dir.file("b"));
    EXPECT_EQ(a, 901);
    EXPECT_EQ(b, 902);
    CLOSER(a);
    OPENFILE(c, "O ", dir.file("c"));
    EXPECT_EQ(c, 901);
}

TEST(UnitPool, The101stOpenStopsTheRun) {
    TempDir dir;
    Capture cap;
    INITSERVICES();
    for (int i = 0; i < 100; ++i) {
        int u = 0;
        OPENFILE(u, "O ", dir.file(std::string("f").append(std::to_string(i))));
        ASSERT_EQ(u, 901 + i);
    }
    int u = 0;
    EXPECT_THROW(OPENFILE(u, "O ", dir.file("one-too-many")), RunStop);
    EXPECT_NE(cap.out().find("No free file numbers."), std::string::npos);
}

TEST(OpenFile, ReportsInputAndOutputOpensAndCloses) {
    TempDir dir;
    const std::string in = dir.write("in.txt", "x\n");
    Capture cap;
    INITSERVICES();
    int u = 0, v = 0;
    OPENFILE(u, "I ", "  " + in + "  ");
    OPENFILE(v, "O ", dir.file("out.txt"));
    CLOSER(v);
    CLOSER(v);    // a free unit: nothing
    CLOSER(123);  // never handed out: nothing
    EXPECT_EQ(cap.out(), "\nTrying to open file " + in + "...OK.\nOpened File Unit: 901\n" +
                             "\nTrying to open file " + dir.file("out.txt") + "...OK.  File Unit: 902\n" +
                             "...Closed File Unit: 902\n");
}

TEST(OpenFile, MissingInputPromptsAndATypedNameIsTriedWhileTheCallersNameStays) {
    TempDir dir;
    const std::string real = dir.write("real.txt", "data\n");
    Capture cap("\n" + real + "\n");
    INITSERVICES();
    const std::string wanted = dir.file("missing.txt");
    int u = 0;
    OPENFILE(u, "I ", wanted);
    EXPECT_EQ(u, 901);
    std::string_view line;
    ASSERT_EQ(cap.rt().units.input(u).read_line(line), io::LineStatus::ok);
    EXPECT_EQ(line, "data");
    const std::string out = cap.out();
    EXPECT_NE(out.find("CHECK - \"" + wanted + "\" cannot be found\n"), std::string::npos);
    EXPECT_NE(out.find("No file name entered.  Trying file again..."), std::string::npos);
    EXPECT_NE(out.find("Trying to open file " + real + "...OK."), std::string::npos);
}

TEST(OpenFile, MissingInputWithStandardInputAtItsEndStopsWithOneErrorLine) {
    TempDir dir;
    Capture cap("");
    INITSERVICES();
    int u = 0;
    try {
        OPENFILE(u, "I ", dir.file("missing.txt"));
        FAIL() << "returned";
    } catch (const RunStop& s) {
        EXPECT_EQ(s.status, 1);
    }
    EXPECT_NE(cap.out().find("\nERROR - Standard input ended while waiting for a file name."), std::string::npos);
}

TEST(OpenFile, UnwritableOutputRetriesUntilItsFolderExists) {
    TempDir dir;
    const std::string target = dir.file("later/out.txt");
    Capture cap("make folder\n\n");
    // The command typed at the pause creates the folder.
    cap.rt().console.set_command_runner(
        [&](const std::string&) { std::filesystem::create_directory(dir.path() / "later"); });
    INITSERVICES();
    int u = 0;
    OPENFILE(u, "O ", target);
    EXPECT_EQ(u, 901);
    EXPECT_EQ(cap.out(), "\nTrying to open file " + target + "...Can't Open\n \n Can't open: " + target +
                             "\n \n Another application or user maybe using it,\n"
                             "    or the file's folder does not exist.\n"
                             " If so, close the file or create file path.\n"
                             "CHECK - \"" + target + "\" cannot be created: No such file or directory\n"
                             "\nPress Enter to Continue\nPress Enter to Continue\nOK.  File Unit: 901\n");
}

TEST(OpenFile, UnwritableOutputWithInputAtItsEndStopsInsteadOfLooping) {
    TempDir dir;
    Capture cap("");
    INITSERVICES();
    int u = 0;
    EXPECT_THROW(OPENFILE(u, "O ", dir.file("none/out.txt")), RunStop);
    EXPECT_NE(cap.out().find("ERROR - Standard input ended"), std::string::npos);
}

TEST(OpenFile, AppendThatCannotOpenGivesUnitZeroAndKeepsTheSlotFree) {
    TempDir dir;
    Capture cap;
    INITSERVICES();
    int u = 0;
    OPENFILE(u, "A ", dir.file("none/log.txt"));
    EXPECT_EQ(u, 0);
    EXPECT_NE(cap.out().find("FAILED.  No File Unit allocated."), std::string::npos);
    EXPECT_EQ(cap.rt().units.lowest_free(), 901);
}

TEST(OpenFile, EmptyNameBailsOutAfterThePause) {
    Capture cap("\n");
    INITSERVICES();
    int u = 0;
    EXPECT_THROW(OPENFILE(u, "I ", "   "), RunStop);
    EXPECT_EQ(cap.out(), "\nEmpty filename specified.  Bailing out.  Contact ZKH.\nPress Enter to Close\n");
}

TEST(OpenFile, AnOutputThisProgramHoldsOpenAsksBeforeClosingIt) {
    TempDir dir;
    Capture cap("y\n");
    INITSERVICES();
    int u = 0, v = 0;
    OPENFILE(u, "O ", dir.file("x.txt"));
    cap.rt().units.output(u).line("first");
    OPENFILE(v, "O ", dir.file("x.txt"));
    EXPECT_EQ(v, 902);
    EXPECT_NE(cap.out().find(" is already open, close it? "), std::string::npos);
    EXPECT_FALSE(cap.rt().units.connected(u));
}

TEST(OpenFile, UnknownFileTypeOpensNothingButTakesTheSlot) {
    TempDir dir;
    Capture cap;
    INITSERVICES();
    int u = 0;
    OPENFILE(u, "ZZ", dir.file("x.txt"));
    EXPECT_EQ(u, 901);
    EXPECT_FALSE(cap.rt().units.connected(u));
    EXPECT_TRUE(cap.rt().units.in_use(u));
    EXPECT_NE(cap.out().find("  Unrecognised file type ZZ file "), std::string::npos);
}

TEST(Lensl, CountsWithoutTrailingBlanksAndNulsAndTerminates) {
    char two[4] = {'a', 'b', ' ', ' '};
    EXPECT_EQ(LENSL(two, 4), 2);
    EXPECT_EQ(two[2], '\0');
    char blanks[4] = {' ', ' ', ' ', ' '};
    EXPECT_EQ(LENSL(blanks, 4), 0);
    EXPECT_EQ(std::string(blanks, 4), "    ");
    char full[4] = {'a', 'b', 'c', 'd'};
    EXPECT_EQ(LENSL(full, 4), 4);
    EXPECT_EQ(full[3], 'd');
}

}  // namespace
}  // namespace velmorak::services
