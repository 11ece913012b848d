// The driver end to end, through the built program.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "support/support.h"
#include "test_paths.h"

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
              "ERROR - File 1 has an unrecognisable file extension.  Must be \".mif\", \".12da\", \".4da\" or "
              "\".12daz\".\n"
              "\nFinished.\nPress Enter to finish.\n");
    EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
}

TEST(Driver, DefaultFileTwoIsHeaderMifBesideFileOne) {
    const ProgramRun r = run_program({"data/site.txt"});
    EXPECT_NE(r.out.find("\nFile 1: data/site.txt\n\nFile 2: data/Header.mif\n"), std::string::npos) << r.out;
    const ProgramRun w = run_program({"C:\\data\\model.4DX", "C:\\out\\"});
    EXPECT_NE(w.out.find("\nFile 2: C:\\data\\Header.mif\n"), std::string::npos) << w.out;
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

const std::string kSite =
    "model\nstring 3d {\n name A1\n data {\n 0 0 10\n 3 4 11\n }\n}\n"
    "string 3d {\n name B2\n data {\n 5 5 10\n 6 6 12\n }\n}\n";

// Command lines as users type them, with what each must print (in this order)
// and its status. A run that stops must have written nothing.
struct CommandLineCase {
    std::vector<std::string> args;
    int status;
    std::vector<std::string> lines;
    bool writes = false;
    bool whole = false;  // the one line is all the output
};

const CommandLineCase kCommandLines[] = {
    {{"--help"}, 0, {"\nCONVERT FROM MIF TO 12DA:\n", "\n   -q   quiet, for batch files", "   --version shows"}},
    {{"-h"}, 0, {"\nCONVERT FROM MIF TO 12DA:\n"}},
    {{"-?"}, 0, {"\nCONVERT FROM MIF TO 12DA:\n"}},
    {{"/?"}, 0, {"\nCONVERT FROM MIF TO 12DA:\n"}},
    {{"site.12da", "--HELP"}, 0, {"\nCONVERT FROM MIF TO 12DA:\n"}},
    {{"--version"}, 0, {"velmorak " VELMORAK_PROJECT_VERSION "\n"}, false, true},
    // misspelt options: each would have run the breakline conversion
    {{"site.12da", "-sx"}, 1, {"\nERROR - Unknown option \"-sx\".  Options are -xs, -zln, -hip, -q, --help and --version.\n"}},
    {{"--xs", "site.12da"}, 1, {"\nERROR - Unknown option \"--xs\"."}},
    {{"-q", "site.12da", "-hpi", "-whatever"}, 1, {"ERROR - Unknown option \"-hpi\"."}},
    // options on their first letters, in any case and order
    {{"-XSECTION", "site.12da", "-hipdata"}, 0, {"\nConverted 2 string objects to KORVAN cross-sections and ignored 0\n"}, true},
    {{"-HIP", "site.12da", "Header.MIF"}, 0, {"\nFile 2: Header.MIF\n", "\nConverted 2 string objects and ignored 0\n"}, true},
    // "velmorak *.12da": the second file would have become the header
    {{"site.12da", "b.12da", "c.12da"},
     1,
     {"\nFile 1: site.12da\n\nFile 2: b.12da\n",
      "\nWARNING - Ignored 1 more file names (one conversion per run): \"c.12da\"\n",
      "\nERROR - File 2 \"b.12da\" is not a .mif file.\n"
      "        File 2 is the header .mif whose projection the new layers take;\n"
      "        velmorak converts one file per run.\n"}},
    {{"site.12da", "Header.mif", "c.12da", "d e.mif"},
     0,
     {"\nWARNING - Ignored 2 more file names (one conversion per run): \"c.12da\" \"d e.mif\"\n", "\nFinished.\n"},
     true},
};

TEST(Driver, CommandLinesGiveTheirStatusAndLines) {
    for (const CommandLineCase& c : kCommandLines) {
        std::string shown;
        for (const std::string& a : c.args) shown += " " + a;
        SCOPED_TRACE("velmorak" + shown);
        TempDir dir;
        dir.write("site.12da", kSite);
        dir.write("Header.mif", read_file(fixture("d12/Header.mif")));
        const ProgramRun r = run_program(c.args, "", dir.path());
        EXPECT_EQ(r.status, c.status) << r.out;
        if (c.whole) {
            EXPECT_EQ(r.out, c.lines.front());
        }
        std::size_t from = 0;
        for (const std::string& line : c.lines) {
            const std::size_t at = r.out.find(line, from);
            EXPECT_NE(at, std::string::npos) << "missing: " << line << "\n" << r.out;
            if (at != std::string::npos) from = at + line.size();
        }
        // Help and version are answered at once; a stop on the command line opens nothing.
        if (!c.writes) {
            if (c.status == 0) {
                EXPECT_EQ(r.out.find("Press Enter"), std::string::npos) << r.out;
            }
            EXPECT_EQ(r.out.find("Trying to open"), std::string::npos) << r.out;
        }
        std::size_t entries = 0;
        for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(dir.path())) ++entries;
        EXPECT_EQ(entries > 2, c.writes);
    }
}

}  // namespace
}  // namespace velmorak::testing
