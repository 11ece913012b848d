#pragma once
// The program's text as UTF-16 and back, for the Windows platform files only.
#include <cstddef>
#include <string>
#include <string_view>

namespace velmorak::io::platform::windows {

// Appends `text` as UTF-16 and returns the bytes used: UTF-8, with a byte that
// starts no UTF-8 character read as Windows-1252. With `hold_cut`, a UTF-8
// character cut off at the end is left for the next call.
std::size_t append_utf16(std::wstring& out, std::string_view text, bool hold_cut);
// UTF-8 of wide text from the system (a lone surrogate becomes U+FFFD).
std::string utf8(std::wstring_view w);
// A name for the system's wide calls.
std::wstring wide(std::string_view name);

}  // namespace velmorak::io::platform::windows
