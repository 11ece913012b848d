#include "d12/convert_to_mif.h"

#include <cstdint>
#include <span>
#include <string>

#include "d12/archive.h"
#include "d12/object.h"
#include "d12/reader.h"
#include "d12/string_walk.h"
#include "mif/header.h"
#include "mif/object.h"
#include "mif/object_reader.h"
#include "mif/writer.h"
#include "io/input_file.h"
#include "io/names.h"
#include "io/output_file.h"
#include "services/runtime.h"
#include "services/units.h"
#include "util/fixed.h"
#include "util/fixed_text.h"
#include "util/numbers.h"

namespace velmorak::d12 {
namespace {

constexpr std::string_view kPen = "    Pen (1,2,0)";
constexpr std::string_view kSymbol = "    Symbol (35,0,4,\"MapInfo Symbols\",0,0)";

// The bounds a NonEarth header gets when the header .mif is missing.
constexpr double kNonEarthMin = -9999999.0;
constexpr double kNonEarthMax = 9999999.0;

// One row of the layer: the elevation, then the string type in quotes.
void write_row(io::OutputFile& mid, float elevation, std::string_view type) {
    std::string& row = mid.buffer();
    util::put_fixed(row, elevation, 16, 3);
    row += ",\"";
    row += util::rtrim(type);
    row += "\"\n";
    mid.commit();
}

}  // namespace

void convert_12da_to_mif(std::string_view file1, std::string_view file2) {
    services::Runtime& rt = services::runtime();
    services::Console& con = rt.console;
    const bool hip = rt.options.hip;

    con.end_line();
    con.line("Converting .12da breaklines to .mif format...");

    int in_unit = 0;
    open_12d_file(in_unit, file1);

    int mif_unit = 0;
    int mid_unit = 0;
    mif::miOpen(file1, mif_unit, mid_unit, "O ", 0, true, ".tab", false);
    double xmin = kNonEarthMin;
    double ymin = kNonEarthMin;
    double xmax = kNonEarthMax;
    double ymax = kNonEarthMax;
    mif::miWriteHeader(mif_unit, "", file2, 0, xmin, ymin, xmax, ymax);
    io::OutputFile& mif = rt.units.output(mif_unit);
    mif.line("Columns 2");
    mif.line("  Elevation Float");
    mif.line("  String_Type Char(20)");
    mif.line("Data");
    mif.line("");
    io::OutputFile& mid = rt.units.output(mid_unit);

    float null_value = kNoElevation;
    d12Object object;
    object.more = false;
    con.end_line();
    con.line("Searching for 12da objects...");

    if (!d12ReadHeader(in_unit, null_value)) return;
    object.nullValue = null_value;

    VertexArrays v;
    const std::span<const double> xs(v.x);
    const std::span<const double> ys(v.y);
    std::string vertex_lines;
    std::string line;
    line.reserve(kLineWidth);
    std::int32_t converted = 0;
    std::int32_t ignored = 0;
    io::InputFile& in = rt.units.input(in_unit);

    while (!in.at_eof()) {
        if (!d12NextLine(line, in_unit)) continue;
        if (!d12ObjectType(in_unit, line, object)) continue;
        if (!object.data2d && !object.data3d && !object.hipData) {
            ++ignored;
            pass_over_block(in_unit, object, v);
            continue;
        }
        const bool read = d12ReadVertices(in_unit, object, v.x, v.y, v.z, kVertexCapacity, v.count);
        // A hipdata block without -hip has been read, and is dropped uncounted.
        if (!read || (object.hipData && !hip)) continue;

        const auto n = static_cast<std::int32_t>(v.count);
        // The vertices are laid out once: a 3D string writes them again as points.
        vertex_lines.clear();
        mif::miFormatVertices(vertex_lines, xs, ys, n);
        mif::miWritePline(mif_unit, n, vertex_lines, kPen);
        if (object.data2d || object.hipData) {
            // A block without vertices has no first elevation; the null elevation stands in.
            write_row(mid, n > 0 ? v.z[0] : null_value, object.type);
        } else {
            // A 3D string: the line carries no elevation, its vertices do, as points.
            write_row(mid, 0.0f, object.type);
            const std::string_view lines(vertex_lines);
            for (std::size_t i = 0; i < v.count; ++i) {
                if (!has_elevation(v.z[i], null_value)) continue;
                mif::miWritePoint(mif_unit, lines.substr(i * mif::kVertexLineLength, mif::kVertexLineLength), kSymbol);
                write_row(mid, v.z[i], object.type);
            }
        }
        ++converted;
        if (converted % 10 == 0) con.put(util::fixed_int(converted, 8));
    }

    con.end_line();
    con.line("Converted " + util::AINTEGER(converted) + " string objects and ignored " + util::AINTEGER(ignored));
    con.end_line();
    services::CLOSER(mid_unit);
    services::CLOSER(mif_unit);
}

}  // namespace velmorak::d12
