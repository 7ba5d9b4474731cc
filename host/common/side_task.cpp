#include "side_task.h"

#include <pthread.h>

#include <system_error>
#include <utility>

namespace host {

SideTask::SideTask(std::function<void()> work) {
    auto run = [this, work = std::move(work)]() noexcept {
        try {
            pthread_setname_np(pthread_self(), "side task");
            work();
        } catch (...) {
            failure_ = std::current_exception();
        }
    };
    try {
        thread_ = std::thread(run);
    } catch (const std::system_error&) {
        run();  // no thread to be had: here
    }
}

SideTask::~SideTask() {
    Join();
}

void SideTask::Join() noexcept {
    if (thread_.joinable()) thread_.join();
}

void SideTask::Wait() {
    Join();
    if (failure_) std::rethrow_exception(std::exchange(failure_, nullptr));
}

}  // namespace host
