// Work done on a thread of its own while the caller goes on with other work,
// for a step whose result is needed only later (the operations of a day while
// its incidents are computed, a file flushed while another is written).
#pragma once

#include <exception>
#include <functional>
#include <thread>

namespace host {

// Owns the thread it starts; the work runs at once in the constructor when no
// thread is to be had. Not copied or moved.
class SideTask {
  public:
    explicit SideTask(std::function<void()> work);
    SideTask(const SideTask&) = delete;
    SideTask& operator=(const SideTask&) = delete;
    // Waits for the work: nothing it uses goes out of scope under it. An
    // exception it threw is dropped; call Wait() to have it.
    ~SideTask();
    // Waits for the work to end, and throws again what the work threw.
    void Wait();

  private:
    void Join() noexcept;
    std::exception_ptr failure_;
    std::thread thread_;
};

}  // namespace host
