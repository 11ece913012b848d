#include "mif/object_reader.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "services/runtime.h"
#include "support/support.h"

namespace velmorak::mif {
namespace {

using testing::Capture;
using testing::TempDir;

// One object as the reader delivered it.
struct Read {
    std::string keyword;  // the line that started it, left-trimmed
    bool ok = false;
    std::int32_t n = 0;
    std::vector<double> xy;  // x1, y1, x2, y2, ...
    double label_x = 0, label_y = 0;
    float direction = 0, length = 0;
};

// Walks the object section of a .mif the way the conversions do: every line
// classified, every object read (a Pline Multiple section by section).
std::vector<Read> walk(int unit, std::int32_t max_vertices = 1000) {
    io::InputFile& file = services::runtime().units.input(unit);
    std::vector<double> x(static_cast<std::size_t>(std::max(max_vertices, 2))), y(x.size());
    miObject object;
    miClearObject(object);
    std::vector<Read> out;
    std::string line;
    std::string_view view;
    while (file.read_line(view) == io::LineStatus::ok) {
        line.assign(view);
        std::string_view rest;
        if (!miObjectType(line, rest, object)) continue;
        const int sections = object.pline_multiple ? object.section_count : 1;
        for (int s = 0; s < sections; ++s) {
            Read r;
            r.keyword = std::string(line.substr(line.find_first_not_of(" \t")));
            r.ok =
                miReadObject(rest, unit, object, x, y, max_vertices, r.n, r.label_x, r.label_y, r.direction, r.length);
            for (std::int32_t k = 0; k < r.n; ++k) {
                r.xy.push_back(x[static_cast<std::size_t>(k)]);
                r.xy.push_back(y[static_cast<std::size_t>(k)]);
            }
            out.push_back(r);
        }
    }
    return out;
}

int open_input(const std::string& name) {
    int unit = 0;
    services::OPENFILE(unit, "I ", name);
    return unit;
}

// Reads the single object of a small .mif text (no header).
std::vector<Read> walk_text(const std::string& text, std::int32_t max_vertices = 1000) {
    TempDir dir;
    const int unit = open_input(dir.write("t.mif", text));
    auto r = walk(unit, max_vertices);
    services::CLOSER(unit);
    return r;
}

TEST(MifObjectType, KeywordsAfterBlanksAndTabsInAnyCase) {
    Capture cap;
    miObject o;
    miClearObject(o);
    std::string_view rest;
    EXPECT_TRUE(miObjectType("  Pline 3", rest, o));
    EXPECT_TRUE(o.pline);
    EXPECT_FALSE(o.pline_multiple);
    EXPECT_EQ(rest, " 3");
    EXPECT_TRUE(miObjectType("\t \tpoint 1 2", rest, o));
    EXPECT_TRUE(o.point);
    EXPECT_FALSE(o.pline);  // every keyword field is rewritten
    EXPECT_EQ(rest, " 1 2");
    EXPECT_TRUE(miObjectType("RoundRect 0 0 1 1", rest, o));
    EXPECT_TRUE(o.roundrect);
    EXPECT_FALSE(o.rect);
    EXPECT_TRUE(miObjectType("MULTIPOINT 4", rest, o));
    EXPECT_TRUE(o.multipoint);
    EXPECT_FALSE(o.point);
    EXPECT_EQ(o.section_count, 4);
}

TEST(MifObjectType, StyleLinesBlankLinesAndVertexLinesAreNoObjects) {
    Capture cap;
    miObject o;
    std::string_view rest;
    for (const char* line : {"    Pen (1,2,0)", "", "   ", "12.5 3", "    Brush (2,16777215,16777215)", "Smooth"}) {
        EXPECT_FALSE(miObjectType(line, rest, o)) << line;
        EXPECT_FALSE(o.center) << line;
    }
    EXPECT_FALSE(miObjectType("    Symbol (35,0,4)", rest, o));
    EXPECT_EQ(rest, "Symbol (35,0,4)");  // after the leading blanks when no keyword matched
}

TEST(MifObjectType, CountsAfterPlineMultipleAndRegion) {
    Capture cap;
    miObject o;
    std::string_view rest;
    EXPECT_TRUE(miObjectType("Pline Multiple 2", rest, o));
    EXPECT_TRUE(o.pline_multiple);
    EXPECT_FALSE(o.pline);
    EXPECT_EQ(o.section_count, 2);
    EXPECT_TRUE(miObjectType("Region 3", rest, o));
    EXPECT_EQ(o.polygon_count, 3);
    EXPECT_EQ(o.section_count, 1);
    EXPECT_TRUE(miObjectType("Line 0 0 1 1", rest, o));
    EXPECT_EQ(o.polygon_count, 0);
}

TEST(MifObjectType, CenterClauseIsNoObject) {
    Capture cap;
    miObject o;
    std::string_view rest;
    EXPECT_FALSE(miObjectType("    Center 5 6", rest, o));
    EXPECT_TRUE(o.center);
    EXPECT_EQ(rest, " 5 6");
}

TEST(MifObjectType, CollectionStopsTheRun) {
    Capture cap;
    miObject o;
    std::string_view rest;
    EXPECT_THROW(miObjectType("  collection 2", rest, o), services::RunStop);
    EXPECT_NE(cap.out().find("ERROR - MIF \"Collection\" objects not supported.  Delete or disaggregate object."),
              std::string::npos);
}

TEST(MifObjectType, RegionOfMoreThan1000PolygonsStopsTheRun) {
    Capture cap;
    miObject o;
    std::string_view rest;
    EXPECT_TRUE(miObjectType("Region 1000", rest, o));
    EXPECT_THROW(miObjectType("Region 1001", rest, o), services::RunStop);
    EXPECT_NE(cap.out().find("ERROR - Exceeded maximum number of polygons in region below of 1000\nRegion 1001\n"),
              std::string::npos);
}

TEST(MifObjectType, UnreadableCountStopsTheRun) {
    Capture cap;
    miObject o;
    std::string_view rest;
    EXPECT_THROW(miObjectType("Pline Multiple two", rest, o), services::RunStop);
    EXPECT_NE(cap.out().find("ERROR - Reading .mif file.  Erroneous line is:\nPline Multiple two\n"),
              std::string::npos);
}

class MifObjectFile : public ::testing::Test {
protected:
    Capture cap;
    std::vector<Read> objects;
    void SetUp() override {
        services::INITSERVICES();
        const int unit = open_input(testing::fixture("mif/objects.mif").string());
        objects = walk(unit);
    }
};

TEST_F(MifObjectFile, EveryObjectLineIsFoundInOrder) {
    std::vector<std::string> keywords;
    for (const Read& r : objects) keywords.push_back(r.keyword.substr(0, r.keyword.find(' ')));
    const std::vector<std::string> expected = {"pLINE",  "Pline", "PLINE", "PLINE",   "Point", "line",       "Region",
                                               "Region", "Arc",   "Text",  "Ellipse", "None",  "Multipoint", "Rect"};
    EXPECT_EQ(keywords, expected);
}

TEST_F(MifObjectFile, PlineWithLeadingBlanksAndMixedCase) {
    const Read& r = objects[0];
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.n, 3);
    EXPECT_EQ(r.xy, (std::vector<double>{0, 0, 10, 0, 10, 10}));
    EXPECT_FLOAT_EQ(r.length, 20.0f);
    // Half the length is reached exactly at the end of the first segment.
    EXPECT_DOUBLE_EQ(r.label_x, 10.0);
    EXPECT_DOUBLE_EQ(r.label_y, 0.0);
    EXPECT_FLOAT_EQ(r.direction, 0.0f);
}

TEST_F(MifObjectFile, PlineWithItsCountOnTheNextLine) {
    const Read& r = objects[1];
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.n, 2);
    EXPECT_EQ(r.xy, (std::vector<double>{1, 1, 2.5, 1}));
    EXPECT_FLOAT_EQ(r.length, 1.5f);
    EXPECT_DOUBLE_EQ(r.label_x, 1.75);
}

