// The 12d ASCII to MIF breakline conversion, end to end through the built
// program: output layers against golden files, and the console lines.
#include <gtest/gtest.h>

#include <string>

#include "d12/conversion_support.h"
#include "support/support.h"

namespace velmorak::testing {
namespace {

// Every kind of string: 2D with and without "z", 3D with null elevations under
// a "null -999" header, a 3D string whose first vertex is null, closed and open
// polylines, an unsupported string, a super string with a data_3d and a
// hipdata block, and a 2D string whose data block is empty, which writes
// nothing and counts as ignored.
TEST(Convert12daToMif, EveryKindOfStringGivesItsPlinesPointsAndRows) {
    TempDir dir;
    copy_fixture(dir, "breaklines.12da");
    copy_fixture(dir, "Header.mif");
    const ProgramRun r = run_program({"breaklines.12da"}, "\n", dir.path());
    EXPECT_EQ(r.status, 0) << r.out;
    expect_golden(dir, "mif", {"breaklines.12da.mif", "breaklines.12da.mid"});
    EXPECT_NE(r.out.find("File 2: Header.mif\n\nConverting .12da breaklines to .mif format...\n"), std::string::npos)
        << r.out;
    EXPECT_EQ(console_part(r.out, "Searching", "...Closed"),
              "Searching for 12da objects...\n"
              "\n12D null value set to:    -999.000\n"
              "\nConverted 7 string objects and ignored 2\n\n");
    EXPECT_NE(r.out.find("...Closed File Unit: 903\n...Closed File Unit: 902\n\nFinished."), std::string::npos)
        << r.out;
}

TEST(Convert12daToMif, WithHipTheHipdataBlockBecomesAPlineWithItsFirstElevation) {
    TempDir dir;
    copy_fixture(dir, "breaklines.12da");
    copy_fixture(dir, "Header.mif");
    const ProgramRun r = run_program({"-hip", "breaklines.12da"}, "\n", dir.path());
    EXPECT_EQ(r.status, 0) << r.out;
    expect_golden(dir, "mif_hip", {"breaklines.12da.mif", "breaklines.12da.mid"});
    EXPECT_NE(r.out.find("\nConverted 8 string objects and ignored 2\n\n"), std::string::npos) << r.out;
}

// Strings laid out as the terrain package exports them: header comments and
// "null null", nested attribute groups with name lines, side blocks after the
// vertices on one line and on several, null heights, a drainage string with
// pits and pipes, a closed super string, a super alignment, an arc before a 3D
// string, an old alignment with hipdata and vipdata, braces, keywords and "//"
// in quoted texts, a data block on one line, and blocks between the strings.
// The package's own UTF-16LE copy with CRLF line ends gives the same layers.
TEST(Convert12daToMif, PackageExportsGiveEachStringOnceWithAndWithoutHip) {
    for (const bool utf16 : {false, true}) {
        for (const bool hip : {false, true}) {
            SCOPED_TRACE(std::string(utf16 ? "UTF-16LE" : "8-bit") + (hip ? " -hip" : ""));
            TempDir dir;
            place_fixture(dir, "exports.12da", utf16);
            copy_fixture(dir, "Header.mif");
            const ProgramRun r =
                hip ? run_program({"-hip", "exports.12da"}, "\n", dir.path()) : run_program({"exports.12da"}, "\n", dir.path());
            EXPECT_EQ(r.status, 0) << r.out;
            expect_golden(dir, hip ? "exports_hip" : "exports_mif", {"exports.12da.mif", "exports.12da.mid"});
            // No null value reported, nothing warned of; the arc is the one string ignored, and the
            // full_tin is named as left out.
            const std::string tins = "Ignored 1 TIN: \"Ground\"\nThe GDAL driver 12DA reads them: each as a layer "
                                     "of triangles (ogrinfo) and a raster (gdalinfo).\n\n";
            EXPECT_EQ(console_part(r.out, "Searching", "...Closed"),
                      hip ? "Searching for 12da objects...\n      10\nConverted 11 string objects and ignored 1\n\n" + tins
                          : "Searching for 12da objects...\n\nConverted 9 string objects and ignored 1\n\n" + tins);
        }
    }
}

TEST(Convert12daToMif, EveryTenthStringPrintsItsCountOnOneProgressLine) {
    TempDir dir;
    std::string text = "model\n";
    for (int i = 0; i < 25; ++i) text += "string 2d {\n z 1\n data {\n  0 0\n  1 1\n }\n}\n";
    dir.write("many.4da", text);
    copy_fixture(dir, "Header.mif");
    const ProgramRun r = run_program({"many.4da"}, "\n", dir.path());
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(console_part(r.out, "Searching", "...Closed"),
              "Searching for 12da objects...\n"
              "      10      20\n"
              "Converted 25 string objects and ignored 0\n\n");
    const std::string mid = dir.read("many.4da.mid");
    EXPECT_EQ(mid.size(), 25 * std::string("           1.000,\"2d\"\n").size());
}

TEST(Convert12daToMif, AFileOfUnsupportedStringsGivesALayerWithoutObjects) {
    TempDir dir;
    dir.write("odd.12da",
              "model\n"
              "string text {\n name t1\n data {\n  1 2\n }\n}\n"
              "string feature {\n data {\n  3 4 5\n }\n}\n");
    dir.write("Header.mif", "Version 300\nCoordSys NonEarth Units \"m\"\nColumns 1\n  A Char(1)\nData\n");
    const ProgramRun r = run_program({"odd.12da"}, "\n", dir.path());
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(dir.read("odd.12da.mif"),
              "Version 300\nDelimiter \",\"\nCoordSys NonEarth Units \"m\"\n"
              "Columns 2\n  Elevation Float\n  String_Type Char(20)\nData\n\n");
    EXPECT_EQ(dir.read("odd.12da.mid"), "");
    EXPECT_NE(r.out.find("\nConverted 0 string objects and ignored 2\n"), std::string::npos) << r.out;
}

// The string has one vertex: a Point with the row its Pline would have had,
// since GDAL reads no feature of a layer after a Pline of one vertex.
TEST(Convert12daToMif, AMissingHeaderMifGivesANonEarthHeaderWithWideBounds) {
    TempDir dir;
    dir.write("site.12da", "model\nstring 2d {\n z 2\n data {\n  1 1\n }\n}\n");
    const ProgramRun r = run_program({"site.12da"}, "\n\n", dir.path());
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_NE(r.out.find("\nWARNING - No MI Projection or mif header file Header.mif found.\n"
                         "          Non-Earth Coordinates will be used.\n"
                         "\nPress Enter to Continue\n"),
              std::string::npos)
        << r.out;
    EXPECT_EQ(dir.read("site.12da.mif"),
              "Version 300\n"
              "Charset \"WindowsLatin1\"\n"
              "Delimiter \",\"\n"
              "CoordSys NonEarth Units \"m\" Bounds (   -9999999.000,   -9999999.000) (    9999999.000,    9999999.000)\n"
              "Columns 2\n  Elevation Float\n  String_Type Char(20)\nData\n\n"
              "Point         1.000000        1.000000\n"
              "    Symbol (35,0,4,\"MapInfo Symbols\",0,0)\n");
    EXPECT_EQ(dir.read("site.12da.mid"), "           2.000,\"2d\"\n");
}

TEST(Convert12daToMif, AnUnreadableNullValueLeavesTheLayerWithItsTableStructureOnly) {
    TempDir dir;
    dir.write("bad.12da", "null none\nmodel\nstring 2d {\n z 2\n data {\n  1 1\n }\n}\n");
    dir.write("Header.mif", "Version 300\nColumns 1\n");
    const ProgramRun r = run_program({"bad.12da"}, "\n\n", dir.path());
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_NE(r.out.find("WARNING - Problems finding start of data in .12da file"), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find("Converted "), std::string::npos) << r.out;
    EXPECT_EQ(dir.read("bad.12da.mif"), "Version 300\nDelimiter \",\"\nColumns 2\n  Elevation Float\n  String_Type Char(20)\nData\n\n");
    EXPECT_EQ(dir.read("bad.12da.mid"), "");
}

// A block of no known kind in a super string (data_4d) is passed over whole,
// counted in neither number, and the strings after it are still found. The
// one-vertex blocks give Points only: the 3D one with its elevation.
TEST(Convert12daToMif, ASuperStringBlockOfNoKnownKindIsPassedOverAndTheNextStringConverted) {
    TempDir dir;
    dir.write("super.12da",
              "model\n"
              "string super {\n name s\n data_4d {\n  1 2 3 4\n }\n data_3d {\n  5 6 7\n }\n}\n"
              "string 2d {\n name after\n z 9\n data {\n  0 0\n }\n}\n");
    copy_fixture(dir, "Header.mif");
    const ProgramRun r = run_program({"super.12da"}, "\n", dir.path());
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_NE(r.out.find("\nConverted 2 string objects and ignored 0\n"), std::string::npos) << r.out;
    EXPECT_EQ(dir.read("super.12da.mid"),
              "           7.000,\"super\"\n"
              "           9.000,\"2d\"\n");
}

}  // namespace
}  // namespace velmorak::testing
