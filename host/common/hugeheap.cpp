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

namespace {

// The size fields in front of a block of the heap: its chunk begins there.
constexpr std::size_t kHeader = 2 * sizeof(std::size_t);

// Takes the rest of the huge page that the top of the heap lies in, but for
// the size fields of the block after it: the blocks carved next begin on a
// huge page. The pages of that rest could only be small ones, each faulted in
// on its own; and a huge page whose first small page is already in place (the
// size fields written before the advice) is made of small pages too. Null
// when there is nothing to take, or the block did not come from the top (then
// nothing is kept).
void* TakeRestOfHugePage() {
    // The top chunk ends at the break; the next block's fields begin where it does.
    const auto top =
        reinterpret_cast<std::uintptr_t>(sbrk(0)) - std::uintptr_t(mallinfo2().keepcost);
    const std::uintptr_t rest = (kHugePageSize - top % kHugePageSize) % kHugePageSize;
    if (rest <= 3 * kHeader) return nullptr;
    // A block of n bytes takes n + kHeader / 2 rounded up to kHeader; the next
    // one's fields then lie just below the huge page, its bytes on it.
    void* block = std::malloc(rest - 2 * kHeader);
    if (block && reinterpret_cast<std::uintptr_t>(block) == top + kHeader) return block;
    std::free(block);
    return nullptr;
}

}  // namespace

bool AdviseHugeHeap(std::size_t bytes) {
    // Kept, never touched beyond its header: its pages are never faulted in.
    void* rest = TakeRestOfHugePage();
    // A block this large is carved from the top of the heap, which grows to
    // hold it; freed, it joins the top again and stays, below the trim threshold.
    void* block = std::malloc(bytes);
    if (!block) {
        std::free(rest);
        return false;
    }
    const auto begin = reinterpret_cast<std::uintptr_t>(block);
    const auto top = reinterpret_cast<std::uintptr_t>(sbrk(0));
    // A block mapped on its own (no room for the heap to grow) is not advised.
    const bool advised =
        begin <= top && top - begin >= bytes && AdviseHugePages(block, top - begin);
    std::free(block);
    if (!advised) std::free(rest);
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
