#include "mif2d12/convert_to_12da.h"

#include <cstdint>
#include <string>

#include "mif/header.h"
#include "mif/object.h"
#include "mif/object_reader.h"
#include "mif2d12/d12_writer.h"
#include "mif2d12/layer_input.h"
#include "services/runtime.h"
#include "services/units.h"
#include "util/big_array.h"
#include "util/fixed.h"
#include "util/fixed_text.h"
#include "util/path.h"
#include "util/text.h"

namespace velmorak::mif2d12 {
namespace {

constexpr std::int32_t kMaxVertices = 1'000'000;
constexpr std::string_view kRoutine = "convert_mif_to_12da";

}  // namespace

void convert_mif_to_12da(std::string_view layer) {
    services::Runtime& rt = services::runtime();
    services::Console& con = rt.console;
    const std::string name(util::rtrim(util::TRIMF(layer)));
    const std::string base = util::FILENAMEPATH(name);

    con.end_line();
    con.line("Converting .mif to .12da format...");

    const int d12_unit = open_12da(base);

    int mif_unit = 0;
    int mid_unit = 0;
    mif::miOpen(name, mif_unit, mid_unit, "I ", 0, true, ".tab", false);
    con.end_line();
    con.line("Searching for Lines and Polylines...");
    con.end_line();

    if (!mif::miFindData(mif_unit)) {
        services::CLOSER(d12_unit);
        return;
    }

    // Sized once for the run and overwritten object by object.
    util::LazyVector<double> x(kMaxVertices);
    util::LazyVector<double> y(kMaxVertices);
    mif::miObject object;
    mif::miClearObject(object);
    std::string line;
    std::string row;
    std::string string_name;
    std::string progress;
    std::int32_t strings = 0;

    io::InputFile& mif = rt.units.input(mif_unit);
    io::InputFile& mid = rt.units.input(mid_unit);
    io::OutputFile& out = rt.units.output(d12_unit);
    while (next_mif_line(mif, line)) {
        std::string_view rest;
        if (!mif::miObjectType(line, rest, object)) continue;
        std::int32_t sections = 1;
        if (object.pline_multiple) {
            sections = object.section_count;
            con.line("Disaggregating combined polyline into " + util::int_text(sections) + " polylines...");
        } else if (!object.line && !object.pline) {
            next_mid_row(mid, row);
            continue;
        }
        next_mid_row(mid, row);
        first_attribute_text(row, string_name, kRoutine);

        for (std::int32_t s = 0; s < sections; ++s) {
            std::int32_t n = 0;
            double label_x = 0.0;
            double label_y = 0.0;
            float direction = 0.0f;
            float length = 0.0f;
            if (!mif::miReadObject(rest, mif_unit, object, x, y, kMaxVertices, n, label_x, label_y, direction,
                                   length))
                continue;
            ++strings;
            progress.assign("Polyline ");
            progress.append(util::int_text(strings)).append(" with ").append(util::int_text(n)).append(" nodes...");
            con.put(progress);
            write_string_2d(out, string_name, x, y, n);
        }
    }
    services::CLOSER(d12_unit);
}

}  // namespace velmorak::mif2d12
