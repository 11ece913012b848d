#pragma once
// The console: the one door to standard output and standard input.
//
// It owns the record-end convention of the converter's console output. A
// line may be left open (progress counts, "Trying to open file ...") and the
// next write continues it; end_line() ends the current record, so a message
// laid out as «/» text first ends an open line, or writes an empty line when
// the cursor stood at the start of a line. Output is buffered and flushed
// before any read from standard input, before a command runs, and at the end
// of the run. Control characters other than tab are written in caret
// notation (^@ for NUL, ^J for a line end within a text), since they mostly
// come from damaged input echoed in a message. Tests construct one over
// string streams.
//
// It knows where its input comes from: a person at a terminal (the default),
// or a pipe or a file, which the pauses never read. A quiet console (-q, for
// batch files and shell loops) reads nothing and writes only the messages
// (ERROR, WARNING and CHECK lines with the lines that belong to them), to the
// error stream when it has one, and the result line of a conversion
// ("Converted ...") to its output: a script that keeps the output and throws
// the rest away still shows every message.
#include <functional>
#include <iosfwd>
#include <string>
#include <string_view>

namespace velmorak::services {

class Console {
public:
    Console(std::istream& in, std::ostream& out);
    Console(const Console&) = delete;
    Console& operator=(const Console&) = delete;
    ~Console();

    void put(std::string_view text);  // continues the current line and leaves it open
    void end_line();                  // ends the current record (an empty line at line start)
    void line(std::string_view text) {
        put(text);
        end_line();
    }
    void end_open_line();  // ends the current line only when text was left open on it
    bool line_open() const noexcept { return open_; }

    // Reads one answer line (without its line end); false at the end of input,
    // and at once on a quiet console.
    bool read_line(std::string& answer);
    void flush();

    void set_input_is_terminal(bool terminal) { terminal_ = terminal; }
    bool input_is_terminal() const noexcept { return terminal_; }
    void set_quiet(bool quiet) { quiet_ = quiet; }
    // Where a quiet console writes its messages (standard error); without one, to the output.
    void set_error_stream(std::ostream& err) { err_ = &err; }
    bool quiet() const noexcept { return quiet_; }

    // A non-empty line typed at a pause is handed to this; the default runs it
    // through the system command interpreter.
    void set_command_runner(std::function<void(const std::string&)> runner) { runner_ = std::move(runner); }
    void run_command(const std::string& command);

private:
    void quiet_put(std::string_view text);
    void quiet_end_line();
    bool shown_when_quiet(std::string_view start);
    std::string& quiet_target();

    std::istream& in_;
    std::ostream& out_;
    std::ostream* err_ = nullptr;
    std::string pending_;
    std::string pending_err_;  // a quiet console's messages, for err_
    bool open_ = false;
    bool terminal_ = true;
    std::function<void(const std::string&)> runner_;

    // A quiet console decides on each line by its start (held in head_ until
    // it is long enough to tell), then passes or drops the rest of it.
    enum class Line { undecided, shown, dropped };
    bool quiet_ = false;
    Line line_ = Line::undecided;
    std::string head_;
    bool in_message_ = false;   // the last line decided was a message line
    bool after_error_ = false;  // an error was shown: the run is ending
    bool result_ = false;       // the line shown is the result line
};

}  // namespace velmorak::services
