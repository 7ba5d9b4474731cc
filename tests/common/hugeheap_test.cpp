#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
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

}  // namespace
