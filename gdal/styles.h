#pragma once
// A string's 12d colour as an OGR style string, and back. 12d names its
// colours ("red", "light blue") or numbers them; GDAL's drivers that carry
// a colour (DXF, MapInfo) give it as a feature style, PEN(c:#RRGGBB), which
// QGIS draws with. A colour this table does not know gives no style: the
// text stays in the feature's colour field either way.
#include <cstdint>
#include <string>
#include <string_view>

namespace velmorak::gdal12 {

// 0xRRGGBB of a 12d colour: a name of the table (case and the blanks or
// underscores between words do not count), a number (the table's entry at
// that position, from 1), or #RRGGBB. False for anything else.
bool colour_rgb(std::string_view colour, std::uint32_t& rgb);

// "PEN(c:#RRGGBB)" for a colour colour_rgb knows; empty otherwise.
std::string pen_style(std::string_view colour);

// The 12d name of the colour in an OGR style string (its first pen, brush or
// symbol colour): the table's entry of that colour, else its nearest. Empty
// when the style names no colour.
std::string colour_of_style(const char* style);

}  // namespace velmorak::gdal12
