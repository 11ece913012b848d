#include "util/big_array.h"

#include "io/platform.h"

namespace velmorak::util::detail {
namespace {
constexpr std::size_t kHugePage = std::size_t{2} << 20;
}

void* allocate_big(std::size_t bytes) {
    if (bytes == 0) return nullptr;
    if (bytes < kHugePage) return io::platform::allocate_aligned(alignof(std::max_align_t), bytes, false);
    return io::platform::allocate_aligned(kHugePage, bytes, true);
}

void FreeBig::operator()(void* p) const noexcept { io::platform::free_aligned(p); }

}  // namespace velmorak::util::detail
