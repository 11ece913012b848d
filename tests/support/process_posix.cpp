// Runs of the built program on POSIX: through the shell, with timeout(1).
#include <sys/stat.h>
#include <sys/wait.h>

#include <unistd.h>

#include <cstdlib>

#include "support/support.h"
#include "test_paths.h"

namespace velmorak::testing {

ProgramRun run_program(const std::vector<std::string>& args, const std::string& input,
                       const std::filesystem::path& cwd, int limit_seconds, bool apart) {
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
    const std::string err_file = io.file("stderr.txt");
    cmd += " < " + shell_quote(in_file) + " > " + shell_quote(out_file) + " 2>" +
           (apart ? shell_quote(err_file) : std::string("&1"));
    const int raw = std::system(cmd.c_str());
    ProgramRun r;
    r.status = (raw != -1 && WIFEXITED(raw)) ? WEXITSTATUS(raw) : -1;
    r.timed_out = r.status == 124 || r.status == 137;
    r.out = read_file(out_file);
    if (apart) r.err = read_file(err_file);
    return r;
}

bool posix_system() { return true; }

bool permissions_bind() { return ::geteuid() != 0; }

bool make_named_pipe(const std::filesystem::path& p) { return ::mkfifo(p.c_str(), 0644) == 0; }

}  // namespace velmorak::testing
