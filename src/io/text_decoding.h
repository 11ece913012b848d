#pragma once
// Text of files written with a byte order mark (UTF-8, UTF-16LE, UTF-16BE),
// decoded into Windows-1252, the 8-bit text the rest of the program works on.
// A character Windows-1252 cannot hold becomes "?" and sets `replaced`.
// Decoding works piece by piece: a character cut at the end of a piece waits
// for the next one unless the piece is the last (`final`).
#include <cstddef>

namespace velmorak::io {

// Decodes as much of p[0..n) as forms whole characters (all of it when
// `final`), writing Windows-1252 bytes to out + produced (at most one per input
// unit). Returns the bytes consumed.
std::size_t decode_utf16(const unsigned char* p, std::size_t n, bool big_endian, bool final, char* out,
                         std::size_t& produced, bool& replaced);
std::size_t decode_utf8(const unsigned char* p, std::size_t n, bool final, char* out, std::size_t& produced,
                        bool& replaced);

}  // namespace velmorak::io
