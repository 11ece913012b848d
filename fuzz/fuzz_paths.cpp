// Takes a fuzz input apart into a folder and a file name (split at the first
// NUL byte) and runs every path routine on them, checking the promises of
// their interface: results carry no trailing blanks and stay within the
// 1000 characters paths are seen in, an extension starts with its dot and is
// lower case, a bare name holds no folder separator, and the folder part and
// the path without extension are leading parts of the path.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_support.h"
#include "util/fixed_text.h"
#include "util/path.h"

namespace {

using namespace velmorak;

constexpr std::size_t kPathWork = 1000;

void check_text(std::string_view result) {
    VELMORAK_FUZZ_CHECK(result.size() == util::text_length(result));
    VELMORAK_FUZZ_CHECK(result.size() <= kPathWork);
}

bool has_upper(std::string_view s) {
    for (char c : s)
        if (c >= 'A' && c <= 'Z') return true;
    return false;
}

void check_parts(std::string_view path) {
    const std::string_view seen = util::cut(path, kPathWork);

    const std::string ext = util::FILEEXT(path);
    check_text(ext);
    VELMORAK_FUZZ_CHECK(ext.empty() || ext.front() == '.');
    VELMORAK_FUZZ_CHECK(!has_upper(ext));

    const std::string name = util::FILENAME(path);
    check_text(name);
    VELMORAK_FUZZ_CHECK(name.find_first_of("\\/") == std::string::npos);

    const std::string suffix = util::FILE___EXT(path);
    check_text(suffix);
    VELMORAK_FUZZ_CHECK(suffix.empty() || suffix.front() == '_');
    VELMORAK_FUZZ_CHECK(!has_upper(suffix));

    const std::string bare = util::FILENAMENO_(path);
    check_text(bare);
    VELMORAK_FUZZ_CHECK(name.starts_with(bare));

    const std::string without_ext = util::FILENAMEPATH(path);
    check_text(without_ext);
    VELMORAK_FUZZ_CHECK(seen.starts_with(without_ext));

    const std::string without_suffix = util::FILENAMEPATHNO_(path);
    check_text(without_suffix);
    VELMORAK_FUZZ_CHECK(without_ext.starts_with(without_suffix));

    const std::string folder = util::FILEFOLDERPATH(path);
    check_text(folder);
    VELMORAK_FUZZ_CHECK(seen.starts_with(folder));
    VELMORAK_FUZZ_CHECK(folder.empty() || folder.back() == '\\' || folder.back() == '/');

    check_text(util::REMOVEDOTDOT(path));

    std::string cleaned(path);
    const std::string returned = util::CLEANPATH(cleaned);
    VELMORAK_FUZZ_CHECK(returned == cleaned);
    check_text(cleaned);

    std::string relative(path);
    (void)util::RELATIVEPATH(relative);
    check_text(relative);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input = fuzz::as_text(data, size);
    const std::size_t split = input.find('\0');
    const std::string_view first = input.substr(0, split);
    const std::string_view second = split == std::string_view::npos ? std::string_view{} : input.substr(split + 1);
    check_parts(first);
    check_parts(second);
    check_text(util::ADDFOLDER(first, second));
    return 0;
}
