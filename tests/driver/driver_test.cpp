// The driver end to end, through the built program.
#include <gtest/gtest.h>

#include "support/support.h"

namespace velmorak::testing {
namespace {

const std::string kBanner = "\nBuild 2007-09-AB\n\n";

TEST(Driver, NoArgumentPrintsBannerAndUsageThenStopsWithStatusOne) {
    const ProgramRun r = run_program({});
    EXPECT_EQ(r.status, 1);
    const std::string usage =
        "\n"
        "CONVERT FROM MIF TO 12DA:\n"
        "1:  velmorak.exe <Points_and/or_Lines>.mif\n"
        "2:  velmorak.exe <Points>.mif <Lines>.mif\n"
        "First attribute in .mif file must be the elevation.\n"
        "Options:\n"
        "   -zln converts a KORVAN 3D breakline to 12da format, including\n"
        "        interpolation of Z values at intermediate vertices\n"
        "\n"
        "CONVERT FROM 12DA TO MIF:\n"
        "1:  velmorak.exe <12da_file>.12da <Header>.mif\n"
        ".4da extension also accepted\n"
        "<Header>.mif is any .mif file with the correct projection.\n"
        "   (Will use \"Header.mif\" if omitted.)\n"
        "Options:\n"
        "   -hip includes 12D hipdata polylines.\n"
        "   -xs  creates KORVAN .csv cross-section files and 1d_xs layer.\n"
        "\n"
        "Note: Can use .mif files to assign Material, n or RR values and\n"
        "      regenerate XS .csv files using brenmoss.exe\n"
        "\n";
    EXPECT_EQ(r.out, kBanner + usage + "\nPress Enter to Close\n");
}

TEST(Driver, UnrecognisedExtensionPausesThenFinishesWithStatusOneAndWritesNothing) {
    TempDir dir;
    const ProgramRun r = run_program({"model.txt"}, "", dir.path());
    EXPECT_EQ(r.status, 1);
    const std::size_t exe = r.out.find("Executable: ");
    ASSERT_NE(exe, std::string::npos);
    const std::string tail = r.out.substr(r.out.find('\n', exe) + 1);
    EXPECT_EQ(tail,
              "\nFile 1: model.txt\n\nFile 2: Header.mif\n"
              "ERROR - File 1 has an unrecognisable file extension.  Must be \".mif\", \".12da\" or \".4da\".\n"
              "\nFinished.\nPress Enter to finish.\n");
    EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
}

TEST(Driver, DefaultFileTwoIsHeaderMifBesideFileOne) {
    const ProgramRun r = run_program({"data/site.txt"});
    EXPECT_NE(r.out.find("\nFile 1: data/site.txt\n\nFile 2: data/Header.mif\n"), std::string::npos) << r.out;
    const ProgramRun w = run_program({"C:\\data\\model.4DX", "C:\\out\\"});
    EXPECT_NE(w.out.find("\nFile 2: C:\\data\\Header.mif\n"), std::string::npos) << w.out;
}

TEST(Driver, OptionsInAnyCaseAndOrderAndSurplusNamesAreIgnored) {
    const ProgramRun r = run_program({"-HIPDATA", "a.txt", "-Xsection", "b.mif", "c.mif", "-whatever"});
    EXPECT_NE(r.out.find("\nFile 1: a.txt\n\nFile 2: b.mif\n"), std::string::npos) << r.out;
}

TEST(Driver, OnlyAnOptionGivesAnEmptyFileOneAndTheExtensionError) {
    const ProgramRun r = run_program({"-hip"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("\nFile 1: \n\nFile 2: Header.mif\nERROR - File 1 has an unrecognisable"), std::string::npos)
        << r.out;
}

TEST(Driver, ZlnWithOneMifLayerUsesItAsFileTwo) {
    TempDir dir;  // the conversion creates its .12da before it finds the layer missing
    const ProgramRun r = run_program({"lines.MIF", "-ZLN"}, "", dir.path());
    EXPECT_NE(r.out.find("\nFile 1: lines.MIF\n\nFile 2: lines.MIF\n"), std::string::npos) << r.out;
}

TEST(Driver, ACommandTypedAtTheFinalPauseRunsAndThePauseComesAgain) {
    TempDir dir;
    const ProgramRun r = run_program({"x.txt"}, "\necho typed-command-ran\n\n", dir.path());
    // The command's own output ends its line as the system's shell does (CRLF from cmd.exe).
    std::string out = r.out;
    if (const std::size_t at = out.find("typed-command-ran\r\n"); at != std::string::npos) out.erase(at + 17, 1);
    EXPECT_NE(out.find("Press Enter to finish.\ntyped-command-ran\nPress Enter to finish.\n"), std::string::npos)
        << r.out;
}

}  // namespace
}  // namespace velmorak::testing
