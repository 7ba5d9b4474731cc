#include "spill_buffer.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>
#include <fcntl.h>
#include <unistd.h>

namespace host::xls::detail {

namespace {

[[noreturn]] void Fail(const char* what) {
    throw std::system_error(errno, std::generic_category(), what);
}

// An anonymous file in the temporary folder ($TMPDIR or /tmp), open for
// reading and writing and closed on exec; it is gone once closed.
FILE* AnonymousFile() {
    std::error_code ec;
    std::string name = (std::filesystem::temp_directory_path(ec) / "tripwatch-xls-XXXXXX").string();
    if (ec) name = "/tmp/tripwatch-xls-XXXXXX";
    const int fd = ::mkostemp(name.data(), O_CLOEXEC);
    if (fd < 0) return nullptr;
    ::unlink(name.c_str());
    FILE* f = ::fdopen(fd, "w+b");
    if (!f) {
        const int err = errno;
        ::close(fd);
        errno = err;
    }
    return f;
}

}  // namespace

void SpillBuffer::Append(std::span<const uint8_t> bytes) {
    held_.insert(held_.end(), bytes.begin(), bytes.end());
    size_ += bytes.size();
    if (held_.size() > limit_) Spill();
}

void SpillBuffer::Spill() {
    if (!file_) {
        file_ = host::UniqueFile(AnonymousFile());
        if (!file_) Fail("cannot make a temporary file for the workbook");
    }
    if (std::fwrite(held_.data(), 1, held_.size(), file_.get()) != held_.size())
        Fail("cannot write the workbook's temporary file");
    held_.clear();
}

void SpillBuffer::ForEachPiece(const std::function<void(std::span<const uint8_t>)>& piece) const {
    if (file_) {
        if (std::fflush(file_.get()) != 0 || std::fseek(file_.get(), 0, SEEK_SET) != 0)
            Fail("cannot read the workbook's temporary file");
        std::vector<uint8_t> chunk(1 << 16);
        for (std::size_t n; (n = std::fread(chunk.data(), 1, chunk.size(), file_.get())) > 0;)
            piece(std::span(chunk.data(), n));
        if (std::ferror(file_.get())) Fail("cannot read the workbook's temporary file");
        std::fseek(file_.get(), 0, SEEK_END);
    }
    if (!held_.empty()) piece(held_);
}

}  // namespace host::xls::detail
