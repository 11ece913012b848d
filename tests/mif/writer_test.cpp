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

int open_output(const std::string& name) {
    int unit = 0;
    services::OPENFILE(unit, "O ", name);
    return unit;
}

miObject kind(bool miObject::*field) {
    miObject o;
    miClearObject(o);
    o.*field = true;
    return o;
}

TEST(MifWriteObject, PointPlineAndRegionMatchTheGoldenText) {
    TempDir dir;
    Capture cap;
    services::INITSERVICES();
    const int unit = open_output(dir.file("out.mif"));
    const std::vector<double> px{12.5, 0}, py{3.25, 0};
    miWriteObject(unit, kind(&miObject::point), px, py, 1, "   ");
    const std::vector<double> lx{0, 1.5, 1000000}, ly{0, -2, 0.25};
    miWriteObject(unit, kind(&miObject::pline), lx, ly, 3, "    Pen (1,2,0)");
    const std::vector<double> rx{0, 4, 4, 0}, ry{0, 0, 4, 4};
    miWriteObject(unit, kind(&miObject::region), rx, ry, 4, "");
    services::CLOSER(unit);
    EXPECT_EQ(dir.read("out.mif"), testing::read_file(testing::fixture("mif/golden_objects.mif")));
}

TEST(MifWriteObject, LineAndOverflowingCoordinates) {
    TempDir dir;
    Capture cap;
    services::INITSERVICES();
    const int unit = open_output(dir.file("out.mif"));
    const std::vector<double> x{1, 1e12}, y{-0.0000004, 2};
    miWriteObject(unit, kind(&miObject::line), x, y, 2, "    Pen (3,2,16711680)");
    services::CLOSER(unit);
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
    const int direct = open_output(dir.file("direct.mif"));
    miWriteObject(direct, kind(&miObject::pline), x, y, 5, "    Pen (1,2,0)");
    for (std::size_t i = 0; i < x.size(); ++i)
        miWriteObject(direct, kind(&miObject::point), std::span(x).subspan(i), std::span(y).subspan(i), 1, "  Symbol ");
    services::CLOSER(direct);

    std::string lines;
    miFormatVertices(lines, x, y, 5);
    ASSERT_EQ(lines.size(), 5 * kVertexLineLength);
    const int laid_out = open_output(dir.file("laid_out.mif"));
    miWritePline(laid_out, 5, lines, "    Pen (1,2,0)");
    for (std::size_t i = 0; i < x.size(); ++i)
        miWritePoint(laid_out, std::string_view(lines).substr(i * kVertexLineLength, kVertexLineLength), "  Symbol ");
    services::CLOSER(laid_out);
    EXPECT_EQ(dir.read("laid_out.mif"), dir.read("direct.mif"));
    EXPECT_NE(dir.read("direct.mif").find("****************"), std::string::npos);
}

TEST(MifWriteObject, FirstKindFieldDecidesAndOthersStopTheRun) {
    TempDir dir;
    Capture cap;
    services::INITSERVICES();
    const int unit = open_output(dir.file("out.mif"));
    miObject both = kind(&miObject::region);
    both.point = true;
    const std::vector<double> x{1, 2}, y{3, 4};
    miWriteObject(unit, both, x, y, 2, "");
    EXPECT_EQ(services::runtime().units.output(unit).buffer(), "Point         1.000000        3.000000\n");
    EXPECT_THROW(miWriteObject(unit, kind(&miObject::pline_multiple), x, y, 2, ""), services::RunStop);
    EXPECT_NE(cap.out().find("ERROR - Trying to write a MIF object that is not yet supported!\n"), std::string::npos);
}

TEST(MifWriteObject, WrittenObjectsReadBack) {
    TempDir dir;
    Capture cap;
    services::INITSERVICES();
    const int out = open_output(dir.file("rt.mif"));
    const std::vector<double> x{0, 10, 10}, y{0, 0, 10};
    miWriteObject(out, kind(&miObject::pline), x, y, 3, "    Pen (1,2,0)");
    miWriteObject(out, kind(&miObject::region), x, y, 3, "");
    services::CLOSER(out);
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
        double lx = 0, ly = 0;
        float d = 0, len = 0;
        ASSERT_TRUE(miReadObject(rest, in, o, rx, ry, 10, n, lx, ly, d, len));
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
    const int unit = open_output(dir.file("out.mif"));
    double xmin = -12.5, ymin = 0, xmax = 1234567.8916, ymax = 99;
    miWriteHeader(unit, "", dir.file("Header.mif"), -1, xmin, ymin, xmax, ymax);
    services::CLOSER(unit);
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
    const int unit = open_output(dir.file("out.mif"));
    double xmin = 0, ymin = 0, xmax = 0, ymax = 0;
    miWriteHeader(unit, "CoordSys NonEarth Units \"m\" Bounds (-1.5, 2) (300, 4.25)   ", "", -1, xmin, ymin, xmax,
                  ymax);
    services::CLOSER(unit);
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
    const int unit = open_output(dir.file("out.mif"));
    double xmin = 1, ymin = 2, xmax = 3, ymax = 4;
    miWriteHeader(unit, "CoordSys NonEarth Units \"m\" Bounds(-9999999, -9999999) (9999999, 9999999)", "", -1, xmin,
                  ymin, xmax, ymax);
    services::CLOSER(unit);
    EXPECT_NE(dir.read("out.mif").find("Bounds(-9999999, -9999999)"), std::string::npos);
    EXPECT_EQ(xmin, 1.0);
    EXPECT_EQ(ymax, 4.0);
}

TEST(MifWriteHeader, UnreadableBoundsStopTheRunAndGoToTheLog) {
    TempDir dir;
    Capture cap;
    services::INITSERVICES();
    const int unit = open_output(dir.file("out.mif"));
    int log = 0;
    services::OPENFILE(log, "A ", dir.file("run.log"));
    double xmin = 0, ymin = 0, xmax = 0, ymax = 0;
    EXPECT_THROW(
        miWriteHeader(unit, "CoordSys NonEarth Units \"m\" Bounds (west, 2) (3, 4)", "", log, xmin, ymin, xmax, ymax),
        services::RunStop);
    EXPECT_NE(cap.out().find("ERROR - Could not read XY Bounds in MI Projection Line.\n"), std::string::npos);
    EXPECT_EQ(services::DMESSAGES().log_unit, 0);  // restored on the way out
    services::CLOSER(log);
    EXPECT_EQ(dir.read("run.log"), "ERROR - Could not read XY Bounds in MI Projection Line.\n");
}

TEST(MifWriteHeader, HeaderFileIsCopiedUpToColumnsWithItsBounds) {
    TempDir dir;
    Capture cap;
    services::INITSERVICES();
    const int unit = open_output(dir.file("out.mif"));
    double xmin = 0, ymin = 0, xmax = 0, ymax = 0;
    miWriteHeader(unit, "   ", "  " + testing::fixture("mif/header.mif").string(), -1, xmin, ymin, xmax, ymax);
    services::CLOSER(unit);
    const std::string header = testing::read_file(testing::fixture("mif/header.mif"));
    EXPECT_EQ(dir.read("out.mif"), header.substr(0, header.find("Columns")));
    EXPECT_EQ(xmin, -7745844.29);
    EXPECT_EQ(ymin, 2035.05);
    EXPECT_EQ(xmax, 8745844.29);
    EXPECT_EQ(ymax, 19997964.94);
    EXPECT_FALSE(services::runtime().units.in_use(902));  // the header file was closed again
}

}  // namespace
}  // namespace velmorak::mif
