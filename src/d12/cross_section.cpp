#include "d12/cross_section.h"

#include <algorithm>

#include "io/output_file.h"
#include "services/runtime.h"
#include "services/units.h"
#include "util/fixed.h"
#include "util/fixed_text.h"
#include "util/geometry.h"
#include "util/path.h"

namespace velmorak::d12 {
namespace {

// One data line of a cross-section file: chainage, then elevation.
void put_xs_line(std::string& out, float chainage, float z) {
    util::put_fixed(out, chainage, 12, 3);
    out.push_back(',');
    util::put_fixed(out, z, 10, 3);
    out.push_back('\n');
}

[[noreturn]] void stop_for_id(std::string_view id, std::string_view why) {
    services::Console& con = services::runtime().console;
    con.end_line();
    con.line("ERROR - XS ID \"" + std::string(id) + "\" " + std::string(why));
    services::STOPRUN();
}

}  // namespace

// Resolving the steps here also keeps them from the join's own clean-up, which
// expects "\" throughout and would cut a folder written with "/" away with them.
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

void csv_name_of(std::string_view id, std::string_view folder, std::string_view file1, std::string& id_path,
                 std::string& csv_name) {
    // The system would take the name only up to the NUL and write some other file.
    if (id.find('\0') != std::string_view::npos) stop_for_id(id, "holds a NUL character, which no file name can hold.");
    if (!path_below_folder(id, id_path))
        stop_for_id(id, "would write its .csv outside the folder of " + std::string(util::rtrim(file1)) + ".");
    csv_name = util::ADDFOLDER(folder, id_path);
    if (util::FILEEXT(id_path) != ".csv") csv_name += ".csv";
}

ElevationRange write_profile(std::string_view csv_name, std::string_view id, const VertexArrays& v,
                             float null_value) {
    const std::size_t n = v.count;
    const float first_z = n > 0 ? v.z[0] : null_value;
    ElevationRange range{first_z, first_z};
    int unit = 0;
    services::OPENFILE(unit, "O ", csv_name);
    io::OutputFile& csv = services::runtime().units.output(unit);
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
        range.lowest = std::min(range.lowest, v.z[i]);
        range.highest = std::max(range.highest, v.z[i]);
    }
    services::CLOSER(unit);
    return range;
}

}  // namespace velmorak::d12
