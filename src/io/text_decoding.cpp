#include "io/text_decoding.h"

namespace velmorak::io {
namespace {

// Windows-1252 bytes 0x80..0x9F for the Unicode characters they stand for.
struct Cp1252 {
    char32_t code;
    unsigned char byte;
};
constexpr Cp1252 kCp1252High[] = {
    {0x20AC, 0x80}, {0x201A, 0x82}, {0x0192, 0x83}, {0x201E, 0x84}, {0x2026, 0x85}, {0x2020, 0x86},
    {0x2021, 0x87}, {0x02C6, 0x88}, {0x2030, 0x89}, {0x0160, 0x8A}, {0x2039, 0x8B}, {0x0152, 0x8C},
    {0x017D, 0x8E}, {0x2018, 0x91}, {0x2019, 0x92}, {0x201C, 0x93}, {0x201D, 0x94}, {0x2022, 0x95},
    {0x2013, 0x96}, {0x2014, 0x97}, {0x02DC, 0x98}, {0x2122, 0x99}, {0x0161, 0x9A}, {0x203A, 0x9B},
    {0x0153, 0x9C}, {0x017E, 0x9E}, {0x0178, 0x9F},
};

char to_cp1252(char32_t c, bool& replaced) {
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) return static_cast<char>(c);
    for (const auto& e : kCp1252High)
        if (e.code == c) return static_cast<char>(e.byte);
    replaced = true;
    return '?';
}

}  // namespace

std::size_t decode_utf16(const unsigned char* p, std::size_t n, bool big_endian, bool final, char* out,
                         std::size_t& produced, bool& replaced) {
    std::size_t i = 0;
    auto unit = [&](std::size_t k) -> char32_t {
        return big_endian ? static_cast<char32_t>((p[k] << 8) | p[k + 1]) : static_cast<char32_t>(p[k] | (p[k + 1] << 8));
    };
    while (i + 1 < n) {
        const char32_t u = unit(i);
        if (u >= 0xD800 && u <= 0xDBFF) {  // high surrogate: needs its partner
            if (i + 3 >= n && !final) break;
            if (i + 3 < n) {
                const char32_t v = unit(i + 2);
                if (v >= 0xDC00 && v <= 0xDFFF) {
                    out[produced++] = to_cp1252(0x10000 + ((u - 0xD800) << 10) + (v - 0xDC00), replaced);
                    i += 4;
                    continue;
                }
            }
            out[produced++] = to_cp1252(0xFFFD, replaced);
            i += 2;
            continue;
        }
        out[produced++] = (u >= 0xDC00 && u <= 0xDFFF) ? to_cp1252(0xFFFD, replaced) : to_cp1252(u, replaced);
        i += 2;
    }
    if (final && i < n) {  // an odd byte at the very end
        out[produced++] = to_cp1252(0xFFFD, replaced);
        i = n;
    }
    return i;
}

std::size_t decode_utf8(const unsigned char* p, std::size_t n, bool final, char* out, std::size_t& produced,
                        bool& replaced) {
    std::size_t i = 0;
    while (i < n) {
        const unsigned char b = p[i];
        if (b < 0x80) {
            out[produced++] = static_cast<char>(b);
            ++i;
            continue;
        }
        const std::size_t len = (b >= 0xF0 && b <= 0xF4) ? 4 : (b >= 0xE0) && b < 0xF0 ? 3 : (b >= 0xC2 && b < 0xE0) ? 2 : 0;
        if (len == 0) {
            out[produced++] = to_cp1252(0xFFFD, replaced);
            ++i;
            continue;
        }
        if (i + len > n && !final) break;
        char32_t c = b & (0xFF >> (len + 1));
        std::size_t k = 1;
        for (; k < len && i + k < n && (p[i + k] & 0xC0) == 0x80; ++k) c = (c << 6) | (p[i + k] & 0x3F);
        if (k < len) {
            out[produced++] = to_cp1252(0xFFFD, replaced);
            i += k;
            continue;
        }
        out[produced++] = to_cp1252(c, replaced);
        i += len;
    }
    return i;
}


}  // namespace velmorak::io
