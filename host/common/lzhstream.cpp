#include "lzhstream.h"

#include <fcntl.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <climits>

#include "lasterror.h"
#include "osfile.h"

namespace {
gzFile G(void* p) {
    return static_cast<gzFile>(p);
}

// Records the stream's error: errno when zlib reports a system error, else EIO.
bool GzError(gzFile gz) {
    int zerr = Z_OK;
    if (gz) gzerror(gz, &zerr);
    if (zerr != Z_ERRNO || errno == 0) errno = EIO;
    return host::SetErrnoError();
}

class GzIStream final : public HIStream {
  public:
    explicit GzIStream(gzFile gz) : gz_(gz) {}
    ~GzIStream() override { gzclose_r(gz_); }
    std::size_t Read(void* data, std::size_t size) override {
        std::size_t total = 0;
        auto* out = static_cast<unsigned char*>(data);
        while (total < size) {
            const unsigned chunk = unsigned(std::min<std::size_t>(size - total, INT_MAX / 2));
            const int n = gzread(gz_, out + total, chunk);
            if (n < 0) {
                GzError(gz_);
                return total;
            }
            if (n == 0) break;
            total += std::size_t(n);
        }
        return total;
    }

  private:
    gzFile gz_;
};
}  // namespace

LZHFileOStream::LZHFileOStream(int level) : level_(level < 0 || level > 9 ? 6 : level) {}

LZHFileOStream::~LZHFileOStream() {
    if (gz_) gzclose_w(G(gz_));
}

bool LZHFileOStream::Assign(const char* path) {
    const int fd =
        ::open(host::OsPath(path).c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) return host::SetErrnoError();
    return AssignFd(fd);
}

bool LZHFileOStream::AssignFd(int fd) {
    if (gz_) Close();
    failed_ = false;
    char mode[4] = {'w', 'b', char('0' + level_), '\0'};
    gzFile gz = gzdopen(fd, mode);
    if (!gz) {
        ::close(fd);
        errno = errno ? errno : ENOMEM;
        return host::SetErrnoError();
    }
    gz_ = gz;
    return true;
}

bool LZHFileOStream::Write(const void* data, std::size_t size) {
    if (!gz_ || failed_) {
        if (!gz_) SetErrorN(EBADF);
        return false;
    }
    const auto* in = static_cast<const unsigned char*>(data);
    while (size > 0) {
        const unsigned chunk = unsigned(std::min<std::size_t>(size, INT_MAX / 2));
        errno = 0;
        if (gzwrite(G(gz_), in, chunk) != int(chunk)) {
            failed_ = true;
            return GzError(G(gz_));
        }
        in += chunk;
        size -= chunk;
    }
    return true;
}

bool LZHFileOStream::Close() {
    if (!gz_) return !failed_;
    errno = 0;
    const int rc = gzclose_w(G(gz_));
    gz_ = nullptr;
    if (rc != Z_OK) {
        failed_ = true;
        if (errno == 0) errno = EIO;
        return host::SetErrnoError();
    }
    return !failed_;
}

std::unique_ptr<HIStream> OpenStreamFile(const char* path) {
    const int fd = host::OpenRegularFile(path);
    if (fd < 0) return nullptr;
    gzFile gz = gzdopen(fd, "rb");
    if (!gz) {
        ::close(fd);
        errno = errno ? errno : ENOMEM;
        host::SetErrnoError();
        return nullptr;
    }
    return std::make_unique<GzIStream>(gz);
}
