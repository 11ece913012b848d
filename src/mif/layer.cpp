#include "mif/layer.h"

#include <string>

#include "io/names.h"
#include "mif/header.h"
#include "mif/object.h"
#include "mif/styles.h"
#include "mif/writer.h"
#include "services/messages.h"
#include "services/runtime.h"
#include "services/savedate.h"
#include "services/units.h"
#include "util/fixed.h"
#include "util/fixed_text.h"
#include "util/path.h"
#include "util/text.h"

namespace velmorak::mif {
namespace {

constexpr std::string_view kTableExtension = ".tab";

// The layer's path and base name: its name trimmed, without a ".mif" or ".mid" extension.
std::string base_name(std::string_view layer) {
    const std::string name(util::rtrim(util::TRIMF(util::cut(layer, kMifLineWidth))));
    const std::string ext = util::FILEEXT(name);
    return ext == ".mif" || ext == ".mid" ? util::FILENAMEPATH(name) : name;
}

// A layer without a .mid has no attributes to read: fatal where they are needed.
void missing_mid(const std::string& name, bool optional) {
    if (optional) {
        services::show_message(1, "WARNING - No .mid file \"" + name + "\" found: every string gets an empty name.");
        return;
    }
    services::show_message(1, "ERROR - No .mid file \"" + name + "\" found: the elevations are read from it.");
    services::STOPRUN();
}

// A header .mif that is there but cannot be read (a folder, say) stops the
// run when it is copied; found out before the layer is created, the stop
// leaves an earlier layer of that name as it was.
void check_header_readable(std::string_view header_mif) {
    const std::string name(util::rtrim(util::TRIMF(header_mif)));
    if (!io::file_exists(name)) return;
    std::string why;
    if (!io::InputFile::open(name, &why))
        services::run_time_stop("ERROR - Cannot read file \"" + name + "\": " + why);
}

void write_table(OutputLayer& layer, std::initializer_list<std::string_view> columns) {
    io::OutputFile& mif = layer.mif;
    mif.line("Columns " + util::int_text(static_cast<std::int64_t>(columns.size())));
    for (const std::string_view column : columns) {
        mif.write("  ");
        mif.line(column);
    }
    mif.line("Data");
    mif.line("");
}

}  // namespace

void InputLayer::close() const {
    services::CLOSER(mif_unit);
    if (mid_unit > 0) services::CLOSER(mid_unit);
}

void OutputLayer::close() const {
    services::CLOSER(mid_unit);
    services::CLOSER(mif_unit);
}

InputLayer miOpen(std::string_view layer, const miOpenOptions& options) {
    const std::string base = base_name(layer);
    const std::string mif_name = base + ".mif";
    const std::string mid_name = base + ".mid";
    const std::string table = base + std::string(kTableExtension);
    services::UnitPool& units = services::runtime().units;
    int mif_unit = 0;
    int mid_unit = 0;
    // A layer re-exported by the user is opened and checked again.
    for (;;) {
        services::OPENFILE(mif_unit, "I ", mif_name);
        const std::string_view not_mif = miNotInterchange(units.input(mif_unit));
        if (!not_mif.empty())
            services::run_time_stop("ERROR - \"" + mif_name + "\" is not a MapInfo Interchange file: " +
                                    std::string(not_mif) + ".");
        const bool has_mid = io::file_exists(mid_name);
        if (has_mid)
            services::OPENFILE(mid_unit, "I ", mid_name);
        else
            missing_mid(mid_name, options.mid_optional);
        // Only a table that is there can be newer than its export.
        const bool error_mode =
            options.save_date_error && io::save_date(mif_name).has_value() && io::save_date(table).has_value();
        if (!options.check_save_date ||
            services::CHECKSAVEDATE(mif_name, table, mif_unit, mid_unit, error_mode, 0))
            return {units.input(mif_unit), has_mid ? &units.input(mid_unit) : nullptr, mif_unit, mid_unit};
    }
}

OutputLayer miOpenOutput(std::string_view layer) {
    const std::string base = base_name(layer);
    services::UnitPool& units = services::runtime().units;
    int mif_unit = 0;
    int mid_unit = 0;
    services::OPENFILE(mif_unit, "O ", base + ".mif");
    services::OPENFILE(mid_unit, "O ", base + ".mid");
    return {units.output(mif_unit), units.output(mid_unit), mif_unit, mid_unit};
}

void write_layer_header(OutputLayer& layer, std::string_view header_mif,
                        std::initializer_list<std::string_view> columns) {
    double xmin = kNonEarthMin;
    double ymin = kNonEarthMin;
    double xmax = kNonEarthMax;
    double ymax = kNonEarthMax;
    miWriteHeader(layer.mif, "", header_mif, 0, xmin, ymin, xmax, ymax);
    write_table(layer, columns);
}

void copy_layer_header(const InputLayer& from, OutputLayer& layer, std::initializer_list<std::string_view> columns) {
    miCopyHeader(from, layer);
    write_table(layer, columns);
}

OutputLayer create_layer(std::string_view layer, std::string_view header_mif,
                         std::initializer_list<std::string_view> columns) {
    check_header_readable(header_mif);
    OutputLayer out = miOpenOutput(layer);
    write_layer_header(out, header_mif, columns);
    return out;
}

}  // namespace velmorak::mif
