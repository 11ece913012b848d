// No output of a run may replace a file the run reads.
#include <gtest/gtest.h>

#include "support/support.h"

namespace velmorak::testing {
namespace {

const std::string kHeader =
    "Version 300\nCharset \"WindowsLatin1\"\nDelimiter \",\"\n"
    "CoordSys NonEarth Units \"m\" Bounds (0, 0) (100, 100)\nColumns 1\n  ID Char(10)\nData\n\n";

TEST(RunInputs, AHeaderThatIsAlsoTheNewLayerIsRefusedAndKeptIntact) {
    TempDir dir;
    dir.write("site.12da", "model\nstring 2d {\n data {\n 1 2\n }\n}\n");
    dir.write("site.12da.mif", kHeader);
    const ProgramRun r = run_program({"site.12da", "site.12da.mif"}, "", dir.path());
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("ERROR - Output file \"site.12da.mif\" is an input of this run."), std::string::npos)
        << r.out;
    EXPECT_EQ(dir.read("site.12da.mif"), kHeader);
}

TEST(RunInputs, ALinesLayerNamedLikeTheDanglesReportIsRefused) {
    TempDir dir;
    const std::string lines = kHeader + "Pline 2\n0 0\n10 0\n";
    dir.write("_dangles.mif", lines);
    dir.write("_dangles.mid", "5\n");
    dir.write("pts.mif", kHeader + "Point 0 0\n");
    dir.write("pts.mid", "1\n");
    const ProgramRun r = run_program({"pts.mif", "_dangles.mif", "-zln"}, "", dir.path());
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(dir.read("_dangles.mif"), lines);
    EXPECT_EQ(dir.read("_dangles.mid"), "5\n");
}

}  // namespace
}  // namespace velmorak::testing
