// Compressed 12d ASCII archives (.12daz), end to end through the built program:
// every archive of tests/data/d12/archives (see make.sh there: Info-ZIP and
// Python's zipfile, deflated and stored, with and without ZIP64 records, the
// member in 8-bit text or UTF-16LE with CRLF) gives byte for byte the golden
// outputs of the plain .12da. The bad archives are cases of the broken-input
// corpus (tests/data/broken/12daz-*).
#include <gtest/gtest.h>

#include <string>

#include "d12/conversion_support.h"
#include "support/support.h"

namespace velmorak::testing {
namespace {

struct ArchiveCase {
    const char* archive;
    const char* member;
};

class BreaklineArchive : public ::testing::TestWithParam<ArchiveCase> {};

TEST_P(BreaklineArchive, ConvertsLikeThePlainFileAndNamesItsMember) {
    const ArchiveCase c = GetParam();
    const std::string name = "site.12daz";
    TempDir dir;
    copy_fixture(dir, std::string("archives/") + c.archive, name);
    copy_fixture(dir, "Header.mif");
    const ProgramRun r = run_program({name}, "\n", dir.path());
    EXPECT_EQ(r.status, 0) << r.out;
    // Output names come from File 1; the contents are those of the .12da inside.
    for (const char* ext : {".mif", ".mid"}) {
        SCOPED_TRACE(ext);
        ASSERT_TRUE(dir.exists(name + ext)) << r.out;
        EXPECT_EQ(dir.read(name + ext), read_file(fixture(std::string("d12/golden/mif/breaklines.12da") + ext)));
    }
    EXPECT_NE(r.out.find("\nTrying to open file site.12daz...OK.\nOpened File Unit: 901\nArchive member: " +
                         std::string(c.member) + "\n"),
              std::string::npos)
        << r.out;
}

INSTANTIATE_TEST_SUITE_P(
    Writers, BreaklineArchive,
    ::testing::Values(ArchiveCase{"breaklines-infozip.12daz", "Project Breaklines.12da"},
                      ArchiveCase{"breaklines-infozip-stored.12daz", "Project Breaklines.12DA"},
                      ArchiveCase{"breaklines-infozip-zip64.12daz", "Project Breaklines.12da"},
                      ArchiveCase{"breaklines-utf16.12daz", "Appin Rd V5.12da"},
                      ArchiveCase{"breaklines-zip64-stored.12daz", "Appin Rd V5.12da"}),
    [](const ::testing::TestParamInfo<ArchiveCase>& info) {
        std::string n = info.param.archive;
        n = n.substr(0, n.find('.'));
        for (char& ch : n)
            if (ch == '-') ch = '_';
        return n;
    });

// -xs from an archive: the cross-sections go in File 1's folder, the layers
// are named after File 1 (in upper case here: the extension chooses the
// conversion in any case).
TEST(Archive12daToXs, GivesTheCrossSectionsAndLayersOfThePlainFile) {
    TempDir dir;
    copy_fixture(dir, "archives/sections.12daz", "Model.12DAZ");
    copy_fixture(dir, "Header.mif");
    std::filesystem::create_directory(dir.path() / "sub");
    const ProgramRun r = run_program({"Model.12DAZ", "-xs"}, "\n\n\n\n", dir.path());
    EXPECT_EQ(r.status, 0) << r.out;
    for (const char* csv : {"XS12.csv", "xs000001.csv", "levee.csv", "xs000002.csv", "firstnull.csv", "sub/XS1.csv"}) {
        SCOPED_TRACE(csv);
        ASSERT_TRUE(dir.exists(csv)) << r.out;
        EXPECT_EQ(dir.read(csv), read_file(fixture(std::string("d12/golden/xs/") + csv)));
    }
    for (const char* layer : {".Lines.mif", ".Lines.mid", ".Points.mif", ".Points.mid"}) {
        SCOPED_TRACE(layer);
        ASSERT_TRUE(dir.exists(std::string("Model.12DAZ") + layer)) << r.out;
        EXPECT_EQ(dir.read(std::string("Model.12DAZ") + layer),
                  read_file(fixture(std::string("d12/golden/xs/sections.12da") + layer)));
    }
    EXPECT_NE(r.out.find("\nArchive member: Sections V2.12da\n"), std::string::npos) << r.out;
}

}  // namespace
}  // namespace velmorak::testing
