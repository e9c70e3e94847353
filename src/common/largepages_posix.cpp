#include <sys/mman.h>

#include <cstdint>

#include "common/largepages.h"

namespace tallyra {

void AdviseLargePages(void* p, std::size_t bytes) {
#if defined(MADV_HUGEPAGE)
    constexpr std::size_t kLargePage = std::size_t(2) << 20;
    // Only whole large pages inside the block: the allocator's own words around it stay
    // as they are.
    const auto from = (reinterpret_cast<std::uintptr_t>(p) + kLargePage - 1) & ~(kLargePage - 1);
    const auto to = (reinterpret_cast<std::uintptr_t>(p) + bytes) & ~(kLargePage - 1);
    if (to > from) madvise(reinterpret_cast<void*>(from), to - from, MADV_HUGEPAGE);
#else
    (void)p;
    (void)bytes;
#endif
}

}  // namespace tallyra
