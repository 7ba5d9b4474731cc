// host::UniqueHandle: the sole owner of a file descriptor or a C library handle,
// which its closing function closes when the owner dies (a failure there is not
// seen); Close() closes at once and hands back the closing function's result,
// for the writers that must see a failed close (NFS, a full disk).
#pragma once

#include <type_traits>
#include <utility>

namespace host {

// `Handle` is the handle's type, `CloseFn` the function that closes one and
// `Invalid` the value that owns nothing (-1 for a descriptor, null for a pointer).
// No copy; a move hands the handle on and leaves the source owning nothing.
template <typename Handle, auto CloseFn, Handle Invalid = Handle{}>
class UniqueHandle {
  public:
    UniqueHandle() noexcept = default;
    explicit UniqueHandle(Handle h) noexcept : h_(h) {}
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    UniqueHandle(UniqueHandle&& o) noexcept : h_(o.release()) {}
    // Closes what this owned, then takes the other's handle.
    UniqueHandle& operator=(UniqueHandle&& o) noexcept {
        reset(o.release());
        return *this;
    }
    ~UniqueHandle() { reset(); }

    Handle get() const noexcept { return h_; }
    explicit operator bool() const noexcept { return h_ != Invalid; }

    // Gives the handle up without closing it: the caller owns it now.
    [[nodiscard]] Handle release() noexcept { return std::exchange(h_, Invalid); }
    // Closes the handle owned (its result unseen) and owns `h` instead.
    void reset(Handle h = Invalid) noexcept {
        const Handle old = std::exchange(h_, h);
        if (old != Invalid) CloseFn(old);
    }
    // Closes the handle now and owns nothing; the closing function's result (0
    // when nothing was owned, and for a closing function that returns nothing).
    int Close() noexcept {
        if (h_ == Invalid) return 0;
        const Handle old = release();
        if constexpr (std::is_void_v<decltype(CloseFn(old))>) {
            CloseFn(old);
            return 0;
        } else {
            return int(CloseFn(old));
        }
    }

  private:
    Handle h_ = Invalid;
};

// close(2) of a descriptor: 0, or -1 with errno set.
int CloseFd(int fd) noexcept;

// An owned file descriptor; Close() gives close(2)'s result (-1 with errno set).
using UniqueFd = UniqueHandle<int, &CloseFd, -1>;

}  // namespace host
