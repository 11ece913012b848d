#include "services/core_run.h"

#include <string_view>

namespace velmorak::services {

CoreRun::CoreRun() : rt_(in_, out_) {
    rt_.pause_at_exit = false;
    // A line typed at a pause runs as a command in the converter; here nobody types.
    rt_.console.set_command_runner([](const std::string&) {});
}

void CoreRun::begin() {
    rt_.console.flush();
    out_.str({});
    stop_text_.clear();
}

// The console text of the stop, as one line: its message lines joined, the
// prompts of the console dialogue and the notes before the first message left out.
void CoreRun::stopped(const char* what) noexcept {
    try {
        rt_.console.flush();
        const std::string text = out_.str();
        std::string joined;
        bool reason = false;
        std::size_t pos = 0;
        while (pos < text.size()) {
            std::size_t end = text.find('\n', pos);
            if (end == std::string::npos) end = text.size();
            std::string_view line(text.data() + pos, end - pos);
            pos = end + 1;
            while (!line.empty() && (line.front() == ' ' || line.front() == '\t')) line.remove_prefix(1);
            while (!line.empty() && (line.back() == ' ' || line.back() == '\r')) line.remove_suffix(1);
            if (line.empty() || line.starts_with("Press Enter")) continue;
            // What the reader said before its first message ("12D null value set to ...") is
            // progress, not the reason of the stop.
            const bool message = line.starts_with("ERROR") || line.starts_with("WARNING") || line.starts_with("CHECK");
            if (message && !reason) joined.clear();
            reason = reason || message;
            if (!joined.empty()) joined += ' ';
            joined.append(line);
        }
        if (what != nullptr) {
            if (!joined.empty()) joined += ": ";
            joined += what;
        }
        stop_text_ = joined.empty() ? std::string("the 12d reader stopped") : std::move(joined);
    } catch (...) {
        stop_text_.clear();
    }
}

}  // namespace velmorak::services
