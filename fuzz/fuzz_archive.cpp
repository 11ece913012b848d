// Opens a fuzz input as a compressed 12d ASCII archive and, when it is
// accepted, reads the member's lines through to the end twice (the 12d reader
// rewinds its input after the header): both passes must hand out the same
// lines and end the same way (a damaged member fails both times).
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz_support.h"
#include "d12/archive.h"
#include "io/input_file.h"

namespace {

using namespace velmorak;

struct Pass {
    std::uint64_t lines = 0;
    std::uint64_t bytes = 0;
    bool failed = false;
};

Pass read_all(io::InputFile& file) {
    Pass p;
    std::string_view line;
    for (;;) {
        const io::LineStatus s = file.read_line(line);
        if (s == io::LineStatus::eof) break;
        if (s == io::LineStatus::error) {
            p.failed = true;
            break;
        }
        ++p.lines;
        p.bytes += line.size();
    }
    return p;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static fuzz::ScratchFile file("d12z");
    const std::string& path = file.write(fuzz::as_text(data, size));
    std::string member;
    std::string why;
    auto source = d12::open_12da_archive(path, member, why);
    if (!source) {
        VELMORAK_FUZZ_CHECK(!why.empty());
        return 0;
    }
    auto in = io::InputFile::from_source(std::move(source));
    VELMORAK_FUZZ_CHECK(member.size() >= 5);
    const Pass first = read_all(*in);
    in->rewind();
    const Pass second = read_all(*in);
    VELMORAK_FUZZ_CHECK(first.failed == second.failed);
    VELMORAK_FUZZ_CHECK(first.lines == second.lines && first.bytes == second.bytes);
    if (first.failed) VELMORAK_FUZZ_CHECK(!in->failure().empty());
    return 0;
}
