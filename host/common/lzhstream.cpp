#include "lzhstream.h"

#include <fcntl.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <string>
#include <utility>

#include "deflateparts.h"
#include "lasterror.h"
#include "osfile.h"

namespace {
// Records the stream's error: errno when zlib reports a system error, else EIO.
bool GzError(gzFile gz) {
    int zerr = Z_OK;
    if (gz) gzerror(gz, &zerr);
    if (zerr != Z_ERRNO || errno == 0) errno = EIO;
    return host::SetErrnoError();
}

using UniqueGzFile = host::UniqueHandle<gzFile, &gzclose_r>;

class GzIStream final : public HIStream {
  public:
    explicit GzIStream(UniqueGzFile gz) : gz_(std::move(gz)) {}
    std::size_t Read(void* data, std::size_t size) override {
        std::size_t total = 0;
        auto* out = static_cast<unsigned char*>(data);
        while (total < size) {
            const unsigned chunk = unsigned(std::min<std::size_t>(size - total, INT_MAX / 2));
            const int n = gzread(gz_.get(), out + total, chunk);
            if (n < 0) {
                GzError(gz_.get());
                return total;
            }
            if (n == 0) break;
            total += std::size_t(n);
        }
        return total;
    }

  private:
    UniqueGzFile gz_;
};

// Input deflated at a time: a daily report in one go, a long one in pieces.
constexpr std::size_t kSegment = 4 << 20;
// A write this long is deflated from the caller's memory, not copied first.
constexpr std::size_t kDirect = 256 << 10;
constexpr std::size_t kHistory = 32768;
constexpr int kParts = 2;
}  // namespace

LZHFileOStream::LZHFileOStream(int level) : level_(level < 0 || level > 9 ? 6 : level) {}

LZHFileOStream::~LZHFileOStream() {
    if (fd_) Close();
}

bool LZHFileOStream::Assign(const char* path) {
    host::UniqueFd fd(
        ::open(host::OsPath(path).c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
    if (!fd) return host::SetErrnoError();
    return AssignFd(fd.release());
}

bool LZHFileOStream::AssignFd(int fd) {
    if (fd_) Close();
    fd_.reset(fd);
    failed_ = started_ = false;
    pending_.clear();
    history_.clear();
    crc_ = 0;
    size_ = 0;
    return true;
}

bool LZHFileOStream::Failed() {
    failed_ = true;
    return host::SetErrnoError();
}

bool LZHFileOStream::Write(const void* data, std::size_t size) {
    if (!fd_ || failed_) {
        if (!fd_) SetErrorN(EBADF);
        return false;
    }
    const auto* in = static_cast<const unsigned char*>(data);
    if (size >= kDirect)  // deflated where it lies, after what came before it
        return Emit(pending_, false) && Emit({in, size}, false);
    pending_.insert(pending_.end(), in, in + size);
    return pending_.size() < kSegment || Emit(pending_, false);
}

bool LZHFileOStream::Emit(std::span<const unsigned char> data, bool final) {
    std::string out;
    if (!started_) host::AppendGzipHeader(out);
    if ((!data.empty() || final) &&
        !host::DeflateInParts(history_, data, level_, kParts, final, out, crc_)) {
        failed_ = true;
        return false;
    }
    size_ += data.size();
    if (final) host::AppendGzipTrailer(out, crc_, size_);
    // The next part's dictionary: the last 32 KiB of all the input so far.
    history_.insert(history_.end(), data.end() - std::ptrdiff_t(std::min(kHistory, data.size())),
                    data.end());
    if (history_.size() > kHistory)
        history_.erase(history_.begin(), history_.end() - std::ptrdiff_t(kHistory));
    if (data.data() == pending_.data()) pending_.clear();
    started_ = true;
    if (const int err = host::WriteAll(fd_.get(), out.data(), out.size())) {
        errno = err;
        return Failed();
    }
    return true;
}

bool LZHFileOStream::Close() {
    if (!fd_) return !failed_;
    const bool emitted = failed_ || Emit(pending_, true);
    if (fd_.Close() != 0 && !failed_) return Failed();
    return emitted && !failed_;
}

std::unique_ptr<HIStream> OpenStreamFile(const char* path, unsigned buffer) {
    host::UniqueFd fd(host::OpenRegularFile(path));
    if (!fd) return nullptr;
    UniqueGzFile gz(gzdopen(fd.get(), "rb"));
    if (gz) gzbuffer(gz.get(), std::max(buffer, 2u));
    if (!gz) {
        errno = errno ? errno : ENOMEM;
        host::SetErrnoError();
        return nullptr;
    }
    (void)fd.release();  // the gz stream closes it
    return std::make_unique<GzIStream>(std::move(gz));
}
