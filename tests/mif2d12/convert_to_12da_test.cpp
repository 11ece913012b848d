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

TEST(MifTo12da, UnreadableNameStopsTheRunShowingTheRow) {
    TempDir dir;
    dir.write("blank.mif", kHeader + "Line 0 0 1 1\n");
    dir.write("blank.mid", "   \n");
    add_table(dir, "blank");
    const ProgramRun r = run_program({"blank.mif"}, "", dir.path());
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(r.out.ends_with("Searching for Lines and Polylines...\n\n\nERROR - Reading .mid file, "
                                "convert_mif_to_12da.  Erroneous line is:\n\n\n\n"))
        << r.out;
}

TEST(MifTo12da, EmptyFirstFieldGivesAnEmptyName) {
    TempDir dir;
    dir.write("anon.mif", kHeader + "Line 0 0 1 1\n");
    dir.write("anon.mid", ",\"second\"\n");
    add_table(dir, "anon");
    Capture cap;
    mif2d12::convert_mif_to_12da(dir.file("anon.mif"));
    EXPECT_NE(dir.read("anon.12da").find("string 2d {\n  name      \"\"\n"), std::string::npos);
}

}  // namespace
}  // namespace velmorak::testing
