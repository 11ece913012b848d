// The 3D breakline conversion end to end through the built program, against
// outputs worked out by hand from the snapping and interpolation rules.
#include <gtest/gtest.h>

#include "mif2d12/fixture_layers.h"
#include "support/support.h"

namespace velmorak::testing {
namespace {

// The points and lines layers hold one case per polyline (see the fixtures):
// interpolation between two snapped vertices, a dangle at the start and at
// the end, 0.0009 against 0.0011 and exactly 0.001 in X and in Y, the first
// point in table order winning, no snapped vertex, a run of zero walked
// length, interpolation over unequal segments, and a Pline Multiple whose
// second section dangles; a point row spanning two lines; eleven strings.
TEST(Breaklines3d, SnapsInterpolatesAndWritesStringsDanglesAndUnsnappedPoints) {
    TempDir dir;
    place_layer(dir, "points");
    place_layer(dir, "lines");
    const ProgramRun r = run_program({"points.mif", "lines.mif", "-zln"}, "", dir.path());
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(dir.read("lines.12da"), expected("lines.12da"));
    EXPECT_EQ(dir.read("_dangles.mif"), expected("lines_dangles.mif"));
    EXPECT_EQ(dir.read("_dangles.mid"), expected("lines_dangles.mid"));
    EXPECT_EQ(dir.read("_unsnapped_points.mif"), expected("lines_unsnapped_points.mif"));
    EXPECT_EQ(dir.read("_unsnapped_points.mid"), expected("lines_unsnapped_points.mid"));

    EXPECT_NE(r.out.find("\n.mif data object:\n       1       2       3"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("      21\nFound 20 breakline points.\n\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("Polyline 1 with 3 nodes...found snapped points - interpolating.\n"), std::string::npos);
    EXPECT_NE(r.out.find("Polyline 7 with 3 nodes...no snapped points - using polyline elevation.\n"),
              std::string::npos);
    EXPECT_NE(r.out.find("Disaggregating combined polyline into 2 polylines...\nPolyline 10 with 2 nodes..."),
              std::string::npos);
    EXPECT_NE(r.out.find("Writing header info to unsnapped_points .mif file...\n\n"), std::string::npos);
    EXPECT_NE(r.out.find("\n\nWARNING - Found unsnapped points.\n          See \"_unsnapped_points.mif\"\n\n\n"
                         "WARNING - Found dangling polylines.\n          See \"_dangles.mif\"\n\n\nFinished.\n"),
              std::string::npos)
        << r.out;
}

// With -zln and one layer, its own points give the elevations and its
// polylines become the strings.
TEST(Breaklines3d, SingleLayerHoldsItsOwnPointsAndLines) {
    TempDir dir;
    place_layer(dir, "breaklines");
    const ProgramRun r = run_program({"breaklines.mif", "-zln"}, "", dir.path());
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_NE(r.out.find("\nFile 2: breaklines.mif\n"), std::string::npos);
    EXPECT_EQ(dir.read("breaklines.12da"), expected("breaklines.12da"));
    EXPECT_EQ(dir.read("_dangles.mif"), expected("breaklines_dangles.mif"));
    EXPECT_EQ(dir.read("_dangles.mid"), expected("breaklines_dangles.mid"));
    EXPECT_EQ(dir.read("_unsnapped_points.mif"), expected("breaklines_unsnapped_points.mif"));
    EXPECT_EQ(dir.read("_unsnapped_points.mid"), expected("breaklines_unsnapped_points.mid"));
    EXPECT_NE(r.out.find("WARNING - Found unsnapped points."), std::string::npos);
    EXPECT_EQ(r.out.find("WARNING - Found dangling polylines."), std::string::npos);
}

// Layers written by QGIS or GDAL come without a table: warned of, and converted.
TEST(Breaklines3d, MissingTableOfTheLinesLayerIsWarnedOfAndTheLayerConverted) {
    TempDir dir;
    place_layer(dir, "points");
    place_layer(dir, "lines");
    std::filesystem::remove(dir.path() / "lines.tab");
    const ProgramRun r = run_program({"points.mif", "lines.mif", "-zln"}, "", dir.path());
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_NE(r.out.find("Checking save date is later than that of lines.tab...NOT OK\n\n"
                         "WARNING - Could not access save date of \"lines.mif\" to check with \"lines.tab\"\n"),
              std::string::npos)
        << r.out;
    EXPECT_EQ(r.out.find("NOTE - "), std::string::npos) << r.out;
    EXPECT_EQ(dir.read("lines.12da"), expected("lines.12da"));
}

TEST(Breaklines3d, UnreadableElevationStopsTheRunShowingTheRow) {
    TempDir dir;
    dir.write("bad.mif", "Version 300\nColumns 1\n  Z Float\nData\nPoint 1 1\nPoint 2 2\n");
    dir.write("bad.mid", "4.5\nhigh,\"up\"\n");
    add_table(dir, "bad");
    const ProgramRun r = run_program({"bad.mif", "-zln"}, "", dir.path());
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(
        r.out.ends_with("       1       2\nERROR - Reading .mid file, tdrdmifblf.  Erroneous line is:\n\nhigh,\"up\"\n\n"))
        << r.out;
}

// The elevation is the first field up to the layer's delimiter; an empty one
// (ogr2ogr's null) stops the run naming its object, and so does a layer
// without the .mid that holds them, before any output is created.
TEST(Breaklines3d, TheElevationIsTheFirstFieldAndAnEmptyOneOrAMissingMidStops) {
    const struct {
        const char* delimiter;
        const char* mid;  // nullptr: no .mid
        const char* ends;  // the end of the console output of a stop; nullptr: converted
    } cases[] = {
        {"Delimiter \";\"\n", "12.5;\"a\"\n7;b\n", nullptr},
        {"", "12.5\t\"a\"\n7\n", nullptr},
        {"Delimiter \",\"\n", "4.5\n,\"x\"\n", "ERROR - Reading .mid file, tdrdmifblf.  The row of object 2 holds no elevation.\n"},
        {"Delimiter \",\"\n", "4.5\n\n", "ERROR - Reading .mid file, tdrdmifblf.  The row of object 2 holds no elevation.\n"},
        {"Delimiter \",\"\n", nullptr, "ERROR - No .mid file \"pts.mid\" found: the elevations are read from it.\n\n"
                                      "Press Enter to Close\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.mid == nullptr ? "no .mid" : c.mid);
        TempDir dir;
        dir.write("pts.mif", std::string("Version 300\n") + c.delimiter +
                                 "Columns 2\n  Z Float\n  B Char(2)\nData\nPoint 1 1\nPoint 2 2\n");
        if (c.mid != nullptr) dir.write("pts.mid", c.mid);
        add_table(dir, "pts");
        const ProgramRun r = run_program({"pts.mif", "-zln"}, "", dir.path());
        if (c.ends != nullptr) {
            EXPECT_EQ(r.status, 1);
            EXPECT_TRUE(r.out.ends_with(c.ends)) << r.out;
            EXPECT_FALSE(dir.exists("pts.12da"));
            continue;
        }
        EXPECT_EQ(r.status, 0) << r.out;
        EXPECT_EQ(dir.read("_unsnapped_points.mid"), "     12.5000\n      7.0000\n");
    }
}

// The points pass reads a row for every object, the Line's included.
TEST(Breaklines3d, MidEndingBeforeTheLastObjectStopsTheRun) {
    TempDir dir;
    dir.write("cut.mif", "Version 300\nColumns 1\n  Z Float\nData\nPoint 1 1\nLine 1 1 2 2\n");
    dir.write("cut.mid", "4.5\n");
    add_table(dir, "cut");
    const ProgramRun r = run_program({"cut.mif", "-zln"}, "", dir.path());
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(r.out.ends_with("       1       2\nERROR - End of File encountered\n")) << r.out;
}

}  // namespace
}  // namespace velmorak::testing
