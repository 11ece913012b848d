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
};

// Walks the object section of a .mif the way the conversions do: every line
// classified, every object read (a Pline Multiple section by section).
std::vector<Read> walk(io::InputFile& file, std::int32_t max_vertices = 1000) {
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
        const int sections = object.kind == miKind::pline_multiple ? object.section_count : 1;
        for (int s = 0; s < sections; ++s) {
            Read r;
            r.keyword = std::string(line.substr(line.find_first_not_of(" \t")));
            r.ok = miReadObject(rest, file, object, x, y, max_vertices, r.n);
            for (std::int32_t k = 0; k < r.n; ++k) {
                r.xy.push_back(x[static_cast<std::size_t>(k)]);
                r.xy.push_back(y[static_cast<std::size_t>(k)]);
            }
            out.push_back(r);
        }
    }
    return out;
}

io::InputFile& open_input(const std::string& name) {
    int unit = 0;
    services::OPENFILE(unit, "I ", name);
    return services::runtime().units.input(unit);
}

// Reads the objects of a small .mif text (no header).
std::vector<Read> walk_text(const std::string& text, std::int32_t max_vertices = 1000) {
    TempDir dir;
    return walk(open_input(dir.write("t.mif", text)), max_vertices);
}

TEST(MifObjectType, KeywordsAfterBlanksAndTabsInAnyCase) {
    Capture cap;
    miObject o;
    miClearObject(o);
    std::string_view rest;
    EXPECT_TRUE(miObjectType("  Pline 3", rest, o));
    EXPECT_EQ(o.kind, miKind::pline);
    EXPECT_EQ(rest, " 3");
    EXPECT_TRUE(miObjectType("\t \tpoint 1 2", rest, o));
    EXPECT_EQ(o.kind, miKind::point);
    EXPECT_EQ(rest, " 1 2");
    EXPECT_TRUE(miObjectType("RoundRect 0 0 1 1", rest, o));
    EXPECT_EQ(o.kind, miKind::roundrect);
    EXPECT_TRUE(miObjectType("MULTIPOINT 4", rest, o));
    EXPECT_EQ(o.kind, miKind::multipoint);
    EXPECT_EQ(o.section_count, 4);
}

TEST(MifObjectType, StyleLinesBlankLinesAndVertexLinesAreNoObjects) {
    Capture cap;
    miObject o;
    std::string_view rest;
    for (const char* line : {"    Pen (1,2,0)", "", "   ", "12.5 3", "    Brush (2,16777215,16777215)", "Smooth"}) {
        EXPECT_FALSE(miObjectType(line, rest, o)) << line;
        EXPECT_EQ(o.kind, miKind::other) << line;
    }
    EXPECT_FALSE(miObjectType("    Symbol (35,0,4)", rest, o));
    EXPECT_EQ(rest, "Symbol (35,0,4)");  // after the leading blanks when no keyword matched
}

TEST(MifObjectType, CountsAfterPlineMultipleAndRegion) {
    Capture cap;
    miObject o;
    std::string_view rest;
    EXPECT_TRUE(miObjectType("Pline Multiple 2", rest, o));
    EXPECT_EQ(o.kind, miKind::pline_multiple);
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
    EXPECT_EQ(o.kind, miKind::center);
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
        objects = walk(open_input(testing::fixture("mif/objects.mif").string()));
    }
};

TEST_F(MifObjectFile, EveryObjectLineIsFoundInOrder) {
    std::vector<std::string> keywords;
    for (const Read& r : objects) keywords.push_back(r.keyword.substr(0, r.keyword.find(' ')));
    const std::vector<std::string> expected = {"pLINE",  "Pline", "PLINE", "PLINE",   "Point", "line",       "Region",
                                               "Region", "Arc",   "Text",  "Ellipse", "None",  "Multipoint", "Rect"};
    EXPECT_EQ(keywords, expected);
}

// Each object of the fixture with the vertices it gave: a Pline with leading
// blanks in mixed case, a Pline with its count on the next line, the two
// sections of a Pline Multiple, a Point, a Line, a region closed by a Center
// clause (five vertices and the spare slot), a Multipoint (its first point)
// and a Rect (its corners).
TEST_F(MifObjectFile, ObjectsGiveTheirVertices) {
    const struct {
        std::size_t index;
        std::int32_t n;
        std::vector<double> xy;
    } cases[] = {
        {0, 3, {0, 0, 10, 0, 10, 10}},
        {1, 2, {1, 1, 2.5, 1}},
        {2, 2, {0, 0, 3, 4}},
        {3, 3, {5, 5, 6, 5, 6, 6}},
        {4, 1, {10, 20}},
        {5, 2, {0, 0, 3, 4}},
        {6, 6, {0, 0, 4, 0, 4, 4, 0, 4, 0, 0, 4, 0}},
        {12, 1, {7, 8}},
        {13, 2, {0, 0, 2, 2}},
    };
    for (const auto& c : cases) {
        const Read& r = objects[c.index];
        EXPECT_TRUE(r.ok) << r.keyword;
        EXPECT_EQ(r.n, c.n) << r.keyword;
        EXPECT_EQ(r.xy, c.xy) << r.keyword;
    }
}

TEST_F(MifObjectFile, RegionWithoutCenterLeavesTheNextObjectForTheCaller) {
    ASSERT_TRUE(objects[7].ok);
    // The Arc line that ended the search was stepped back to and read again.
    EXPECT_EQ(objects[8].keyword, "Arc 0 0 1 1");
}

TEST_F(MifObjectFile, ArcTextEllipseAndNoneAreRecognisedButNotRead) {
    for (std::size_t i : {8u, 9u, 10u, 11u}) EXPECT_FALSE(objects[i].ok) << objects[i].keyword;
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
    }
}

TEST(MifReadObject, RegionWithPolygonsFillsSpareSlotsAndPolygonEnds) {
    Capture cap;
    services::INITSERVICES();
    TempDir dir;
    io::InputFile& file = open_input(dir.write("r.mif", "Region 2\n 4\n0 0\n1 0\n1 1\n0 0\n 3\n5 5\n6 5\n5 5\n"));
    std::string_view view;
    ASSERT_EQ(file.read_line(view), io::LineStatus::ok);
    const std::string line(view);
    miObject o;
    std::string_view rest;
    ASSERT_TRUE(miObjectType(line, rest, o));
    std::vector<double> x(20), y(20);
    std::int32_t n = 0;
    ASSERT_TRUE(miReadObject(rest, file, o, x, y, 20, n));
    EXPECT_EQ(n, 9);
    EXPECT_EQ(o.polygon_ends[0], 4);  // the spare slot of polygon 1 is index 4
    EXPECT_EQ(o.polygon_ends[1], 8);
    EXPECT_EQ(x[5], 5.0);  // polygon 2 starts after the spare slot
    EXPECT_EQ(x[7], 5.0);
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

}  // namespace
}  // namespace velmorak::mif
