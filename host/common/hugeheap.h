// The process's heap backed by 2 MB pages where the system allows it for
// memory that asks (transparent huge pages set to "madvise" or "always").
#pragma once

#include <cstddef>

namespace host {

// Whether a sanitizer's allocator stands in for the C library's heap (ASan and
// TSan, built by GCC or Clang): then there is no heap to advise.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
inline constexpr bool kSanitizerHeap = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
inline constexpr bool kSanitizerHeap = true;
#else
inline constexpr bool kSanitizerHeap = false;
#endif
#else
inline constexpr bool kSanitizerHeap = false;
#endif

// The size of a huge page.
inline constexpr std::size_t kHugePageSize = std::size_t(2) << 20;

// Asks the system to back the whole huge pages inside [begin, begin + bytes)
// with huge pages; false when there are none or the system refuses.
bool AdviseHugePages(void* begin, std::size_t bytes);

// Grows the heap by `bytes` of address space (nothing is touched) and asks the
// system to back its whole 2 MB pages with huge pages: a fresh process then
// takes one page fault per 2 MB of what it allocates from there, not one per
// 4 kB, which on a virtual machine costs more than filling the memory. Call
// after the heap's mmap threshold is set above `bytes` and its trim threshold
// above the heap. False, and nothing changed but the heap's size, when the
// heap cannot grow that far in one piece or the system refuses the advice.
bool AdviseHugeHeap(std::size_t bytes);

// For a process that allocates and frees blocks of megabytes again and again
// (a run, a period's statistics): blocks below `keep` bytes come from the heap
// and stay in it when freed, neither mapped afresh nor trimmed away, so that
// the next block finds its pages in place; and the heap's first `huge` bytes
// (below `keep`) are advised for huge pages. Call at the start, before any
// thread. False when the advice could not be given (the heap cannot grow that
// far): the rest holds all the same.
bool KeepLargeBlocksInHeap(std::size_t keep, std::size_t huge);

// The heap of a process that runs the daily job, for one day or many: blocks
// of a run (the day's samples, the report, its deflated parts) kept below
// 256 MB, the first 64 MB in huge pages, one arena that all of a run's threads
// share (what one has freed another uses again instead of faulting in pages of
// its own), and the large arrays' own mappings kept too. Call at the start,
// before any thread; it cannot fail, only help less.
void KeepBlocksForRuns();

}  // namespace host
