#include "services/console.h"

#include <cstdlib>
#include <istream>
#include <ostream>

namespace velmorak::services {
namespace {
constexpr std::size_t kFlushAt = 1 << 16;
}

Console::Console(std::istream& in, std::ostream& out) : in_(in), out_(out) {}

Console::~Console() { flush(); }

void Console::put(std::string_view text) {
    if (text.empty()) {
        open_ = true;
        return;
    }
    pending_.append(text);
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
