#include "mif/header.h"

#include <gtest/gtest.h>

#include <string>

#include "services/runtime.h"
#include "support/support.h"

namespace velmorak::mif {
namespace {

using testing::Capture;
using testing::TempDir;

io::InputFile& open_input(const std::string& name) {
    int unit = 0;
    services::OPENFILE(unit, "I ", name);
    return services::runtime().units.input(unit);
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
    io::InputFile& a = open_input(dir.write("a.mif", "Version 300\ncoordsys NonEarth Units \"m\"   \nData\n"));
    EXPECT_EQ(miFindCoordSys(a), "coordsys NonEarth Units \"m\"");
    io::InputFile& b = open_input(dir.write("b.mif", "Version 300\n  CoordSys NonEarth\nData\n"));
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
    io::InputFile& mif = open_input(dir.write("d.mif", "Version 300\nColumns 1\n  A Char(5)\ndata\nPoint 1 2\n"));
    std::string_view line;
    mif.read_line(line);  // not at the start: miFindData rewinds
    ASSERT_TRUE(miFindData(mif));
    ASSERT_EQ(mif.read_line(line), io::LineStatus::ok);
    EXPECT_EQ(line, "Point 1 2");
}

TEST(MifFindData, NoDataLineEndsAtTheEndOfTheFile) {
    TempDir dir;
    Capture cap;
    services::INITSERVICES();
    io::InputFile& mif = open_input(dir.write("d.mif", "Version 300\nColumns 1\n"));
    EXPECT_TRUE(miFindData(mif));
    EXPECT_TRUE(mif.at_eof());
}

TEST(MifColumns, CountAndDefinitions) {
    TempDir dir;
    Capture cap;
    services::INITSERVICES();
    io::InputFile& unit = open_input(dir.write("c.mif", "Version 300\nCOLUMNS 2\n  Name Char(20)\n  Z Float\nData\n"));
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
    io::InputFile& unit = open_input(dir.write("c.mif", "Version 300\nColumns many\n"));
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
    io::InputFile& unit = open_input(dir.write("c.mif", "a\nxxxxxx 42\n"));
    std::int32_t count = 0;
    EXPECT_TRUE(miReadColumnCount(unit, count));
    EXPECT_EQ(count, 42);
}

// The header .mif as the .mif of an input layer in the folder, and a new output layer.
struct CopyLayers {
    InputLayer from;
    OutputLayer to;
};

CopyLayers copy_layers(const TempDir& dir, const std::string& header) {
    dir.write("h.mif", header);
    dir.write("h.mid", "");
    return {miOpen(dir.file("h"), {.check_save_date = false}), miOpenOutput(dir.file("out"))};
}

TEST(MifCopyHeader, CopiesUpToTheColumnsLine) {
    TempDir dir;
    Capture cap;
    services::INITSERVICES();
    const std::string header = testing::read_file(testing::fixture("mif/header.mif"));
    CopyLayers layers = copy_layers(dir, header);
    miCopyHeader(layers.from, layers.to);
    layers.to.close();
    EXPECT_EQ(dir.read("out.mif"), header.substr(0, header.find("Columns")));
    EXPECT_NE(cap.out().find("Copying header info from file unit 901 to 903...\n"), std::string::npos);
}

TEST(MifCopyHeader, WithoutColumnsCopiesUpToTheDataLine) {
    TempDir dir;
    Capture cap;
    services::INITSERVICES();
    CopyLayers layers = copy_layers(dir, "Version 300   \nCharset \"WindowsLatin1\"\nData\n\nPoint 1 2\n");
    miCopyHeader(layers.from, layers.to);
    layers.to.close();
    EXPECT_EQ(dir.read("out.mif"), "Version 300\nCharset \"WindowsLatin1\"\nDelimiter \",\"\n");
}

}  // namespace
}  // namespace velmorak::mif
