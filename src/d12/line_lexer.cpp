#include "d12/line_lexer.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>

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

namespace {

// The number of blanks that begin the n characters at b, eight at a time
// where eight can be read: vertex lines are indented.
std::size_t leading_blanks(const char* b, std::size_t n) noexcept {
    std::size_t first = 0;
    if constexpr (std::endian::native == std::endian::little) {
        for (; n - first >= 8; first += 8) {
            std::uint64_t chunk = 0;
            std::memcpy(&chunk, b + first, 8);
            const std::uint64_t other = chunk ^ 0x2020202020202020ULL;
            if (other != 0) return first + static_cast<std::size_t>(std::countr_zero(other) >> 3);
        }
    }
    while (first < n && b[first] == ' ') ++first;
    return first;
}

// Where the comment of line[from, end) begins: its first "//" outside quoted
// text, or the line's end; what comment_start() finds. The library's memchr
// looks at many characters at a time: a vertex line, which has no slash, is
// passed over in one call, and only a line with a quote before its first "//"
// is walked character by character.
std::size_t comment_from(std::string_view line, std::size_t from) noexcept {
    const char* const base = line.data();
    const char* const end = base + line.size();
    const char* slash = base + from;
    for (;;) {
        slash = static_cast<const char*>(std::memchr(slash, '/', static_cast<std::size_t>(end - slash)));
        if (slash == nullptr || slash + 1 == end) return line.size();
        if (slash[1] == '/') break;
        ++slash;
    }
    const auto first = static_cast<std::size_t>(slash - base);
    if (std::memchr(base + from, '"', first - from) == nullptr) return first;
    for (std::size_t pos = from; pos + 1 < line.size();) {
        if (line[pos] == '"')
            pos = skip_quoted(line, pos);
        else if (line[pos] == '/' && line[pos + 1] == '/')
            return pos;
        else
            ++pos;
    }
    return line.size();
}

}  // namespace

bool LineLexer::next_significant(std::size_t width, std::string_view& text, std::string_view& whole) {
    for (;;) {
        std::string_view raw;
        if (read_line(raw) != io::LineStatus::ok) {
            text = whole = {};
            return false;
        }
        // One pass over the line: its first significant character, where its
        // comment begins, then its last significant characters, before the
        // comment and before the cut at `width`.
        const char* const b = raw.data();
        const std::size_t n = raw.size();
        const std::size_t first = leading_blanks(b, n);
        if (first == n || first >= width) continue;  // blank, or blank within the width
        const std::size_t cut_end = std::min(n, width);
        if (cut_end - first >= 2 && b[first] == '/' && b[first + 1] == '/') continue;  // a comment line
        const std::size_t stop = comment_from(raw, first);
        std::size_t whole_end = stop;
        while (whole_end > first && b[whole_end - 1] == ' ') --whole_end;
        std::size_t text_end = std::min(cut_end, stop);
        while (text_end > first && b[text_end - 1] == ' ') --text_end;
        whole = raw.substr(first, whole_end - first);
        text = raw.substr(first, text_end - first);
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
