// Failures of the system in every conversion, injected through the file
// layer's table of system calls: a read error, a file that ends early (cut
// while it is read), a full disk and a failing close, each on a chosen file at
// a chosen byte. Every read and write is also served in small pieces, as pipes
// and network file systems may. Each row must stop the run with status 1 and
// its ERROR line, leave every output either as an earlier run left it or
// whole, and leave no temporary. Each run is a child process that the harness
// kills when it does not end in time (a read loop that never ends was such a
// fault).
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <filesystem>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "driver/driver.h"
#include "io/platform.h"
#include "mif2d12/fixture_layers.h"
#include "services/runtime.h"
#include "support/support.h"

namespace velmorak::testing {
namespace {

namespace fs = std::filesystem;
using io::platform::Handle;

// A signal comes as an output takes its name (its rename or link): `at`
// is the signal's number.
enum class Fault { none, read_error, early_end, disk_full, close_error, signal };

// ---------------------------------------------------------------- the injected calls

struct Injection {
    Fault fault = Fault::none;
    std::string file;  // the leaf name of the file hit (an output's, not its temporary's)
    std::uint64_t at = 0;
    bool unnamed_files = true;  // false: a file system without unnamed files (NFS)
};
Injection g_rule;
io::platform::SystemCalls g_system;
std::map<Handle, std::pair<std::string, std::uint64_t>> g_files;  // leaf name, position
constexpr std::size_t kPiece = 64;

bool hit(const std::string& leaf, Fault fault) {
    if (g_rule.fault != fault) return false;
    // A temporary is named ".LEAF.velmorak-PID.tmp".
    return leaf == g_rule.file || leaf.starts_with("." + g_rule.file + ".velmorak-");
}

Handle fault_open(const char* name, io::platform::OpenFor how, int& err) {
    if (how == io::platform::OpenFor::unnamed && !g_rule.unnamed_files) {
        err = EOPNOTSUPP;
        return io::platform::kNoHandle;
    }
    const Handle file = g_system.open(name, how, err);
    if (file != io::platform::kNoHandle) g_files[file] = {fs::path(name).filename().string(), 0};
    return file;
}

// How much of a read of n bytes at `at` may be served: 0 for the end of a file cut there.
std::size_t readable(const std::string& leaf, std::uint64_t at, std::size_t n, int& err, bool& fail) {
    n = std::min(n, kPiece);
    fail = false;
    if (hit(leaf, Fault::read_error) && at + n > g_rule.at) {
        err = EIO;
        fail = true;
    }
    if (hit(leaf, Fault::early_end) && at + n > g_rule.at) n = at >= g_rule.at ? 0 : g_rule.at - at;
    return n;
}

std::ptrdiff_t fault_read(Handle file, void* dst, std::size_t n, int& err) {
    auto& [leaf, position] = g_files[file];
    bool fail = false;
    n = readable(leaf, position, n, err, fail);
    if (fail) return -1;
    const std::ptrdiff_t got = n == 0 ? 0 : g_system.read(file, dst, n, err);
    if (got > 0) position += static_cast<std::uint64_t>(got);
    return got;
}

std::ptrdiff_t fault_read_at(Handle file, void* dst, std::size_t n, std::uint64_t offset, int& err) {
    bool fail = false;
    n = readable(g_files[file].first, offset, n, err, fail);
    if (fail) return -1;
    return n == 0 ? 0 : g_system.read_at(file, dst, n, offset, err);
}

std::ptrdiff_t fault_write(Handle file, const void* src, std::size_t n, int& err) {
    auto& [leaf, position] = g_files[file];
    n = std::min(n, kPiece);
    if (hit(leaf, Fault::disk_full) && position + n > g_rule.at) {
        if (position >= g_rule.at) {
            err = ENOSPC;
            return -1;
        }
        n = g_rule.at - position;
    }
    const std::ptrdiff_t put = g_system.write(file, src, n, err);
    if (put > 0) position += static_cast<std::uint64_t>(put);
    return put;
}

bool fault_close(Handle file, int& err) {
    const std::string leaf = g_files[file].first;
    g_files.erase(file);
    const bool closed = g_system.close(file, err);
    if (!hit(leaf, Fault::close_error)) return closed;
    err = EIO;
    return false;
}

void signal_at_name(const char* to) {
    if (hit(fs::path(to).filename().string(), Fault::signal)) ::raise(static_cast<int>(g_rule.at));
}

bool fault_rename(const char* from, const char* to, int& err) {
    signal_at_name(to);
    return g_system.rename(from, to, err);
}

bool fault_link(Handle file, const char* to, int& err) {
    signal_at_name(to);
    return g_system.link(file, to, err);
}

// ---------------------------------------------------------------- runs

struct Conversion {
    const char* name;
    std::vector<std::string> args;
    void (*place)(const TempDir& dir);
};

const std::string kLong = "site" + std::string(226, 'x');

void copy(const TempDir& dir, const std::string& fixture_name, const std::string& as) {
    dir.write(as, read_file(fixture(fixture_name)));
}

const Conversion kConversions[] = {
    {"12da", {"site.12da"},
     [](const TempDir& d) {
         copy(d, "d12/breaklines.12da", "site.12da");
         copy(d, "d12/Header.mif", "Header.mif");
     }},
    {"xs", {"site.12da", "-xs"},
     [](const TempDir& d) {
         copy(d, "d12/sections.12da", "site.12da");
         copy(d, "d12/Header.mif", "Header.mif");
         fs::create_directory(d.path() / "sub");
     }},
    {"12daz", {"site.12daz"},
     [](const TempDir& d) {
         copy(d, "d12/archives/breaklines-infozip.12daz", "site.12daz");
         copy(d, "d12/Header.mif", "Header.mif");
     }},
    {"mif", {"roads.mif"}, [](const TempDir& d) { place_layer(d, "roads"); }},
    {"zln", {"points.mif", "lines.mif", "-zln"},
     [](const TempDir& d) {
         place_layer(d, "points");
         place_layer(d, "lines");
     }},
    // The layer's .mif a link to a file not made yet: written like a new file there.
    {"dangling", {"site.12da"},
     [](const TempDir& d) {
         copy(d, "d12/breaklines.12da", "site.12da");
         copy(d, "d12/Header.mif", "Header.mif");
         fs::create_directory(d.path() / "shared");
         fs::create_symlink("shared/site.mif", d.path() / "site.12da.mif");
     }},
    // A name as long as a layer's outputs can have (".mif" makes 239 of the
    // 255 characters a name may have): no temporary named after it fits.
    {"long", {kLong + ".12da"},
     [](const TempDir& d) {
         copy(d, "d12/breaklines.12da", kLong + ".12da");
         copy(d, "d12/Header.mif", "Header.mif");
     }},
};

struct ChildRun {
    int status = -1;
    std::string console;
};

// Runs the program's driver in a child process in `dir` under the rule,
// standard input at its end; the child is killed after 60 s.
ChildRun run_in_child(const TempDir& dir, const Conversion& c, const Injection& rule) {
    const fs::path console = dir.path().parent_path() / (dir.path().filename().string() + ".console");
    std::fflush(nullptr);
    const pid_t pid = ::fork();
    if (pid == 0) {
        int status = 1;
        if (::chdir(dir.path().c_str()) == 0) {
            io::platform::SystemCalls& calls = io::platform::system_calls();
            g_system = calls;
            g_rule = rule;
            calls.open = fault_open;
            calls.read = fault_read;
            calls.read_at = fault_read_at;
            calls.write = fault_write;
            calls.close = fault_close;
            calls.rename = fault_rename;
            calls.link = fault_link;
            io::platform::remove_temporaries_on_interrupt();
            std::istringstream in;
            std::ostringstream out;
            {
                services::ScopedRuntime runtime(in, out);
                std::vector<std::string> args{"velmorak"};
                args.insert(args.end(), c.args.begin(), c.args.end());
                try {
                    status = driver::run(args);
                } catch (const services::RunStop& stop) {
                    status = stop.status;
                }
            }
            calls = g_system;
            write_file(console, out.str());
        }
        ::_exit(status);
    }
    ChildRun r;
    const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    int raw = 0;
    while (::waitpid(pid, &raw, WNOHANG) != pid) {
        if (std::chrono::steady_clock::now() > limit) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, &raw, 0);
            r.console = "(the run did not end within 60 s)";
            return r;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    if (fs::exists(console)) r.console = read_file(console);
    fs::remove(console);
    return r;
}

// Every file below `root` by its relative path, with its bytes.
std::map<std::string, std::string> files(const fs::path& root) {
    std::map<std::string, std::string> out;
    for (const auto& e : fs::recursive_directory_iterator(root))
        if (e.is_regular_file()) out[fs::relative(e.path(), root).generic_string()] = read_file(e.path());
    return out;
}

struct Row {
    const char* conversion;
    Fault fault;
    std::string file;
    std::uint64_t at;
    bool unnamed_files = true;
    std::string shown = {};  // the name the ERROR line gives, when not the file hit (a link's)
};

// A layer's .mif and .mid are both the new ones, both as they were, or both
// absent: a .mif beside rows of another run would be read wrongly.
void expect_pairs_of_one_run(const std::map<std::string, std::string>& outputs,
                             const std::map<std::string, std::string>& good, bool earlier) {
    const auto state = [&](const std::string& name) {
        const auto it = outputs.find(name);
        if (it == outputs.end()) return std::string("absent");
        if (earlier && it->second == "earlier\n") return std::string("as it was");
        return it->second == good.at(name) ? std::string("new") : std::string("damaged");
    };
    for (const auto& [name, bytes] : good) {
        if (!name.ends_with(".mif")) continue;
        const std::string mid = name.substr(0, name.size() - 4) + ".mid";
        if (!good.contains(mid)) continue;
        EXPECT_EQ(state(name), state(mid)) << name << " and its .mid come from different runs";
    }
}

std::string error_line(const Row& row) {
    const std::string name = row.shown.empty() ? row.file : row.shown;
    switch (row.fault) {
        case Fault::read_error:
            return "ERROR - Cannot read file \"" + name + "\": ";
        case Fault::early_end:
            return "ERROR - Cannot read file \"" + name + "\": The file ended after ";
        case Fault::disk_full:
            return "ERROR - Could not write all of \"" + name + "\": No space left on device";
        case Fault::signal:
            return "";
        default:
            return "ERROR - Could not write all of \"" + name + "\": Input/output error";
    }
}

TEST(InjectedFaults, EveryConversionStopsAndLeavesOutputsWholeOrAsTheyWere) {
    const Row rows[] = {
        {"12da", Fault::read_error, "site.12da", 0},
        {"12da", Fault::read_error, "site.12da", 300},
        {"12da", Fault::early_end, "site.12da", 500},
        {"12da", Fault::disk_full, "site.12da.mid", 100},
        {"12da", Fault::close_error, "site.12da.mif", 0},
        {"12da", Fault::read_error, "Header.mif", 50},
        {"xs", Fault::read_error, "site.12da", 400},
        {"xs", Fault::early_end, "site.12da", 300},
        {"xs", Fault::disk_full, "levee.csv", 10},
        {"xs", Fault::close_error, "site.12da.Points.mid", 0},
        {"12daz", Fault::read_error, "site.12daz", 200},
        {"12daz", Fault::early_end, "site.12daz", 100},
        {"12daz", Fault::disk_full, "site.12daz.mif", 1000},
        {"mif", Fault::read_error, "roads.mif", 300},
        {"mif", Fault::early_end, "roads.mid", 60},
        {"mif", Fault::disk_full, "roads.12da", 200},
        {"mif", Fault::close_error, "roads.12da", 0},
        {"zln", Fault::read_error, "lines.mif", 400},
        {"zln", Fault::early_end, "points.mid", 80},
        {"zln", Fault::disk_full, "_dangles.mif", 50},
        {"zln", Fault::disk_full, "_unsnapped_points.mid", 10},
        {"zln", Fault::close_error, "lines.12da", 0},
        // The second file of a layer: the first is whole and closed, yet
        // takes its name only with it.
        {"12da", Fault::close_error, "site.12da.mid", 0},
        {"12da", Fault::disk_full, "site.12da.mif", 300, false},
        {"xs", Fault::close_error, "site.12da.Lines.mif", 0, false},
        // Ctrl+C, SIGTERM and SIGHUP as a layer's files take their names: held
        // until both have them, then the run ends with 128 + the signal.
        {"12da", Fault::signal, "site.12da.mid", SIGTERM},
        {"12da", Fault::signal, "site.12da.mif", SIGINT},
        {"12da", Fault::signal, "site.12da.mif", SIGHUP, false},
        {"12daz", Fault::signal, "site.12daz.mif", SIGTERM},
        {"xs", Fault::signal, "site.12da.Points.mif", SIGTERM},
        {"zln", Fault::signal, "_dangles.mif", SIGTERM},
        {"zln", Fault::signal, "_unsnapped_points.mid", SIGINT, false},
        {"long", Fault::signal, kLong + ".12da.mif", SIGTERM},
        // A full disk leaves no part of a file a dangling link leads to.
        {"dangling", Fault::disk_full, "site.mif", 200, true, "site.12da.mif"},
        {"dangling", Fault::disk_full, "site.mif", 200, false, "site.12da.mif"},
    };
    // What each conversion writes when nothing fails: the same new or over
    // earlier outputs, with unnamed files or without.
    std::map<std::string, std::map<std::string, std::string>> good;
    for (const Conversion& c : kConversions) {
        TempDir dir;
        c.place(dir);
        const auto inputs = files(dir.path());
        const ChildRun r = run_in_child(dir, c, {});
        ASSERT_EQ(r.status, 0) << c.name << "\n" << r.console;
        for (const auto& [name, bytes] : files(dir.path()))
            if (!inputs.contains(name)) good[c.name][name] = bytes;
        ASSERT_FALSE(good[c.name].empty()) << c.name;
        for (const bool unnamed : {true, false}) {
            SCOPED_TRACE(std::string(c.name) + " over earlier outputs" + (unnamed ? "" : ", no unnamed files"));
            TempDir again;
            c.place(again);
            for (const auto& [name, bytes] : good[c.name]) again.write(name, "earlier\n");
            Injection none;
            none.unnamed_files = unnamed;
            const ChildRun rerun = run_in_child(again, c, none);
            EXPECT_EQ(rerun.status, 0) << rerun.console;
            for (const auto& [name, bytes] : good[c.name]) EXPECT_EQ(again.read(name), bytes) << name;
        }
    }

    // Each fault hits a run that replaces earlier outputs, and one that writes them new.
    for (const Row& row : rows) {
        for (const bool earlier : {true, false}) {
            const Conversion& c = *std::find_if(std::begin(kConversions), std::end(kConversions),
                                                [&](const Conversion& k) { return std::string(k.name) == row.conversion; });
            SCOPED_TRACE(std::string(row.conversion) + ", " + row.file + " at " + std::to_string(row.at) +
                         (earlier ? ", over earlier outputs" : ", new outputs") +
                         (row.unnamed_files ? "" : ", no unnamed files"));
            TempDir dir;
            c.place(dir);
            const auto inputs = files(dir.path());
            // Earlier outputs of the same names, which the run must not spoil.
            if (earlier)
                for (const auto& [name, bytes] : good[c.name]) dir.write(name, "earlier\n");
            const ChildRun r = run_in_child(dir, c, {row.fault, row.file, row.at, row.unnamed_files});

            if (row.fault == Fault::signal) {
                EXPECT_EQ(r.status, 128 + static_cast<int>(row.at)) << r.console;
            } else {
                EXPECT_EQ(r.status, 1) << r.console;
                std::string line = "\n";
                line.append(error_line(row));
                EXPECT_NE(r.console.find(line), std::string::npos) << r.console;
                EXPECT_EQ(r.console.find("\nFinished.\n"), std::string::npos) << r.console;
            }
            const auto outputs = files(dir.path());
            expect_pairs_of_one_run(outputs, good[c.name], earlier);
            for (const auto& [name, bytes] : outputs) {
                EXPECT_EQ(name.find(".velmorak-"), std::string::npos) << "a temporary was left: " << name;
                if (inputs.contains(name)) {
                    EXPECT_EQ(bytes, inputs.at(name)) << name << ", an input, was changed";
                } else if (good[c.name].contains(name)) {
                    EXPECT_TRUE((earlier && bytes == "earlier\n") || bytes == good[c.name].at(name))
                        << name << " is neither whole nor as it was";
                } else {
                    ADD_FAILURE() << "unexpected file " << name;
                }
            }
        }
    }
}

}  // namespace
}  // namespace velmorak::testing
