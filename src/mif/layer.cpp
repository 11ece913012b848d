#include "mif/layer.h"

#include <string>

#include "mif/header.h"
#include "mif/object.h"
#include "mif/styles.h"
#include "mif/writer.h"
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
    services::CLOSER(mid_unit);
}

void OutputLayer::close() const {
    services::CLOSER(mid_unit);
    services::CLOSER(mif_unit);
}

InputLayer miOpen(std::string_view layer, const miOpenOptions& options) {
    const std::string base = base_name(layer);
    services::UnitPool& units = services::runtime().units;
    int mif_unit = 0;
    int mid_unit = 0;
    // A layer re-exported by the user is opened and checked again.
    for (;;) {
        services::OPENFILE(mif_unit, "I ", base + ".mif");
        services::OPENFILE(mid_unit, "I ", base + ".mid");
        if (!options.check_save_date ||
            services::CHECKSAVEDATE(base + ".mif", base + std::string(kTableExtension), mif_unit, mid_unit,
                                    options.save_date_error, 0))
            return {units.input(mif_unit), units.input(mid_unit), mif_unit, mid_unit};
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
    OutputLayer out = miOpenOutput(layer);
    write_layer_header(out, header_mif, columns);
    return out;
}

}  // namespace velmorak::mif
