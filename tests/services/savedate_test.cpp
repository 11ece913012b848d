#include "services/savedate.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "services/runtime.h"
#include "support/support.h"

namespace velmorak::services {
namespace {

using testing::Capture;
using testing::TempDir;

void set_time(const std::string& name, int seconds_offset) {
    const auto base = std::filesystem::file_time_type::clock::now() - std::chrono::hours(1);
    std::filesystem::last_write_time(name, base + std::chrono::seconds(seconds_offset));
}

struct Pair {
    TempDir dir;
    std::string mif = dir.write("layer.mif", "Version 300\n");
    std::string tab = dir.write("layer.tab", "!table\n");
};

TEST(CheckSaveDate, EqualDatesAreUpToDate) {
    Pair p;
    set_time(p.mif, 0);
    set_time(p.tab, 0);
    Capture cap;
    EXPECT_TRUE(CHECKSAVEDATE(p.mif, p.tab, 0, 0, true, 0));
    EXPECT_EQ(cap.out(), "Checking save date is later than that of " + p.tab + "...OK\n\n");
}

TEST(CheckSaveDate, SourceOneSecondNewerWarnsAndGoesOn) {
    Pair p;
    set_time(p.mif, 0);
    set_time(p.tab, 1);
    Capture cap;
    EXPECT_TRUE(CHECKSAVEDATE(p.mif, p.tab, 0, 0, false, 0));
    EXPECT_EQ(cap.out(), "Checking save date is later than that of " + p.tab + "...NOT OK\n\nWARNING - Save date of \"" +
                             p.tab + "\" file is later than that of \"" + p.mif + "\"\n");
}

TEST(CheckSaveDate, SourceNewerInErrorModeClosesUnitsThenAsksForReExport) {
    Pair p;
    set_time(p.mif, 0);
    set_time(p.tab, 5);
    Capture cap("\n");
    INITSERVICES();
    int a = 0, b = 0;
    OPENFILE(a, "I ", p.mif);
    OPENFILE(b, "I ", p.tab);
    const std::size_t start = cap.out().size();
    EXPECT_FALSE(CHECKSAVEDATE(p.mif, p.tab, a, b, true, 0));
    EXPECT_EQ(cap.out().substr(start),
              "Checking save date is later than that of " + p.tab + "...NOT OK\n\n...Closed File Unit: 901\n" +
                  "...Closed File Unit: 902\nERROR - Save date of \"" + p.tab + "\" file is later than that of \"" +
                  p.mif + "\"\nRe-export mif file and press Enter, or close window.\n");
    EXPECT_FALSE(cap.rt().units.in_use(a));
}

TEST(CheckSaveDate, ReExportPauseAtTheEndOfInputStopsTheRun) {
    Pair p;
    set_time(p.mif, 0);
    set_time(p.tab, 5);
    Capture cap("");
    EXPECT_THROW(CHECKSAVEDATE(p.mif, p.tab, 0, 0, true, 0), RunStop);
    EXPECT_NE(cap.out().find("ERROR - Standard input ended"), std::string::npos);
}

TEST(CheckSaveDate, MissingSourceWarnsInWarningModeAndStopsInErrorMode) {
    Pair p;
    const std::string missing = p.dir.file("none.tab");
    {
        Capture cap;
        EXPECT_TRUE(CHECKSAVEDATE(p.mif, missing, 0, 0, false, 0));
        EXPECT_NE(cap.out().find("NOT OK\n\nWARNING - Could not access save date of \"" + p.mif + "\" to check with \"" +
                                 missing + "\"\n"),
                  std::string::npos);
    }
    {
        Capture cap("\n");
        EXPECT_THROW(CHECKSAVEDATE(p.mif, missing, 0, 0, true, 0), RunStop);
        const std::string out = cap.out();
        EXPECT_NE(out.find("ERROR - Could not access save date of"), std::string::npos);
        EXPECT_NE(out.find("\nNOTE - If using KORVAN, use CHECK MI SAVE DATE == WARNING or OFF to suppress check\n\n"
                           "\nPress Enter to Close\n"),
                  std::string::npos);
    }
}

}  // namespace
}  // namespace velmorak::services
