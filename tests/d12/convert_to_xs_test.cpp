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
// and a hipdata block, a one-vertex string, a string whose first vertex is
// null, and an ID with a folder ("sub\XS1").
TEST(Convert12daToXs, ThreeDStringsGiveCsvFilesAndLineAndPointLayers) {
    TempDir dir;
    copy_fixture(dir, "sections.12da");
    copy_fixture(dir, "Header.mif");
    std::filesystem::create_directory(dir.path() / "sub");
    const ProgramRun r = run_program({"sections.12da", "-xs"}, "\n\n\n\n", dir.path());
    EXPECT_EQ(r.status, 0) << r.out;
    expect_golden(dir, "xs",
                  {"XS12.csv", "xs000001.csv", "levee.csv", "xs000002.csv", "firstnull.csv", "sub/XS1.csv",
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
    EXPECT_NE(r.out.find("\nsub\\XS1, \nTrying to open file sub\\XS1.csv...OK."), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("\n\nConverted 6 string objects to KORVAN cross-sections and ignored 3\n\n"
                         "...Closed File Unit: 903\n...Closed File Unit: 902\n"
                         "...Closed File Unit: 905\n...Closed File Unit: 904\n"),
              std::string::npos)
        << r.out;
}

// The package's exports (see the breakline test): one .csv per 3D data block;
// the super alignment, the arc, the old alignment and the 2D string are each
// warned of once; side blocks and vipdata say nothing. A super string's second
// block writes its own .csv again silently, a later string of an ID already
// used is warned of.
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
              "\nKerb, WARNING - XS ID Kerb was used by an earlier string: Kerb.csv is written over.\n"})
            EXPECT_NE(r.out.find(warning), std::string::npos) << warning << r.out;
        const std::size_t first = r.out.find("WARNING - XS ID");
        EXPECT_EQ(r.out.find("WARNING - XS ID", first + 1), std::string::npos) << "Twin is warned of" << r.out;
        EXPECT_NE(r.out.find("\nConverted 8 string objects to KORVAN cross-sections and ignored 4\n"),
                  std::string::npos)
            << r.out;
    }
}

TEST(Convert12daToXs, AThirteenCharacterIdStopsTheRunWithStatusOne) {
    TempDir dir;
    dir.write("long.12da",
              "model\n"
              "string 3d {\n name XS12\n data {\n  0 0 1\n }\n}\n"
              "string 3d {\n name XS_0123456789\n data {\n  0 0 1\n }\n}\n");
    copy_fixture(dir, "Header.mif");
    const ProgramRun r = run_program({"long.12da", "-xs"}, "\n", dir.path());
    EXPECT_EQ(r.status, 1) << r.out;
    EXPECT_NE(r.out.find("\nXS_0123456789, ERROR - XS ID exceeds 12 characters.\n\nPress Enter to Close\n"),
              std::string::npos)
        << r.out;
    EXPECT_EQ(r.out.find("Finished."), std::string::npos);
    // A finished profile stays; the layers, never finished, are not written.
    EXPECT_EQ(dir.read("XS12.csv"), "\"XS12\"\n\"X\",\"Z\"\n       0.000,     1.000\n");
    EXPECT_FALSE(dir.exists("long.12da.Lines.mid"));
    EXPECT_FALSE(dir.exists("XS_0123456789.csv"));
}

TEST(Convert12daToXs, AnIdClimbingOutOfFileOnesFolderStopsTheRun) {
    TempDir dir;
    dir.write("work/site.12da", "model\nstring 3d {\n name ..\\up\n data {\n  0 0 1\n }\n}\n");
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

XsRun convert_one(const TempDir& dir, const std::string& id, const std::string& vertices = "  0 0 1\n") {
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
        EXPECT_EQ(dir.read(path), "\"" + id + "\"\n\"X\",\"Z\"\n       0.000,     1.000\n");
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

// A data block without vertex lines has no elevation to report: the file gets
// its two heading lines, the line layer a Pline of no vertices whose lowest and
// highest z are the null elevation, and the point layer nothing.
TEST(Convert12daToXs, AnEmptyDataBlockGivesAHeadingOnlyCsvAndNullElevations) {
    TempDir dir;
    const XsRun run = convert_one(dir, "E1", "");
    EXPECT_FALSE(run.stopped) << run.out;
    EXPECT_EQ(dir.read("in/E1.csv"), "\"E1\"\n\"X\",\"Z\"\n");
    EXPECT_EQ(dir.read("in/site.12da.Lines.mid"), "\"E1.csv\",      -99999.000,      -99999.000\n");
    EXPECT_EQ(dir.read("in/site.12da.Points.mid"), "");
    const std::string lines = dir.read("in/site.12da.Lines.mif");
    EXPECT_EQ(lines.substr(lines.size() - 24), "Pline 0\n    Pen (1,2,0)\n");
}

}  // namespace
}  // namespace velmorak::testing
