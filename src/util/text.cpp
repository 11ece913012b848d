#include "util/text.h"

#include <algorithm>
#include <array>
#include <cstddef>

#include "io/input_file.h"
#include "io/names.h"
#include "io/output_file.h"
#include "services/messages.h"
#include "services/runtime.h"
#include "util/fixed.h"
#include "util/fixed_text.h"

namespace velmorak::util {
namespace {

// Working lengths: how much of an argument each routine looks at.
constexpr std::size_t kLineWork = 10000;
constexpr std::size_t kCompareWork = 1000;
constexpr std::size_t kSs256 = 256;

constexpr char kTab = '\t';

constexpr bool is_lower(char c) noexcept { return c >= 'a' && c <= 'z'; }
constexpr bool is_upper(char c) noexcept { return c >= 'A' && c <= 'Z'; }
constexpr bool is_digit(char c) noexcept { return c >= '0' && c <= '9'; }
constexpr bool is_comment_mark(char c) noexcept { return c == '!' || c == '#'; }

// Only ASCII letters are case-mapped: bytes of other code pages pass unchanged.
constexpr std::array<unsigned char, 256> make_upper_table() noexcept {
    std::array<unsigned char, 256> t{};
    for (std::size_t i = 0; i < t.size(); ++i) {
        const char c = static_cast<char>(i);
        t[i] = static_cast<unsigned char>(is_lower(c) ? i - 32 : i);
    }
    return t;
}
constexpr std::array<unsigned char, 256> kUpper = make_upper_table();

inline unsigned char fold(char c) noexcept { return kUpper[static_cast<unsigned char>(c)]; }

// First position (0-based) of `needle` in `hay` ignoring ASCII case; npos when absent.
// `needle` must not be empty.
std::size_t find_nocase(std::string_view hay, std::string_view needle) noexcept {
    const std::size_t m = needle.size();
    if (m > hay.size()) return std::string_view::npos;
    const unsigned char first = fold(needle[0]);
    const std::size_t last_start = hay.size() - m;
    for (std::size_t i = 0; i <= last_start; ++i) {
        if (fold(hay[i]) != first) continue;
        std::size_t k = 1;
        while (k < m && fold(hay[i + k]) == fold(needle[k])) ++k;
        if (k == m) return i;
    }
    return std::string_view::npos;
}

// The caller's text cut to a working length and stripped of trailing blanks.
void cut_in_place(std::string& s, std::size_t width) {
    if (s.size() > width) s.resize(width);
    s.resize(text_length(s));
}

// Left adjustment in place: leading blanks go, tabs stay.
void trimf_in_place(std::string& s) {
    std::size_t lead = 0;
    while (lead < s.size() && s[lead] == ' ') ++lead;
    s.erase(0, lead);
    s.resize(text_length(s));
}

void remove_tabs_in_place(std::string& s) {
    std::erase(s, kTab);
    s.resize(text_length(s));
}

// Copies s up to its length, leaving out every character `drop` selects.
template <typename Drop>
std::string drop_chars(std::string_view s, Drop drop) {
    s = rtrim(s);
    std::string out;
    out.reserve(s.size());
    for (char c : s)
        if (!drop(c)) out.push_back(c);
    out.resize(text_length(out));
    return out;
}

// The text ASAME/ASAMECS compare: cut, tabs removed, left-adjusted, trailing
// blanks gone. Removing the tabs first means that blanks and tabs mixed at
// either end all fall away, while a tab inside is simply skipped; the comparison
// below skips inner tabs itself, so no copy is needed.
std::string_view compare_span(std::string_view s) noexcept {
    s = cut(s, kCompareWork);
    std::size_t b = 0;
    while (b < s.size() && (s[b] == ' ' || s[b] == kTab)) ++b;
    std::size_t e = s.size();
    while (e > b && (s[e - 1] == ' ' || s[e - 1] == kTab)) --e;
    return s.substr(b, e - b);
}

bool same_text(std::string_view a, std::string_view b, bool ignore_case) noexcept {
    a = compare_span(a);
    b = compare_span(b);
    std::size_t i = 0;
    std::size_t j = 0;
    for (;;) {
        while (i < a.size() && a[i] == kTab) ++i;
        while (j < b.size() && b[j] == kTab) ++j;
        if (i == a.size() || j == b.size()) return i == a.size() && j == b.size();
        const bool equal = ignore_case ? fold(a[i]) == fold(b[j]) : a[i] == b[j];
        if (!equal) return false;
        ++i;
        ++j;
    }
}

// First occurrence of `sep` in `line`, where `line` stands for a blank-padded
// text: the separator's own trailing blanks may fall into the padding.
std::size_t find_in_padded(std::string_view line, std::string_view sep) noexcept {
    const std::size_t core = text_length(sep);  // sep is not all blank here
    for (std::size_t p = 0; p + core <= line.size(); ++p) {
        if (line.compare(p, core, sep.substr(0, core)) != 0) continue;
        // The rest of the separator is blanks: the line must hold blanks or its padding there.
        bool ok = true;
        for (std::size_t k = core; k < sep.size() && p + k < line.size(); ++k) {
            if (line[p + k] != ' ') {
                ok = false;
                break;
            }
        }
        if (ok) return p;
    }
    return std::string_view::npos;
}

[[noreturn]] void readline_failed(int unit, std::string_view text) {
    services::MessageState& m = services::DMESSAGES();
    std::string& msg = m.line[0];
    msg.assign(text);
    put_int(msg, unit, 3);
    services::DMESSAGE(1);
    services::STOPRUN();
}

}  // namespace

bool contains_nocase(std::string_view text, std::string_view flag) noexcept {
    flag = rtrim(flag);
    if (flag.empty()) return true;
    return find_nocase(rtrim(text), flag) != std::string_view::npos;
}

std::string_view ltrim_blanks(std::string_view text) noexcept {
    std::size_t lead = 0;
    while (lead < text.size() && text[lead] == ' ') ++lead;
    return text.substr(lead);
}

std::string SS256(std::string_view s) { return std::string(rtrim(cut(s, kSs256))); }

std::string TRIMF(std::string_view s) { return std::string(rtrim(ltrim_blanks(s))); }

std::string REMOVETABS(std::string_view s) {
    return drop_chars(s, [](char c) { return c == kTab; });
}

std::string REMOVESPACES(std::string_view s) {
    return drop_chars(s, [](char c) { return c == ' '; });
}

std::string REMOVEQUOTES(std::string_view s) {
    return drop_chars(s, [](char c) { return c == '"' || c == '\''; });
}

std::string DOUBLEQUOTE(std::string_view s) {
    s = rtrim(s);
    std::string out;
    out.reserve(s.size() + 8);
    for (char c : s) {
        out.push_back(c);
        if (c == '"') out.push_back('"');
    }
    return out;
}

std::string UPPERCASE(std::string_view s) {
    std::string out(rtrim(s));
    for (char& c : out)
        if (is_lower(c)) c = static_cast<char>(c - 32);
    return out;
}

std::string LOWERCASE(std::string_view s) {
    std::string out(rtrim(s));
    for (char& c : out)
        if (is_upper(c)) c = static_cast<char>(c + 32);
    return out;
}

bool COMMENTLINE(std::string& line) {
    cut_in_place(line, kLineWork);
    trimf_in_place(line);
    // Decided before the cut: text ahead of a comment makes this a text line.
    const bool comment = line.empty() || is_comment_mark(line[0]);
    // Quotes protect nothing: the first mark anywhere starts the comment.
    const std::size_t mark = line.find_first_of("!#");
    if (mark != std::string::npos) {
        line.resize(mark);
        line.resize(text_length(line));
    }
    return comment;
}

bool NUMBERLINE(std::string& line) {
    cut_in_place(line, kLineWork);
    trimf_in_place(line);
    if (line.empty()) return true;
    const char c = line[0];
    return c == '.' || c == '-' || is_digit(c);  // a leading "+" does not count
}

bool POSITIVEINTEGERNUMBER(std::string& line) {
    cut_in_place(line, kLineWork);
    trimf_in_place(line);
    if (line.empty()) return false;
    return std::all_of(line.begin(), line.end(), is_digit);
}

bool BLANK(std::string& line) {
    cut_in_place(line, kLineWork);
    remove_tabs_in_place(line);
    return line.empty();
}

bool READLINE(int unit, std::string& line) {
    io::InputFile& in = services::runtime().units.input(unit);
    std::string_view record;
    switch (in.read_line(record)) {
        case io::LineStatus::ok:
            break;
        case io::LineStatus::eof:
            readline_failed(unit, "ERROR - End-of-file encountered reading text line from file unit number");
        case io::LineStatus::error:
            readline_failed(unit, "ERROR - Reading text line from file unit number");
    }
    line.assign(cut(record, kLineWork));
    remove_tabs_in_place(line);
    // Both always run, so the line leaves without its comment and left-adjusted.
    const bool comment = COMMENTLINE(line);
    const bool number = NUMBERLINE(line);
    return !comment && !number;
}

bool ASAME(std::string_view a, std::string_view b) { return same_text(a, b, true); }

bool ASAMECS(std::string_view a, std::string_view b) { return same_text(a, b, false); }

bool FLAGEXISTS(std::string_view text, std::string_view flag) {
    return contains_nocase(cut(text, kLineWork), cut(flag, kLineWork));
}

bool CHECKLINE(std::string_view line, std::string_view flag, std::string_view separator, int column,
               std::string& right, std::string& left) {
    line = rtrim(line);
    // Columns past the end of the line read as its padding; negative ones as 0.
    const std::size_t col = column > 0 ? static_cast<std::size_t>(column) : 0;

    bool found = false;
    std::size_t p = 0;
    if (!all_blank(separator)) {
        p = find_in_padded(line, separator);
        found = p != std::string_view::npos;
    }
    if (found) {
        const std::size_t after = p + separator.size();
        right.assign(after < line.size() ? line.substr(after) : std::string_view{});
        left.assign(line.substr(0, p));
    } else if (all_blank(separator) || column != 0) {
        right.assign(col < line.size() ? line.substr(col) : std::string_view{});
        left.assign(line.substr(0, std::min(col, line.size())));
    } else {
        right.clear();
        left.assign(line);
    }
    right.resize(text_length(right));
    left.resize(text_length(left));

    const bool matches = FLAGEXISTS(left, flag) || rtrim(flag) == "*";
    return matches && (!left.empty() || (column == 0 && !found));
}

std::string REPLACE(std::string_view s, std::string_view old_text, std::string_view new_text) {
    s = rtrim(cut(s, kLineWork));
    const std::string_view t = rtrim(old_text);
    // An all-blank old text matches in front of s.
    const std::size_t p = t.empty() ? 0 : find_nocase(s, t);
    if (p == std::string_view::npos) return std::string(s);
    std::string out;
    const std::string_view replacement = rtrim(new_text);
    out.reserve(s.size() + replacement.size());
    out.append(s.substr(0, p));
    out.append(replacement);
    if (p + t.size() < s.size()) out.append(s.substr(p + t.size()));
    out.resize(text_length(out));
    return out;
}

std::string SUBSTRING(std::string_view s, std::string_view separator, int n) {
    s = rtrim(cut(s, kLineWork));
    // Fields are separated by one character; a longer separator is taken whole
    // (without its trailing blanks), and an all-blank one is a single blank.
    std::string_view sep = rtrim(separator);
    if (sep.empty()) sep = " ";

    std::size_t start = 0;
    int count = 1;
    while (count < n) {
        const std::size_t at = s.find(sep, start);
        if (at == std::string_view::npos) break;
        ++count;
        start = at + sep.size();
    }
    if (count != n) return {};
    if (start >= s.size()) return {};
    std::size_t end = s.find(sep, start);
    if (end == std::string_view::npos) end = s.size();
    return TRIMF(s.substr(start, end - start));
}

}  // namespace velmorak::util
