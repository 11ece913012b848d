// The corpus of broken inputs under tests/data/broken: files cut off by failed
// copies, written by other programs or edited by hand, and file-system states
// that get in the way. Every case runs the built program in a fresh folder with
// standard input at its end and must end, with its status and messages, having
// written exactly the files it names and changed none of its inputs.
//
// A case folder holds:
//   in/          the input files, copied into the run folder
//   case.txt     "key = value" lines:
//                  args        the command line, split at blanks
//                  status      the exit status
//                  mkdir, mkfifo
//                              a folder or a named pipe made in the run folder
//                  symlink, hardlink
//                              "name target": a link made in the run folder
//                  newer       an input saved an hour after all the others
//                              (every other input has one save date)
//                  unreadable, read-only
//                              a file whose permissions are taken away; root
//                              ignores permissions, so these cases skip as root
//                  written     a file the run creates (beyond those in out/)
//                  posix-only  why the case does not apply to Windows (skipped there)
//   console.txt  excerpts of the console output, separated by lines "...",
//                each starting a line, in this order
//   out/         files the run writes, compared byte for byte
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <filesystem>
#include <map>
#include <set>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "support/support.h"
#include "test_paths.h"

namespace velmorak::testing {
namespace {

namespace fs = std::filesystem;

const fs::path kCorpus = fs::path(VELMORAK_TEST_DATA) / "broken";
constexpr int kLimitSeconds = 60;

struct Case {
    std::vector<std::string> args;
    int status = -1;
    std::string posix_only;  // why the case means nothing on Windows, when it does not
    std::vector<std::string> mkdirs, fifos, newer, unreadable, read_only, written;
    std::vector<std::pair<std::string, std::string>> symlinks, hardlinks;
    std::vector<std::string> excerpts;
};

std::vector<std::string> words(const std::string& text) {
    std::istringstream in(text);
    std::vector<std::string> out;
    for (std::string w; in >> w;) out.push_back(w);
    return out;
}

std::pair<std::string, std::string> link_pair(const std::string& value) {
    const std::vector<std::string> w = words(value);
    return w.size() == 2 ? std::pair{w[0], w[1]} : std::pair<std::string, std::string>{};
}

Case load_case(const fs::path& dir) {
    Case c;
    std::istringstream text(read_file(dir / "case.txt"));
    for (std::string line; std::getline(text, line);) {
        if (line.empty() || line[0] == '#') continue;
        const std::size_t eq = line.find(" = ");
        if (eq == std::string::npos) throw std::runtime_error("bad case line: " + line);
        const std::string key = line.substr(0, eq);
        const std::string value = line.substr(eq + 3);
        if (key == "args")
            c.args = words(value);
        else if (key == "status")
            c.status = std::stoi(value);
        else if (key == "mkdir")
            c.mkdirs.push_back(value);
        else if (key == "mkfifo")
            c.fifos.push_back(value);
        else if (key == "newer")
            c.newer.push_back(value);
        else if (key == "unreadable")
            c.unreadable.push_back(value);
        else if (key == "read-only")
            c.read_only.push_back(value);
        else if (key == "posix-only")
            c.posix_only = value;
        else if (key == "written")
            c.written.push_back(value);
        else if (key == "symlink")
            c.symlinks.push_back(link_pair(value));
        else if (key == "hardlink")
            c.hardlinks.push_back(link_pair(value));
        else
            throw std::runtime_error("unknown case key: " + key);
    }
    if (fs::exists(dir / "console.txt")) {
        std::istringstream console(read_file(dir / "console.txt"));
        std::string excerpt;
        for (std::string line; std::getline(console, line);) {
            if (line == "...") {
                c.excerpts.push_back(excerpt);
                excerpt.clear();
            } else {
                excerpt += line + "\n";
            }
        }
        c.excerpts.push_back(excerpt);
    }
    return c;
}

// Every entry below `root` that is not a folder, by its path relative to `root`.
std::set<std::string> entries(const fs::path& root) {
    std::set<std::string> out;
    for (auto it = fs::recursive_directory_iterator(root); it != fs::recursive_directory_iterator(); ++it)
        // Lexically: fs::relative would follow a link to the file it leads to.
        if (!it->is_directory() || it->is_symlink()) out.insert(it->path().lexically_relative(root).generic_string());
    return out;
}

// The bytes of every plain file (through links) below `root`.
std::map<std::string, std::string> contents(const fs::path& root) {
    std::map<std::string, std::string> out;
    for (const std::string& name : entries(root))
        if (fs::is_regular_file(root / name)) out[name] = read_file(root / name);
    return out;
}

std::vector<std::string> case_names() {
    std::vector<std::string> names;
    if (!fs::is_directory(kCorpus)) return names;
    for (const auto& e : fs::directory_iterator(kCorpus))
        if (e.is_directory()) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// The messages of a console excerpt, each from its kind word on ("road,
// WARNING - ..." gives "WARNING - ..."), in their order.
std::vector<std::string> messages(const std::vector<std::string>& excerpts) {
    std::vector<std::string> out;
    for (const std::string& excerpt : excerpts) {
        std::istringstream in(excerpt);
        for (std::string line; std::getline(in, line);) {
            std::size_t at = std::string::npos;
            for (const char* kind : {"ERROR - ", "SORRY - ", "WARNING - ", "CHECK - "})
                at = std::min(at, line.find(kind));
            if (at != std::string::npos) out.push_back(line.substr(at));
        }
    }
    return out;
}

// Runs one case, loud or quiet (-q added to its command line), and checks
// what it must leave either way.
void run_case(const std::string& name, bool quiet) {
    const fs::path dir = kCorpus / name;
    const Case c = load_case(dir);
    ASSERT_FALSE(c.args.empty()) << "case.txt names no arguments";
    ASSERT_TRUE(c.status == 0 || c.status == 1) << "case.txt names no status";
    if (!posix_system() && !c.posix_only.empty()) GTEST_SKIP() << c.posix_only;
    if (!permissions_bind() && (!c.unreadable.empty() || !c.read_only.empty()))
        GTEST_SKIP() << "files without permission are read and written here (root, or Windows); run the tests as "
                        "another user on POSIX for this case";

    TempDir top;
    const fs::path run = top.path() / "run";
    fs::create_directories(run);
    if (fs::is_directory(dir / "in")) fs::copy(dir / "in", run, fs::copy_options::recursive);
    for (const std::string& d : c.mkdirs) fs::create_directories(run / d);
    for (const std::string& f : c.fifos)
        if (!make_named_pipe(run / f)) GTEST_SKIP() << "no named pipes on this system";
    for (const auto& [link, target] : c.symlinks) {
        std::error_code ec;
        fs::create_symlink(target, run / link, ec);
        if (ec) GTEST_SKIP() << "cannot make a symbolic link here: " << ec.message();
    }
    for (const auto& [link, target] : c.hardlinks) fs::create_hard_link(run / target, run / link);
    // One save date for every input, so that a layer and its table are in step.
    const auto stamp = fs::file_time_type::clock::now() - std::chrono::hours(24);
    for (const std::string& name : entries(run))
        if (fs::is_regular_file(fs::symlink_status(run / name))) fs::last_write_time(run / name, stamp);
    for (const std::string& f : c.newer) fs::last_write_time(run / f, stamp + std::chrono::hours(1));

    const std::set<std::string> before = entries(top.path());
    const std::map<std::string, std::string> inputs = contents(top.path());
    for (const std::string& f : c.unreadable) fs::permissions(run / f, fs::perms::none);
    for (const std::string& f : c.read_only)
        fs::permissions(run / f, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);

    std::vector<std::string> args = c.args;
    if (quiet) args.push_back("-q");
    const ProgramRun r = run_program(args, "", run, kLimitSeconds, quiet);

    for (const std::string& f : c.unreadable) fs::permissions(run / f, fs::perms::owner_all);
    for (const std::string& f : c.read_only) fs::permissions(run / f, fs::perms::owner_all);

    ASSERT_FALSE(r.timed_out) << "the run did not end within " << kLimitSeconds << " s\n" << r.out;
    // A sanitizer's report (in a -DVELMORAK_SANITIZE=ON build) exits with status 1 too.
    for (const std::string* text : {&r.out, &r.err}) {
        EXPECT_EQ(text->find("Sanitizer"), std::string::npos) << *text;
        EXPECT_EQ(text->find("runtime error:"), std::string::npos) << *text;
    }
    EXPECT_EQ(r.status, c.status) << r.out << r.err;
    if (quiet) {
        // Standard output holds the result line at most; every message of
        // the loud run is on standard error, the stop's ERROR too.
        std::istringstream out(r.out);
        for (std::string line; std::getline(out, line);) EXPECT_TRUE(line.starts_with("Converted ")) << r.out;
        std::size_t from = 0;
        for (const std::string& m : messages(c.excerpts)) {
            const std::size_t at = r.err.find(m, from);
            ASSERT_NE(at, std::string::npos) << "missing on standard error: " << m << "\n--- stderr:\n" << r.err;
            from = at + m.size();
        }
        EXPECT_EQ(r.err.find("Finished."), std::string::npos) << r.err;
        if (c.status != 0) {
            EXPECT_TRUE(r.err.starts_with("ERROR - ") || r.err.find("\nERROR - ") != std::string::npos) << r.err;
        }
    } else if (c.status == 0) {
        // Status 0 only after "Finished." and the final pause; a stop names its error.
        const std::string end = "\nFinished.\nPress Enter to finish.\n";
        EXPECT_TRUE(r.out.size() >= end.size() && r.out.compare(r.out.size() - end.size(), end.size(), end) == 0)
            << r.out;
    } else {
        EXPECT_EQ(r.out.find("\nFinished.\n"), std::string::npos) << r.out;
        EXPECT_TRUE(r.out.starts_with("ERROR - ") || r.out.find("\nERROR - ") != std::string::npos) << r.out;
    }

    // The banner starts the output with a line end, so every line of it follows one.
    std::size_t from = 0;
    for (const std::string& excerpt : quiet ? std::vector<std::string>() : c.excerpts) {
        const std::size_t at = r.out.find("\n" + excerpt, from);
        ASSERT_NE(at, std::string::npos) << "missing, in this order:\n" << excerpt << "\n--- console:\n" << r.out;
        from = at + excerpt.size();  // the excerpt's own last line end
    }

    // Exactly the inputs, the files the case names and nothing else, all inside the run folder.
    std::set<std::string> expected = before;
    for (const std::string& w : c.written) expected.insert("run/" + w);
    const fs::path out_dir = dir / "out";
    if (fs::is_directory(out_dir))
        for (const std::string& name : entries(out_dir)) expected.insert("run/" + name);
    EXPECT_EQ(entries(top.path()), expected);

    for (const auto& [name, bytes] : inputs) {
        ASSERT_TRUE(fs::exists(top.path() / name)) << name;
        EXPECT_EQ(read_file(top.path() / name), bytes) << name << " was changed";
    }
    if (fs::is_directory(out_dir)) {
        for (const std::string& name : entries(out_dir)) {
            ASSERT_TRUE(fs::exists(run / name)) << name << " was not written";
            EXPECT_EQ(read_file(run / name), read_file(out_dir / name)) << name;
        }
    }
}

class BrokenInput : public ::testing::TestWithParam<std::string> {};

TEST_P(BrokenInput, EndsWithItsStatusAndMessagesAndWritesOnlyWhatItNames) { run_case(GetParam(), false); }

// The same runs with -q, as a script or a batch file makes them: the same
// status and files, the messages on standard error.
TEST_P(BrokenInput, QuietEndsTheSameWithItsMessagesOnStandardError) { run_case(GetParam(), true); }

INSTANTIATE_TEST_SUITE_P(Corpus, BrokenInput, ::testing::ValuesIn(case_names()),
                         [](const ::testing::TestParamInfo<std::string>& info) {
                             std::string name = info.param;
                             std::replace_if(
                                 name.begin(), name.end(), [](char ch) { return !std::isalnum(static_cast<unsigned char>(ch)); },
                                 '_');
                             return name;
                         });

TEST(BrokenInputCorpus, EveryCaseFolderNamesItsRun) {
    const std::vector<std::string> names = case_names();
    EXPECT_GE(names.size(), 30u);
    for (const std::string& name : names) {
        SCOPED_TRACE(name);
        EXPECT_TRUE(fs::exists(kCorpus / name / "case.txt"));
        EXPECT_TRUE(fs::exists(kCorpus / name / "console.txt"));
    }
}

}  // namespace
}  // namespace velmorak::testing
