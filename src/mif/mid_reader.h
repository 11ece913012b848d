#pragma once
// Reading one attribute row of a .mid file. A row is one line, except that a
// double-quoted text may hold line ends (MapInfo writes multi-line text
// fields that way): while a quote is open the row goes on with the next line,
// the line end kept inside the row as "\n". A doubled quote inside a quoted
// text opens and closes again, so it needs no special case. A file that ends
// inside an open quote ends the row there. Only the first 10000 characters of
// a row are kept.
#include <string>

#include "io/input_file.h"

namespace velmorak::mif {

// The next row of the .mid into `row` (its capacity is reused).
// ok: a row was read; eof: the file was at its end; error: a read failed.
io::LineStatus read_mid_row(io::InputFile& mid, std::string& row);

}  // namespace velmorak::mif
