#pragma once
// A building block of the converter itself, not exported.
//
// Fixed-length texts as the formats and the suite's routines see them.
//
// A text is held as std::string / std::string_view whose trailing blanks
// (code 32 only) carry no meaning: its length is the position of its last
// non-blank character, and a tab is text. Routines return texts without
// trailing blanks; widths (1000, 100, 80 ...) are applied with cut() where a
// record or a field is cut to its declared length.
#include <cstddef>
#include <string>
#include <string_view>

namespace velmorak::util {

// Length of a fixed-length text: position of its last non-blank character.
constexpr std::size_t text_length(std::string_view s) noexcept {
    std::size_t n = s.size();
    while (n > 0 && s[n - 1] == ' ') --n;
    return n;
}

// The text without its trailing blanks.
constexpr std::string_view rtrim(std::string_view s) noexcept { return s.substr(0, text_length(s)); }

// The first `width` characters (a text cut to its declared length).
constexpr std::string_view cut(std::string_view s, std::size_t width) noexcept {
    return s.size() > width ? s.substr(0, width) : s;
}

// True when the text holds nothing but blanks (a tab is not a blank).
constexpr bool all_blank(std::string_view s) noexcept { return text_length(s) == 0; }

// Characters from 1-based position `from` to `to` (inclusive), clipped to the text;
// positions past the end read as blanks and so are simply absent.
constexpr std::string_view columns(std::string_view s, std::size_t from, std::size_t to) noexcept {
    if (from < 1) from = 1;
    if (from > s.size() || to < from) return {};
    if (to > s.size()) to = s.size();
    return s.substr(from - 1, to - from + 1);
}

}  // namespace velmorak::util
