#include "mif2d12/convert_to_12da.h"

#include <cstdint>
#include <string>

#include "mif/header.h"
#include "mif/layer.h"
#include "mif/mid_reader.h"
#include "mif2d12/d12_writer.h"
#include "mif2d12/layer_walk.h"
#include "services/messages.h"
#include "services/runtime.h"
#include "util/big_array.h"
#include "util/fixed_text.h"
#include "util/path.h"
#include "util/text.h"

namespace velmorak::mif2d12 {
namespace {

constexpr std::int32_t kMaxVertices = 1'000'000;
constexpr std::string_view kRoutine = "convert_mif_to_12da";

}  // namespace

void convert_mif_to_12da(std::string_view layer) {
    services::Console& con = services::runtime().console;
    const std::string name(util::rtrim(util::TRIMF(layer)));

    con.end_line();
    con.line("Converting .mif to .12da format...");
    // The input is checked whole before the .12da is created, so that a run
    // stopped here leaves an earlier .12da as it was.
    const mif::InputLayer input = mif::miOpen(name, {.save_date_error = false, .mid_optional = true});
    const D12Output out = open_12da(util::FILENAMEPATH(name));
    con.end_line();
    con.line("Searching for Lines and Polylines...");
    con.end_line();
    char delimiter = mif::kDefaultDelimiter;
    if (!mif::miFindData(input.mif, &delimiter)) {
        out.close();
        return;
    }

    // Sized once for the run and overwritten object by object.
    util::LazyVector<double> x(kMaxVertices);
    util::LazyVector<double> y(kMaxVertices);
    // The texts of the coordinates: a field is written from their digits.
    util::LazyVector<util::NumberText> x_texts(kMaxVertices);
    util::LazyVector<util::NumberText> y_texts(kMaxVertices);
    std::string string_name;
    LayerWalk walk(input, LayerWalk::Progress::polylines, delimiter);
    while (walk.next_polyline()) {
        // Every section of a Pline Multiple takes the name of its one row.
        walk.first_attribute_text(string_name, kRoutine);
        std::int32_t n = 0;
        while (walk.next_section(x, y, kMaxVertices, n, {x_texts, y_texts}))
            write_string_2d(out.file, string_name, x, y, x_texts, y_texts, n);
    }
    out.close();
    // A layer of regions or points gives an empty .12da: said once, with the
    // count, so that "Finished." is not taken for a conversion of everything.
    const std::string passed = walk.passed_over();
    if (!passed.empty())
        services::show_message(1, "WARNING - Passed over " + passed +
                                      ": only Line and Pline objects become strings; "
                                      "`ogr2ogr -f 12DA` converts regions and points.");
}

}  // namespace velmorak::mif2d12
