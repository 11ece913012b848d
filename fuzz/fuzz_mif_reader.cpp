// Walks a fuzz input as a MIF/MID layer the way the conversions from MIF do:
// the header searches, then every .mif line through miObjectType, one .mid
// row per object, and every object read with miReadObject (a Pline Multiple
// section by section).
//
// The input is the .mif text, then optionally a NUL byte and the .mid text.
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_support.h"
#include "mif/header.h"
#include "mif/mid_reader.h"
#include "mif/object.h"
#include "mif/object_reader.h"
#include "services/runtime.h"
#include "services/units.h"
#include "util/freeformat.h"

namespace {

using namespace velmorak;

// Small enough that the node limit is reached by inputs of a few kilobytes.
constexpr std::int32_t kMaxVertices = 1000;
// Column definitions read at most (the count comes from the input).
constexpr std::int32_t kMaxColumns = 64;

void read_header(int mif) {
    (void)mif::miFindCoordSys(mif);
    std::int32_t columns = 0;
    if (!mif::miReadColumnCount(mif, columns)) return;
    std::string name;
    std::string type;
    for (std::int32_t i = 0; i < std::min(columns, kMaxColumns); ++i)
        if (!mif::miReadColumnDef(mif, name, type)) break;
}

void walk(int mif, int mid) {
    static std::vector<double> x(kMaxVertices);
    static std::vector<double> y(kMaxVertices);

    read_header(mif);
    if (!mif::miFindData(mif)) return;
    io::InputFile& file = services::runtime().units.input(mif);
    mif::miObject object;
    mif::miClearObject(object);
    std::string line;
    std::string row;
    std::string name;
    std::string_view view;
    while (file.read_line(view) == io::LineStatus::ok) {
        line.assign(view);  // the object reader reads on from the same file
        std::string_view rest;
        if (!mif::miObjectType(line, rest, object)) continue;
        if (mif::read_mid_row(mid, row) == io::LineStatus::ok) {
            util::FreeFormat ff(row);
            (void)ff.read_text(name);
        }
        const std::int32_t sections = object.pline_multiple ? object.section_count : 1;
        for (std::int32_t s = 0; s < sections; ++s) {
            std::int32_t n = -1;
            double label_x = 0.0;
            double label_y = 0.0;
            float direction = 0.0f;
            float length = 0.0f;
            if (!mif::miReadObject(rest, mif, object, x, y, kMaxVertices, n, label_x, label_y, direction, length))
                continue;
            VELMORAK_FUZZ_CHECK(n >= 0 && n <= kMaxVertices);
        }
    }
    services::CLOSER(mid);
    services::CLOSER(mif);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static fuzz::ScratchFile mif_file("mif");
    static fuzz::ScratchFile mid_file("mid");
    const std::string_view input = fuzz::as_text(data, size);
    const std::size_t split = input.find('\0');
    const std::string_view mif_text = input.substr(0, split);
    const std::string_view mid_text = split == std::string_view::npos ? std::string_view{} : input.substr(split + 1);
    const std::string& mif_path = mif_file.write(mif_text);
    const std::string& mid_path = mid_file.write(mid_text);
    fuzz::QuietRun run;
    try {
        int mif = 0;
        int mid = 0;
        services::OPENFILE(mif, "I ", mif_path);
        services::OPENFILE(mid, "I ", mid_path);
        walk(mif, mid);
    } catch (const services::RunStop&) {
        // The reader's answer to a fatal problem in the layer.
    }
    return 0;
}
