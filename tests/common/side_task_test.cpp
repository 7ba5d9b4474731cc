#include "common/side_task.h"

#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <thread>

namespace {

TEST(SideTask, RunsBesideTheCallerAndIsWaitedForOnEveryWayOut) {
    // The work runs on a thread of its own: it can wait for the caller.
    std::atomic<bool> callerWent{false};
    std::thread::id workThread;
    int result = 0;
    {
        host::SideTask task([&] {
            while (!callerWent.load())
                std::this_thread::yield();
            workThread = std::this_thread::get_id();
            result = 42;
        });
        callerWent = true;
        task.Wait();
        EXPECT_EQ(result, 42);
        EXPECT_NE(workThread, std::this_thread::get_id());
        task.Wait();  // a second wait is no harm
    }
    // Left without a wait, the scope still waits for the work to end.
    std::atomic<bool> ended{false};
    {
        host::SideTask task([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            ended = true;
        });
    }
    EXPECT_TRUE(ended.load());
    // What the work threw comes out of Wait, once; the destructor drops it.
    host::SideTask failing([] { throw std::runtime_error("no room"); });
    EXPECT_THROW(
        {
            try {
                failing.Wait();
            } catch (const std::runtime_error& e) {
                EXPECT_STREQ(e.what(), "no room");
                throw;
            }
        },
        std::runtime_error);
    EXPECT_NO_THROW(failing.Wait());
    {
        host::SideTask dropped([] { throw std::runtime_error("dropped"); });
    }
}

}  // namespace
