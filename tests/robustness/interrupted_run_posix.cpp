// A run ended by SIGTERM partway (a user's kill, a shutdown): it exits with
// 143, the files it had finished stay whole, the layers it had not finished
// stay as an earlier run left them, and no temporary is left behind.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>

#include "support/support.h"
#include "test_paths.h"

namespace velmorak::testing {
namespace {

namespace fs = std::filesystem;

std::string profile(int i) {
    std::string name = "P";
    name += std::to_string(i);
    return name;
}

TEST(InterruptedRun, SigtermLeavesFinishedFilesWholeAndEarlierOutputsAsTheyWere) {
    constexpr int kProfiles = 50000;
    TempDir dir;
    std::string text = "model \"site\"\n";
    for (int i = 0; i < kProfiles; ++i)
        text.append("string 3d {\n  name \"").append(profile(i)).append("\"\n  data {\n    0 0 1\n    3 4 2\n  }\n}\n");
    dir.write("site.12da", text);
    const char* const layers[] = {"site.12da.Lines.mif", "site.12da.Lines.mid", "site.12da.Points.mif",
                                  "site.12da.Points.mid"};
    for (const char* layer : layers) dir.write(layer, "earlier\n");

    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        if (::chdir(dir.path().c_str()) == 0 && std::freopen("/dev/null", "r", stdin) &&
            std::freopen("/dev/null", "w", stdout))
            ::execl(VELMORAK_EXE, VELMORAK_EXE, "site.12da", "-xs", static_cast<char*>(nullptr));
        ::_exit(127);
    }
    // Partway: some profiles written, most not. The harness, not the test,
    // bounds the time: a run that never gets there or never ends is killed.
    const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    int status = 0;
    bool ended = false;
    while (!dir.exists(profile(200) + ".csv") && std::chrono::steady_clock::now() < limit)
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    ::kill(pid, SIGTERM);
    while (!(ended = ::waitpid(pid, &status, WNOHANG) == pid) && std::chrono::steady_clock::now() < limit)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    if (!ended) {
        ::kill(pid, SIGKILL);
        ::waitpid(pid, &status, 0);
        FAIL() << "the run did not end within 60 s";
    }
    ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
    EXPECT_EQ(WEXITSTATUS(status), 143);

    for (const char* layer : layers) EXPECT_EQ(dir.read(layer), "earlier\n") << layer;
    int finished = 0;
    for (const auto& entry : fs::directory_iterator(dir.path())) {
        const std::string name = entry.path().filename().string();
        EXPECT_EQ(name.find("velmorak"), std::string::npos) << "left behind: " << name;
        if (entry.path().extension() != ".csv") continue;
        ++finished;
        const std::string id = entry.path().stem().string();
        EXPECT_EQ(read_file(entry.path()), "\"" + id + "\"\n\"X\",\"Z\"\n       0.000,     1.000\n       5.000,     2.000\n")
            << name;
    }
    EXPECT_GE(finished, 200);
    EXPECT_LT(finished, kProfiles);
}

}  // namespace
}  // namespace velmorak::testing
