#include "d12/convert_to_xs.h"

#include <algorithm>
#include <cstdint>
#include <initializer_list>
#include <span>
#include <string>
#include <unordered_set>

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
#include "util/geometry.h"
#include "util/numbers.h"
#include "util/path.h"
#include "util/text.h"

namespace velmorak::d12 {
namespace {

constexpr std::string_view kPen = "    Pen (1,2,0)";
constexpr std::string_view kFirstSymbol = "    Symbol (33,10502399,9)";
constexpr std::string_view kSymbol = "    Symbol (35,0,4,\"MapInfo Symbols\",0,0)";

constexpr std::size_t kIdLimit = 12;  // the XS_ID column and the file-name part of an ID

// The bounds a NonEarth header gets when the header .mif is missing.
constexpr double kNonEarthMin = -9999999.0;
constexpr double kNonEarthMax = 9999999.0;

struct Layer {
    int mif = 0;
    int mid = 0;
};

Layer open_layer(std::string_view file1, std::string_view suffix, std::string_view file2,
                 std::initializer_list<std::string_view> table) {
    Layer layer;
    mif::miOpen(std::string(util::rtrim(file1)) + std::string(suffix), layer.mif, layer.mid, "O ", 0, true, ".tab",
                false);
    double xmin = kNonEarthMin;
    double ymin = kNonEarthMin;
    double xmax = kNonEarthMax;
    double ymax = kNonEarthMax;
    mif::miWriteHeader(layer.mif, "", file2, 0, xmin, ymin, xmax, ymax);
    io::OutputFile& out = services::runtime().units.output(layer.mif);
    for (std::string_view line : table) out.line(line);
    return layer;
}

// The ID as a path below File 1's folder, for joining to that folder: its
// "." steps and empty steps dropped and each ".." step taken out together with
// the folder before it, the steps joined by "\". False when the ID would name
// a file outside the folder: it begins with a separator, it holds a ":" or a
// doubled backslash (a drive or network path, which the join takes whole,
// dropping the folder), or its ".." steps climb above the folder. Resolving
// the steps here also keeps them from the join's own clean-up, which expects
// "\" throughout and would cut a folder written with "/" away with them.
bool path_below_folder(std::string_view id, std::string& path) {
    path.clear();
    if (id.empty()) return true;
    if (id.front() == '\\' || id.front() == '/') return false;
    if (id.find(':') != std::string_view::npos || id.find("\\\\") != std::string_view::npos) return false;
    std::size_t start = 0;
    while (start <= id.size()) {
        std::size_t end = id.find_first_of("\\/", start);
        if (end == std::string_view::npos) end = id.size();
        const std::string_view step = id.substr(start, end - start);
        start = end + 1;
        if (step.empty() || step == ".") continue;
        if (step == "..") {
            if (path.empty()) return false;
            const std::size_t cut = path.rfind('\\');
            path.resize(cut == std::string::npos ? 0 : cut);
            continue;
        }
        if (!path.empty()) path.push_back('\\');
        path.append(step);
    }
    return true;
}

// One data line of a cross-section file: chainage, then elevation.
void put_xs_line(std::string& out, float chainage, float z) {
    util::put_fixed(out, chainage, 12, 3);
    out.push_back(',');
    util::put_fixed(out, z, 10, 3);
    out.push_back('\n');
}

void put_point_row(std::string& out, float z, char mark, std::string_view id) {
    util::put_fixed(out, z, 16, 3);
    out += ",-1.,\"";
    out.push_back(mark);
    out += "\",\"";
    out += id;
    out += "\"\n";
}

}  // namespace

void convert_12da_to_xs(std::string_view file1, std::string_view file2) {
    services::Runtime& rt = services::runtime();
    services::Console& con = rt.console;

    con.end_line();
    con.line("Converting .12da breaklines to .mif format...");

    int in_unit = 0;
    open_12d_file(in_unit, file1);

    const Layer lines = open_layer(file1, ".Lines", file2,
                                   {"Columns 3", "  CSV_File Char(20)", "  Z_Minimum Float", "  Z_Maximum Float",
                                    "Data", ""});
    const Layer points = open_layer(file1, ".Points", file2,
                                    {"Columns 4", "  Z Float", "  MNR Float", "  LCR Char(1)", "  XS_ID Char(12)",
                                     "Data", ""});
    io::OutputFile& lines_mid = rt.units.output(lines.mid);
    io::OutputFile& points_mid = rt.units.output(points.mid);

    float null_value = kNoElevation;
    d12Object object;
    object.more = false;
    con.end_line();
    con.line("Searching for 12da objects...");
    std::int32_t unnamed = 0;

    if (!d12ReadHeader(in_unit, null_value)) return;
    object.nullValue = null_value;

    const std::string folder = util::FILEFOLDERPATH(file1);
    VertexArrays v;
    const std::span<const double> xs(v.x);
    const std::span<const double> ys(v.y);
    mif::miObject shape;
    std::string line;
    line.reserve(kLineWidth);
    std::string id_path;
    // The .csv files written so far, and the one of the current string: its
    // further blocks write it again, another string's ID that names it is warned of.
    std::unordered_set<std::string> written;
    std::string string_csv;
    std::int32_t converted = 0;
    std::int32_t ignored = 0;
    io::InputFile& in = rt.units.input(in_unit);

    while (!in.at_eof()) {
        if (!d12NextLine(line, in_unit)) continue;
        const bool next_block = object.more;
        if (!d12ObjectType(in_unit, line, object)) continue;
        if (!next_block) string_csv.clear();

        if (util::BLANK(object.name)) {
            ++unnamed;
            object.name = "xs" + util::AINTEGERPREC0(unnamed, 6);
        }
        const std::string_view id = util::rtrim(object.name);
        con.put(id);
        con.put(", ");
        if (util::FILENAME(id).size() > kIdLimit) {
            con.line("ERROR - XS ID exceeds 12 characters.");
            services::STOPRUN();
        }

        if (!object.data3d) {
            ++ignored;
            con.line("WARNING - Ignored invalid or unsupported string object: " + std::string(util::rtrim(line)));
            services::PAUSEPROMPT();
            pass_over_block(in_unit, object, v);
            continue;
        }
        if (!d12ReadVertices(in_unit, object, v.x, v.y, v.z, kVertexCapacity, v.count)) continue;

        if (id.find('\0') != std::string_view::npos) {
            // The system would take the name only up to the NUL and write some other file.
            con.end_line();
            con.line("ERROR - XS ID \"" + std::string(id) + "\" holds a NUL character, which no file name can hold.");
            services::STOPRUN();
        }
        if (!path_below_folder(id, id_path)) {
            con.end_line();
            con.line("ERROR - XS ID \"" + std::string(id) + "\" would write its .csv outside the folder of " +
                     std::string(util::rtrim(file1)) + ".");
            services::STOPRUN();
        }
        std::string csv_name = util::ADDFOLDER(folder, id_path);
        if (util::FILEEXT(id_path) != ".csv") csv_name += ".csv";
        const std::string csv_id = util::FILENAME(csv_name);
        if (csv_name != string_csv) {
            if (!written.insert(csv_name).second) {
                con.line("WARNING - XS ID " + std::string(id) + " was used by an earlier string: " + csv_name +
                         " is written over.");
            }
            string_csv = csv_name;
        }

        // A cross-section without vertices has no elevations; the null elevation stands in.
        const std::size_t n = v.count;
        const float first_z = n > 0 ? v.z[0] : null_value;
        float lowest = first_z;
        float highest = first_z;
        int csv_unit = 0;
        services::OPENFILE(csv_unit, "O ", csv_name);
        {
            io::OutputFile& csv = rt.units.output(csv_unit);
            std::string& out = csv.buffer();
            out += '"';
            out += id;
            out += "\"\n\"X\",\"Z\"\n";
            if (n > 0) put_xs_line(out, 0.0f, first_z);
            csv.commit();
            float chainage = 0.0f;
            for (std::size_t i = 1; i < n; ++i) {
                chainage += util::DISTANCE_8(v.x[i - 1], v.y[i - 1], v.x[i], v.y[i]);
                put_xs_line(out, chainage, v.z[i]);
                csv.commit();
                lowest = std::min(lowest, v.z[i]);
                highest = std::max(highest, v.z[i]);
            }
        }
        services::CLOSER(csv_unit);

        mif::miClearObject(shape);
        shape.pline = true;
        mif::miWriteObject(lines.mif, shape, xs, ys, static_cast<std::int32_t>(n), kPen);
        std::string& row = lines_mid.buffer();
        row += '"';
        row += csv_id;
        row += ".csv\",";
        util::put_fixed(row, lowest, 16, 3);
        row += ',';
        util::put_fixed(row, highest, 16, 3);
        row += '\n';
        lines_mid.commit();

        mif::miClearObject(shape);
        shape.point = true;
        bool first = true;
        for (std::size_t i = 0; i < n; ++i) {
            if (!has_elevation(v.z[i], null_value)) continue;
            mif::miWriteObject(points.mif, shape, xs.subspan(i), ys.subspan(i), 1, first ? kFirstSymbol : kSymbol);
            put_point_row(points_mid.buffer(), v.z[i], first ? 'L' : 'C', csv_id);
            points_mid.commit();
            first = false;
        }
        ++converted;
    }

    con.end_line();
    con.line("Converted " + util::AINTEGER(converted) + " string objects to KORVAN cross-sections and ignored " +
             util::AINTEGER(ignored));
    con.end_line();
    services::CLOSER(lines.mid);
    services::CLOSER(lines.mif);
    services::CLOSER(points.mid);
    services::CLOSER(points.mif);
}

}  // namespace velmorak::d12
