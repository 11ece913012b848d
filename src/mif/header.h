#pragma once
// The table side of a MIF/MID layer: finding the CoordSys, Columns and Data
// lines of a .mif header, reading the column definitions and copying a
// header up to its Columns line into another .mif. Opening layers is
// layer.h's.
//
// Lines are seen up to 1000 characters (100 for the Data and Columns
// searches). Problems with the user's data are warnings followed by the
// continue pause and a false result; an unreadable header while copying ends
// the run through STOPRUN.
#include <cstdint>
#include <string>
#include <string_view>

#include "io/input_file.h"
#include "mif/layer.h"

namespace velmorak::mif {

// The CoordSys line used when a layer has no projection of its own.
inline constexpr std::string_view kDefaultCoordSys =
    "CoordSys NonEarth Units \"m\" Bounds(-9999999, -9999999) (9999999, 9999999)";

// The CoordSys line of an open .mif, searched forward from the current line;
// empty when there is none (a read error also logs a warning).
std::string miFindCoordSys(io::InputFile& mif);

// The CoordSys line of a header .mif, or kDefaultCoordSys (with a warning and
// a pause when the file does not exist). The header file is left open.
std::string miHeaderCoordSys(std::string_view header_name);

// A projection line upper-cased, without blanks, tabs and double quotes.
std::string miNormaliseProjection(std::string_view line);

// Rewinds the .mif and positions it just after its Data line (at its end when
// there is none; still true). False, after a warning and a pause, on a read error.
// `delimiter`, when given, receives the layer's delimiter: the character in
// quotes on its "Delimiter" line, mid_reader.h's default without one.
bool miFindData(io::InputFile& mif, char* delimiter = nullptr);

// What makes an open .mif no MapInfo Interchange file, or empty when it is
// one: a header with a Data line, and a Version or a Columns line before it.
// A FrameMaker file, a .mid saved under the .mif's name or an empty file would
// otherwise give a layer of no objects. Rewinds the file; a read error is left
// to the readers that follow.
std::string_view miNotInterchange(io::InputFile& mif);

// Rewinds and reads the attribute count from the Columns line. False after a
// warning and a pause when it cannot be found or read.
bool miReadColumnCount(io::InputFile& mif, std::int32_t& count);

// Reads the next line as one attribute definition: name before the first
// blank, type after it (each at most 100 characters). False after a warning
// and a pause at a read error or the end of the file.
bool miReadColumnDef(io::InputFile& mif, std::string& name, std::string& type);

// Copies the header lines of the input layer's .mif (from its start) to the
// output layer's .mif up to, not including, its Columns line, or its Data
// line when it has none. The console names the two .mif units.
void miCopyHeader(const InputLayer& in, OutputLayer& out);

}  // namespace velmorak::mif
