#include "styles.h"

#include <array>
#include <charconv>
#include <limits>

namespace velmorak::gdal12 {
namespace {

struct NamedColour {
    std::string_view name;
    std::uint32_t rgb;
};

// 12d's colour names as its exports write them, in the order of 12d's
// colour list: a colour given as a number is the entry at that position.
// Writing takes the first name of a colour ("grey", not "gray").
constexpr std::array<NamedColour, 22> kColours{{
    {"red", 0xFF0000},        {"green", 0x00FF00},      {"blue", 0x0000FF},      {"yellow", 0xFFFF00},
    {"cyan", 0x00FFFF},       {"magenta", 0xFF00FF},    {"white", 0xFFFFFF},     {"black", 0x000000},
    {"orange", 0xFF8000},     {"brown", 0xA0522D},      {"grey", 0x808080},      {"pink", 0xFFC0CB},
    {"purple", 0x800080},     {"light blue", 0xADD8E6}, {"dark blue", 0x00008B}, {"light green", 0x90EE90},
    {"dark green", 0x006400}, {"light grey", 0xD3D3D3}, {"dark grey", 0x404040}, {"dark red", 0x8B0000},
    {"gray", 0x808080},       {"light gray", 0xD3D3D3},
}};

char folded(char c) {
    if (c >= 'A' && c <= 'Z') return static_cast<char>(c - 'A' + 'a');
    return c == '_' || c == '\t' ? ' ' : c;
}

// "Light_Blue", "light  blue" and "light blue" are one name.
bool same_name(std::string_view text, std::string_view name) {
    std::size_t i = 0;
    std::size_t j = 0;
    while (i < text.size() && j < name.size()) {
        const char c = folded(text[i]);
        if (c == ' ' && name[j] == ' ') {
            while (i < text.size() && folded(text[i]) == ' ') ++i;
            ++j;
            continue;
        }
        if (c != name[j]) return false;
        ++i;
        ++j;
    }
    return i == text.size() && j == name.size();
}

bool hex_rgb(std::string_view text, std::uint32_t& rgb) {
    if (text.size() < 6) return false;
    std::uint32_t v = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + 6, v, 16);
    if (ec != std::errc() || end != text.data() + 6) return false;
    rgb = v;
    return true;
}

std::string_view trimmed(std::string_view t) {
    while (!t.empty() && (t.front() == ' ' || t.front() == '\t')) t.remove_prefix(1);
    while (!t.empty() && (t.back() == ' ' || t.back() == '\t')) t.remove_suffix(1);
    return t;
}

}  // namespace

bool colour_rgb(std::string_view colour, std::uint32_t& rgb) {
    colour = trimmed(colour);
    if (colour.empty()) return false;
    if (colour.front() == '#') return colour.size() == 7 && hex_rgb(colour.substr(1), rgb);
    if (colour.front() >= '0' && colour.front() <= '9') {
        std::size_t n = 0;
        const auto [end, ec] = std::from_chars(colour.data(), colour.data() + colour.size(), n);
        if (ec != std::errc() || end != colour.data() + colour.size() || n < 1 || n > kColours.size()) return false;
        rgb = kColours[n - 1].rgb;
        return true;
    }
    for (const NamedColour& c : kColours)
        if (same_name(colour, c.name)) {
            rgb = c.rgb;
            return true;
        }
    return false;
}

std::string pen_style(std::string_view colour) {
    std::uint32_t rgb = 0;
    if (!colour_rgb(colour, rgb)) return {};
    char text[] = "PEN(c:#000000)";
    constexpr char kDigits[] = "0123456789ABCDEF";
    for (int i = 0; i < 6; ++i) text[7 + i] = kDigits[(rgb >> (20 - 4 * i)) & 0xF];
    return text;
}

std::string colour_of_style(const char* style) {
    if (style == nullptr) return {};
    // The first colour of a pen, symbol or label (c:) or brush (fc:).
    const std::string_view s(style);
    std::uint32_t rgb = 0;
    bool found = false;
    for (std::size_t at = s.find(":#"); at != std::string_view::npos && !found; at = s.find(":#", at + 2)) {
        const bool pen = at >= 2 && s[at - 1] == 'c' && (s[at - 2] == '(' || s[at - 2] == ',');
        const bool brush = at >= 3 && s[at - 1] == 'c' && s[at - 2] == 'f' && (s[at - 3] == '(' || s[at - 3] == ',');
        found = (pen || brush) && hex_rgb(s.substr(at + 2), rgb);
    }
    if (!found) return {};
    std::string_view best;
    long long best_distance = std::numeric_limits<long long>::max();
    for (const NamedColour& c : kColours) {
        long long d = 0;
        for (int shift = 0; shift <= 16; shift += 8) {
            const long long diff =
                static_cast<long long>((rgb >> shift) & 0xFF) - static_cast<long long>((c.rgb >> shift) & 0xFF);
            d += diff * diff;
        }
        if (d < best_distance) {
            best_distance = d;
            best = c.name;
        }
    }
    return std::string(best);
}

}  // namespace velmorak::gdal12
