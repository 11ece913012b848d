#pragma once
// Reading one attribute row of a .mid file. A row is one line, except that a
// double-quoted text may hold line ends (MapInfo writes multi-line text
// fields that way): while a quote is open the row goes on with the next line,
// the line end kept inside the row as "\n". A doubled quote inside a quoted
// text opens and closes again, so it needs no special case. A file that ends
// inside an open quote ends the row there. Only the first 10000 characters of
// a row are kept.
//
// The fields of a row are separated by the layer's delimiter: the character
// of its "Delimiter" header line, a tab when it has none (MapInfo's default,
// which files written by hand and by some other programs rely on).
#include <string>
#include <string_view>

#include "io/input_file.h"

namespace velmorak::mif {

// The delimiter of a layer without a "Delimiter" line.
inline constexpr char kDefaultDelimiter = '\t';

// The next row of the .mid into `row` (its capacity is reused).
// ok: a row was read; eof: the file was at its end; error: a read failed.
io::LineStatus read_mid_row(io::InputFile& mid, std::string& row);

// The first field of a row into `text` (its capacity is reused): the text up
// to the first delimiter, without the blanks around it. A field that begins
// with a double quote is a quoted text, which may hold the delimiter and
// writes a quote as two; what follows its closing quote up to the delimiter
// is passed over. An empty row gives an empty field.
void first_field(std::string_view row, char delimiter, std::string& text);

}  // namespace velmorak::mif
