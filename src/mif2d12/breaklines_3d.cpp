#include "mif2d12/breaklines_3d.h"

#include <cstdint>
#include <memory>
#include <string>

#include "mif/header.h"
#include "mif/layer.h"
#include "mif/mid_reader.h"
#include "mif/object.h"
#include "mif/styles.h"
#include "mif/writer.h"
#include "mif2d12/breakline_elevations.h"
#include "mif2d12/d12_writer.h"
#include "mif2d12/layer_walk.h"
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
// The report layers hold one column, the elevation, after the lines layer's header.
constexpr std::string_view kReportColumn = "Z Float";

// What one run of the conversion works on; sized once.
struct Work {
    BreaklinePoints points{kMaxPoints};
    SnapIndex index;
    util::LazyVector<double> x = util::LazyVector<double>(kMaxVertices);
    util::LazyVector<double> y = util::LazyVector<double>(kMaxVertices);
    util::LazyVector<float> z = util::LazyVector<float>(kMaxVertices);
    std::unique_ptr<bool[]> snapped{new bool[kMaxVertices]()};  // every section sets its own vertices' flags
    util::LazyVector<std::int32_t> snapped_point = util::LazyVector<std::int32_t>(kMaxVertices);
};

void write_elevation_row(io::OutputFile& mid, float z) {
    char* row = util::append_blanks(mid.buffer(), 13);
    util::put_fixed_field(row, z, 12, 4);
    row[12] = '\n';
    mid.commit();
}

// Phase 1: the Point objects of the points layer fill the point table, each
// with the elevation of its row.
void read_points(std::string_view layer, Work& w) {
    services::Console& con = services::runtime().console;
    const mif::InputLayer input = mif::miOpen(layer, {.save_date_error = true});
    con.end_line();
    con.line("Searching for point objects...");
    con.end_line();
    con.line(".mif data object:");
    char delimiter = mif::kDefaultDelimiter;
    if (!mif::miFindData(input.mif, &delimiter))
        services::run_time_stop("Problem going to beginning of .mif file");

    BreaklinePoints& points = w.points;
    LayerWalk walk(input, LayerWalk::Progress::objects, delimiter);
    while (walk.next()) {
        if (walk.object().kind != mif::miKind::point) continue;
        if (points.count >= kMaxPoints)
            services::run_time_stop("SORRY - Exceeded number of allowable breakline points");
        std::int32_t n = 0;
        if (!walk.next_section(w.x, w.y, kMaxVertices, n)) services::run_time_stop("ERROR - Problem in reading points");
        const auto p = static_cast<std::size_t>(points.count);
        points.x[p] = w.x[0];
        points.y[p] = w.y[0];
        points.z[p] = walk.first_attribute_real(kRoutine);
        ++points.count;
    }

    con.end_line();
    con.line("Found " + util::int_text(points.count) + " breakline points.");
    con.end_line();
    input.close();
    con.end_line();
}

// Snaps, interpolates and writes one section of n vertices as a 3D string;
// true when it dangles.
bool convert_section(Work& w, std::int32_t n, float elevation, std::int32_t counter, io::OutputFile& d12) {
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
    write_string_3d(d12, util::AINTEGERPREC0(counter, 8), w.x, w.y, w.z, n);
    return dangle;
}

// Phase 2: every Line, Pline and Pline section of the lines layer becomes a
// 3D string; the sections that dangle go to the dangles layer. True when any did.
bool convert_polylines(const mif::InputLayer& lines, mif::OutputLayer& dangles, io::OutputFile& d12, Work& w) {
    char delimiter = mif::kDefaultDelimiter;
    if (!mif::miFindData(lines.mif, &delimiter)) return false;
    std::int32_t polylines = 0;
    bool dangles_found = false;
    LayerWalk walk(lines, LayerWalk::Progress::polylines, delimiter);
    while (walk.next_polyline()) {
        const float elevation = walk.first_attribute_real(kRoutine);
        // A dangling section of a Pline Multiple is reported as a Pline of its own.
        const mif::miKind dangle_kind = walk.object().kind == mif::miKind::line ? mif::miKind::line : mif::miKind::pline;
        std::int32_t n = 0;
        while (walk.next_section(w.x, w.y, kMaxVertices, n)) {
            ++polylines;
            if (!convert_section(w, n, elevation, polylines, d12)) continue;
            mif::miWriteObject(dangles.mif, dangle_kind, w.x, w.y, n, mif::kDanglePen);
            write_elevation_row(dangles.mid, elevation);
            dangles_found = true;
        }
    }
    return dangles_found;
}

// Every point no vertex took, in table order; true when there was one.
bool write_unsnapped_points(mif::OutputLayer& layer, const BreaklinePoints& points) {
    bool found = false;
    const std::span<const bool> used = points.used();
    for (std::size_t p = 0; p < static_cast<std::size_t>(points.count); ++p) {
        if (used[p]) continue;
        const double px[1] = {points.x[p]};
        const double py[1] = {points.y[p]};
        mif::miWriteObject(layer.mif, mif::miKind::point, px, py, 1, mif::kUnsnappedSymbol);
        write_elevation_row(layer.mid, points.z[p]);
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
    services::Console& con = services::runtime().console;
    const std::string lines_name(util::rtrim(util::TRIMF(lines_layer)));

    con.end_line();
    con.line("Converting .mif breaklines to .12da format...");

    auto work = std::make_unique<Work>();
    Work& w = *work;
    read_points(util::rtrim(util::TRIMF(points_layer)), w);
    w.index.build(w.points.x, w.points.y, w.points.count);

    // Both layers are open and checked before anything is created, so that a
    // run stopped by them leaves earlier outputs as they were.
    const mif::InputLayer lines = mif::miOpen(lines_name, {.save_date_error = true});
    const D12Output d12 = open_12da(util::FILENAMEPATH(lines_name));
    mif::OutputLayer dangles = mif::miOpenOutput(kDangles);
    con.end_line();
    con.line("Searching for Lines and Polylines...");
    con.end_line();
    mif::copy_layer_header(lines, dangles, {kReportColumn});
    const bool dangles_found = convert_polylines(lines, dangles, d12.file, w);
    // Runs on other layers of this folder write the same report layers: each
    // run replaces them in turn, from here to its end, so that every pair
    // comes from one run.
    services::lock_for_the_run(std::string(kDangles) + ".lock");
    services::CLOSER(dangles.mif_unit);
    services::CLOSER(dangles.mid_unit);
    d12.close();

    // The unsnapped-points layer stays open until the run ends.
    mif::OutputLayer unsnapped = mif::miOpenOutput(kUnsnapped);
    con.line("Writing header info to unsnapped_points .mif file...");
    con.end_line();
    mif::copy_layer_header(lines, unsnapped, {kReportColumn});
    lines.close();
    const bool unsnapped_found = write_unsnapped_points(unsnapped, w.points);

    if (unsnapped_found) warn_to_see("WARNING - Found unsnapped points.", kUnsnapped);
    if (dangles_found) warn_to_see("WARNING - Found dangling polylines.", kDangles);
}

}  // namespace velmorak::mif2d12
