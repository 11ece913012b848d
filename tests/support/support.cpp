#include "support/support.h"

#include <sys/wait.h>

#include <atomic>
#include <cstdlib>
#include <fstream>
#include <random>
#include <stdexcept>

#include "test_paths.h"

namespace velmorak::testing {

Capture::Capture(std::string input) : in_(std::move(input)), rt_(in_, out_) {
    rt_.get().console.set_command_runner([this](const std::string& c) { commands.push_back(c); });
}

TempDir::TempDir() {
    static std::atomic<int> counter{0};
    std::random_device rd;
    const auto base = std::filesystem::temp_directory_path();
    for (;;) {
        path_ = base / ("velmorak-test-" + std::to_string(rd()) + "-" + std::to_string(counter++));
        if (std::filesystem::create_directory(path_)) break;
    }
}

TempDir::~TempDir() {
    std::error_code ec;
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all, std::filesystem::perm_options::add, ec);
    std::filesystem::remove_all(path_, ec);
}

std::string TempDir::write(const std::string& name, const std::string& content) const {
    const auto p = path_ / name;
    std::filesystem::create_directories(p.parent_path());
    write_file(p, content);
    return p.string();
}

std::string TempDir::read(const std::string& name) const { return read_file(path_ / name); }

std::string read_file(const std::filesystem::path& p) {
    std::ifstream f(p, std::ios::binary);
    if (!f) throw std::runtime_error("cannot read " + p.string());
    std::ostringstream s;
    s << f.rdbuf();
    return s.str();
}

void write_file(const std::filesystem::path& p, const std::string& content) {
    std::ofstream f(p, std::ios::binary | std::ios::trunc);
    if (!f) throw std::runtime_error("cannot write " + p.string());
    f << content;
}

std::filesystem::path fixture(const std::string& relative) { return std::filesystem::path(VELMORAK_TEST_DATA) / relative; }

std::string shell_quote(const std::string& s) {
    std::string q = "'";
    for (char c : s) {
        if (c == '\'')
            q += "'\\''";
        else
            q += c;
    }
    return q + "'";
}

ProgramRun run_program(const std::vector<std::string>& args, const std::string& input,
                       const std::filesystem::path& cwd, int limit_seconds) {
    TempDir io;
    const std::string in_file = io.write("stdin.txt", input);
    const std::string out_file = io.file("stdout.txt");
    std::string cmd;
    if (!cwd.empty()) cmd += "cd " + shell_quote(cwd.string()) + " && ";
    // timeout(1) exits with 124 when it had to stop the program, which never uses that status itself.
    cmd += "timeout -k 5 " + std::to_string(limit_seconds) + " ";
    cmd += shell_quote(VELMORAK_EXE);
    for (const auto& a : args) {
        cmd += ' ';
        cmd += shell_quote(a);
    }
    cmd += " < " + shell_quote(in_file) + " > " + shell_quote(out_file) + " 2>&1";
    const int raw = std::system(cmd.c_str());
    ProgramRun r;
    r.status = (raw != -1 && WIFEXITED(raw)) ? WEXITSTATUS(raw) : -1;
    r.timed_out = r.status == 124 || r.status == 137;
    r.out = read_file(out_file);
    return r;
}

}  // namespace velmorak::testing
