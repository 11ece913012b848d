#include "mif/writer.h"

#include <gtest/gtest.h>

#include <span>
#include <string>
#include <vector>

#include "mif/object_reader.h"
#include "services/runtime.h"
#include "support/support.h"

namespace velmorak::mif {
namespace {

using testing::Capture;
using testing::TempDir;

// An output file of the pool, and its unit for closing it.
struct Out {
    int unit = 0;
    io::OutputFile& file;
};

Out open_output(const std::string& name) {
    int unit = 0;
    services::OPENFILE(unit, "O ", name);
    return {unit, services::runtime().units.output(unit)};
}

TEST(MifWriteObject, PointPlineAndRegionMatchTheGoldenText) {
    TempDir dir;
    Capture cap;
    services::INITSERVICES();
    const Out mif = open_output(dir.file("out.mif"));
    const std::vector<double> px{12.5, 0}, py{3.25, 0};
    miWriteObject(mif.file, miKind::point, px, py, 1, "   ");
    const std::vector<double> lx{0, 1.5, 1000000}, ly{0, -2, 0.25};
    miWriteObject(mif.file, miKind::pline, lx, ly, 3, "    Pen (1,2,0)");
    const std::vector<double> rx{0, 4, 4, 0}, ry{0, 0, 4, 4};
    miWriteObject(mif.file, miKind::region, rx, ry, 4, "");
    services::CLOSER(mif.unit);
    EXPECT_EQ(dir.read("out.mif"), testing::read_file(testing::fixture("mif/golden_objects.mif")));
}

TEST(MifWriteObject, LineAndOverflowingCoordinates) {
    TempDir dir;
    Capture cap;
    services::INITSERVICES();
    const Out mif = open_output(dir.file("out.mif"));
    const std::vector<double> x{1, 1e12}, y{-0.0000004, 2};
    miWriteObject(mif.file, miKind::line, x, y, 2, "    Pen (3,2,16711680)");
    services::CLOSER(mif.unit);
    EXPECT_EQ(dir.read("out.mif"),
              "Line         1.000000        0.000000****************        2.000000\n    Pen (3,2,16711680)\n");
}

// Vertices laid out once and written as a Pline and as Points give the text
// miWriteObject gives, overflowing and negative coordinates included.
TEST(MifWriteObject, PreformattedVerticesWriteTheSameText) {
    TempDir dir;
    Capture cap;
    services::INITSERVICES();
    const std::vector<double> x{316211.306, -0.0000004, 1e12, -12345.6789125, 0};
    const std::vector<double> y{6216306.595, 2, -1e11, 0.5, -0.0};
    const Out direct = open_output(dir.file("direct.mif"));
    miWriteObject(direct.file, miKind::pline, x, y, 5, "    Pen (1,2,0)");
    for (std::size_t i = 0; i < x.size(); ++i)
        miWriteObject(direct.file, miKind::point, std::span(x).subspan(i), std::span(y).subspan(i), 1, "  Symbol ");
    services::CLOSER(direct.unit);

    std::string lines;
    miFormatVertices(lines, x, y, 5);
    ASSERT_EQ(lines.size(), 5 * kVertexLineLength);
    const Out laid_out = open_output(dir.file("laid_out.mif"));
    miWritePline(laid_out.file, 5, lines, "    Pen (1,2,0)");
    for (std::size_t i = 0; i < x.size(); ++i)
        miWritePoint(laid_out.file, std::string_view(lines).substr(i * kVertexLineLength, kVertexLineLength), "  Symbol ");
    services::CLOSER(laid_out.unit);
    EXPECT_EQ(dir.read("laid_out.mif"), dir.read("direct.mif"));
    EXPECT_NE(dir.read("direct.mif").find("****************"), std::string::npos);
}

TEST(MifWriteObject, KindsWithoutALayoutStopTheRun) {
    TempDir dir;
    Capture cap;
    services::INITSERVICES();
    const Out mif = open_output(dir.file("out.mif"));
    const std::vector<double> x{1, 2}, y{3, 4};
    EXPECT_THROW(miWriteObject(mif.file, miKind::pline_multiple, x, y, 2, ""), services::RunStop);
    EXPECT_NE(cap.out().find("ERROR - Trying to write a MIF object that is not yet supported!\n"), std::string::npos);
}

TEST(MifWriteObject, WrittenObjectsReadBack) {
    TempDir dir;
    Capture cap;
    services::INITSERVICES();
    const Out out = open_output(dir.file("rt.mif"));
    const std::vector<double> x{0, 10, 10}, y{0, 0, 10};
    miWriteObject(out.file, miKind::pline, x, y, 3, "    Pen (1,2,0)");
    miWriteObject(out.file, miKind::region, x, y, 3, "");
    services::CLOSER(out.unit);
    int in = 0;
    services::OPENFILE(in, "I ", dir.file("rt.mif"));
    io::InputFile& file = services::runtime().units.input(in);
    std::vector<double> rx(10), ry(10);
    std::vector<std::int32_t> counts;
    miObject o;
    std::string_view view;
    while (file.read_line(view) == io::LineStatus::ok) {
        const std::string line(view);
        std::string_view rest;
        if (!miObjectType(line, rest, o)) continue;
        std::int32_t n = 0;
        ASSERT_TRUE(miReadObject(rest, file, o, rx, ry, 10, n));
        counts.push_back(n);
        EXPECT_EQ(rx[2], 10.0);
        EXPECT_EQ(ry[2], 10.0);
    }
    // The region of 3 vertices was closed into 4, plus its spare slot.
    EXPECT_EQ(counts, (std::vector<std::int32_t>{3, 5}));
}

TEST(MifWriteHeader, MissingHeaderGivesANonEarthHeaderFromTheBounds) {
    TempDir dir;
    Capture cap("\n");
    services::INITSERVICES();
    const Out mif = open_output(dir.file("out.mif"));
    double xmin = -12.5, ymin = 0, xmax = 1234567.8916, ymax = 99;
    miWriteHeader(mif.file, "", dir.file("Header.mif"), -1, xmin, ymin, xmax, ymax);
    services::CLOSER(mif.unit);
    EXPECT_EQ(dir.read("out.mif"),
              "Version 300\nCharset \"WindowsLatin1\"\nDelimiter \",\"\n"
              "CoordSys NonEarth Units \"m\" Bounds (        -12.500,          0.000) (    1234567.892,         "
              "99.000)\n");
    EXPECT_NE(cap.out().find("\n\nWARNING - No MI Projection or mif header file " + dir.file("Header.mif") +
                             " found.\n          Non-Earth Coordinates will be used.\n\nPress Enter to Continue"),
              std::string::npos)
        << cap.out();
    EXPECT_EQ(xmax, 1234567.8916);
}

TEST(MifWriteHeader, ProjectionLineWithBoundsHandsThemBack) {
    TempDir dir;
    Capture cap;
    services::INITSERVICES();
    const Out mif = open_output(dir.file("out.mif"));
    double xmin = 0, ymin = 0, xmax = 0, ymax = 0;
    miWriteHeader(mif.file, "CoordSys NonEarth Units \"m\" Bounds (-1.5, 2) (300, 4.25)   ", "", -1, xmin, ymin, xmax,
                  ymax);
    services::CLOSER(mif.unit);
    EXPECT_EQ(dir.read("out.mif"),
              "Version 300\nCharset \"WindowsLatin1\"\nDelimiter \",\"\n"
              "CoordSys NonEarth Units \"m\" Bounds (-1.5, 2) (300, 4.25)\n");
    EXPECT_EQ(xmin, -1.5);
    EXPECT_EQ(ymin, 2.0);
    EXPECT_EQ(xmax, 300.0);
    EXPECT_EQ(ymax, 4.25);
}

TEST(MifWriteHeader, BoundsWithoutTheBlankAreNotRead) {
    TempDir dir;
    Capture cap;
    services::INITSERVICES();
    const Out mif = open_output(dir.file("out.mif"));
    double xmin = 1, ymin = 2, xmax = 3, ymax = 4;
    miWriteHeader(mif.file, "CoordSys NonEarth Units \"m\" Bounds(-9999999, -9999999) (9999999, 9999999)", "", -1, xmin,
                  ymin, xmax, ymax);
    services::CLOSER(mif.unit);
    EXPECT_NE(dir.read("out.mif").find("Bounds(-9999999, -9999999)"), std::string::npos);
    EXPECT_EQ(xmin, 1.0);
    EXPECT_EQ(ymax, 4.0);
}

TEST(MifWriteHeader, UnreadableBoundsStopTheRunAndGoToTheLog) {
    TempDir dir;
    Capture cap;
    services::INITSERVICES();
    const Out mif = open_output(dir.file("out.mif"));
    // Appended to, the log is written in place: the stop keeps what it holds.
    int log_unit = 0;
    services::OPENFILE(log_unit, "A ", dir.file("run.log"));
    const Out log{log_unit, services::runtime().units.output(log_unit)};
    double xmin = 0, ymin = 0, xmax = 0, ymax = 0;
    EXPECT_THROW(
        miWriteHeader(mif.file, "CoordSys NonEarth Units \"m\" Bounds (west, 2) (3, 4)", "", log.unit, xmin, ymin, xmax, ymax),
        services::RunStop);
    EXPECT_NE(cap.out().find("ERROR - Could not read XY Bounds in MI Projection Line.\n"), std::string::npos);
    EXPECT_EQ(services::DMESSAGES().log_unit, 0);  // restored on the way out
    services::CLOSER(log.unit);
    EXPECT_EQ(dir.read("run.log"), "ERROR - Could not read XY Bounds in MI Projection Line.\n");
}

TEST(MifWriteHeader, HeaderFileIsCopiedUpToColumnsWithItsBounds) {
    TempDir dir;
    Capture cap;
    services::INITSERVICES();
    const Out mif = open_output(dir.file("out.mif"));
    double xmin = 0, ymin = 0, xmax = 0, ymax = 0;
    miWriteHeader(mif.file, "   ", "  " + testing::fixture("mif/header.mif").string(), -1, xmin, ymin, xmax, ymax);
    services::CLOSER(mif.unit);
    const std::string header = testing::read_file(testing::fixture("mif/header.mif"));
    EXPECT_EQ(dir.read("out.mif"), header.substr(0, header.find("Columns")));
    EXPECT_EQ(xmin, -7745844.29);
    EXPECT_EQ(ymin, 2035.05);
    EXPECT_EQ(xmax, 8745844.29);
    EXPECT_EQ(ymax, 19997964.94);
    EXPECT_FALSE(services::runtime().units.in_use(902));  // the header file was closed again
}

// Our rows are separated by commas: a copied header must say so, whatever the
// layer it comes from used (GDAL would split the rows at its delimiter).
TEST(MifWriteHeader, CopiedHeaderDeclaresTheCommaDelimiter) {
    const struct {
        std::string header, copied;
    } cases[] = {
        {"Version 650\nCharset \"WindowsCyrillic\"\nDELIMITER \";\"\nCoordSys Earth\nColumns 1\n",
         "Version 650\nCharset \"WindowsCyrillic\"\nDelimiter \",\"\nCoordSys Earth\n"},
        {"Version 300\nCharset \"Neutral\"\nCoordSys NonEarth\nColumns 2\n",
         "Version 300\nCharset \"Neutral\"\nDelimiter \",\"\nCoordSys NonEarth\n"},
        {"Version 300\nColumns 2\n", "Version 300\nDelimiter \",\"\n"},
    };
    for (const auto& c : cases) {
        TempDir dir;
        Capture cap;
        services::INITSERVICES();
        const std::string header = dir.write("Header.mif", c.header);
        const Out mif = open_output(dir.file("out.mif"));
        double xmin = 0, ymin = 0, xmax = 0, ymax = 0;
        miWriteHeader(mif.file, "", header, -1, xmin, ymin, xmax, ymax);
        services::CLOSER(mif.unit);
        EXPECT_EQ(dir.read("out.mif"), c.copied) << c.header;
    }
}

}  // namespace
}  // namespace velmorak::mif
