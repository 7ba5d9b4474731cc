#include <fcntl.h>
#include <gtest/gtest.h>
#include <malloc.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>

#include "common/hugeheap.h"

namespace {

// Whether the mapping holding `p` is advised for huge pages ("hg" among the
// VmFlags of /proc/self/smaps, whatever the system's own setting).
bool AdvisedForHugePages(const void* p) {
    const auto at = reinterpret_cast<std::uintptr_t>(p);
    std::ifstream smaps("/proc/self/smaps");
    bool inside = false;
    for (std::string line; std::getline(smaps, line);) {
        std::uintptr_t from = 0, to = 0;
        char dash = 0;
        std::istringstream head(line);
        if (head >> std::hex >> from >> dash >> to && dash == '-') {
            inside = from <= at && at < to;
        } else if (inside && line.rfind("VmFlags:", 0) == 0) {
            return (line + " ").find(" hg ") != std::string::npos;
        }
    }
    return false;
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

// The first range of the heap advised for huge pages, read without taking
// anything from the heap; false when there is none.
bool FirstAdvisedHeapRange(std::uintptr_t& from, std::uintptr_t& to) {
    static char text[1 << 20];
    const int fd = open("/proc/self/smaps", O_RDONLY);
    std::size_t size = 0;
    for (ssize_t n = 1; fd >= 0 && n > 0 && size + 1 < sizeof text; size += std::size_t(n))
        n = read(fd, text + size, sizeof text - 1 - size);
    if (fd >= 0) close(fd);
    text[size] = 0;
    bool heap = false;
    for (char* line = text; *line;) {
        char* end = std::strchr(line, '\n');
        if (end) *end = 0;
        unsigned long a = 0, b = 0;
        if (std::sscanf(line, "%lx-%lx ", &a, &b) == 2 && std::strchr(line, ' ')) {
            heap = std::strstr(line, "[heap]") != nullptr;
            from = a, to = b;
        } else if (heap && std::strncmp(line, "VmFlags:", 8) == 0 && std::strstr(line, " hg")) {
            return true;
        }
        line = end ? end + 1 : line + std::strlen(line);
    }
    return false;
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
        std::uintptr_t from = 0, to = 0;
        if (!FirstAdvisedHeapRange(from, to)) _exit(1);
        if (PagePresent(from)) _exit(2);
        // Large enough not to come from a hole left by earlier blocks.
        const auto next = reinterpret_cast<std::uintptr_t>(std::malloc(4 << 20));
        _exit(from <= next && next < to ? 0 : 3);
    }
    int status = -1;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "1: no advised heap, 2: its first page touched, "
                                         "3: the next block outside it";
}

}  // namespace
