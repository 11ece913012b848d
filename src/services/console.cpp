#include "services/console.h"

#include <istream>
#include <ostream>

#include "io/platform.h"

namespace velmorak::services {
namespace {
constexpr std::size_t kFlushAt = 1 << 16;
// Enough of a line to tell a message from the rest ("XY: WARNING", "Converted ").
constexpr std::size_t kQuietDecideAt = 16;

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

// The kind of message a text starts with ("ERROR - ", "WARNING - ", ...), or
// none. Located messages start with the "XY: " tag.
enum class Kind { none, error, other };
Kind message_kind(std::string_view text) {
    if (text.starts_with("XY: ")) text.remove_prefix(4);
    const std::size_t dash = text.find(" - ");
    if (dash == std::string_view::npos) return Kind::none;
    const std::string_view word = text.substr(0, dash);
    if (word == "ERROR" || word == "SORRY") return Kind::error;
    if (word == "WARNING" || word == "CHECK" || word == "UNSTABLE") return Kind::other;
    return Kind::none;
}

}  // namespace

Console::Console(std::istream& in, std::ostream& out) : in_(in), out_(out) {}

Console::~Console() { flush(); }

void Console::put(std::string_view text) {
    open_ = true;
    if (text.empty()) return;
    if (quiet_) {
        quiet_put(text);
        return;
    }
    append_visible(pending_, text);
    if (pending_.size() >= kFlushAt) flush();
}

void Console::end_line() {
    if (quiet_)
        quiet_end_line();
    else
        pending_.push_back('\n');
    open_ = false;
    if (pending_.size() >= kFlushAt) flush();
}

// A quiet run is read by a batch file's user after a loop over many files:
// the messages are what they need, each with the lines laid out under it, and
// the one line that says what a conversion did. An error ends the run, so what
// follows it (the erroneous line, a note) is its own. Empty lines are left out.
bool Console::shown_when_quiet(std::string_view start) {
    result_ = false;
    if (start.empty()) return false;
    if (after_error_) return true;
    switch (message_kind(start)) {
        case Kind::error:
            after_error_ = true;
            return true;
        case Kind::other:
            in_message_ = true;
            return true;
        case Kind::none:
            break;
    }
    if (in_message_ && start.front() == ' ') return true;
    in_message_ = false;
    result_ = start.starts_with("Converted ");
    return result_;
}

// The buffer a shown line of a quiet console goes to. When the two streams
// are one terminal, what is held for the other is written first, so that the
// lines keep their order.
std::string& Console::quiet_target() {
    if (err_ == nullptr) return pending_;
    std::string& to = result_ ? pending_ : pending_err_;
    std::string& other = result_ ? pending_err_ : pending_;
    if (!other.empty()) flush();
    return to;
}

void Console::quiet_put(std::string_view text) {
    // A message may continue a line of progress ("road, WARNING - Ignored
    // ..."): it is shown from its kind word on.
    if (line_ != Line::shown && message_kind(text) != Kind::none) {
        head_.clear();
        line_ = Line::undecided;
    }
    if (line_ == Line::dropped) return;
    if (line_ == Line::undecided) {
        head_.append(text);
        if (head_.size() < kQuietDecideAt) return;
        line_ = shown_when_quiet(head_) ? Line::shown : Line::dropped;
        text = head_;
    }
    if (line_ == Line::shown) append_visible(quiet_target(), text);
    head_.clear();
    if (pending_.size() + pending_err_.size() >= kFlushAt) flush();
}

void Console::quiet_end_line() {
    if (line_ == Line::undecided) line_ = shown_when_quiet(head_) ? Line::shown : Line::dropped;
    if (line_ == Line::shown) {
        std::string& to = quiet_target();
        append_visible(to, head_);
        to.push_back('\n');
    }
    head_.clear();
    line_ = Line::undecided;
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
    if (err_ != nullptr && !pending_err_.empty()) {
        err_->write(pending_err_.data(), static_cast<std::streamsize>(pending_err_.size()));
        pending_err_.clear();
        err_->flush();
    }
}

bool Console::read_line(std::string& answer) {
    flush();
    answer.clear();
    if (quiet_) return false;  // nobody answers a quiet run: it ends as at the end of input
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
    io::platform::run_command(command);
}

}  // namespace velmorak::services
