// Walks a fuzz input as a MIF/MID layer the way the conversions from MIF do:
// the header searches, then the layer's objects through LayerWalk, the .mid
// row of every other object read as a name, every object read section by
// section.
//
// The input is the .mif text, then optionally a NUL byte and the .mid text.
// Every other row is left for the walk to pass over.
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_support.h"
#include "mif/header.h"
#include "mif/layer.h"
#include "mif/object.h"
#include "mif/object_reader.h"
#include "mif2d12/layer_walk.h"
#include "services/runtime.h"
#include "services/units.h"
#include "util/freeformat.h"

namespace {

using namespace velmorak;

// Small enough that the node limit is reached by inputs of a few kilobytes.
constexpr std::int32_t kMaxVertices = 1000;
// Column definitions read at most (the count comes from the input).
constexpr std::int32_t kMaxColumns = 64;

void read_header(io::InputFile& mif) {
    (void)mif::miFindCoordSys(mif);
    std::int32_t columns = 0;
    if (!mif::miReadColumnCount(mif, columns)) return;
    std::string name;
    std::string type;
    for (std::int32_t i = 0; i < std::min(columns, kMaxColumns); ++i)
        if (!mif::miReadColumnDef(mif, name, type)) break;
}

void walk(const mif::InputLayer& layer) {
    static std::vector<double> x(kMaxVertices);
    static std::vector<double> y(kMaxVertices);

    read_header(layer.mif);
    if (!mif::miFindData(layer.mif)) return;
    mif2d12::LayerWalk walk(layer, mif2d12::LayerWalk::Progress::polylines);
    std::string name;
    bool ask = false;
    while (walk.next()) {
        ask = !ask;
        if (ask) {
            util::FreeFormat ff(walk.row());
            (void)ff.read_text(name);
        }
        std::int32_t n = -1;
        while (walk.next_section(x, y, kMaxVertices, n)) VELMORAK_FUZZ_CHECK(n >= 0 && n <= kMaxVertices);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static fuzz::ScratchFile mif_file("mif");
    static fuzz::ScratchFile mid_file("mid");
    const std::string_view input = fuzz::as_text(data, size);
    const std::size_t split = input.find('\0');
    const std::string_view mif_text = input.substr(0, split);
    // Without a .mid part every object still gets a row, so that the walk
    // reaches the objects' coordinates instead of stopping at the first row.
    const std::string rows(static_cast<std::size_t>(std::count(mif_text.begin(), mif_text.end(), '\n')) + 1, '\n');
    const std::string_view mid_text = split == std::string_view::npos ? std::string_view(rows) : input.substr(split + 1);
    const std::string& mif_path = mif_file.write(mif_text);
    const std::string& mid_path = mid_file.write(mid_text);
    fuzz::QuietRun run;
    try {
        int mif = 0;
        int mid = 0;
        services::OPENFILE(mif, "I ", mif_path);
        services::OPENFILE(mid, "I ", mid_path);
        services::UnitPool& units = services::runtime().units;
        const mif::InputLayer layer{units.input(mif), units.input(mid), mif, mid};
        walk(layer);
        layer.close();
    } catch (const services::RunStop&) {
        // The reader's answer to a fatal problem in the layer.
    }
    return 0;
}
