// A value of each thread made at the thread's first use of it, on the heap.
// A thread's static storage is copied and cleared whenever a thread starts,
// each new page of it faulted in; a cache or a buffer of kilobytes held that
// way costs every thread of the process, used or not.
#pragma once

#include <memory>

namespace host {

// The calling thread's T, value-initialised at its first call; it lives until
// the thread ends. Throws std::bad_alloc when there is no memory for it.
template <typename T>
T& PerThread() {
    thread_local std::unique_ptr<T> value;
    if (!value) value = std::make_unique<T>();
    return *value;
}

}  // namespace host
