// The process's heap backed by 2 MB pages where the system allows it for
// memory that asks (transparent huge pages set to "madvise" or "always").
#pragma once

#include <cstddef>

namespace host {

// Grows the heap by `bytes` of address space (nothing is touched) and asks the
// system to back its whole 2 MB pages with huge pages: a fresh process then
// takes one page fault per 2 MB of what it allocates from there, not one per
// 4 kB, which on a virtual machine costs more than filling the memory. Call
// after the heap's mmap threshold is set above `bytes` and its trim threshold
// above the heap. False, and nothing changed but the heap's size, when the
// heap cannot grow that far in one piece or the system refuses the advice.
bool AdviseHugeHeap(std::size_t bytes);

}  // namespace host
