// The 12d ASCII to cross-section conversion: end to end through the built
// program against golden files, and in-process for the stops on IDs that would
// write outside File 1's folder and for the layers' headers.
#include "d12/convert_to_xs.h"

#include <gtest/gtest.h>

#include <string>

#include "d12/conversion_support.h"
#include "services/runtime.h"
#include "support/support.h"

namespace velmorak::testing {
namespace {

// Named and unnamed 3D strings, a 2D string, a super string with a 2D, a 3D
// and a hipdata block, a one-vertex string (no profile: ignored), a string
// whose first vertex is null (left out of its profile, which starts at that
// vertex's chainage), and an ID with a folder ("sub\XS1").
TEST(Convert12daToXs, ThreeDStringsGiveCsvFilesAndLineAndPointLayers) {
    TempDir dir;
    copy_fixture(dir, "sections.12da");
    copy_fixture(dir, "Header.mif");
    std::filesystem::create_directory(dir.path() / "sub");
    const ProgramRun r = run_program({"sections.12da", "-xs"}, "\n\n\n\n", dir.path());
    EXPECT_EQ(r.status, 0) << r.out;
    expect_golden(dir, "xs",
                  {"XS12.csv", "xs000001.csv", "levee.csv", "firstnull.csv", "sub/XS1.csv",
                   "sections.12da.Lines.mif", "sections.12da.Lines.mid", "sections.12da.Points.mif",
                   "sections.12da.Points.mid"});
    EXPECT_NE(r.out.find("\nXS12, \nTrying to open file XS12.csv...OK.  File Unit: 906\n...Closed File Unit: 906\n"
                         "xs000001, \n"),
              std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("\nroad, WARNING - Ignored invalid or unsupported string object: data {\n"
                         "\nPress Enter to Continue\n"),
              std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("\nlevee, WARNING - Ignored invalid or unsupported string object: data_2d {\n"),
              std::string::npos);
    EXPECT_NE(r.out.find("\nlevee, WARNING - Ignored invalid or unsupported string object: hipdata {\n"),
              std::string::npos);
    EXPECT_NE(r.out.find("\nxs000002, WARNING - XS ID xs000002 has fewer than two vertices: no cross-section is "
                         "written.\nfirstnull, WARNING - XS ID firstnull has 1 vertex at the null elevation: left out "
                         "of its profile.\n"),
              std::string::npos)
        << r.out;
    EXPECT_FALSE(dir.exists("xs000002.csv"));
    EXPECT_NE(r.out.find("\nsub\\XS1, \nTrying to open file sub\\XS1.csv...OK."), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("\n\nConverted 5 string objects to KORVAN cross-sections and ignored 4\n\n"
                         "...Closed File Unit: 903\n...Closed File Unit: 902\n"
                         "...Closed File Unit: 905\n...Closed File Unit: 904\n"),
              std::string::npos)
        << r.out;
}

// The package's exports (see the breakline test): one .csv per 3D data block;
// the super alignment, the arc, the old alignment and the 2D string are each
// warned of once; side blocks and vipdata say nothing. A super string's second
// block writes its own .csv again silently, a later string of an ID already
// used is warned of. Twin's one-vertex block and WM 150's null vertex are
// warned of too.
TEST(Convert12daToXs, PackageExportsGiveOneCsvPerBlockAndWarnOfAnIdUsedAgain) {
    for (const bool utf16 : {false, true}) {
        SCOPED_TRACE(utf16 ? "UTF-16LE" : "8-bit");
        TempDir dir;
        place_fixture(dir, "exports.12da", utf16);
        copy_fixture(dir, "Header.mif");
        const ProgramRun r = run_program({"exports.12da", "-xs"}, "\n\n\n\n\n", dir.path());
        EXPECT_EQ(r.status, 0) << r.out;
        expect_golden(dir, "exports_xs",
                      {"WM 150.csv", "SW A.csv", "Pond.csv", "Kerb.csv", "Top {A}.csv", "Twin.csv",
                       "exports.12da.Lines.mif", "exports.12da.Lines.mid", "exports.12da.Points.mif",
                       "exports.12da.Points.mid"});
        for (const std::string warning :
             {"\nMC01, WARNING - Ignored invalid or unsupported string object: data_2d {\n",
              "\nArc 1, WARNING - Ignored invalid or unsupported string object: string arc {\n",
              "\nML, WARNING - Ignored invalid or unsupported string object: hipdata {\n",
              "\na\"b\\c, WARNING - Ignored invalid or unsupported string object: data {\n",
              "\nKerb, WARNING - XS ID Kerb was used by an earlier string: Kerb.csv is written over.\n",
              "\nWM 150, WARNING - XS ID WM 150 has 1 vertex at the null elevation: left out of its profile.\n",
              "\nTwin, WARNING - XS ID Twin has fewer than two vertices: no cross-section is written.\n"})
            EXPECT_NE(r.out.find(warning), std::string::npos) << warning << r.out;
        EXPECT_EQ(r.out.find("Twin was used"), std::string::npos) << "Twin is warned of" << r.out;
        EXPECT_NE(r.out.find("\nConverted 7 string objects to KORVAN cross-sections and ignored 5\n"),
                  std::string::npos)
            << r.out;
    }
}

// Only the ID of a string that is converted is checked: a 2D string or a
// one-vertex 3D string with a long name is ignored like any other.
TEST(Convert12daToXs, AThirteenCharacterIdStopsTheRunWithStatusOne) {
    TempDir dir;
    dir.write("long.12da",
              "model\n"
              "string 3d {\n name XS12\n data {\n  0 0 1\n  3 4 2\n }\n}\n"
              "string 2d {\n name \"PM001 Permanent Mark\"\n data {\n  0 0\n  1 1\n }\n}\n"
              "string 3d {\n name \"PM002 Permanent Mark\"\n data {\n  0 0 1\n }\n}\n"
              "string 3d {\n name XS_0123456789\n data {\n  0 0 1\n  3 4 2\n }\n}\n");
    copy_fixture(dir, "Header.mif");
    const ProgramRun r = run_program({"long.12da", "-xs"}, "\n", dir.path());
    EXPECT_EQ(r.status, 1) << r.out;
    EXPECT_NE(r.out.find("\nPM001 Permanent Mark, WARNING - Ignored invalid or unsupported string object: data {\n"),
              std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("\nXS_0123456789, \nERROR - XS ID \"XS_0123456789\" exceeds 12 characters.\n\n"
                         "Press Enter to Close\n"),
              std::string::npos)
        << r.out;
    EXPECT_EQ(r.out.find("Finished."), std::string::npos);
    // A finished profile stays; the layers, never finished, are not written.
    EXPECT_EQ(dir.read("XS12.csv"), "\"XS12\"\n\"X\",\"Z\"\n       0.000,     1.000\n       5.000,     2.000\n");
    EXPECT_FALSE(dir.exists("long.12da.Lines.mid"));
    EXPECT_FALSE(dir.exists("XS_0123456789.csv"));
}

TEST(Convert12daToXs, AnIdClimbingOutOfFileOnesFolderStopsTheRun) {
    TempDir dir;
    dir.write("work/site.12da", "model\nstring 3d {\n name ..\\up\n data {\n  0 0 1\n  3 4 2\n }\n}\n");
    const ProgramRun r = run_program({"work/site.12da", "-xs"}, "\n\n\n", dir.path());
    EXPECT_EQ(r.status, 1) << r.out;
    EXPECT_NE(r.out.find("\n..\\up, \n"
                         "ERROR - XS ID \"..\\up\" would write its .csv outside the folder of work/site.12da.\n"
                         "\nPress Enter to Close\n"),
              std::string::npos)
        << r.out;
    EXPECT_FALSE(dir.exists("up.csv"));
    EXPECT_FALSE(dir.exists("work/up.csv"));
}

// In-process runs over a 12d ASCII file with one 3D string of the given ID.
struct XsRun {
    bool stopped = false;
    std::string out;
};

XsRun convert_one(const TempDir& dir, const std::string& id, const std::string& vertices = "  0 0 1\n  3 4 2\n") {
    std::string quoted;  // the ID as the package writes it in quotes
    for (const char c : id) {
        if (c == '"' || c == '\\') quoted += '\\';
        quoted += c;
    }
    const std::string file1 =
        dir.write("in/site.12da", "model\nstring 3d {\n name \"" + quoted + "\"\n data {\n" + vertices + " }\n}\n");
    Capture cap("\n\n\n\n");
    XsRun run;
    try {
        d12::convert_12da_to_xs(file1, dir.file("in/Header.mif"));
    } catch (const services::RunStop& stop) {
        run.stopped = stop.status == 1;
    }
    run.out = cap.out();
    return run;
}

TEST(Convert12daToXs, IdsThatWouldWriteOutsideTheFolderStop) {
    for (const std::string id : {"/abs/x", "\\abs", "C:x", "d:\\x", "sub\\..\\..\\x", "../x", "a\\\\b"}) {
        SCOPED_TRACE(id);
        TempDir dir;
        std::filesystem::create_directories(dir.path() / "in" / "sub");
        const XsRun run = convert_one(dir, id);
        EXPECT_TRUE(run.stopped) << run.out;
        EXPECT_NE(run.out.find("ERROR - XS ID \"" + id + "\" would write its .csv outside the folder of "),
                  std::string::npos)
            << run.out;
        EXPECT_EQ(run.out.find(".csv...OK."), std::string::npos) << run.out;
    }
}

TEST(Convert12daToXs, IdsWithFoldersThatStayInsideAreWritten) {
    for (const auto& [id, path] : {std::pair<std::string, std::string>{"sub\\..\\XS2", "in/XS2.csv"},
                                   {"./XS3.CSV", "in/XS3.CSV"},
                                   {"sub/deep\\..\\XS4", "in/sub/XS4.csv"}}) {
        SCOPED_TRACE(id);
        TempDir dir;
        std::filesystem::create_directories(dir.path() / "in" / "sub" / "deep");
        const XsRun run = convert_one(dir, id);
        EXPECT_FALSE(run.stopped) << run.out;
        ASSERT_TRUE(dir.exists(path)) << run.out;
        EXPECT_EQ(dir.read(path), "\"" + id + "\"\n\"X\",\"Z\"\n       0.000,     1.000\n       5.000,     2.000\n");
    }
}

TEST(Convert12daToXs, AMissingHeaderMifGivesBothLayersANonEarthHeaderWithWideBounds) {
    TempDir dir;
    const XsRun run = convert_one(dir, "XS1");
    EXPECT_FALSE(run.stopped) << run.out;
    const std::string header =
        "Version 300\n"
        "Charset \"WindowsLatin1\"\n"
        "Delimiter \",\"\n"
        "CoordSys NonEarth Units \"m\" Bounds (   -9999999.000,   -9999999.000) (    9999999.000,    9999999.000)\n";
    EXPECT_EQ(dir.read("in/site.12da.Lines.mif").substr(0, header.size() + 10), header + "Columns 3\n");
    EXPECT_EQ(dir.read("in/site.12da.Points.mif").substr(0, header.size() + 10), header + "Columns 4\n");
}

// A profile needs two vertices with elevations: a block without vertex lines,
// with one vertex, or with null elevations only is reported and ignored, and
// writes neither a .csv nor a row.
TEST(Convert12daToXs, AStringWithoutTwoVerticesOrWithoutElevationsWritesNothing) {
    for (const auto& [vertices, why] :
         {std::pair<std::string, std::string>{"", "has fewer than two vertices"},
          {"  0 0 1\n", "has fewer than two vertices"},
          {"  0 0 -99999\n  3 4 -99999\n", "has no vertex with an elevation"}}) {
        SCOPED_TRACE(vertices);
        TempDir dir;
        const XsRun run = convert_one(dir, "E1", vertices);
        EXPECT_FALSE(run.stopped) << run.out;
        EXPECT_NE(run.out.find("E1, WARNING - XS ID E1 " + why + ": no cross-section is written.\n"),
                  std::string::npos)
            << run.out;
        EXPECT_NE(run.out.find("\nConverted 0 string objects to KORVAN cross-sections and ignored 1\n"),
                  std::string::npos)
            << run.out;
        EXPECT_FALSE(dir.exists("in/E1.csv"));
        EXPECT_EQ(dir.read("in/site.12da.Lines.mid"), "");
        EXPECT_EQ(dir.read("in/site.12da.Points.mid"), "");
        EXPECT_EQ(dir.read("in/site.12da.Lines.mif").find("Pline"), std::string::npos);
    }
}

}  // namespace
}  // namespace velmorak::testing
