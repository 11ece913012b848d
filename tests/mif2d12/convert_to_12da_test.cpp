// The MIF to 12d ASCII conversion, end to end through the built program and
// in-process, against outputs worked out by hand.
#include "mif2d12/convert_to_12da.h"

#include <gtest/gtest.h>

#include "mif2d12/fixture_layers.h"
#include "services/runtime.h"
#include "support/support.h"

namespace velmorak::testing {
namespace {

const std::string kHeader =
    "Version 300\nCharset \"WindowsLatin1\"\nDelimiter \",\"\nCoordSys NonEarth Units \"m\"\nColumns 1\n"
    "  Name Char(10)\nData\n";

// The roads layer holds a Point, a Line whose .mid row runs over two lines, a
// Region, a Pline named by an unquoted number, a Rect, a Text and a Pline
// Multiple named by a quoted text with a comma.
TEST(MifTo12da, WritesOneNamedStringPerLinePlineAndSectionAndSkipsOtherObjectsWithTheirRows) {
    TempDir dir;
    place_layer(dir, "roads");
    const ProgramRun r = run_program({"roads.mif"}, "", dir.path());
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(dir.read("roads.12da"), expected("roads.12da"));
    EXPECT_NE(r.out.find("\nSearching for Lines and Polylines...\n\nPolyline 1 with 2 nodes...Polyline 2 with 3 "
                         "nodes...Disaggregating combined polyline into 2 polylines...\nPolyline 3 with 2 "
                         "nodes...Polyline 4 with 3 nodes..."),
              std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("\nFinished.\n"), std::string::npos);
}

TEST(MifTo12da, CrlfLayerGivesTheSameStrings) {
    TempDir dir;
    place_layer(dir, "roads", true);
    ASSERT_NE(dir.read("roads.mid").find("two-line\r\nnote"), std::string::npos);
    const ProgramRun r = run_program({"roads.mif"}, "", dir.path());
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(dir.read("roads.12da"), expected("roads.12da"));
}

TEST(MifTo12da, MissingTableOnlyWarnsAndTheConversionGoesOn) {
    TempDir dir;
    place_layer(dir, "roads");
    std::filesystem::remove(dir.path() / "roads.tab");
    const ProgramRun r = run_program({"roads.mif"}, "", dir.path());
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_NE(r.out.find("WARNING - Could not access save date of \"roads.mif\" to check with \"roads.tab\"\n"),
              std::string::npos)
        << r.out;
    EXPECT_EQ(dir.read("roads.12da"), expected("roads.12da"));
}

TEST(MifTo12da, LayerWithoutLinesGivesTheHeaderAlone) {
    TempDir dir;
    dir.write("marks.mif", kHeader +
                               "Point 1 2\nRegion 1\n  4\n0 0\n1 0\n1 1\n0 0\nMultipoint 2\n3 3\n4 4\nEllipse 0 0 1 1\n"
                               "Roundrect 0 0 1 1\n  0.1\n");
    dir.write("marks.mid", "a\nb\nc\nd\ne\n");
    add_table(dir, "marks");
    const ProgramRun r = run_program({"marks.mif"}, "", dir.path());
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(dir.read("marks.12da"), "null -999\nmodel \"from marks.mif\"\n\n");
}

// Called in-process with a layer name without extension in another folder:
// the .12da is written beside the layer and the model names its path.
TEST(MifTo12da, LayerNamedWithoutExtensionWritesBesideIt) {
    TempDir dir;
    dir.write("edge.mif", kHeader + "Pline 2\n1 2\n3 4\n");
    dir.write("edge.mid", "\"kerb\"\n");
    add_table(dir, "edge");
    Capture cap;
    mif2d12::convert_mif_to_12da(dir.file("edge"));
    const std::string out = dir.read("edge.12da");
    EXPECT_EQ(out.substr(0, out.find("string")),
              "null -999\nmodel \"from " + dir.file("edge") + ".mif\"\n\n");
    EXPECT_NE(out.find("  name      \"kerb\"\n"), std::string::npos) << out;
}

TEST(MifTo12da, MidEndingBeforeTheLastObjectStopsTheRun) {
    TempDir dir;
    dir.write("short.mif", kHeader + "Line 0 0 1 1\nLine 2 2 3 3\n");
    dir.write("short.mid", "first\n");
    add_table(dir, "short");
    const ProgramRun r = run_program({"short.mif"}, "", dir.path());
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(r.out.ends_with("Polyline 1 with 2 nodes...\nERROR - End of File encountered\n")) << r.out;
}

// The name is the first field, up to the layer's delimiter: the Delimiter
// line's, or a tab without one. A blank or empty first field, an empty row
// (ogr2ogr's null in a one-column layer) and a layer without a .mid (which
// MapInfo allows) give empty names.
TEST(MifTo12da, TheNameIsTheFirstFieldUpToTheLayersDelimiter) {
    const std::string no_delimiter = "Version 300\nColumns 2\n  A Char(10)\n  B Char(10)\nData\n";
    const std::string semicolon = "Version 300\nDELIMITER \";\"\nColumns 2\n  A Char(10)\n  B Char(10)\nData\n";
    const struct {
        std::string header;
        const char* mid;  // nullptr: no .mid
        const char* name;
    } cases[] = {
        {semicolon, "A-12;5.5\n", "A-12"},
        {semicolon, "\"a;b\"\"c\";5.5\n", "a;b\\\"c"},
        {no_delimiter, "Main St\tHigh St\n", "Main St"},
        {no_delimiter, "\tfoo\n", ""},
        {kHeader, "Main St,x\n", "Main St"},
        {kHeader, "   \n", ""},
        {kHeader, "\n", ""},
        {kHeader, ",\"second\"\n", ""},
        {kHeader, nullptr, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.mid == nullptr ? "no .mid" : c.mid);
        TempDir dir;
        dir.write("anon.mif", c.header + "Line 0 0 1 1\nPline 2\n1 2\n3 4\n");
        if (c.mid != nullptr) dir.write("anon.mid", std::string(c.mid) + c.mid);
        add_table(dir, "anon");
        const ProgramRun r = run_program({"anon.mif"}, "", dir.path());
        EXPECT_EQ(r.status, 0) << r.out;
        const std::string out = dir.read("anon.12da");
        const std::string line = "string 2d {\n  name      \"" + std::string(c.name) + "\"\n";
        EXPECT_NE(out.find(line), std::string::npos) << out;
        EXPECT_NE(out.find(line, out.find(line) + 1), std::string::npos) << out;
        const std::string warning = "\nWARNING - No .mid file \"anon.mid\" found: every string gets an empty name.\n";
        EXPECT_EQ(r.out.find(warning) != std::string::npos, c.mid == nullptr) << r.out;
        if (c.mid == nullptr) {
            EXPECT_EQ(r.out.find("anon.mid..."), std::string::npos) << "asked for";
        }
    }
}

}  // namespace
}  // namespace velmorak::testing