TEST_F(MifObjectFile, PlineMultipleIsReadSectionBySection) {
    const Read& first = objects[2];
    const Read& second = objects[3];
    ASSERT_TRUE(first.ok && second.ok);
    EXPECT_EQ(first.xy, (std::vector<double>{0, 0, 3, 4}));
    EXPECT_FLOAT_EQ(first.length, 5.0f);
    EXPECT_EQ(second.xy, (std::vector<double>{5, 5, 6, 5, 6, 6}));
    EXPECT_FLOAT_EQ(second.length, 2.0f);
    EXPECT_DOUBLE_EQ(second.label_x, 6.0);
    EXPECT_DOUBLE_EQ(second.label_y, 5.0);
}

TEST_F(MifObjectFile, PointAndLineValues) {
    const Read& point = objects[4];
    ASSERT_TRUE(point.ok);
    EXPECT_EQ(point.n, 1);
    EXPECT_EQ(point.xy, (std::vector<double>{10, 20}));
    EXPECT_DOUBLE_EQ(point.label_x, 10.0);
    EXPECT_DOUBLE_EQ(point.label_y, 20.0);
    EXPECT_EQ(point.direction, 0.0f);
    EXPECT_EQ(point.length, 0.0f);

    const Read& line = objects[5];
    ASSERT_TRUE(line.ok);
    EXPECT_EQ(line.xy, (std::vector<double>{0, 0, 3, 4}));
    EXPECT_FLOAT_EQ(line.length, 5.0f);
    EXPECT_DOUBLE_EQ(line.label_x, 1.5);
    EXPECT_DOUBLE_EQ(line.label_y, 2.0);
    EXPECT_NEAR(line.direction, 53.1301f, 1e-3f);
}

