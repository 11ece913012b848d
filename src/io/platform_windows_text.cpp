// The program's text as UTF-16 for the system's wide calls, and back.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include "io/platform_windows_text.h"

namespace velmorak::io::platform::windows {
namespace {

// The length (2 to 4) of the well-formed UTF-8 character that `s` starts with;
// 0 when there is none. `cut` says the bytes could start one if `s` went on.
std::size_t utf8_length(std::string_view s, bool& cut) {
    cut = false;
    const auto lead = static_cast<unsigned char>(s[0]);
    std::size_t n = 0;
    unsigned char low = 0x80, high = 0xBF;  // the second byte's range
    if (lead >= 0xC2 && lead <= 0xDF) {
        n = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        n = 3;
        if (lead == 0xE0) low = 0xA0;   // no overlong forms
        if (lead == 0xED) high = 0x9F;  // no surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        n = 4;
        if (lead == 0xF0) low = 0x90;
        if (lead == 0xF4) high = 0x8F;  // nothing past U+10FFFF
    } else {
        return 0;
    }
    for (std::size_t i = 1; i < n; ++i) {
        if (i == s.size()) {
            cut = true;
            return 0;
        }
        const auto b = static_cast<unsigned char>(s[i]);
        if (b < (i == 1 ? low : 0x80) || b > (i == 1 ? high : 0xBF)) return 0;
    }
    return n;
}

}  // namespace

// Appends `text` as UTF-16 and returns the bytes used. A byte that starts no
// UTF-8 character is the Windows-1252 character it stands for: names mix the
// command line's UTF-8 with text from 12d and MIF files (a cross-section ID),
// which the program holds in Windows-1252. With `hold_cut`, a UTF-8 character
// cut off at the end is left for the next call (a console write in parts).
std::size_t append_utf16(std::wstring& out, std::string_view text, bool hold_cut) {
    std::size_t i = 0;
    while (i < text.size()) {
        const auto lead = static_cast<unsigned char>(text[i]);
        if (lead < 0x80) {
            out.push_back(static_cast<wchar_t>(lead));
            ++i;
            continue;
        }
        bool cut = false;
        const std::size_t n = utf8_length(text.substr(i), cut);
        if (n == 0 && cut && hold_cut) break;
        if (n == 0) {
            wchar_t c = L'?';
            ::MultiByteToWideChar(1252, 0, text.data() + i, 1, &c, 1);
            out.push_back(c);
            ++i;
            continue;
        }
        char32_t code = lead & (0x7F >> n);
        for (std::size_t k = 1; k < n; ++k) code = (code << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3F);
        if (code >= 0x10000) {
            out.push_back(static_cast<wchar_t>(0xD800 + ((code - 0x10000) >> 10)));
            out.push_back(static_cast<wchar_t>(0xDC00 + ((code - 0x10000) & 0x3FF)));
        } else {
            out.push_back(static_cast<wchar_t>(code));
        }
        i += n;
    }
    return i;
}

// UTF-8 of wide text from the system (a lone surrogate becomes U+FFFD).
std::string utf8(std::wstring_view w) {
    if (w.empty()) return {};
    const int size = static_cast<int>(w.size());
    const int n = ::WideCharToMultiByte(CP_UTF8, 0, w.data(), size, nullptr, 0, nullptr, nullptr);
    std::string s(static_cast<std::size_t>(n > 0 ? n : 0), '\0');
    if (n > 0) ::WideCharToMultiByte(CP_UTF8, 0, w.data(), size, s.data(), n, nullptr, nullptr);
    return s;
}

std::wstring wide(std::string_view name) {
    std::wstring w;
    append_utf16(w, name, false);
    return w;
}

}  // namespace velmorak::io::platform::windows
