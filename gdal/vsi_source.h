#pragma once
// The bytes of a 12d ASCII file as the driver reads them: a plain file through
// GDAL's virtual file layer (so /vsimem/, /vsizip/ and /vsicurl/ paths open
// like plain files) or an archive's member, with the text turned into UTF-8, the encoding GDAL gives its
// callers. The terrain package writes its exports as UTF-16LE with a byte
// order mark; those, UTF-16BE and UTF-8 with a mark reach the line reader as
// UTF-8 without one. A file without a mark is passed on as it is. The
// converter's own reading of such files keeps Windows-1252, which would turn
// every character outside it into "?".
#include <memory>
#include <string>

#include "io/byte_source.h"

namespace velmorak::gdal12 {

// Opens `path` with VSIFOpenL; nullptr and the reason in `why` when it cannot.
std::unique_ptr<io::ByteSource> open_vsi_source(const std::string& path, std::string& why);

// The text of `inner` as UTF-8 without a byte order mark (see above);
// nullptr when its first bytes cannot be read.
std::unique_ptr<io::ByteSource> utf8_text(std::unique_ptr<io::ByteSource> inner);

// Decodes UTF-16 (little- or big-endian) from p[0..n) into UTF-8 appended to
// `out`. `pending` carries a cut code unit or an unpaired high surrogate
// between calls (0 at the start); at the end, call with n = 0 and final set.
// Unpaired surrogates become U+FFFD.
void utf16_to_utf8(const unsigned char* p, std::size_t n, bool big_endian, bool final, std::uint32_t& pending,
                   std::string& out);

}  // namespace velmorak::gdal12
