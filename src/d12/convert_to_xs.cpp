#include "d12/convert_to_xs.h"

#include <cstdint>
#include <span>
#include <string>
#include <unordered_set>

#include "d12/cross_section.h"
#include "d12/object.h"
#include "d12/string_walk.h"
#include "mif/layer.h"
#include "mif/object.h"
#include "mif/styles.h"
#include "mif/writer.h"
#include "services/runtime.h"
#include "util/fixed.h"
#include "util/fixed_text.h"
#include "util/numbers.h"
#include "util/path.h"
#include "util/text.h"

namespace velmorak::d12 {
namespace {

// The cross-sections of one run: the two layers that locate them, and what the
// run remembers between strings.
class CrossSections {
public:
    CrossSections(std::string_view file1, mif::OutputLayer& lines, mif::OutputLayer& points, float null_value)
        : file1_(file1), folder_(util::FILEFOLDERPATH(file1)), lines_(lines), points_(points),
          null_value_(null_value) {}

    // One data block of a string: its .csv and its rows in both layers.
    void convert(StringWalk& walk);

    std::int32_t converted = 0;
    std::int32_t ignored = 0;

private:
    std::string_view id_of(const StringWalk& walk);
    void ignore(std::string_view id, std::string_view why);
    void note_csv(std::string_view id);
    void write_rows(const VertexArrays& v, ElevationRange range, std::string_view csv_id);

    std::string_view file1_;
    std::string folder_;
    mif::OutputLayer& lines_;
    mif::OutputLayer& points_;
    float null_value_;
    VertexArrays v_;
    std::int32_t unnamed_ = 0;
    std::string name_;
    std::string id_path_;
    std::string csv_name_;
    // The .csv files written so far, and the one of the current string: its
    // further blocks write it again, another string's ID that names it is warned of.
    std::unordered_set<std::string> written_;
    std::string string_csv_;
};

// The ID of the string, shown in the console's running list of names. An
// unnamed string gets "xs" and a six-digit number at its first block.
std::string_view CrossSections::id_of(const StringWalk& walk) {
    if (walk.block_index() == 0) {
        string_csv_.clear();
        name_ = walk.object().name;
        if (util::BLANK(name_)) {
            ++unnamed_;
            name_ = "xs" + util::AINTEGERPREC0(unnamed_, 6);
        }
    }
    const std::string_view id = util::rtrim(name_);
    services::Console& con = services::runtime().console;
    con.put(id);
    con.put(", ");
    return id;
}

void CrossSections::ignore(std::string_view id, std::string_view why) {
    ++ignored;
    services::runtime().console.line("WARNING - XS ID " + std::string(id) + " " + std::string(why));
}

void CrossSections::note_csv(std::string_view id) {
    if (csv_name_ == string_csv_) return;
    if (!written_.insert(csv_name_).second) {
        services::runtime().console.line("WARNING - XS ID " + std::string(id) + " was used by an earlier string: " +
                                         csv_name_ + " is written over.");
    }
    string_csv_ = csv_name_;
}

// The line layer's Pline and row, and a point with its row for every vertex with an elevation.
void CrossSections::write_rows(const VertexArrays& v, ElevationRange range, std::string_view csv_id) {
    const std::span<const double> xs(v.x);
    const std::span<const double> ys(v.y);
    mif::miWriteObject(lines_.mif, mif::miKind::pline, xs, ys, static_cast<std::int32_t>(v.count),
                       mif::kBreaklinePen);
    std::string& row = lines_.mid.buffer();
    mif::put_mid_text(row, std::string(csv_id) + ".csv");
    row += ',';
    util::put_fixed(row, range.lowest, 16, 3);
    row += ',';
    util::put_fixed(row, range.highest, 16, 3);
    row += '\n';
    lines_.mid.commit();

    bool first = true;
    for (std::size_t i = 0; i < v.count; ++i) {
        if (!has_elevation(v.z[i], null_value_)) continue;
        mif::miWriteObject(points_.mif, mif::miKind::point, xs.subspan(i), ys.subspan(i), 1,
                           first ? mif::kFirstVertexSymbol : mif::kVertexSymbol);
        std::string& point_row = points_.mid.buffer();
        util::put_fixed(point_row, v.z[i], 16, 3);
        point_row += first ? ",-1.,\"L\"," : ",-1.,\"C\",";
        mif::put_mid_text(point_row, csv_id);
        point_row += '\n';
        points_.mid.commit();
        first = false;
    }
}

void CrossSections::convert(StringWalk& walk) {
    const std::string_view id = id_of(walk);
    if (!walk.object().data3d) {
        ++ignored;
        services::runtime().console.line("WARNING - Ignored invalid or unsupported string object: " +
                                         std::string(util::rtrim(walk.line())));
        services::PAUSEPROMPT();
        return;
    }
    if (!walk.read_vertices(v_)) return;
    // A profile needs two points: the first for chainage 0, another to run to.
    if (v_.count < 2) return ignore(id, "has fewer than two vertices: no cross-section is written.");
    std::size_t nulls = 0;
    for (std::size_t i = 0; i < v_.count; ++i) nulls += has_elevation(v_.z[i], null_value_) ? 0 : 1;
    if (nulls == v_.count) return ignore(id, "has no vertex with an elevation: no cross-section is written.");
    csv_name_of(id, folder_, file1_, id_path_, csv_name_);
    if (nulls > 0) {
        services::runtime().console.line("WARNING - XS ID " + std::string(id) + " has " +
                                         util::int_text(static_cast<std::int64_t>(nulls)) +
                                         (nulls == 1 ? " vertex" : " vertices") +
                                         " at the null elevation: left out of its profile.");
    }
    note_csv(id);
    const ElevationRange range = write_profile(csv_name_, id, v_, null_value_);
    write_rows(v_, range, util::FILENAME(csv_name_));
    ++converted;
}

}  // namespace

void convert_12da_to_xs(std::string_view file1, std::string_view file2) {
    services::Console& con = services::runtime().console;
    con.end_line();
    con.line("Converting .12da breaklines to .mif format...");
    io::InputFile& in = open_12da_input(file1);
    const std::string base(util::rtrim(file1));
    mif::OutputLayer lines =
        mif::create_layer(base + ".Lines", file2, {"CSV_File Char(20)", "Z_Minimum Float", "Z_Maximum Float"});
    mif::OutputLayer points =
        mif::create_layer(base + ".Points", file2, {"Z Float", "MNR Float", "LCR Char(1)", "XS_ID Char(12)"});
    con.end_line();
    con.line("Searching for 12da objects...");

    StringWalk walk(in);
    if (!walk.start()) return;
    CrossSections sections(file1, lines, points, walk.null_value());
    while (walk.next()) sections.convert(walk);

    con.end_line();
    con.line("Converted " + util::AINTEGER(sections.converted) +
             " string objects to KORVAN cross-sections and ignored " + util::AINTEGER(sections.ignored));
    con.end_line();
    walk.report_passed_tins();
    lines.close();
    points.close();
}

}  // namespace velmorak::d12
