#pragma once
// UTF-8 text written as UTF-16LE with CRLF line ends, the way the terrain
// package writes its own 12d ASCII exports: the 12d writers gather their text
// as UTF-8 and encode it on its way out.
#include <string>
#include <string_view>

namespace velmorak::io {

// Appends UTF-8 text as UTF-16LE with every "\n" written "\r\n"; bytes that
// are not UTF-8 become U+FFFD.
void utf8_to_utf16le_crlf(std::string_view text, std::string& out);

}  // namespace velmorak::io
