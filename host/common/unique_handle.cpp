#include "unique_handle.h"

#include <unistd.h>

namespace host {

// Not retried on EINTR: Linux releases the descriptor whatever close returns.
int CloseFd(int fd) noexcept {
    return ::close(fd);
}

}  // namespace host
