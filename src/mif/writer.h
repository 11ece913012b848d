#pragma once
// Writing MIF layers: the header of a new .mif (copied from a header .mif,
// built around a projection line, or a NonEarth header from the data bounds)
// and one Point, Line, Pline or Region object with its style clause.
// Coordinates are written in 16 columns with 6 decimals, bounds in 15 columns
// with 3 decimals, counts as integer text. The Columns section, the Data line
// and the .mid rows are the caller's.
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "io/output_file.h"
#include "mif/object.h"
#include "util/fixed.h"

namespace velmorak::mif {

// Writes the header lines to the .mif. A non-blank projection line
// gives the fixed header with that CoordSys line, and its "Bounds (" numbers
// are read back into the bounds (unreadable ones stop the run). Otherwise the
// header .mif is copied up to its Columns line, the bounds of its "Bounds ("
// line handed back; when it does not exist, a warning and a pause, then the
// fixed header with a NonEarth CoordSys line built from the bounds passed in.
// The message log writes to log_unit for the duration of the call.
void miWriteHeader(io::OutputFile& out, std::string_view projection, std::string_view header_name, int log_unit, double& xmin,
                   double& ymin, double& xmax, double& ymax);

// Writes one object of kind point, line, pline or region (x, y 0-based, n
// vertices; a point uses vertex 1, a line vertices 1 and 2, a region is closed
// by repeating vertex 1). A non-blank style clause follows as one line. Any
// other kind stops the run.
void miWriteObject(io::OutputFile& out, miKind kind, std::span<const double> x, std::span<const double> y,
                   std::int32_t n, std::string_view style);

// The vertex lines of n vertices as a Pline writes them, each exactly
// kVertexLineLength characters with its line end, appended to `lines`. A layer
// that writes the same vertices twice (a line and then its vertices as points)
// lays them out once with this and writes them with miWritePline / miWritePoint.
inline constexpr std::size_t kVertexLineLength = 33;
void miFormatVertices(std::string& lines, std::span<const double> x, std::span<const double> y, std::int32_t n);
// The same, each coordinate written from the digits of the text it was read
// from (x_texts, y_texts index for index) wherever that gives the same field.
void miFormatVertices(std::string& lines, std::span<const double> x, std::span<const double> y,
                      std::span<const util::NumberText> x_texts, std::span<const util::NumberText> y_texts,
                      std::int32_t n);

// A Pline of the n vertex lines laid out by miFormatVertices, then the style
// clause when it is not blank: the same text as miWriteObject writes.
void miWritePline(io::OutputFile& out, std::int32_t n, std::string_view vertex_lines, std::string_view style);

// A Point at one vertex line laid out by miFormatVertices, then the style clause
// when it is not blank.
void miWritePoint(io::OutputFile& out, std::string_view vertex_line, std::string_view style);

// The text miWritePoint writes for a style, its vertex line left blank: the
// kVertexLineLength characters from kPointLineOffset. A layer that writes a
// Point for every vertex lays it out once and copies each vertex line into it.
inline constexpr std::size_t kPointLineOffset = 6;
std::string miPointText(std::string_view style);

// A text column of a .mid row: the text in double quotes, a quote inside it
// doubled, as MapInfo writes it and GDAL reads it.
void put_mid_text(std::string& row, std::string_view text);

// Writes the header lines of another layer into a new .mif, line by line.
// The rows we write are separated by commas, whatever the layer the header
// comes from used: its "Delimiter" line is written as Delimiter ",", and a
// header without one (a tab, MapInfo's default, in layers from some GIS
// exports) gets that line after its Version and Charset lines. Without it
// GDAL would split our rows at tabs or semicolons and read wrong values.
class HeaderCopy {
public:
    explicit HeaderCopy(io::OutputFile& out) : out_(out) {}
    void line(std::string_view line);
    // After the last line: a header of Version and Charset lines only still gets its delimiter.
    void finish();

private:
    io::OutputFile& out_;
    bool delimiter_ = false;
};

// The NonEarth CoordSys line for the given bounds.
std::string nonearth_coordsys(double xmin, double ymin, double xmax, double ymax);

}  // namespace velmorak::mif
