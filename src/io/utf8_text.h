#pragma once
// Text handed to other programs as UTF-8: the GDAL driver and the C
// interface give every text of a 12d ASCII file in UTF-8, whatever the file
// was written in.
//
// utf8_text() passes a file's bytes to the line reader as UTF-8 without a
// byte order mark: the terrain package writes its exports as UTF-16LE with a
// mark; those, UTF-16BE and UTF-8 with a mark are decoded, and a file without
// a mark is passed on as it is. (InputFile's own decoding, for the
// conversions, keeps Windows-1252, which would turn every character outside
// it into "?".) A text of a file without a mark that is not valid UTF-8 was
// written by an older program on Windows: as_utf8() reads it as Windows-1252.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "io/byte_source.h"

namespace velmorak::io {

// True when `text` is well-formed UTF-8 (no overlong forms, no surrogates,
// nothing above U+10FFFF).
bool is_utf8(std::string_view text) noexcept;

// The text as UTF-8: itself when it is valid UTF-8, otherwise read as
// Windows-1252 and converted into `scratch` (which keeps its capacity for the
// next text).
const std::string& as_utf8(const std::string& text, std::string& scratch);

// Appends the code point c as UTF-8.
void append_utf8(std::uint32_t c, std::string& out);

// Decodes UTF-16 (little- or big-endian) from p[0..n) into UTF-8 appended to
// `out`. `pending` carries a cut code unit or an unpaired high surrogate
// between calls (0 at the start); at the end, call with n = 0 and final set.
// Unpaired surrogates become U+FFFD.
void utf16_to_utf8(const unsigned char* p, std::size_t n, bool big_endian, bool final, std::uint32_t& pending,
                   std::string& out);

// The text of `inner` as UTF-8 without a byte order mark (see above);
// nullptr when its first bytes cannot be read.
std::unique_ptr<ByteSource> utf8_text(std::unique_ptr<ByteSource> inner);

}  // namespace velmorak::io
