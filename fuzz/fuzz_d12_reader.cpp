// Walks a fuzz input as a 12d ASCII file the way the conversions from 12d
// ASCII do: through StringWalk, reading the vertices of every other block
// that has data and leaving the rest for the walk to pass over.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "d12/reader.h"
#include "d12/string_walk.h"
#include "fuzz_support.h"
#include "services/runtime.h"
#include "services/units.h"

namespace {

using namespace velmorak;

// Small enough that the node limit is reached by inputs of a few kilobytes.
constexpr std::size_t kCapacity = 1000;

void walk(io::InputFile& file) {
    // Sized once, one more than the capacity for the closing vertex of a ring.
    static std::vector<double> x(kCapacity + 1);
    static std::vector<double> y(kCapacity + 1);
    static std::vector<float> z(kCapacity + 1);

    d12::StringWalk walk(file, kCapacity);
    if (!walk.start()) return;
    std::size_t blocks = 0;
    std::size_t last_line = 0;
    while (walk.next()) {
        const d12::d12Object& object = walk.object();
        VELMORAK_FUZZ_CHECK(walk.line().size() <= d12::kLineWidth);
        VELMORAK_FUZZ_CHECK(object.name.size() <= d12::kNameWidth);
        VELMORAK_FUZZ_CHECK(object.type.size() <= d12::kTypeWidth);
        VELMORAK_FUZZ_CHECK(walk.string_line() >= last_line && walk.string_line() > 0);
        VELMORAK_FUZZ_CHECK(walk.block_index() == 0 || walk.string_line() == last_line);
        last_line = walk.string_line();
        // Every other block is left unread: the walk must pass over it.
        if (!walk.has_data() || ++blocks % 2 == 0) continue;
        std::size_t count = kCapacity + 7;  // must be replaced or left alone
        if (walk.read_vertices(x, y, z, count))
            VELMORAK_FUZZ_CHECK(count <= kCapacity + (object.isPolyline || object.isSuper ? 1 : 0));
        else
            VELMORAK_FUZZ_CHECK(count == kCapacity + 7);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static fuzz::ScratchFile file("d12");
    const std::string& path = file.write(fuzz::as_text(data, size));
    fuzz::QuietRun run;
    try {
        int unit = 0;
        services::OPENFILE(unit, "I ", path);
        walk(services::runtime().units.input(unit));
        services::CLOSER(unit);
    } catch (const services::RunStop&) {
        // The reader's answer to a fatal problem in the file.
    }
    return 0;
}
