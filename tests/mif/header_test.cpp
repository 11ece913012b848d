#include "mif/header.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>

#include "services/runtime.h"
#include "support/support.h"

namespace velmorak::mif {
namespace {

using testing::Capture;
using testing::TempDir;

int open_input(const std::string& name) {
    int unit = 0;
    services::OPENFILE(unit, "I ", name);
    return unit;
}

int open_output(const std::string& name) {
    int unit = 0;
    services::OPENFILE(unit, "O ", name);
    return unit;
}

void age(const std::string& name, int seconds) {
    const auto now = std::filesystem::file_time_type::clock::now();
    std::filesystem::last_write_time(name, now - std::chrono::hours(1) + std::chrono::seconds(seconds));
}

// A layer x.mif/x.mid exported after its table x.tab.
struct Layer {
    TempDir dir;
    std::string mif = dir.write("x.mif", "Version 300\nData\n");
    std::string mid = dir.write("x.mid", "");
    std::string tab = dir.write("x.tab", "!table\n");
    Layer() {
        age(tab, 0);
        age(mif, 10);
    }
};

TEST(MifOpen, ExtensionMifMidOrNoneOpenTheSamePair) {
    Layer layer;
    for (const std::string& name : {layer.dir.file("x.mif"), layer.dir.file("x.MID"), "  " + layer.dir.file("x")}) {
        Capture cap;
        services::INITSERVICES();
        int mif = 0, mid = 0;
        miOpen(name, mif, mid, "I ", 0, true, ".tab", false);
        EXPECT_EQ(services::runtime().units.name_of(mif), layer.mif) << name;
        EXPECT_EQ(services::runtime().units.name_of(mid), layer.mid) << name;
        EXPECT_NE(cap.out().find("Checking save date is later than that of " + layer.tab + "...OK"), std::string::npos);
    }
}

TEST(MifOpen, OtherExtensionsStayPartOfTheBaseName) {
    TempDir dir;
    Capture cap;
    services::INITSERVICES();
    int mif = 0, mid = 0;
    miOpen(dir.file("roads.v2"), mif, mid, "O ", 0, true, ".tab", false);
    services::CLOSER(mif);
    services::CLOSER(mid);
    EXPECT_TRUE(dir.exists("roads.v2.mif"));
    EXPECT_TRUE(dir.exists("roads.v2.mid"));
    // No save-date check for an output layer.
    EXPECT_EQ(cap.out().find("Checking save date"), std::string::npos);
}

TEST(MifOpen, SingleFileModeOpensTheNameUnchanged) {
    Layer layer;
    Capture cap;
    services::INITSERVICES();
    int mif = -1, mid = 0;
    miOpen(layer.mid, mif, mid, "I ", 0, true, ".tab", false);
    EXPECT_EQ(mif, -1);
    EXPECT_EQ(services::runtime().units.name_of(mid), layer.mid);
    EXPECT_NE(cap.out().find("Checking save date"), std::string::npos);  // a .mid name is checked

    Capture cap2;
    services::INITSERVICES();
    mif = -1;
    miOpen(layer.tab, mif, mid, "I ", 0, true, ".tab", false);
    EXPECT_EQ(services::runtime().units.name_of(mid), layer.tab);
    EXPECT_EQ(cap2.out().find("Checking save date"), std::string::npos);
}

TEST(MifOpen, StaleLayerInErrorModeIsOpenedAgainAfterTheReExport) {
    Layer layer;
    age(layer.mif, -10);  // the table was saved after the export
    // The user types a command at the pause (it re-exports), then presses Enter.
    Capture cap("re-export\n\n");
    services::INITSERVICES();
    cap.rt().console.set_command_runner([&](const std::string&) { age(layer.mif, 20); });
    int mif = 0, mid = 0;
    miOpen(layer.mif, mif, mid, "I ", 0, true, ".tab", true);
    const std::string out = cap.out();
    EXPECT_NE(out.find("...NOT OK"), std::string::npos);
    EXPECT_NE(out.find("...OK\n"), std::string::npos);  // the second check
    EXPECT_EQ(services::runtime().units.name_of(mif), layer.mif);
    EXPECT_EQ(services::runtime().units.name_of(mid), layer.mid);
}

TEST(MifOpen, WorkspaceEntriesAndTheirLimit) {
    Layer layer;
    TempDir other;
    other.write("y.mif", "Data\n");
    other.write("y.mid", "");
    Capture cap;
    services::INITSERVICES();
    const int wor = open_output(other.file("w.wor"));
    WorkspaceList list;
    list.limit = 1;
    int mif = 0, mid = 0;
    miOpen(layer.mif, mif, mid, "I ", 0, false, ".tab", false, wor, &list);
    miOpen(layer.mid, mif, mid, "I ", 0, false, ".tab", false, wor, &list);  // same layer: nothing written
    miOpen(other.file("y"), mif, mid, "I ", 0, false, ".tab", false, wor, &list);
    services::CLOSER(wor);
    EXPECT_EQ(list.count, 1);
    EXPECT_EQ(list.names[0], other.file("y"));
    EXPECT_EQ(other.read("w.wor"),
              "Open Table \"" + layer.dir.file("x") + "\"\nOpen Table \"" + other.file("y") + "\"\n");
    const std::string warning = "WARNING - Exceeded limit of input layers for MI workspace (.wor may not be complete)";
    const std::string out = cap.out();
    const auto first = out.find(warning);
    ASSERT_NE(first, std::string::npos);
    EXPECT_NE(out.find(warning, first + 1), std::string::npos);
}

TEST(MifOpen, ProjectionMismatchWarnsOrStops) {
    TempDir dir;
    dir.write("p.mif", "Version 300\ncoordsys Earth Projection 1, 0\nData\n");
    dir.write("p.mid", "");
    {
        Capture cap;
        services::INITSERVICES();
        int mif = 0, mid = 0;
        miOpen(dir.file("p"), mif, mid, "I ", 0, false, ".tab", false, -1, nullptr,
               miNormaliseProjection("CoordSys Earth Projection 1, 0"), true);
        EXPECT_EQ(cap.out().find("Projection of .mif file is different"), std::string::npos);
        // The .mif was rewound after the check.
        std::string_view line;
        services::runtime().units.input(mif).read_line(line);
        EXPECT_EQ(line, "Version 300");
    }
    {
        Capture cap;
        services::INITSERVICES();
        int mif = 0, mid = 0;
        miOpen(dir.file("p"), mif, mid, "I ", 0, false, ".tab", false, -1, nullptr, "COORDSYSEARTHPROJECTION2,0",
               false);
        EXPECT_NE(cap.out().find("WARNING - Projection of .mif file is different to that specified by the MI "
                                 "Projection == command."),
                  std::string::npos);
    }
    {
        Capture cap;
        services::INITSERVICES();
        int mif = 0, mid = 0;
        EXPECT_THROW(miOpen(dir.file("p"), mif, mid, "I ", 0, false, ".tab", false, -1, nullptr,
                            "COORDSYSEARTHPROJECTION2,0", true),
                     services::RunStop);
        EXPECT_NE(cap.out().find("Use \"MI Projection Check == WARNING\" to change message to a WARNING."),
                  std::string::npos);
    }
}

TEST(MifNormaliseProjection, IgnoresCaseBlanksTabsAndQuotes) {
    EXPECT_EQ(miNormaliseProjection("  CoordSys Earth\tProjection 8, 33, \"m\", 153"),
              miNormaliseProjection("COORDSYSEARTHPROJECTION8,33,M,153"));
    EXPECT_EQ(miNormaliseProjection("  CoordSys Earth\tProjection 8, 33, \"m\", 153"),
              "COORDSYSEARTHPROJECTION8,33,M,153");
    EXPECT_NE(miNormaliseProjection("CoordSys Earth Projection 8, 34"),
              miNormaliseProjection("CoordSys Earth Projection 8, 33"));
}

TEST(MifFindCoordSys, FindsTheKeywordInAnyCaseOnlyAtTheLineStart) {
    TempDir dir;
    Capture cap;
    services::INITSERVICES();
    const int a = open_input(dir.write("a.mif", "Version 300\ncoordsys NonEarth Units \"m\"   \nData\n"));
    EXPECT_EQ(miFindCoordSys(a), "coordsys NonEarth Units \"m\"");
    const int b = open_input(dir.write("b.mif", "Version 300\n  CoordSys NonEarth\nData\n"));
    EXPECT_EQ(miFindCoordSys(b), "");
}

TEST(MifHeaderCoordSys, DefaultWithAWarningWhenTheHeaderIsMissing) {
    TempDir dir;
    Capture cap("\n");
    services::INITSERVICES();
    EXPECT_EQ(miHeaderCoordSys(dir.file("none.mif")), kDefaultCoordSys);
    EXPECT_NE(cap.out().find("\nWARNING - No MI Projection or mif header file " + dir.file("none.mif") +
                             " found.\n          Non-Earth Coordinates will be used.\n"),
              std::string::npos);
    EXPECT_EQ(kDefaultCoordSys.size(), 73u);
}

TEST(MifHeaderCoordSys, TheHeaderLineWhenPresent) {
    Capture cap;
    services::INITSERVICES();
    const std::string line = miHeaderCoordSys(testing::fixture("mif/header.mif").string());
    EXPECT_EQ(line.substr(0, 27), "CoordSys Earth Projection 8");
    TempDir dir;
    EXPECT_EQ(miHeaderCoordSys(dir.write("nocs.mif", "Version 300\nData\n")), kDefaultCoordSys);
}

TEST(MifFindData, PositionsAfterTheDataLine) {
    TempDir dir;
    Capture cap;
    services::INITSERVICES();
    const int unit = open_input(dir.write("d.mif", "Version 300\nColumns 1\n  A Char(5)\ndata\nPoint 1 2\n"));
    std::string_view line;
    services::runtime().units.input(unit).read_line(line);  // not at the start: miFindData rewinds
    ASSERT_TRUE(miFindData(unit));
    ASSERT_EQ(services::runtime().units.input(unit).read_line(line), io::LineStatus::ok);
    EXPECT_EQ(line, "Point 1 2");
}

TEST(MifFindData, NoDataLineEndsAtTheEndOfTheFile) {
    TempDir dir;
    Capture cap;
    services::INITSERVICES();
    const int unit = open_input(dir.write("d.mif", "Version 300\nColumns 1\n"));
    EXPECT_TRUE(miFindData(unit));
    EXPECT_TRUE(services::runtime().units.input(unit).at_eof());
}

TEST(MifColumns, CountAndDefinitions) {
    TempDir dir;
    Capture cap;
    services::INITSERVICES();
    const int unit = open_input(dir.write("c.mif", "Version 300\nCOLUMNS 2\n  Name Char(20)\n  Z Float\nData\n"));
    std::int32_t count = 0;
    ASSERT_TRUE(miReadColumnCount(unit, count));
    EXPECT_EQ(count, 2);
    std::string name, type;
    ASSERT_TRUE(miReadColumnDef(unit, name, type));
    EXPECT_EQ(name, "Name");
    EXPECT_EQ(type, "Char(20)");
    ASSERT_TRUE(miReadColumnDef(unit, name, type));
    EXPECT_EQ(name, "Z");
    EXPECT_EQ(type, "Float");
}

TEST(MifColumns, ProblemsWarnPauseAndFail) {
    TempDir dir;
    Capture cap("\n\n");
    services::INITSERVICES();
    const int unit = open_input(dir.write("c.mif", "Version 300\nColumns many\n"));
    std::int32_t count = 7;
    EXPECT_FALSE(miReadColumnCount(unit, count));
    EXPECT_EQ(count, 7);
    std::string name, type;
    EXPECT_FALSE(miReadColumnDef(unit, name, type));  // end of file
    const std::string out = cap.out();
    EXPECT_NE(out.find("WARNING - Problems reading number of attributes in .mif file"), std::string::npos);
    EXPECT_NE(out.find("WARNING - Problems reading attribute definition in .mif file"), std::string::npos);
    EXPECT_NE(out.find("Press Enter to Continue"), std::string::npos);
}

// Without a Columns line the count is read from the last line of the file. That
// line must be read as it was, although asking for the end of the file moves
// the file's buffer (a text shorter than the last line before it makes the move
// overlap the line).
TEST(MifColumns, WithoutAColumnsLineTheCountComesFromTheLastLine) {
    TempDir dir;
    Capture cap("\n");
    services::INITSERVICES();
    const int unit = open_input(dir.write("c.mif", "a\nxxxxxx 42\n"));
    std::int32_t count = 0;
    EXPECT_TRUE(miReadColumnCount(unit, count));
    EXPECT_EQ(count, 42);
}

TEST(MifCopyHeader, CopiesUpToTheColumnsLine) {
    TempDir dir;
    Capture cap;
    services::INITSERVICES();
    const int in = open_input(testing::fixture("mif/header.mif").string());
    const int out = open_output(dir.file("out.mif"));
    miCopyHeader(in, out);
    services::CLOSER(out);
    const std::string header = testing::read_file(testing::fixture("mif/header.mif"));
    EXPECT_EQ(dir.read("out.mif"), header.substr(0, header.find("Columns")));
    EXPECT_NE(cap.out().find("Copying header info from file unit 901 to 902...\n"), std::string::npos);
}

TEST(MifCopyHeader, WithoutColumnsCopiesTheWholeFile) {
    TempDir dir;
    Capture cap;
    services::INITSERVICES();
    const int in = open_input(dir.write("h.mif", "Version 300   \nCharset \"WindowsLatin1\"\n"));
    const int out = open_output(dir.file("out.mif"));
    miCopyHeader(in, out);
    services::CLOSER(out);
    EXPECT_EQ(dir.read("out.mif"), "Version 300\nCharset \"WindowsLatin1\"\n");
}

}  // namespace
}  // namespace velmorak::mif
