// Runs that meet in one folder: eight -zln runs on different layers at once
// all write the report layers _dangles and _unsnapped_points of the current
// folder. Each pair must end whole and from one run (a run's .mif with
// another's .mid would show one run's lines with the other's elevations),
// every run must end normally, and neither lock file nor temporary stays.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "support/support.h"
#include "test_paths.h"

namespace velmorak::testing {
namespace {

namespace fs = std::filesystem;

constexpr int kRuns = 8;
constexpr int kRounds = 6;

// A layer of points and lines whose dangling ends, unsnapped points and
// elevations all differ from run to run.
void write_layer(const TempDir& dir, int run) {
    std::string mif =
        "Version 300\nCharset \"WindowsLatin1\"\nDelimiter \",\"\n"
        "CoordSys NonEarth Units \"m\" Bounds (-100000, -100000) (100000, 100000)\nColumns 1\n  Z Float\nData\n\n";
    std::string mid;
    for (int i = 0; i < 8000; ++i) {
        const std::string y = std::to_string(i * 10);
        mif += "Point 0 " + y + "\nPoint 10 " + y + "\nPoint " + std::to_string(500 + run) + " " + y + "\n";
        mif += "Pline 3\n0 " + y + "\n10 " + y + "\n" + std::to_string(20 + run) + " " + y + "\n";
        for (int row = 0; row < 4; ++row) mid += std::to_string(i * 10 + run + row) + "\n";
    }
    const std::string name = "layer" + std::to_string(run);
    dir.write(name + ".mif", mif);
    dir.write(name + ".mid", mid);
}

const char* const kReports[] = {"_dangles.mif", "_dangles.mid", "_unsnapped_points.mif", "_unsnapped_points.mid"};

pid_t start(const fs::path& dir, int run) {
    const std::string layer = "layer" + std::to_string(run) + ".mif";
    const pid_t pid = ::fork();
    if (pid == 0) {
        if (::chdir(dir.c_str()) == 0 && std::freopen("/dev/null", "r", stdin) &&
            std::freopen("/dev/null", "w", stdout) && std::freopen("/dev/null", "w", stderr))
            ::execl(VELMORAK_EXE, VELMORAK_EXE, layer.c_str(), "-zln", "-q", static_cast<char*>(nullptr));
        ::_exit(127);
    }
    return pid;
}

// Waits for a run, killing it after 60 s; its exit status, -1 when it did not end.
int finish(pid_t pid) {
    const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    int raw = 0;
    while (::waitpid(pid, &raw, WNOHANG) != pid) {
        if (std::chrono::steady_clock::now() > limit) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, &raw, 0);
            return -1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
}

TEST(ConcurrentRuns, EveryReportLayerIsWholeAndFromOneRun) {
    TempDir dir;
    for (int run = 0; run < kRuns; ++run) write_layer(dir, run);

    // What each run writes alone.
    std::vector<std::map<std::string, std::string>> alone(kRuns);
    for (int run = 0; run < kRuns; ++run) {
        ASSERT_EQ(finish(start(dir.path(), run)), 0) << "run " << run;
        for (const char* report : kReports) alone[static_cast<std::size_t>(run)][report] = dir.read(report);
    }
    for (const char* report : kReports)
        ASSERT_NE(alone[0][report], alone[1][report]) << report << ": the runs must differ to be told apart";

    for (int round = 0; round < kRounds; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        std::vector<pid_t> pids;
        for (int run = 0; run < kRuns; ++run) pids.push_back(start(dir.path(), run));
        for (int run = 0; run < kRuns; ++run) EXPECT_EQ(finish(pids[static_cast<std::size_t>(run)]), 0) << "run " << run;

        for (const std::string layer : {"_dangles", "_unsnapped_points"}) {
            const std::string mif = dir.read(layer + ".mif");
            const std::string mid = dir.read(layer + ".mid");
            int from = -1;
            for (int run = 0; run < kRuns; ++run)
                if (alone[static_cast<std::size_t>(run)][layer + ".mif"] == mif) from = run;
            ASSERT_GE(from, 0) << layer << ".mif is no run's whole layer";
            EXPECT_EQ(mid, alone[static_cast<std::size_t>(from)][layer + ".mid"])
                << layer << ".mid is not the one of the run that wrote its .mif (run " << from << ")";
        }
        for (const auto& e : fs::directory_iterator(dir.path())) {
            const std::string name = e.path().filename().string();
            EXPECT_EQ(name.find("velmorak"), std::string::npos) << "left behind: " << name;
            EXPECT_NE(e.path().extension(), ".lock") << "left behind: " << name;
        }
    }
}

}  // namespace
}  // namespace velmorak::testing