TEST_F(MifObjectFile, RegionWithCenterTakesItsLabel) {
    const Read& r = objects[6];
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.n, 6);  // five vertices and the spare slot
    EXPECT_DOUBLE_EQ(r.label_x, 5.0);
    EXPECT_DOUBLE_EQ(r.label_y, 5.0);
}

TEST_F(MifObjectFile, RegionWithoutCenterAveragesAndLeavesTheNextObjectForTheCaller) {
    const Read& r = objects[7];
    ASSERT_TRUE(r.ok);
    // Mean of the first total-2 = 4 slots: (0,0) (4,0) (4,4) (0,4).
    EXPECT_DOUBLE_EQ(r.label_x, 2.0);
    EXPECT_DOUBLE_EQ(r.label_y, 2.0);
    // The Arc line that ended the search was stepped back to and read again.
    EXPECT_EQ(objects[8].keyword, "Arc 0 0 1 1");
}

TEST_F(MifObjectFile, ArcTextEllipseAndNoneAreRecognisedButNotRead) {
    for (std::size_t i : {8u, 9u, 10u, 11u}) EXPECT_FALSE(objects[i].ok) << objects[i].keyword;
}

TEST_F(MifObjectFile, MultipointGivesItsFirstPointAndRectItsCorners) {
    const Read& mp = objects[12];
    ASSERT_TRUE(mp.ok);
    EXPECT_EQ(mp.xy, (std::vector<double>{7, 8}));
    const Read& rect = objects[13];
    ASSERT_TRUE(rect.ok);
    EXPECT_EQ(rect.xy, (std::vector<double>{0, 0, 2, 2}));
    EXPECT_DOUBLE_EQ(rect.label_x, 1.0);
    EXPECT_NEAR(rect.direction, 45.0f, 1e-4f);
}

TEST(MifReadObject, CrlfFileReadsLikeLf) {
    const std::string lf = testing::read_file(testing::fixture("mif/objects.mif"));
    std::string crlf;
    for (char c : lf) {
        if (c == '\n') crlf += '\r';
        crlf += c;
    }
    Capture cap;
    services::INITSERVICES();
    const auto a = walk_text(lf);
    const auto b = walk_text(crlf);
    ASSERT_EQ(a.size(), b.size());
    ASSERT_EQ(a.size(), 14u);
    for (std::size_t i = 0; i < a.size(); ++i) {
        EXPECT_EQ(a[i].ok, b[i].ok) << i;
        EXPECT_EQ(a[i].xy, b[i].xy) << i;
        EXPECT_EQ(a[i].label_x, b[i].label_x) << i;
        EXPECT_EQ(a[i].label_y, b[i].label_y) << i;
    }
}

