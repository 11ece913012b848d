#pragma once
// Writing 12d ASCII text: the file header and the "string 2d" and
// "string 3d" blocks that the conversions from MIF produce.
//
// The header declares "null -999" and names the model after the MIF layer it
// came from. A string block carries the name in double quotes (a quote or a
// backslash in it written as \" and \\), a fixed set of
// breakline attributes and one data line per vertex: X and Y with 5 decimals
// in 16 columns, and for a 3D string Z with 4 decimals in 12 columns. A value
// too wide for its field is written as asterisks, as the fixed-layout writer
// does; nothing else is checked.
#include <cstdint>
#include <span>
#include <string_view>

#include "io/output_file.h"
#include "util/fixed.h"

namespace velmorak::mif2d12 {

// "null -999", the model line «model "from <source>.mif"» and an empty line;
// `source` is the layer's path and base name without extension.
void write_12da_header(io::OutputFile& out, std::string_view source);

// The .12da a conversion writes, as the unit pool holds it.
struct D12Output {
    io::OutputFile& file;
    int unit;
    void close() const;
};

// Opens <base>.12da for writing (with the unit pool's prompts and retries when
// it cannot be) and writes its header.
D12Output open_12da(std::string_view base);

// One 2D string of vertices 1..n (x[0..n-1], y[0..n-1]).
void write_string_2d(io::OutputFile& out, std::string_view name, std::span<const double> x,
                     std::span<const double> y, std::int32_t n);
// The same, each coordinate written from the digits of the text it was read
// from (x_texts, y_texts index for index) wherever that gives the same field.
void write_string_2d(io::OutputFile& out, std::string_view name, std::span<const double> x,
                     std::span<const double> y, std::span<const util::NumberText> x_texts,
                     std::span<const util::NumberText> y_texts, std::int32_t n);

// One 3D string of vertices 1..n with their elevations.
void write_string_3d(io::OutputFile& out, std::string_view name, std::span<const double> x,
                     std::span<const double> y, std::span<const float> z, std::int32_t n);

// ---------------------------------------------------------------- super strings of any layer
//
// The GDAL driver writes any GIS layer as 12d ASCII with the same layout: a
// model per layer and a "string super" per line, ring or point, carrying the
// feature's name, colour, style, breakline and chainage as the string's own
// lines and every other field in its typed "attributes" block (a field named
// "group/attribute" inside a group of that name). The text is appended to a
// caller's buffer piece by piece, so that a string of any length streams.
// Vertex lines keep the converter's columns; a value too wide for its field
// widens it instead of becoming asterisks, and a null height is written as
// the word null (the file declares "null -999").

// «null -999», the first line of a file.
void append_null_line(std::string& b);
// «model "<name>"» and an empty line.
void append_model(std::string& b, std::string_view name);

struct SuperString {
    std::string_view name;
    std::string_view colour;     // lines left out when empty
    std::string_view style;
    std::string_view breakline;
    bool has_chainage = false;
    double chainage = 0.0;
    bool closed = false;
};
// «string super {» with the string's own lines.
void append_super_start(std::string& b, const SuperString& s);

enum class AttributeType { text, integer, real };
// «attributes {» at `depth` (1 for the string's own block).
void append_attributes_start(std::string& b, int depth);
// One value: a text is quoted with the escapes of names, a number written as given.
void append_attribute(std::string& b, int depth, AttributeType type, std::string_view name, std::string_view value);
// «group {», its name and the «attributes {» of its values, at `depth`.
void append_group_start(std::string& b, int depth, std::string_view name);
// The «}» closing a block opened at `depth`.
void append_block_end(std::string& b, int depth);

// «data_3d {» or «data_2d {».
void append_data_start(std::string& b, bool heights);
void append_vertex(std::string& b, double x, double y);
// A NaN height is written as null.
void append_vertex(std::string& b, double x, double y, double z);
// The end of the data block and of the string.
void append_super_end(std::string& b);

}  // namespace velmorak::mif2d12
