#include "io/text_encoding.h"

#include <cstdint>

namespace velmorak::io {
namespace {

void put_unit(std::string& out, std::uint32_t u) {
    out.push_back(static_cast<char>(u & 0xFF));
    out.push_back(static_cast<char>(u >> 8));
}

}  // namespace

void utf8_to_utf16le_crlf(std::string_view text, std::string& out) {
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    const std::size_t n = text.size();
    for (std::size_t i = 0; i < n;) {
        const unsigned char b = p[i];
        std::uint32_t c = 0xFFFD;
        std::size_t len = 1;
        if (b < 0x80) {
            c = b;
        } else {
            const std::size_t need = b >= 0xF5 ? 0 : b >= 0xF0 ? 4 : b >= 0xE0 ? 3 : b >= 0xC2 ? 2 : 0;
            if (need > 0 && i + need <= n) {
                std::uint32_t v = need == 2 ? b & 0x1F : need == 3 ? b & 0x0F : b & 0x07;
                bool ok = true;
                for (std::size_t k = 1; k < need && ok; ++k) {
                    ok = (p[i + k] & 0xC0) == 0x80;
                    v = (v << 6) | (p[i + k] & 0x3F);
                }
                const std::uint32_t least = need == 2 ? 0x80 : need == 3 ? 0x800 : 0x10000;
                if (ok && v >= least && v <= 0x10FFFF && (v < 0xD800 || v > 0xDFFF)) {
                    c = v;
                    len = need;
                }
            }
        }
        i += len;
        if (c == '\n') put_unit(out, '\r');
        if (c >= 0x10000) {
            put_unit(out, 0xD800 + ((c - 0x10000) >> 10));
            put_unit(out, 0xDC00 + ((c - 0x10000) & 0x3FF));
        } else {
            put_unit(out, c);
        }
    }
}

}  // namespace velmorak::io
