#include "util/big_array.h"

#include <cstdlib>

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace velmorak::util::detail {
namespace {
constexpr std::size_t kHugePage = std::size_t{2} << 20;
}

void* allocate_big(std::size_t bytes) {
    if (bytes == 0) return nullptr;
    if (bytes < kHugePage) return std::malloc(bytes);
    const std::size_t rounded = (bytes + kHugePage - 1) / kHugePage * kHugePage;
    void* p = std::aligned_alloc(kHugePage, rounded);
#if defined(__linux__) && defined(MADV_HUGEPAGE)
    // Only advice: where huge pages are off, the memory is ordinary pages.
    if (p != nullptr) ::madvise(p, rounded, MADV_HUGEPAGE);
#endif
    return p;
}

void FreeBig::operator()(void* p) const noexcept { std::free(p); }

}  // namespace velmorak::util::detail
