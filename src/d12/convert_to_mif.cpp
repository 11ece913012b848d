#include "d12/convert_to_mif.h"

#include <cstdint>
#include <cstring>
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

constexpr int kElevationWidth = 16;
constexpr int kElevationDecimals = 3;

// What write_block lays out once per block and writes many times: the
// vertex lines, the row with its elevation field blank, and the text of a
// vertex's Point with its vertex line blank.
struct BlockText {
    std::string vertex_lines;
    std::string row;
    std::string point;
};

// One row of the layer: the elevation (from the digits of its text where that
// gives the same field), then the string type as a MID text, from the block's
// row laid out with its field blank.
void write_row(io::OutputFile& mid, const BlockText& text, float elevation, const util::NumberText* digits = nullptr) {
    std::string& row = mid.buffer();
    const std::size_t old = row.size();
    row.append(text.row);
    char* const field = row.data() + old;
    if (digits == nullptr ||
        !util::put_digits_field(field, *digits, kElevationWidth, kElevationDecimals, util::Precision::single_value))
        util::put_fixed_field(field, elevation, kElevationWidth, kElevationDecimals);
    mid.commit();
}

// A vertex (its line of the block's vertex lines) as a Point object with its row.
void write_vertex_point(mif::OutputLayer& layer, const BlockText& text, std::size_t vertex, float elevation,
                        const util::NumberText* digits) {
    std::string& buf = layer.mif.buffer();
    const std::size_t old = buf.size();
    buf.append(text.point);
    std::memcpy(buf.data() + old + mif::kPointLineOffset, text.vertex_lines.data() + vertex * mif::kVertexLineLength,
                mif::kVertexLineLength);
    layer.mif.commit();
    write_row(layer.mid, text, elevation, digits);
}

// One block of a string: a Pline, and for a 3D string a Point for every vertex
// with an elevation, since the line's one row cannot carry them. A block of
// one vertex gives no Pline: GDAL, and so QGIS, reads no feature of a layer
// after a Pline of fewer than two vertices. Its vertex becomes a Point (a 3D
// one only when its elevation is real). False when nothing was written.
bool write_block(mif::OutputLayer& layer, const d12Object& object, const VertexArrays& v, const VertexTexts& texts,
                 float null_value, BlockText& text) {
    const auto n = static_cast<std::int32_t>(v.count);
    // The vertices and the type are laid out once: a 3D string writes them
    // again for every point.
    text.vertex_lines.clear();
    mif::miFormatVertices(text.vertex_lines, std::span<const double>(v.x), std::span<const double>(v.y),
                          std::span<const util::NumberText>(texts.x), std::span<const util::NumberText>(texts.y), n);
    text.row.assign(kElevationWidth, ' ');
    text.row += ',';
    mif::put_mid_text(text.row, util::rtrim(object.type));
    text.row += '\n';
    if (text.point.empty()) text.point = mif::miPointText(mif::kVertexSymbol);
    const bool flat = object.data2d || object.hipData;
    if (n < 2) {
        if (n == 0 || (!flat && !has_elevation(v.z[0], null_value))) return false;
        write_vertex_point(layer, text, 0, v.z[0], &texts.z[0]);
        return true;
    }
    mif::miWritePline(layer.mif, n, text.vertex_lines, mif::kBreaklinePen);
    if (flat) {
        write_row(layer.mid, text, v.z[0], &texts.z[0]);
        return true;
    }
    write_row(layer.mid, text, 0.0f);
    for (std::size_t i = 0; i < v.count; ++i) {
        if (has_elevation(v.z[i], null_value)) write_vertex_point(layer, text, i, v.z[i], &texts.z[i]);
    }
    return true;
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
    VertexTexts texts;
    BlockText text;
    std::int32_t converted = 0;
    std::int32_t ignored = 0;
    while (walk.next()) {
        if (!walk.has_data()) {
            ++ignored;
            continue;
        }
        // A hipdata block without -hip is read, and dropped uncounted.
        if (!walk.read_vertices(v, texts) || (walk.object().hipData && !hip)) continue;
        if (!write_block(layer, walk.object(), v, texts, walk.null_value(), text)) {
            ++ignored;
            continue;
        }
        ++converted;
        if (converted % 10 == 0) con.put(util::fixed_int(converted, 8));
    }

    con.end_line();
    con.line("Converted " + util::AINTEGER(converted) + " string objects and ignored " + util::AINTEGER(ignored));
    con.end_line();
    walk.report_passed_tins();
    layer.close();
}

}  // namespace velmorak::d12
