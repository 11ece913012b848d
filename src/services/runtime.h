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
#include "io/platform.h"
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
    // The lock this run holds on outputs that other runs write too (the
    // report layers of -zln), let go when the run ends.
    io::platform::Handle lock = io::platform::kNoHandle;
    std::string lock_name;
    int lock_slot = -1;  // held like a temporary: an interrupt removes the lock file too
};

// Takes the exclusive lock `name` (a lock file) for the rest of the run,
// waiting for another run that holds it, and saying so once.
void lock_for_the_run(const std::string& name);

// Names a file as an input of this run, so that no output replaces it.
void protect_input(std::string_view name);

// The runtime of this run.
Runtime& runtime();

// Installs a runtime for the lifetime of the scope (tests, and main()).
// The current runtime is one per thread: a host program (the GDAL driver)
// may read several files at once on threads of its own.
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

// Makes a runtime that lives elsewhere the current one of this thread for the
// lifetime of the scope: a host that keeps one runtime per open file, with the
// file on one of its units, installs it around each call into the converter.
class RuntimeInUse {
public:
    explicit RuntimeInUse(Runtime& rt);
    ~RuntimeInUse();
    RuntimeInUse(const RuntimeInUse&) = delete;
    RuntimeInUse& operator=(const RuntimeInUse&) = delete;

private:
    Runtime* previous_;
};

void INITSERVICES();
// An empty line, then the pause "Press Enter to Continue".
bool PAUSEPROMPT();
[[noreturn]] void STOPRUN();

// The run-time pause: ends an open line, writes the text (or the standard
// request to press Enter when it is empty) and, at a terminal, waits for an
// empty line; a typed line runs as a command and the text is shown again.
// Standard input that is a pipe or a file is not read: the text is shown and
// the run goes on. A quiet console neither shows nor waits. Returns false when
// standard input ended the pause.
bool run_time_pause(std::string_view text);
// The pause of a retry loop (the user fixes something, then the run tries
// again): as the run-time pause, but it also reads a pipe or a file, where
// any line lets the run try again and none is run as a command. False at the
// end of input and on a quiet console; the caller then ends the run.
bool retry_pause(std::string_view text);
// An empty line, then the retry pause "Press Enter to Continue".
bool retry_prompt();
// The run-time stop: the message (when there is one) as one console line, then
// the end of the run without pause.
[[noreturn]] void run_time_stop(std::string_view message = {});
// A prompt or retry loop met the end of standard input: one ERROR line, then the end of the run.
[[noreturn]] void input_ended(std::string_view waiting_for);

}  // namespace velmorak::services
