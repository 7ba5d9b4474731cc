#include "hugeheap.h"

#include <malloc.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdlib>

#include "basearray.h"

namespace host {

bool AdviseHugePages(void* begin, std::size_t bytes) {
#ifdef MADV_HUGEPAGE
    const auto at = reinterpret_cast<std::uintptr_t>(begin);
    const std::uintptr_t from = (at + kHugePageSize - 1) & ~(kHugePageSize - 1);
    const std::uintptr_t to = (at + bytes) & ~(kHugePageSize - 1);
    return to > from && madvise(reinterpret_cast<void*>(from), to - from, MADV_HUGEPAGE) == 0;
#else
    (void)begin;
    (void)bytes;
    return false;
#endif
}

bool AdviseHugeHeap(std::size_t bytes) {
    // A block this large is carved from the top of the heap, which grows to
    // hold it; freed, it joins the top again and stays, below the trim threshold.
    void* block = std::malloc(bytes);
    if (!block) return false;
    const auto begin = reinterpret_cast<std::uintptr_t>(block);
    const auto top = reinterpret_cast<std::uintptr_t>(sbrk(0));
    // A block mapped on its own (no room for the heap to grow) is not advised.
    const bool advised =
        begin <= top && top - begin >= bytes && AdviseHugePages(block, top - begin);
    std::free(block);
    return advised;
}

bool KeepLargeBlocksInHeap(std::size_t keep, std::size_t huge) {
    const int bytes = int(std::min<std::size_t>(keep, INT_MAX));
    mallopt(M_MMAP_THRESHOLD, bytes);
    mallopt(M_TRIM_THRESHOLD, bytes);
    mallopt(M_TOP_PAD, 16 << 20);
    // A sanitizer's allocator keeps a heap of its own: the block would only be
    // marked through its shadow memory, page by page.
    if (kSanitizerHeap) return false;
    // The advised block itself must come from the heap: below the threshold.
    constexpr std::size_t kMargin = 1 << 20;
    const std::size_t below = std::size_t(bytes) > kMargin ? std::size_t(bytes) - kMargin : 0;
    return std::min(huge, below) > 0 && AdviseHugeHeap(std::min(huge, below));
}

void KeepBlocksForRuns() {
    constexpr std::size_t kLarge = 256 << 20;
    KeepLargeBlocksInHeap(kLarge, 64 << 20);
    mallopt(M_ARENA_MAX, 1);
    BaseArray::KeepLargeBlocks(kLarge);
}

}  // namespace host
