#include "d12/convert_to_mif.h"

#include <cstdint>
#include <span>
#include <string>

#include "d12/object.h"
#include "d12/string_walk.h"
#include "mif/layer.h"
#include "mif/styles.h"
#include "mif/writer.h"
#include "services/runtime.h"
#include "util/fixed.h"
#include "util/fixed_text.h"
#include "util/numbers.h"

namespace velmorak::d12 {
namespace {

// One row of the layer: the elevation, then the string type in quotes.
void write_row(io::OutputFile& mid, float elevation, std::string_view type) {
    std::string& row = mid.buffer();
    util::put_fixed(row, elevation, 16, 3);
    row += ',';
    mif::put_mid_text(row, util::rtrim(type));
    row += '\n';
    mid.commit();
}

// One block of a string: a Pline, and for a 3D string a Point for every vertex
// with an elevation, since the line's one row cannot carry them.
void write_block(mif::OutputLayer& layer, const d12Object& object, const VertexArrays& v, float null_value,
                 std::string& vertex_lines) {
    const auto n = static_cast<std::int32_t>(v.count);
    // The vertices are laid out once: a 3D string writes them again as points.
    vertex_lines.clear();
    mif::miFormatVertices(vertex_lines, std::span<const double>(v.x), std::span<const double>(v.y), n);
    mif::miWritePline(layer.mif, n, vertex_lines, mif::kBreaklinePen);
    if (object.data2d || object.hipData) {
        // A block without vertices has no first elevation; the null elevation stands in.
        write_row(layer.mid, n > 0 ? v.z[0] : null_value, object.type);
        return;
    }
    write_row(layer.mid, 0.0f, object.type);
    const std::string_view lines(vertex_lines);
    for (std::size_t i = 0; i < v.count; ++i) {
        if (!has_elevation(v.z[i], null_value)) continue;
        mif::miWritePoint(layer.mif, lines.substr(i * mif::kVertexLineLength, mif::kVertexLineLength),
                          mif::kVertexSymbol);
        write_row(layer.mid, v.z[i], object.type);
    }
}

}  // namespace

void convert_12da_to_mif(std::string_view file1, std::string_view file2) {
    services::Runtime& rt = services::runtime();
    services::Console& con = rt.console;
    const bool hip = rt.options.hip;

    con.end_line();
    con.line("Converting .12da breaklines to .mif format...");
    io::InputFile& in = open_12da_input(file1);
    mif::OutputLayer layer = mif::create_layer(file1, file2, {"Elevation Float", "String_Type Char(20)"});
    con.end_line();
    con.line("Searching for 12da objects...");

    StringWalk walk(in);
    if (!walk.start()) return;

    VertexArrays v;
    std::string vertex_lines;
    std::int32_t converted = 0;
    std::int32_t ignored = 0;
    while (walk.next()) {
        if (!walk.has_data()) {
            ++ignored;
            continue;
        }
        // A hipdata block without -hip is read, and dropped uncounted.
        if (!walk.read_vertices(v) || (walk.object().hipData && !hip)) continue;
        write_block(layer, walk.object(), v, walk.null_value(), vertex_lines);
        ++converted;
        if (converted % 10 == 0) con.put(util::fixed_int(converted, 8));
    }

    con.end_line();
    con.line("Converted " + util::AINTEGER(converted) + " string objects and ignored " + util::AINTEGER(ignored));
    con.end_line();
    layer.close();
}

}  // namespace velmorak::d12
