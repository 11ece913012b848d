// Runs without a person at the console: batch files, shell loops and scripts
// that feed the program their own standard input, quiet runs, and names
// outside any one code page.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "support/support.h"

namespace velmorak::testing {
namespace {

const std::string kSite = "model\nstring 3d {\n name A1\n data {\n 0 0 10\n 3 4 11\n }\n}\n";

// In "while read f; do velmorak "$f"; done < list.txt" the pauses would read
// the loop's list and run its lines as commands. Prompts still read: the first
// line answers the one for the missing input, and the pauses after it (a
// missing header, the end of the run) only show their text.
TEST(Unattended, PipedLinesAnswerPromptsButAreNeitherWaitedForNorRunAtPauses) {
    TempDir dir;
    dir.write("site.12da", kSite);
    const std::string command = "echo ran > marker\n";
    const ProgramRun r = run_program({"moved.12da"}, "site.12da\n" + command + "\n" + command, dir.path());
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_NE(r.out.find("Check file exists and press enter or enter another file name: \n"
                         "Trying to open file site.12da...OK.\n"),
              std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("Non-Earth Coordinates will be used.\n\nPress Enter to Continue\n\nSearching"),
              std::string::npos)
        << r.out;
    EXPECT_TRUE(r.out.ends_with("\nFinished.\nPress Enter to finish.\n")) << r.out;

    // Three warnings pause before the cross-section in a missing folder: every
    // piped line is left to its retry prompt, which tries once per line.
    dir.write("sections.12da", read_file(fixture("d12/sections.12da")));
    const ProgramRun xs = run_program({"sections.12da", "-xs"}, command + command + command + command, dir.path());
    EXPECT_EQ(xs.status, 1) << xs.out;
    std::size_t warnings = 0, tries = 0;
    for (std::size_t at = 0; (at = xs.out.find("WARNING - Ignored invalid", at)) != std::string::npos; ++at) ++warnings;
    for (std::size_t at = 0; (at = xs.out.find("cannot be created", at)) != std::string::npos; ++at) ++tries;
    EXPECT_EQ(warnings, 3u) << xs.out;
    EXPECT_EQ(tries, 5u) << xs.out;
    EXPECT_FALSE(dir.exists("marker")) << r.out << xs.out;
}

// -q for loops over many files: messages and result lines only, and a prompt
// stops the run (input is never read) with its line of explanation. The
// messages go to standard error, so that "velmorak -q x.12da >/dev/null" in a
// script still shows why a run failed, and the text of every stop is shown,
// whatever pause it belongs to.
TEST(Quiet, ShowsOnlyMessagesOnStandardErrorAndTheResultLine) {
    const std::string warning =
        "WARNING - No MI Projection or mif header file Header.mif found.\n"
        "          Non-Earth Coordinates will be used.\n";
    const struct {
        std::vector<std::string> args;
        int status;
        std::string out;
        std::string err;
    } runs[] = {
        {{"-q", "site.12da"}, 0, "Converted 1 string objects and ignored 0\n", warning},
        {{"nan.12da", "-Q"}, 1, "", warning + "ERROR - Reading .12da file.  Erroneous line is:\n3 4 NaN\n"},
        {{"-quiet", "moved.12da"},
         1,
         "",
         "CHECK - \"moved.12da\" cannot be found\n"
         "ERROR - Standard input ended while waiting for a file name.  Run stopped.\n"},
        // The extension error is the text of a pause.
        {{"-q", "notes.txt"},
         1,
         "",
         "ERROR - File 1 has an unrecognisable file extension.  Must be \".mif\", \".12da\", \".4da\" or "
         "\".12daz\".\n"},
        {{"-q", "roads.mif"},
         0,
         "",
         "WARNING - No .mid file \"roads.mid\" found: every string gets an empty name.\n"
         "WARNING - Could not access save date of \"roads.mif\" to check with \"roads.tab\"\n"
         "WARNING - Passed over 2 Regions, 1 Point: only Line and Pline objects become strings; `ogr2ogr -f 12DA` "
         "converts regions and points.\n"},
        {{"-q", "-zln", "site.12da", "-unknown"}, 1, "", "ERROR - Unknown option \"-unknown\".  Options are -xs, -zln, "
                                                         "-hip, -q, --help and --version.\n"},
    };
    TempDir dir;
    dir.write("site.12da", kSite);
    dir.write("nan.12da", "model\nstring 3d {\n data {\n 0 0 10\n 3 4 NaN\n }\n}\n");
    dir.write("notes.txt", "not a model\n");
    const std::string square = "Region 1\n  5\n0 0\n1 0\n1 1\n0 1\n0 0\n";
    dir.write("roads.mif", "Version 300\nColumns 1\n  Name Char(10)\nData\n\n" + square + "Point 3 3\n" + square);
    for (const auto& run : runs) {
        SCOPED_TRACE(run.args.front() + " " + run.args.back());
        const ProgramRun r = run_program(run.args, "site.12da\n\n", dir.path(), 300, true);
        EXPECT_EQ(r.status, run.status);
        EXPECT_EQ(r.out, run.out);
        EXPECT_EQ(r.err, run.err);
    }
}

// A folder whose name no single Windows code page holds: on Windows the
// command line is read as wide characters and the name travels as UTF-8.
TEST(UnicodeNames, AFolderOfAnyScriptConvertsToTheSameBytes) {
    TempDir dir;
    const std::filesystem::path folder = dir.path() / std::filesystem::path(u8"\u0141\u00f3d\u017a \u6e2c\u91cf");
    std::filesystem::create_directory(folder);
    write_file(folder / "breaklines.12da", read_file(fixture("d12/breaklines.12da")));
    write_file(folder / "Header.mif", read_file(fixture("d12/Header.mif")));
    const std::u8string typed = (folder / "breaklines.12da").u8string();
    const std::string file1(typed.begin(), typed.end());
    const ProgramRun r = run_program({file1}, "", dir.path());
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_NE(r.out.find("\nFile 1: " + file1 + "\n"), std::string::npos) << r.out;
    for (const char* name : {"breaklines.12da.mif", "breaklines.12da.mid"}) {
        SCOPED_TRACE(name);
        ASSERT_TRUE(std::filesystem::exists(folder / name)) << r.out;
        EXPECT_EQ(read_file(folder / name), read_file(fixture(std::string("d12/golden/mif/") + name)));
    }
}

}  // namespace
}  // namespace velmorak::testing
