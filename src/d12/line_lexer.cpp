#include "d12/line_lexer.h"

#include <algorithm>

#include "util/fixed_text.h"
#include "util/text.h"

namespace velmorak::d12 {

std::size_t skip_quoted(std::string_view line, std::size_t pos) noexcept {
    const std::size_t size = line.size();
    for (++pos; pos < size; ++pos) {
        const char c = line[pos];
        if (c == '"') return pos + 1;
        if (c == '\\' && pos + 1 < size && (line[pos + 1] == '"' || line[pos + 1] == '\\')) ++pos;
    }
    return size;
}

std::size_t next_brace(std::string_view line, std::size_t pos) noexcept {
    const std::size_t size = line.size();
    while (pos < size) {
        const char c = line[pos];
        if (c == '{' || c == '}') return pos;
        pos = c == '"' ? skip_quoted(line, pos) : pos + 1;
    }
    return kNotFound;
}

bool has_brace(std::string_view line) noexcept { return any_brace(line) && next_brace(line, 0) != kNotFound; }

void apply_braces(std::string_view line, int& level) noexcept {
    if (!any_brace(line)) return;
    for (std::size_t pos = next_brace(line, 0); pos != kNotFound; pos = next_brace(line, pos + 1)) {
        if (line[pos] == '{')
            ++level;
        else if (level > 0)
            --level;
    }
}

std::size_t comment_start(std::string_view line) noexcept {
    const std::size_t first = line.find("//");
    if (first == kNotFound || line.substr(0, first).find('"') == kNotFound) return first;
    for (std::size_t pos = 0; pos + 1 < line.size();) {
        if (line[pos] == '"')
            pos = skip_quoted(line, pos);
        else if (line[pos] == '/' && line[pos + 1] == '/')
            return pos;
        else
            ++pos;
    }
    return kNotFound;
}

util::ReadStatus read_text_value(std::string_view rest, std::string& value) {
    std::size_t pos = 0;
    while (pos < rest.size() && (rest[pos] == ' ' || rest[pos] == '\t')) ++pos;
    if (pos >= rest.size() || rest[pos] != '"') return util::FreeFormat(rest, true).read_text(value);
    value.clear();
    for (++pos; pos < rest.size() && rest[pos] != '"'; ++pos) {
        if (rest[pos] == '\\' && pos + 1 < rest.size() && (rest[pos + 1] == '"' || rest[pos + 1] == '\\')) ++pos;
        value.push_back(rest[pos]);
    }
    return util::ReadStatus::ok;
}

io::LineStatus LineLexer::read_line(std::string_view& raw) {
    const io::LineStatus status = file_.read_line(raw);
    if (status == io::LineStatus::ok) ++number_;
    return status;
}

bool LineLexer::next_significant(std::size_t width, std::string_view& text, std::string_view& whole) {
    for (;;) {
        std::string_view raw;
        if (read_line(raw) != io::LineStatus::ok) {
            text = whole = {};
            return false;
        }
        std::string_view line = util::ltrim_blanks(raw);
        const std::size_t lead = raw.size() - line.size();
        const std::string_view cut = line.substr(0, width - std::min(lead, width));
        if (cut.empty() || cut.starts_with("//")) continue;
        const std::size_t comment = comment_start(line);
        if (comment != kNotFound) line = line.substr(0, comment);
        whole = util::rtrim(line);
        text = util::rtrim(cut.substr(0, std::min(cut.size(), line.size())));
        return true;
    }
}

bool LineLexer::back() {
    if (!file_.back()) return false;
    if (number_ > 0) --number_;
    return true;
}

void LineLexer::rewind() {
    file_.rewind();
    number_ = 0;
}

}  // namespace velmorak::d12
