#include "services/console.h"

#include <cstdlib>
#include <istream>
#include <ostream>

namespace velmorak::services {
namespace {
constexpr std::size_t kFlushAt = 1 << 16;

bool is_control(char c) {
    const auto b = static_cast<unsigned char>(c);
    return (b < 0x20 && c != '\t') || b == 0x7F;
}

// Lines echoed from input files, and names from them (a 12d string's, an
// archive member's), may hold control characters (the NULs of a failed copy,
// a stray CR, an escape sequence, a line end in a name). Written as they are,
// the terminal would hide them or act on them, and an "Erroneous line" would
// look sound; they are shown in caret notation instead (NUL as ^@, CR as ^M,
// LF as ^J): only end_line() ends a console line.
void append_visible(std::string& out, std::string_view text) {
    std::size_t from = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (!is_control(text[i])) continue;
        out.append(text.substr(from, i - from));
        out.push_back('^');
        out.push_back(text[i] == 0x7F ? '?' : static_cast<char>(text[i] + 0x40));
        from = i + 1;
    }
    out.append(text.substr(from));
}
}  // namespace

Console::Console(std::istream& in, std::ostream& out) : in_(in), out_(out) {}

Console::~Console() { flush(); }

void Console::put(std::string_view text) {
    if (text.empty()) {
        open_ = true;
        return;
    }
    append_visible(pending_, text);
    open_ = true;
    if (pending_.size() >= kFlushAt) flush();
}

void Console::end_line() {
    pending_.push_back('\n');
    open_ = false;
    if (pending_.size() >= kFlushAt) flush();
}

void Console::end_open_line() {
    if (open_) end_line();
}

void Console::flush() {
    if (!pending_.empty()) {
        out_.write(pending_.data(), static_cast<std::streamsize>(pending_.size()));
        pending_.clear();
    }
    out_.flush();
}

bool Console::read_line(std::string& answer) {
    flush();
    answer.clear();
    if (!std::getline(in_, answer)) {
        answer.clear();
        return false;
    }
    open_ = false;  // the user's Enter ended the prompt's line on the terminal
    if (!answer.empty() && answer.back() == '\r') answer.pop_back();
    return true;
}

void Console::run_command(const std::string& command) {
    flush();
    if (runner_) {
        runner_(command);
        return;
    }
    // The user asked for it at the pause; its status is the user's business.
    [[maybe_unused]] const int status = std::system(command.c_str());
}

}  // namespace velmorak::services