TEST(MifReadObject, RegionWithPolygonsFillsSpareSlotsAndPolygonEnds) {
    Capture cap;
    services::INITSERVICES();
    TempDir dir;
    const int unit = open_input(dir.write("r.mif", "Region 2\n 4\n0 0\n1 0\n1 1\n0 0\n 3\n5 5\n6 5\n5 5\n"));
    io::InputFile& file = services::runtime().units.input(unit);
    std::string_view view;
    ASSERT_EQ(file.read_line(view), io::LineStatus::ok);
    const std::string line(view);
    miObject o;
    std::string_view rest;
    ASSERT_TRUE(miObjectType(line, rest, o));
    std::vector<double> x(20), y(20);
    std::int32_t n = 0;
    double lx = 0, ly = 0;
    float dir_deg = 0, len = 0;
    ASSERT_TRUE(miReadObject(rest, unit, o, x, y, 20, n, lx, ly, dir_deg, len));
    EXPECT_EQ(n, 9);
    EXPECT_EQ(o.polygon_ends[0], 4);  // the spare slot of polygon 1 is index 4
    EXPECT_EQ(o.polygon_ends[1], 8);
    EXPECT_EQ(x[5], 5.0);  // polygon 2 starts after the spare slot
    EXPECT_EQ(x[7], 5.0);
    // Mean of the first 7 slots (end of file: no Center).
    EXPECT_NEAR(lx, (0 + 1 + 1 + 0 + 1 + 5 + 6) / 7.0, 1e-12);
}

TEST(MifReadObject, RegionUnderFiveSlotsIsWarnedAboutAndSkipped) {
    Capture cap;
    services::INITSERVICES();
    const auto r = walk_text("Region 1\n 3\n2 3\n4 0\n2 3\nPoint 1 1\n");
    ASSERT_EQ(r.size(), 2u);
    EXPECT_FALSE(r[0].ok);
    EXPECT_TRUE(r[1].ok);  // the object after it is still found
    EXPECT_NE(cap.out().find("\n\nXY: WARNING - Insufficient points for Region object in mif file.  Region ignored.\n"),
              std::string::npos)
        << cap.out();
}

TEST(MifReadObject, MoreVerticesThanTheMaximumStopsTheRun) {
    Capture cap;
    services::INITSERVICES();
    EXPECT_THROW(walk_text("Pline 4\n0 0\n1 1\n2 2\n3 3\n", 3), services::RunStop);
    EXPECT_NE(cap.out().find("ERROR - Exceeded number of allowable nodes in a single polyline or region.\n"
                             "        Requested       4        Limit       3\n"),
              std::string::npos)
        << cap.out();
}

TEST(MifReadObject, RegionSlotsCountAgainstTheMaximum) {
    Capture cap;
    services::INITSERVICES();
    // Four vertices need five slots.
    EXPECT_THROW(walk_text("Region 1\n 4\n0 0\n1 0\n1 1\n0 0\n", 4), services::RunStop);
    EXPECT_NE(cap.out().find("        Requested       5        Limit       4"), std::string::npos);
}

TEST(MifReadObject, LettersInAVertexLineStopTheRunWithTheLine) {
    Capture cap;
    services::INITSERVICES();
    EXPECT_THROW(walk_text("Pline 2\n0 0\n1 east\n"), services::RunStop);
    EXPECT_NE(cap.out().find("ERROR - Reading .mif file.  Erroneous line is:\n1 east\n"), std::string::npos)
        << cap.out();
}

TEST(MifReadObject, MissingNumbersAndLinesAreAnUnexpectedEnd) {
    for (const char* text : {"Pline 2\n0 0\n1\n", "Pline 3\n0 0\n1 1\n", "Line 0 0 1\n", "Pline\n"}) {
        Capture cap;
        services::INITSERVICES();
        EXPECT_THROW(walk_text(text), services::RunStop) << text;
        EXPECT_NE(cap.out().find("ERROR - Unexpected end of .mif file encountered."), std::string::npos) << text;
    }
}

TEST(MifReadObject, CoincidentVerticesGiveALabelAtTheFirstVertex) {
    Capture cap;
    services::INITSERVICES();
    const auto r = walk_text("Pline 3\n2 2\n2 2\n2 2\n");
    ASSERT_EQ(r.size(), 1u);
    EXPECT_EQ(r[0].length, 0.0f);
    EXPECT_EQ(r[0].label_x, 2.0);
    EXPECT_EQ(r[0].label_y, 2.0);
    EXPECT_FALSE(std::isnan(r[0].direction));
}

}  // namespace
}  // namespace velmorak::mif
