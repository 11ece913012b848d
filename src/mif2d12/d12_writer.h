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

// One 3D string of vertices 1..n with their elevations.
void write_string_3d(io::OutputFile& out, std::string_view name, std::span<const double> x,
                     std::span<const double> y, std::span<const float> z, std::int32_t n);

}  // namespace velmorak::mif2d12
