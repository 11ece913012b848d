#include "mif2d12/breaklines_3d.h"

#include <cstdint>
#include <memory>
#include <string>

#include "mif/header.h"
#include "mif/object.h"
#include "mif/object_reader.h"
#include "mif/writer.h"
#include "mif2d12/breakline_elevations.h"
#include "mif2d12/d12_writer.h"
#include "mif2d12/layer_input.h"
#include "mif2d12/snap_index.h"
#include "mif2d12/snapping.h"
#include "services/runtime.h"
#include "services/units.h"
#include "util/big_array.h"
#include "util/fixed.h"
#include "util/fixed_text.h"
#include "util/numbers.h"
#include "util/path.h"
#include "util/text.h"

namespace velmorak::mif2d12 {
namespace {

constexpr std::int32_t kMaxPoints = 1'000'000;
constexpr std::int32_t kMaxVertices = 100'000;
constexpr std::string_view kRoutine = "tdrdmifblf";
constexpr std::string_view kDangles = "_dangles";
constexpr std::string_view kUnsnapped = "_unsnapped_points";
constexpr std::string_view kDanglePen = "    Pen (3,2,16711680)";
constexpr std::string_view kUnsnappedSymbol = "    Symbol (41,16711935,24,\"MapInfo Symbols\",16,0)";

// What one run of the conversion works on; sized once.
struct Work {
    Work() {
        mif::miClearObject(object);
        mif::miClearObject(dangle_kind);
    }
    BreaklinePoints points{kMaxPoints};
    SnapIndex index;
    util::LazyVector<double> x = util::LazyVector<double>(kMaxVertices);
    util::LazyVector<double> y = util::LazyVector<double>(kMaxVertices);
    util::LazyVector<float> z = util::LazyVector<float>(kMaxVertices);
    std::unique_ptr<bool[]> snapped{new bool[kMaxVertices]()};  // every section sets its own vertices' flags
    util::LazyVector<std::int32_t> snapped_point = util::LazyVector<std::int32_t>(kMaxVertices);
    mif::miObject object;
    mif::miObject dangle_kind;  // the kind a dangling section is written as
    std::string line;
    std::string row;
    std::string text;  // console progress
};

// The report layers hold one column, the elevation, after the lines layer's header.
void write_report_header(int lines_mif, int report_mif) {
    mif::miCopyHeader(lines_mif, report_mif);
    io::OutputFile& out = services::runtime().units.output(report_mif);
    out.line("Columns 1");
    out.line("  Z Float");
    out.line("Data");
    out.line("");
}

void write_elevation_row(int mid_unit, float z) {
    io::OutputFile& out = services::runtime().units.output(mid_unit);
    char* row = util::append_blanks(out.buffer(), 13);
    util::put_fixed_field(row, z, 12, 4);
    row[12] = '\n';
    out.commit();
}

// Phase 1: the Point objects of the points layer fill the point table, each
// with the elevation of its row.
void read_points(std::string_view layer, Work& w) {
    services::Runtime& rt = services::runtime();
    services::Console& con = rt.console;
    int mif_unit = 0;
    int mid_unit = 0;
    mif::miOpen(layer, mif_unit, mid_unit, "I ", 0, true, ".tab", true);
    con.end_line();
    con.line("Searching for point objects...");
    con.end_line();
    con.line(".mif data object:");
    if (!mif::miFindData(mif_unit)) services::run_time_stop("Problem going to beginning of .mif file");

    io::InputFile& mif = rt.units.input(mif_unit);
    io::InputFile& mid = rt.units.input(mid_unit);
    BreaklinePoints& points = w.points;
    std::int32_t objects = 0;
    while (next_mif_line(mif, w.line)) {
        std::string_view rest;
        if (!mif::miObjectType(w.line, rest, w.object)) continue;
        ++objects;
        w.text.clear();
        util::put_int(w.text, objects, 8);
        con.put(w.text);
        if (!w.object.point) {
            next_mid_row(mid, w.row);
            continue;
        }
        if (points.count >= kMaxPoints)
            services::run_time_stop("SORRY - Exceeded number of allowable breakline points");
        std::int32_t n = 0;
        double label_x = 0.0;
        double label_y = 0.0;
        float direction = 0.0f;
        float length = 0.0f;
        if (!mif::miReadObject(rest, mif_unit, w.object, w.x, w.y, kMaxVertices, n, label_x, label_y, direction,
                               length))
            services::run_time_stop("ERROR - Problem in reading points");
        next_mid_row(mid, w.row);
        const auto p = static_cast<std::size_t>(points.count);
        points.x[p] = w.x[0];
        points.y[p] = w.y[0];
        points.z[p] = first_attribute_real(w.row, kRoutine);
        ++points.count;
    }

    con.end_line();
    con.line("Found " + util::int_text(points.count) + " breakline points.");
    con.end_line();
    services::CLOSER(mif_unit);
    services::CLOSER(mid_unit);
    con.end_line();
}

// Snaps, interpolates and writes one section of n vertices as a 3D string;
// true when it dangles.
bool convert_section(Work& w, std::int32_t n, float elevation, std::int32_t counter, int d12_unit) {
    services::Console& con = services::runtime().console;
    const auto count = static_cast<std::size_t>(n);
    std::span<bool> snapped(w.snapped.get(), count);
    std::span<bool> used = w.points.used();
    bool any = false;
    w.index.find_all(w.x, w.y, std::span(w.snapped_point).first(count));
    for (std::size_t k = 0; k < count; ++k) {
        const std::int32_t p = w.snapped_point[k];
        snapped[k] = p >= 0;
        if (p >= 0) {
            w.z[k] = w.points.z[static_cast<std::size_t>(p)];
            used[static_cast<std::size_t>(p)] = true;
            any = true;
        } else {
            w.z[k] = elevation;
        }
    }
    bool dangle = false;
    if (any) {
        con.line("found snapped points - interpolating.");
        dangle = interpolate_elevations(w.x, w.y, w.z, snapped, n);
    } else {
        con.line("no snapped points - using polyline elevation.");
    }
    write_string_3d(services::runtime().units.output(d12_unit), util::AINTEGERPREC0(counter, 8), w.x, w.y, w.z, n);
    return dangle;
}

// Phase 2: every Line, Pline and Pline section of the lines layer becomes a
// 3D string; the sections that dangle go to the dangles layer. True when any did.
bool convert_polylines(int lines_mif, int lines_mid, int dangles_mif, int dangles_mid, int d12_unit, Work& w) {
    services::Runtime& rt = services::runtime();
    services::Console& con = rt.console;
    if (!mif::miFindData(lines_mif)) return false;
    io::InputFile& mif = rt.units.input(lines_mif);
    io::InputFile& mid = rt.units.input(lines_mid);
    std::int32_t polylines = 0;
    bool dangles_found = false;
    while (next_mif_line(mif, w.line)) {
        std::string_view rest;
        if (!mif::miObjectType(w.line, rest, w.object)) continue;
        std::int32_t sections = 1;
        if (w.object.pline_multiple) {
            sections = w.object.section_count;
            con.line("Disaggregating combined polyline into " + util::int_text(sections) + " polylines...");
        } else if (!w.object.line && !w.object.pline) {
            next_mid_row(mid, w.row);
            continue;
        }
        next_mid_row(mid, w.row);
        const float elevation = first_attribute_real(w.row, kRoutine);
        // A dangling section of a Pline Multiple is reported as a Pline of its own.
        w.dangle_kind.line = w.object.line;
        w.dangle_kind.pline = !w.object.line;

        for (std::int32_t s = 0; s < sections; ++s) {
            std::int32_t n = 0;
            double label_x = 0.0;
            double label_y = 0.0;
            float direction = 0.0f;
            float length = 0.0f;
            if (!mif::miReadObject(rest, lines_mif, w.object, w.x, w.y, kMaxVertices, n, label_x, label_y, direction,
                                   length))
                continue;
            ++polylines;
            w.text.assign("Polyline ");
            w.text.append(util::int_text(polylines)).append(" with ").append(util::int_text(n)).append(" nodes...");
            con.put(w.text);
            if (convert_section(w, n, elevation, polylines, d12_unit)) {
                mif::miWriteObject(dangles_mif, w.dangle_kind, w.x, w.y, n, kDanglePen);
                write_elevation_row(dangles_mid, elevation);
                dangles_found = true;
            }
        }
    }
    return dangles_found;
}

// Every point no vertex took, in table order; true when there was one.
bool write_unsnapped_points(int mif_unit, int mid_unit, const BreaklinePoints& points) {
    mif::miObject point_kind;
    mif::miClearObject(point_kind);
    point_kind.point = true;
    bool found = false;
    const std::span<const bool> used = points.used();
    for (std::size_t p = 0; p < static_cast<std::size_t>(points.count); ++p) {
        if (used[p]) continue;
        const double px[1] = {points.x[p]};
        const double py[1] = {points.y[p]};
        mif::miWriteObject(mif_unit, point_kind, px, py, 1, kUnsnappedSymbol);
        write_elevation_row(mid_unit, points.z[p]);
        found = true;
    }
    return found;
}

void warn_to_see(std::string_view warning, std::string_view layer) {
    services::Console& con = services::runtime().console;
    con.end_line();
    con.line(warning);
    con.line("          See \"" + std::string(layer) + ".mif\"");
    con.end_line();
}

}  // namespace

void tdrdmifblf(std::string_view points_layer, std::string_view lines_layer) {
    services::Runtime& rt = services::runtime();
    services::Console& con = rt.console;
    const std::string lines_name(util::rtrim(util::TRIMF(lines_layer)));
    const std::string lines_base = util::FILENAMEPATH(lines_name);

    con.end_line();
    con.line("Converting .mif breaklines to .12da format...");
    const int d12_unit = open_12da(lines_base);

    auto work = std::make_unique<Work>();
    Work& w = *work;
    read_points(util::rtrim(util::TRIMF(points_layer)), w);
    w.index.build(w.points.x, w.points.y, w.points.count);

    int lines_mif = 0;
    int lines_mid = 0;
    mif::miOpen(lines_name, lines_mif, lines_mid, "I ", 0, true, ".tab", true);
    int dangles_mif = 0;
    int dangles_mid = 0;
    mif::miOpen(kDangles, dangles_mif, dangles_mid, "O ", 0, false, ".tab", false);
    con.end_line();
    con.line("Searching for Lines and Polylines...");
    con.end_line();
    write_report_header(lines_mif, dangles_mif);
    const bool dangles_found = convert_polylines(lines_mif, lines_mid, dangles_mif, dangles_mid, d12_unit, w);
    services::CLOSER(dangles_mif);
    services::CLOSER(dangles_mid);
    services::CLOSER(d12_unit);

    // The unsnapped-points layer stays open until the run ends.
    int unsnapped_mif = 0;
    int unsnapped_mid = 0;
    mif::miOpen(kUnsnapped, unsnapped_mif, unsnapped_mid, "O ", 0, false, ".tab", false);
    con.line("Writing header info to unsnapped_points .mif file...");
    con.end_line();
    write_report_header(lines_mif, unsnapped_mif);
    services::CLOSER(lines_mif);
    services::CLOSER(lines_mid);
    const bool unsnapped_found = write_unsnapped_points(unsnapped_mif, unsnapped_mid, w.points);

    if (unsnapped_found) warn_to_see("WARNING - Found unsnapped points.", kUnsnapped);
    if (dangles_found) warn_to_see("WARNING - Found dangling polylines.", kDangles);
}

}  // namespace velmorak::mif2d12
