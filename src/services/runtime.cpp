#include "services/runtime.h"

#include <iostream>

#include "io/names.h"
#include "util/fixed_text.h"

namespace velmorak::services {
namespace {
thread_local Runtime* g_current = nullptr;
}

Runtime& runtime() {
    if (g_current == nullptr) {
        // No run installed one (a library caller): serve standard input and output.
        static Runtime fallback(std::cin, std::cout);
        return fallback;
    }
    return *g_current;
}

ScopedRuntime::ScopedRuntime(std::istream& in, std::ostream& out) : rt_(in, out), previous_(g_current) {
    g_current = &rt_;
}

ScopedRuntime::~ScopedRuntime() {
    rt_.units.close_all();
    io::platform::release_temporary(rt_.lock_slot);
    io::platform::unlock_file(rt_.lock, rt_.lock_name.c_str());
    rt_.console.flush();
    g_current = previous_;
}

RuntimeInUse::RuntimeInUse(Runtime& rt) : previous_(g_current) { g_current = &rt; }

RuntimeInUse::~RuntimeInUse() { g_current = previous_; }

void protect_input(std::string_view name) {
    const std::string_view n = util::rtrim(name);
    // Looked up once here: every output of the run is compared with it.
    if (!n.empty()) runtime().run_inputs.push_back(io::file_key(io::input_file_name(n)));
}

void lock_for_the_run(const std::string& name) {
    Runtime& rt = runtime();
    if (rt.lock != io::platform::kNoHandle) return;
    int err = 0;
    const auto waiting = [](void* context) {
        Console& con = *static_cast<Console*>(context);
        con.end_open_line();
        con.line("Waiting for another run in this folder to finish writing its report layers...");
        con.flush();
    };
    rt.lock = io::platform::lock_file(io::platform::native_name(name).c_str(), waiting, &rt.console, err);
    if (rt.lock == io::platform::kNoHandle)
        run_time_stop("ERROR - Cannot lock \"" + name + "\": " + io::platform::error_text(err));
    rt.lock_name = io::platform::native_name(name);
    rt.lock_slot = io::platform::hold_temporary(rt.lock_name);
}

void INITSERVICES() {
    Runtime& rt = runtime();
    rt.pause_at_exit = true;
    rt.units.reset();
}

namespace {

std::string_view pause_text(std::string_view text) {
    return util::all_blank(text) ? std::string_view("Press Enter to finish.") : text;
}

void show_pause_text(Console& con, std::string_view text) {
    con.end_open_line();
    con.line(text);
}

// Reads until an empty line; false at the end of input. A line typed at a
// terminal runs as a command and the text comes again. A line from a pipe or
// a file is never run: in a shell loop it would be the next name of the list.
bool wait_for_enter(Console& con, std::string_view text) {
    std::string answer;
    for (;;) {
        if (!con.read_line(answer)) return false;
        if (util::all_blank(answer) || !con.input_is_terminal()) return true;
        con.run_command(answer);
        show_pause_text(con, text);
    }
}

// A pause whose text is a message ("ERROR - File 1 has an unrecognisable
// file extension"): a quiet run shows it all the same, since it may be the
// only word of why the run stops.
bool is_message(std::string_view text) {
    for (std::string_view kind : {"ERROR - ", "SORRY - ", "WARNING - ", "CHECK - "})
        if (text.starts_with(kind)) return true;
    return false;
}

void show_quietly(Console& con, std::string_view text) {
    if (is_message(text)) show_pause_text(con, text);
}

}  // namespace

bool run_time_pause(std::string_view text) {
    Console& con = runtime().console;
    if (con.quiet()) {
        show_quietly(con, text);
        return true;
    }
    show_pause_text(con, pause_text(text));
    // A batch file, a shell loop or a script runs the program with its own
    // standard input: a pause there only shows its text.
    if (!con.input_is_terminal()) return true;
    return wait_for_enter(con, pause_text(text));
}

bool retry_pause(std::string_view text) {
    Console& con = runtime().console;
    if (con.quiet()) {
        show_quietly(con, text);
        return false;
    }
    show_pause_text(con, pause_text(text));
    return wait_for_enter(con, pause_text(text));
}

bool PAUSEPROMPT() {
    runtime().console.end_line();
    return run_time_pause("Press Enter to Continue");
}

bool retry_prompt() {
    runtime().console.end_line();
    return retry_pause("Press Enter to Continue");
}

void STOPRUN() {
    Runtime& rt = runtime();
    rt.units.close_all();
    if (rt.pause_at_exit) {
        rt.console.end_line();
        run_time_pause("Press Enter to Close");
    }
    rt.console.flush();
    throw RunStop{kStatusStopped};
}

void run_time_stop(std::string_view message) {
    Runtime& rt = runtime();
    if (!message.empty()) {
        rt.console.end_open_line();
        rt.console.line(message);
    }
    rt.console.flush();
    throw RunStop{kStatusStopped};
}

void input_ended(std::string_view waiting_for) {
    Runtime& rt = runtime();
    rt.console.end_open_line();
    std::string text = "ERROR - Standard input ended while waiting for ";
    text.append(waiting_for);
    text.append(".  Run stopped.");
    rt.console.line(text);
    rt.console.flush();
    throw RunStop{kStatusStopped};
}

}  // namespace velmorak::services
