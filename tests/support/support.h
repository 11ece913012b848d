#pragma once
// Shared test support: an in-process run over scripted input and captured
// output, temporary folders with fixture files, and runs of the built program.
#include <filesystem>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "services/runtime.h"

namespace velmorak::testing {

// Installs a runtime whose standard input is `input` and whose console output is captured.
class Capture {
public:
    explicit Capture(std::string input = "");
    std::string out() {
        rt_.get().console.flush();
        return out_.str();
    }
    services::Runtime& rt() { return rt_.get(); }
    // Commands typed at pauses are recorded here instead of being run.
    std::vector<std::string> commands;

private:
    std::istringstream in_;
    std::ostringstream out_;
    services::ScopedRuntime rt_;
};

// A fresh folder below the system's temporary folder, removed with its contents.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& path() const { return path_; }
    std::string file(const std::string& name) const { return (path_ / name).string(); }
    std::string write(const std::string& name, const std::string& content) const;
    std::string read(const std::string& name) const;
    bool exists(const std::string& name) const { return std::filesystem::exists(path_ / name); }

private:
    std::filesystem::path path_;
};

std::string read_file(const std::filesystem::path& p);
void write_file(const std::filesystem::path& p, const std::string& content);
// A fixture below tests/data.
std::filesystem::path fixture(const std::string& relative);

// `s` in single quotes for the shell, its own single quotes escaped.
std::string shell_quote(const std::string& s);

struct ProgramRun {
    int status = -1;
    std::string out;  // standard output and standard error together, or standard output alone
    std::string err;  // standard error, when it was kept apart
    bool timed_out = false;  // killed after the time limit: the run hung
};
// Runs the built velmorak in `cwd` with `args`, feeding `input` on standard
// input; a run still going after `limit_seconds` is killed and reported as
// timed out. With `apart`, standard error is kept apart from standard output.
ProgramRun run_program(const std::vector<std::string>& args, const std::string& input = "",
                       const std::filesystem::path& cwd = {}, int limit_seconds = 300, bool apart = false);

// True on POSIX, false on Windows.
bool posix_system();
// Makes a named pipe; false where the system has none (Windows).
bool make_named_pipe(const std::filesystem::path& p);
// True when a file whose permissions are taken away cannot be read or written:
// not for root, and not on Windows, whose files have no such permissions.
bool permissions_bind();

}  // namespace velmorak::testing
