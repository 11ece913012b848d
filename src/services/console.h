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

    // Reads one answer line (without its line end); false at the end of input.
    bool read_line(std::string& answer);
    void flush();

    // A non-empty line typed at a pause is handed to this; the default runs it
    // through the system command interpreter.
    void set_command_runner(std::function<void(const std::string&)> runner) { runner_ = std::move(runner); }
    void run_command(const std::string& command);

private:
    std::istream& in_;
    std::ostream& out_;
    std::string pending_;
    bool open_ = false;
    std::function<void(const std::string&)> runner_;
};

}  // namespace velmorak::services
