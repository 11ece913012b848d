#pragma once
// The surfaces of a 12d ASCII file (tin, full_tin, super_tin: tin.h), one at a
// time in file order, for the programs that read the file beside its strings:
// the GDAL driver and the C interface. It walks the file with the one walk
// (string_walk.h), passing the strings over, and opens the file as
// StringRecords does (a .12daz by its one .12da member, the bytes through the
// caller's file layer when given one). Like StringRecords it runs the core
// under a CoreRun of its own: a damaged surface stops the reading, with the
// reader's message and its line.
#include <cstdint>
#include <memory>
#include <string>

#include "d12/string_records.h"
#include "d12/tin.h"
#include "services/core_run.h"

namespace velmorak::d12 {

class TinRecords {
public:
    static std::unique_ptr<TinRecords> open(const std::string& path, std::string& why,
                                            const StringRecords::OpenBytes& open_plain = {});
    ~TinRecords();
    TinRecords(const TinRecords&) = delete;
    TinRecords& operator=(const TinRecords&) = delete;

    enum class Step { tin, end, stopped };
    // The next surface, read whole into `tin` (whose arrays keep their
    // capacity). `stopped` for a damaged surface; damage in a string ends the
    // surfaces as the end of the file does (the strings' reader tells it).
    Step next(Tin& tin);
    // Back to the first surface.
    void rewind() noexcept { started_ = stopped_ = ended_ = false; }
    const std::string& stop_text() const noexcept { return core_.stop_text(); }
    std::uint64_t stop_line() const noexcept { return stop_line_; }

private:
    TinRecords() = default;

    services::CoreRun core_;
    std::unique_ptr<io::InputFile> file_;
    std::unique_ptr<StringWalk> walk_;
    std::uint64_t stop_line_ = 0;
    bool started_ = false;
    bool stopped_ = false;
    bool ended_ = false;  // at damage in a string
};

// Reads the surfaces of a file up to the first one named `name`, into `tin`.
// False, with the reason in `why`, when there is none of that name, the file
// cannot be opened or a surface before it is damaged.
bool find_tin(const std::string& path, const std::string& name, Tin& tin, std::string& why,
              const StringRecords::OpenBytes& open_plain = {});

}  // namespace velmorak::d12
