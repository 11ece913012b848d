#include "mif/layer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>

#include "services/runtime.h"
#include "support/support.h"

namespace velmorak::mif {
namespace {

using testing::Capture;
using testing::TempDir;

void age(const std::string& name, int seconds) {
    const auto now = std::filesystem::file_time_type::clock::now();
    std::filesystem::last_write_time(name, now - std::chrono::hours(1) + std::chrono::seconds(seconds));
}

// A layer x.mif/x.mid exported after its table x.tab.
struct Layer {
    TempDir dir;
    std::string mif = dir.write("x.mif", "Version 300\nData\n");
    std::string mid = dir.write("x.mid", "");
    std::string tab = dir.write("x.tab", "!table\n");
    Layer() {
        age(tab, 0);
        age(mif, 10);
    }
};

TEST(MifOpen, ExtensionMifMidOrNoneOpenTheSamePair) {
    Layer layer;
    for (const std::string& name : {layer.dir.file("x.mif"), layer.dir.file("x.MID"), "  " + layer.dir.file("x")}) {
        Capture cap;
        services::INITSERVICES();
        const InputLayer in = miOpen(name, {});
        EXPECT_EQ(services::runtime().units.name_of(in.mif_unit), layer.mif) << name;
        EXPECT_EQ(services::runtime().units.name_of(in.mid_unit), layer.mid) << name;
        EXPECT_NE(cap.out().find("Checking save date is later than that of " + layer.tab + "...OK"), std::string::npos);
    }
}

TEST(MifOpen, OtherExtensionsStayPartOfTheBaseName) {
    TempDir dir;
    Capture cap;
    services::INITSERVICES();
    miOpenOutput(dir.file("roads.v2")).close();
    EXPECT_TRUE(dir.exists("roads.v2.mif"));
    EXPECT_TRUE(dir.exists("roads.v2.mid"));
    // No save-date check for an output layer.
    EXPECT_EQ(cap.out().find("Checking save date"), std::string::npos);
}

TEST(MifOpen, StaleLayerInErrorModeIsOpenedAgainAfterTheReExport) {
    Layer layer;
    age(layer.mif, -10);  // the table was saved after the export
    // The user types a command at the pause (it re-exports), then presses Enter.
    Capture cap("re-export\n\n");
    services::INITSERVICES();
    cap.rt().console.set_command_runner([&](const std::string&) { age(layer.mif, 20); });
    const InputLayer in = miOpen(layer.mif, {.save_date_error = true});
    const std::string out = cap.out();
    EXPECT_NE(out.find("...NOT OK"), std::string::npos);
    EXPECT_NE(out.find("...OK\n"), std::string::npos);  // the second check
    EXPECT_EQ(services::runtime().units.name_of(in.mif_unit), layer.mif);
    EXPECT_EQ(services::runtime().units.name_of(in.mid_unit), layer.mid);
}

}  // namespace
}  // namespace velmorak::mif
