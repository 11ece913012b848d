#pragma once
// The run's services and how a run ends.
//
// A Runtime bundles what the converter shares program-wide: the console, the
// unit pool, the message state, the current file name and the pause-at-exit
// switch. main() installs one over standard input and output; tests install
// their own over string streams with ScopedRuntime and run conversions
// in-process.
//
// STOPRUN and the run-time stop unwind to the outermost caller by throwing
// RunStop, which carries the exit status; main() catches it, closes what is
// still open and returns the status.
#include <iosfwd>
#include <string>
#include <string_view>
#include <vector>

#include "io/names.h"
#include "services/console.h"
#include "services/messages.h"
#include "services/units.h"

namespace velmorak::services {

// Thrown by STOPRUN and the run-time stop; the status is the process's exit status.
struct RunStop {
    int status;
};

constexpr int kStatusStopped = 1;

// The option switches of the command line.
struct RunOptions {
    bool xs = false;   // -xs: 12d ASCII to cross-sections
    bool zln = false;  // -zln: MIF breaklines to 3D strings
    bool hip = false;  // -hip: hipdata blocks are converted too
};

struct Runtime {
    Runtime(std::istream& in, std::ostream& out) : console(in, out) {}
    Console console;
    UnitPool units;
    MessageState messages;
    std::string current_file;   // the name OPENFILE is working on
    bool pause_at_exit = true;
    RunOptions options;
    bool replacement_warned = false;  // characters of a file were replaced by "?"
    // Files this run reads: no output may be opened on one of them.
    std::vector<io::FileKey> run_inputs;
};

// Names a file as an input of this run, so that no output replaces it.
void protect_input(std::string_view name);

// The runtime of this run.
Runtime& runtime();

// Installs a runtime for the lifetime of the scope (tests, and main()).
class ScopedRuntime {
public:
    ScopedRuntime(std::istream& in, std::ostream& out);
    ~ScopedRuntime();
    ScopedRuntime(const ScopedRuntime&) = delete;
    ScopedRuntime& operator=(const ScopedRuntime&) = delete;
    Runtime& get() noexcept { return rt_; }

private:
    Runtime rt_;
    Runtime* previous_;
};

void INITSERVICES();
// An empty line, then the pause "Press Enter to Continue". False when standard
// input was at its end (callers in a retry loop then end the run).
bool PAUSEPROMPT();
[[noreturn]] void STOPRUN();

// The run-time pause: ends an open line, writes the text (or the standard
// request to press Enter when it is empty) and waits for an empty line; a
// typed line runs as a command and the text is shown again. Returns false
// when standard input ended the pause.
bool run_time_pause(std::string_view text);
// The run-time stop: the message (when there is one) as one console line, then
// the end of the run without pause.
[[noreturn]] void run_time_stop(std::string_view message = {});
// A prompt or retry loop met the end of standard input: one ERROR line, then the end of the run.
[[noreturn]] void input_ended(std::string_view waiting_for);

}  // namespace velmorak::services
