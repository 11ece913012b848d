// Compressed 12d ASCII archives (.12daz), end to end through the built program:
// every archive of tests/data/d12/archives (see make.sh there: Info-ZIP and
// Python's zipfile, deflated and stored, with and without ZIP64 records, the
// member in 8-bit text or UTF-16LE with CRLF) gives byte for byte the golden
// outputs of the plain .12da. The bad archives are cases of the broken-input
// corpus (tests/data/broken/12daz-*).
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
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
    for (const char* csv : {"XS12.csv", "xs000001.csv", "levee.csv", "firstnull.csv", "sub/XS1.csv"}) {
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

// A member of several megabytes: more blocks than the reader's read-ahead
// ring holds, read twice (the reader rewinds after the header). Made at run
// time with Info-ZIP's zip, which tests/run.sh installs.
class LargeArchive : public ::testing::Test {
protected:
    void SetUp() override {
#ifdef _WIN32
        // The archives are made at run time by Info-ZIP's zip, a tool of the
        // Linux build machine; the Windows build reads the committed archives.
        GTEST_SKIP() << "zip (Info-ZIP) runs on the build machine only";
#endif
        std::string text = "null -999\nmodel \"big\"\n";
        for (int s = 0; text.size() < (7u << 20); ++s) {
            text += "string 3d {\n name \"s" + std::to_string(s) + "\"\n data {\n";
            for (int v = 0; v < 20; ++v)
                text += "  " + std::to_string(300000 + s) + "." + std::to_string(v) + " " + std::to_string(6000000 + v) +
                        ".25 " + std::to_string(10 + (s + v) % 50) + ".5\n";
            text += " }\n}\n";
        }
        dir.write("big.12da", text);
        copy_fixture(dir, "Header.mif");
    }
    // Zips big.12da into big.12daz with the given options of zip.
    void zip(const std::string& options) {
        const std::string command = "cd '" + dir.path().string() + "' && zip -q " + options + " big.12daz big.12da";
        ASSERT_EQ(std::system(command.c_str()), 0) << "zip (Info-ZIP) is needed: " << command;
    }
    // Changes one byte of big.12daz, `from_end` bytes before its central directory.
    void damage(std::size_t from_end) {
        std::string bytes = dir.read("big.12daz");
        const std::size_t directory = bytes.rfind(std::string("PK\x01\x02", 4));
        ASSERT_NE(directory, std::string::npos);
        bytes[directory - from_end] = static_cast<char>(bytes[directory - from_end] ^ 0x20);
        dir.write("big.12daz", bytes);
    }
    TempDir dir;
};

TEST_F(LargeArchive, DeflatedConvertsLikeThePlainFile) {
    zip("-6");
    const ProgramRun plain = run_program({"big.12da"}, "\n", dir.path());
    const ProgramRun packed = run_program({"big.12daz"}, "\n", dir.path());
    ASSERT_EQ(plain.status, 0) << plain.out;
    EXPECT_EQ(packed.status, 0) << packed.out;
    EXPECT_GT(dir.read("big.12da.mif").size(), 7u << 20);
    EXPECT_EQ(dir.read("big.12daz.mif"), dir.read("big.12da.mif"));
    EXPECT_EQ(dir.read("big.12daz.mid"), dir.read("big.12da.mid"));
}

// Damage met after the first blocks have been converted still stops the run:
// the line reader alone would take the failed read for the end of the file.
TEST_F(LargeArchive, ACrcMismatchAtTheEndOfAStoredMemberStopsTheRun) {
    zip("-0");
    damage(100);
    const ProgramRun r = run_program({"big.12daz"}, "", dir.path());
    EXPECT_EQ(r.status, 1) << r.out;
    EXPECT_NE(r.out.find("\nERROR - Cannot read file \"big.12daz\": Member big.12da fails its CRC-32 check: "
                         "the archive is damaged.\n"),
              std::string::npos)
        << r.out.substr(r.out.size() > 2000 ? r.out.size() - 2000 : 0);
    EXPECT_EQ(r.out.find("\nFinished.\n"), std::string::npos);
}

// The directory gives the deflated data 5000 bytes less than it has: zlib
// runs out of input near the end of the member.
TEST_F(LargeArchive, DeflateDataEndingEarlyStopsTheRun) {
    zip("-6");
    std::string bytes = dir.read("big.12daz");
    const std::size_t entry = bytes.rfind(std::string("PK\x01\x02", 4));
    ASSERT_NE(entry, std::string::npos);
    auto* size = reinterpret_cast<unsigned char*>(&bytes[entry + 20]);
    std::uint32_t compressed = size[0] | (size[1] << 8) | (size[2] << 16) | (std::uint32_t{size[3]} << 24);
    ASSERT_GT(compressed, 100000u);
    compressed -= 5000;
    for (int i = 0; i < 4; ++i) size[i] = static_cast<unsigned char>(compressed >> (8 * i));
    dir.write("big.12daz", bytes);
    const ProgramRun r = run_program({"big.12daz"}, "", dir.path());
    EXPECT_EQ(r.status, 1) << r.out;
    EXPECT_NE(r.out.find("\nERROR - Cannot read file \"big.12daz\": The compressed data of member big.12da ends "
                         "early: the archive is damaged.\n"),
              std::string::npos)
        << r.out.substr(r.out.size() > 2000 ? r.out.size() - 2000 : 0);
    EXPECT_EQ(r.out.find("\nFinished.\n"), std::string::npos);
}

}  // namespace
}  // namespace velmorak::testing
