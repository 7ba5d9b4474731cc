#include "osfile.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "cp1251.h"
#include "lasterror.h"

namespace host {

std::string OsPath(const char* cp1251Path) {
    std::string s = Cp1251ToUtf8(cp1251Path ? cp1251Path : "");
    for (char& c : s)
        if (c == '\\') c = '/';
    return s;
}

bool FileExists(const char* path) {
    return ::access(OsPath(path).c_str(), F_OK) == 0;
}

bool IsDirectory(const char* path) {
    struct stat st {};
    return ::stat(OsPath(path).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool DeleteFile(const char* path) {
    if (::unlink(OsPath(path).c_str()) == 0) return true;
    return SetErrnoError();
}

bool RenameFile(const char* from, const char* to) {
    if (::rename(OsPath(from).c_str(), OsPath(to).c_str()) == 0) return true;
    return SetErrnoError();
}

bool MakeDirectories(const char* path) {
    std::string p = OsPath(path);
    if (p.empty()) return true;
    for (std::size_t i = 1; i <= p.size(); ++i) {
        if (i == p.size() || p[i] == '/') {
            const std::string part = p.substr(0, i);
            if (::mkdir(part.c_str(), 0777) != 0 && errno != EEXIST) return SetErrnoError();
        }
    }
    struct stat st {};
    if (::stat(p.c_str(), &st) != 0) return SetErrnoError();
    if (!S_ISDIR(st.st_mode)) {
        SetErrorN(ENOTDIR);
        return false;
    }
    return true;
}

std::string DisplayOsName(const std::string& osName) {
    std::string cp;
    if (Utf8ToCp1251(osName, cp)) return cp;
    bool utf8 = true;
    for (std::size_t i = 0; i < osName.size() && utf8;)
        utf8 = DecodeUtf8(osName, i) != char32_t(0xFFFFFFFF);
    if (utf8) return Utf8ToCp1251Lossy(osName);
    std::string out;
    for (const char c : osName) {
        const auto b = static_cast<unsigned char>(c);
        if (b < 0x80) {
            out += c;
        } else {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02X", b);
            out += hex;
        }
    }
    return out;
}

bool ForEachDirEntry(const char* folder,
                     const std::function<bool(const char* name, bool isFolder)>& visit,
                     std::vector<std::string>* unnamed) {
    const std::string dirPath = OsPath(folder);
    const UniqueHandle<DIR*, &::closedir> dir(::opendir(dirPath.empty() ? "." : dirPath.c_str()));
    if (!dir) return SetErrnoError();
    std::string cp;
    while (dirent* e = ::readdir(dir.get())) {
        if (!std::strcmp(e->d_name, ".") || !std::strcmp(e->d_name, "..")) continue;
        if (!Utf8ToCp1251(e->d_name, cp)) {  // no cp1251 form: not mangled into another name
            if (unnamed) unnamed->push_back(DisplayOsName(e->d_name));
            continue;
        }
        bool isFolder = e->d_type == DT_DIR;
        if (e->d_type == DT_UNKNOWN || e->d_type == DT_LNK) {
            struct stat st {};
            const std::string full = dirPath + "/" + e->d_name;
            isFolder = ::stat(full.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
        }
        if (!visit(cp.c_str(), isFolder)) break;
    }
    return true;
}

int CloseStream(FILE* f) noexcept {
    return std::fclose(f);
}

bool UniqueFile::Close() {
    if (!f_) return true;
    const bool bad = std::ferror(f_.get()) != 0;
    const int rc = f_.Close();
    if (bad || rc != 0) {
        if (!errno) errno = EIO;
        return SetErrnoError();
    }
    return true;
}

int OpenRegularOsFile(const std::string& osPath) {
    UniqueFd fd(::open(osPath.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
    if (!fd) {
        SetErrnoError();
        return -1;
    }
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0) {
        SetErrnoError();
        return -1;
    }
    if (!S_ISREG(st.st_mode)) {
        using namespace host::literals;
        SetError("%s", "Не является обычным файлом!"_cp);
        return -1;
    }
    ::fcntl(fd.get(), F_SETFL, ::fcntl(fd.get(), F_GETFL) & ~O_NONBLOCK);
    return fd.release();
}

int OpenRegularFile(const char* path) {
    return OpenRegularOsFile(OsPath(path));
}

namespace {
bool ReadsOnly(const char* mode) {
    return mode[0] == 'r' && !std::strchr(mode, '+');
}
}  // namespace

UniqueFile OpenFile(const char* path, const char* mode) {
    if (ReadsOnly(mode)) {
        UniqueFd fd(OpenRegularFile(path));
        if (!fd) return UniqueFile();
        FILE* f = ::fdopen(fd.get(), mode);
        if (!f) {
            SetErrnoError();
            return UniqueFile();
        }
        (void)fd.release();  // the stream owns it now
        return UniqueFile(f);
    }
    FILE* f = std::fopen(OsPath(path).c_str(), mode);
    if (!f) SetErrnoError();
    return UniqueFile(f);
}

std::string MakeTempBeside(const char* path, UniqueFd& fd) {
    std::string tmpl = OsPath(path) + ".tmpXXXXXX";
    fd.reset(::mkstemp(tmpl.data()));
    if (!fd) {
        SetErrnoError();
        return std::string();
    }
    ::fchmod(fd.get(), 0644);  // mkstemp creates 0600; reports are meant to be read by others
    return tmpl;
}

namespace {

// fsync of a file given by name; false (last error set) on failure.
bool SyncFile(const std::string& osPath) {
    const UniqueFd fd(::open(osPath.c_str(), O_RDONLY | O_CLOEXEC));
    if (!fd || ::fsync(fd.get()) != 0) return SetErrnoError();
    return true;
}

}  // namespace

bool PublishFile(const std::string& osFrom, const std::string& osTo) {
    if (!SyncFile(osFrom)) return false;
    if (::renameat2(AT_FDCWD, osFrom.c_str(), AT_FDCWD, osTo.c_str(), RENAME_NOREPLACE) == 0)
        return true;
    if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP) return SetErrnoError();
    // A file system without that rename: a second link fails on an existing name too.
    if (::link(osFrom.c_str(), osTo.c_str()) == 0) {
        ::unlink(osFrom.c_str());
        return true;
    }
    if (errno != EPERM && errno != ENOTSUP) return SetErrnoError();
    // Nor links (FAT, some network shares): the name is tested just before.
    if (::access(osTo.c_str(), F_OK) == 0) {
        SetErrorN(EEXIST);
        return false;
    }
    if (::rename(osFrom.c_str(), osTo.c_str()) != 0) return SetErrnoError();
    return true;
}

bool ResolveOutput(const std::string& osTarget, std::string& resolved, bool& inPlace) {
    using namespace host::literals;
    inPlace = false;
    resolved = osTarget;
    struct stat st {};
    if (::lstat(osTarget.c_str(), &st) != 0) {
        if (errno == ENOENT) return true;  // a new file
        return SetErrnoError();
    }
    if (S_ISLNK(st.st_mode)) {
        char* real = ::realpath(osTarget.c_str(), nullptr);
        if (!real) return SetErrnoError();  // ENOENT: a link to nothing
        resolved = real;
        std::free(real);
        if (::stat(resolved.c_str(), &st) != 0) return SetErrnoError();
    }
    if (S_ISREG(st.st_mode)) return true;
    if (S_ISCHR(st.st_mode)) {
        inPlace = true;
        return true;
    }
    SetError("Не является обычным файлом: %s"_cp, resolved.c_str());
    return false;
}

namespace {
// Copies the whole file `osFrom` into the device `osDevice`; 0 or an errno.
int CopyInto(const std::string& osFrom, const std::string& osDevice) {
    const UniqueFd from(::open(osFrom.c_str(), O_RDONLY | O_CLOEXEC));
    const UniqueFd to(::open(osDevice.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY));
    if (!from || !to) return errno;
    char buf[65536];
    for (;;) {
        const ssize_t n = ::read(from.get(), buf, sizeof buf);
        if (n == 0) return 0;
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return errno;
        if (const int err = WriteAll(to.get(), buf, std::size_t(n))) return err;
    }
}

// The folder a temporary file for `osTarget` goes to, with its final "/":
// beside the file it will replace, or the temporary folder for a device.
std::string TempFolderFor(const std::string& osTarget) {
    std::string resolved;
    bool inPlace = false;
    if (ResolveOutput(osTarget, resolved, inPlace) && inPlace) {
        const char* tmp = std::getenv("TMPDIR");
        return std::string(tmp && *tmp ? tmp : "/tmp") + "/";
    }
    const std::string& path = resolved.empty() ? osTarget : resolved;
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}
}  // namespace

PendingFile::PendingFile(const std::string& osTarget) {
    std::string name = TempFolderFor(osTarget) + ".tripwatch-XXXXXX.part";
    const UniqueFd fd(::mkstemps(name.data(), 5));
    if (!fd) {
        SetErrnoError();
        return;
    }
    ::fchmod(fd.get(), 0644);  // mkstemps creates 0600; reports are meant to be read by others
    path_ = name;
}

PendingFile::~PendingFile() {
    if (!path_.empty()) ::unlink(path_.c_str());
}

bool PendingFile::Sync() {
    synced_ = ok() && SyncFile(path_);
    return synced_;
}

bool PendingFile::Publish(const std::string& osTarget) {
    if (!ok() || !PublishFile(path_, osTarget)) return false;
    path_.clear();
    return true;
}

bool PendingFile::Replace(const std::string& osTarget) {
    std::string target;
    bool inPlace = false;
    if (!ok() || !ResolveOutput(osTarget, target, inPlace)) return false;
    if (inPlace) {
        if (const int err = CopyInto(path_, target)) {
            SetErrorN(unsigned(err));
            return false;
        }
        return true;  // the file itself is removed by the destructor
    }
    // The file replaced keeps its permission bits.
    struct stat st {};
    if (::stat(target.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
        ::chmod(path_.c_str(), st.st_mode & 07777) != 0)
        return SetErrnoError();
    if (!synced_ && !SyncFile(path_)) return false;
    if (::rename(path_.c_str(), target.c_str()) != 0) return SetErrnoError();
    path_.clear();
    return true;
}

namespace {
// Permission bits for a new file: those of the file being replaced, or what the
// process's umask leaves of rw-rw-rw- (read without changing the umask).
mode_t TargetMode(const std::string& osPath) {
    struct stat st {};
    if (::stat(osPath.c_str(), &st) == 0 && S_ISREG(st.st_mode)) return st.st_mode & 07777;
    mode_t mask = 022;
    if (const UniqueFile f{std::fopen("/proc/self/status", "re")}) {
        char line[256];
        while (std::fgets(line, sizeof line, f.get())) {
            unsigned value = 0;
            if (std::sscanf(line, "Umask: %o", &value) == 1) {
                mask = static_cast<mode_t>(value);
                break;
            }
        }
    }
    return 0666 & ~mask;
}
}  // namespace

int WriteAll(int fd, const void* data, std::size_t size) {
    const auto* bytes = static_cast<const char*>(data);
    for (std::size_t done = 0; done < size;) {
        const ssize_t n = ::write(fd, bytes + done, size - done);
        if (n > 0)
            done += std::size_t(n);
        else if (n == 0)
            return EIO;  // nothing taken: the loop would never end
        else if (errno != EINTR)
            return errno;
    }
    return 0;
}

namespace {

// What a fill returns when its producer gave up with the last error set.
constexpr int kGaveUp = -1;

// A temporary file beside `osPath` filled by `fill(fd)` (0, an errno, or
// kGaveUp), synced and renamed over it; removed on any failure.
template <typename Fill>
bool WriteAtomically(const std::string& osTarget, const Fill& fill) {
    std::string osPath;
    bool inPlace = false;
    if (!ResolveOutput(osTarget, osPath, inPlace)) return false;
    if (inPlace) {
        const UniqueFd device(::open(osPath.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY));
        if (!device) return SetErrnoError();
        if (const int err = fill(device.get())) {
            if (err != kGaveUp) SetErrorN(unsigned(err));
            return false;
        }
        return true;
    }
    std::string temp = osPath + ".tmpXXXXXX";
    UniqueFd fd(::mkstemp(temp.data()));
    if (!fd) return SetErrnoError();
    int err = 0;
    if (::fchmod(fd.get(), TargetMode(osPath)) != 0) err = errno;
    if (err == 0) err = fill(fd.get());
    if (err == 0 && ::fsync(fd.get()) != 0) err = errno;
    if (fd.Close() != 0 && err == 0) err = errno;
    if (err == 0 && ::rename(temp.c_str(), osPath.c_str()) != 0) err = errno;
    if (err != 0) {
        ::unlink(temp.c_str());
        if (err != kGaveUp) SetErrorN(unsigned(err));
        return false;
    }
    return true;
}
}  // namespace

bool WriteOsFileAtomically(const std::string& osPath, const void* data, std::size_t size) {
    return WriteAtomically(osPath, [&](int fd) { return WriteAll(fd, data, size); });
}

bool WriteFileAtomically(const char* path, const std::function<bool(std::string&)>& next) {
    return StreamFileAtomically(path, [&](const PieceWriter& write) {
        std::string piece;
        for (bool more = true; more;) {
            piece.clear();
            more = next(piece);
            if (!write(piece)) return false;
        }
        return true;
    });
}

bool StreamFileAtomically(const char* path,
                          const std::function<bool(const PieceWriter&)>& produce) {
    return StreamOsFileAtomically(OsPath(path), produce);
}

bool StreamOsFileAtomically(const std::string& osPath,
                            const std::function<bool(const PieceWriter&)>& produce) {
    return WriteAtomically(osPath, [&](int fd) {
        int err = 0;
        const bool ok = produce([&](std::string_view piece) {
            err = WriteAll(fd, piece.data(), piece.size());
            return err == 0;
        });
        return err ? err : ok ? 0 : kGaveUp;
    });
}

bool WriteOsFile(const std::string& osPath, const std::string& data) {
    return WriteOsFile(osPath, {std::string_view(data)});
}

bool WriteOsFile(const std::string& osPath, std::initializer_list<std::string_view> parts) {
    UniqueFd fd(::open(osPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
    if (!fd) return SetErrnoError();
    int err = 0;
    for (auto part = parts.begin(); part != parts.end() && err == 0; ++part)
        err = WriteAll(fd.get(), part->data(), part->size());
    if (fd.Close() != 0 && err == 0) err = errno;
    if (err == 0) return true;
    SetErrorN(unsigned(err));
    return false;
}

bool WriteFileAtomically(const char* path, const std::string& data) {
    return WriteOsFileAtomically(OsPath(path), data.data(), data.size());
}

bool ReadWholeFile(const char* path, std::string& out, std::size_t limit) {
    out.clear();
    UniqueFile f = OpenFile(path, "rb");
    if (!f) return false;
    // Room for what the file says it holds, taken at once; read on to its
    // end whatever that is.
    struct stat st {};
    if (fstat(fileno(f.get()), &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0)
        out.reserve(std::min(std::size_t(st.st_size), limit));
    char buf[65536];
    for (;;) {
        const std::size_t n = std::fread(buf, 1, sizeof buf, f.get());
        if (n == 0) break;
        if (out.size() + n > limit) {
            SetErrorN(EFBIG);
            return false;
        }
        out.append(buf, n);
    }
    if (std::ferror(f.get())) return SetErrnoError();
    return true;
}

}  // namespace host
