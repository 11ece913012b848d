#include "util/big_array.h"

#include "services/platform.h"

namespace velmorak::util::detail {
namespace {
constexpr std::size_t kHugePage = std::size_t{2} << 20;
}

void* allocate_big(std::size_t bytes) {
    if (bytes == 0) return nullptr;
    if (bytes < kHugePage) return services::platform::allocate_aligned(alignof(std::max_align_t), bytes, false);
    return services::platform::allocate_aligned(kHugePage, bytes, true);
}

void FreeBig::operator()(void* p) const noexcept { services::platform::free_aligned(p); }

}  // namespace velmorak::util::detail
