#pragma once
// Reading a MIF layer object by object for the conversions to 12d ASCII: the
// next .mif line, the .mid row each object owns, and the row's first
// attribute as a string name or as an elevation.
//
// A .mid row may run over several lines while a double-quoted text is open
// (multi-line text fields); it is read whole so that rows keep pairing with
// their objects. Rows are seen up to 1000 characters, names up to 100.
//
// Every failure ends the run at once through the run-time stop, after its
// console message (preceded by an empty line): "ERROR - Reading data" for a
// line or row that cannot be read, "ERROR - End of File encountered" for a
// .mid that ends while its object still needs a row, and for a first
// attribute that cannot be read the routine's "Erroneous line is:" message
// with the row between empty lines.
#include <cstddef>
#include <string>
#include <string_view>

#include "io/input_file.h"
#include "io/names.h"
#include "io/output_file.h"

namespace velmorak::mif2d12 {

constexpr std::size_t kMidRowWidth = 1000;
constexpr std::size_t kNameWidth = 100;

// The next .mif line into `line` (its capacity is reused); false at the end of the file.
bool next_mif_line(io::InputFile& mif, std::string& line);

// The .mid row of the object classified last.
void next_mid_row(io::InputFile& mid, std::string& row);

// The first attribute of a row as a name: a quoted text keeps its blanks and
// commas, an unquoted one ends at a blank or comma, an empty first field gives
// an empty name. A line end inside a quoted name becomes a blank, since a
// 12d ASCII name is one line. `routine` names the conversion in the message.
void first_attribute_text(std::string_view row, std::string& name, std::string_view routine);

// The first attribute of a row as a single-precision elevation; an empty
// first field is as unreadable as letters.
float first_attribute_real(std::string_view row, std::string_view routine);

}  // namespace velmorak::mif2d12
