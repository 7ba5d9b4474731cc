#include <fcntl.h>
#include <gtest/gtest.h>
#include <malloc.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "common/hugeheap.h"

namespace {

struct Mapping {
    std::uintptr_t from = 0, to = 0;
    bool heap = false;
    bool advised = false;  // "hg" among its VmFlags, whatever the system's own setting
};

// The first mapping of /proc/self/smaps that `wanted` takes, read without
// taking anything from the heap (whose pages a test looks at); false when
// none is.
template <typename Wanted>
bool FindMapping(const Wanted& wanted, Mapping& found) {
    static char text[1 << 20];
    const int fd = open("/proc/self/smaps", O_RDONLY);
    std::size_t size = 0;
    for (ssize_t n = 1; fd >= 0 && n > 0 && size + 1 < sizeof text; size += std::size_t(n))
        n = read(fd, text + size, sizeof text - 1 - size);
    if (fd >= 0) close(fd);
    text[size] = 0;
    Mapping m;
    for (char* line = text; *line;) {
        char* end = std::strchr(line, '\n');
        if (end) *end = 0;
        unsigned long a = 0, b = 0;
        if (std::sscanf(line, "%lx-%lx ", &a, &b) == 2 && std::strchr(line, ' ')) {
            m = {a, b, std::strstr(line, "[heap]") != nullptr, false};
        } else if (std::strncmp(line, "VmFlags:", 8) == 0) {
            m.advised = std::strstr(line, " hg") != nullptr;
            if (wanted(m)) {
                found = m;
                return true;
            }
        }
        line = end ? end + 1 : line + std::strlen(line);
    }
    return false;
}

// Whether the mapping holding `p` is advised for huge pages.
bool AdvisedForHugePages(const void* p) {
    const auto at = reinterpret_cast<std::uintptr_t>(p);
    Mapping m;
    return FindMapping([at](const Mapping& c) { return c.from <= at && at < c.to; }, m) &&
           m.advised;
}

TEST(HugeHeap, TheGrownHeapIsAdvisedOnlyWhenTheBlockComesFromIt) {
    if (host::kSanitizerHeap) GTEST_SKIP() << "the sanitizer's allocator has a heap of its own";
    // In a child each: the heap's settings are the whole process's.
    struct Case {
        bool heapHoldsLargeBlocks;
        int status;  // the child's: 0 advised, 1 refused and nothing advised
    } const cases[] = {{true, 0}, {false, 1}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.heapHoldsLargeBlocks);
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            // The C library's own threshold rises as large blocks are freed.
            if (!c.heapHoldsLargeBlocks) mallopt(M_MMAP_THRESHOLD, 128 << 10);
            const bool advised = c.heapHoldsLargeBlocks
                                     ? host::KeepLargeBlocksInHeap(64 << 20, 16 << 20)
                                     : host::AdviseHugeHeap(16 << 20);
            void* block = std::malloc(4 << 20);
            const bool hg = block && AdvisedForHugePages(static_cast<char*>(block) + (2 << 20));
            _exit(advised && hg ? 0 : !advised && !hg ? 1 : 2);
        }
        int status = -1;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), c.status);
    }
}

// Whether the small page at `at` is in memory (/proc/self/pagemap's bit 63).
bool PagePresent(std::uintptr_t at) {
    const int fd = open("/proc/self/pagemap", O_RDONLY);
    uint64_t entry = 0;
    const bool read = fd >= 0 && pread(fd, &entry, sizeof entry,
                                       off_t(at / uintptr_t(getpagesize()) * sizeof entry)) ==
                                     ssize_t(sizeof entry);
    if (fd >= 0) close(fd);
    return read && (entry >> 63) != 0;
}

// The heap's advised range must start untouched (one small page in place
// there, and the kernel builds that huge page from small ones), and the block
// carved next must begin in it, not in the heap's unadvised start.
TEST(HugeHeap, TheBlocksAfterThePolicyComeFromAnUntouchedHugePage) {
    if (host::kSanitizerHeap) GTEST_SKIP() << "the sanitizer's allocator has a heap of its own";
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // As at the start of a process: the heap's free pages given back, the
        // earlier tests' among them.
        malloc_trim(0);
        host::KeepLargeBlocksInHeap(64 << 20, 16 << 20);
        Mapping heap;
        if (!FindMapping([](const Mapping& m) { return m.heap && m.advised; }, heap)) _exit(1);
        if (PagePresent(heap.from)) _exit(2);
        // Large enough not to come from a hole left by earlier blocks.
        const auto next = reinterpret_cast<std::uintptr_t>(std::malloc(4 << 20));
        _exit(heap.from <= next && next < heap.to ? 0 : 3);
    }
    int status = -1;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "1: no advised heap, 2: its first page touched, "
                                         "3: the next block outside it";
}

}  // namespace
