// Walks a fuzz input as a 12d ASCII file the way the conversions from 12d
// ASCII do: the header, then every line through d12NextLine and
// d12ObjectType, and the vertices of every object that has a data block.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "d12/reader.h"
#include "fuzz_support.h"
#include "services/runtime.h"
#include "services/units.h"

namespace {

using namespace velmorak;

// Small enough that the node limit is reached by inputs of a few kilobytes.
constexpr std::size_t kCapacity = 1000;

void walk(int unit) {
    // Sized once, one more than the capacity for the closing vertex of a ring.
    static std::vector<double> x(kCapacity + 1);
    static std::vector<double> y(kCapacity + 1);
    static std::vector<float> z(kCapacity + 1);

    float null_value = d12::kNoElevation;
    if (!d12::d12ReadHeader(unit, null_value)) return;
    io::InputFile& file = services::runtime().units.input(unit);
    d12::d12Object object;
    object.nullValue = null_value;
    std::string line;
    while (!file.at_eof()) {
        if (!d12::d12NextLine(line, unit)) continue;
        VELMORAK_FUZZ_CHECK(line.size() <= d12::kLineWidth);
        if (!d12::d12ObjectType(unit, line, object)) continue;
        VELMORAK_FUZZ_CHECK(object.name.size() <= d12::kNameWidth);
        VELMORAK_FUZZ_CHECK(object.type.size() <= d12::kTypeWidth);
        if (!(object.data2d || object.data3d || object.hipData)) continue;
        std::size_t count = kCapacity + 7;  // must be replaced or left alone
        if (d12::d12ReadVertices(unit, object, x, y, z, kCapacity, count))
            VELMORAK_FUZZ_CHECK(count <= kCapacity + (object.isPolyline || object.isSuper ? 1 : 0));
        else
            VELMORAK_FUZZ_CHECK(count == kCapacity + 7);
    }
    services::CLOSER(unit);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static fuzz::ScratchFile file("d12");
    const std::string& path = file.write(fuzz::as_text(data, size));
    fuzz::QuietRun run;
    try {
        int unit = 0;
        services::OPENFILE(unit, "I ", path);
        walk(unit);
    } catch (const services::RunStop&) {
        // The reader's answer to a fatal problem in the file.
    }
    return 0;
}
