// Naming of report files: base, report period, counter, extension.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <algorithm>
#include <climits>
#include <string>

#include "common/osfile.h"
#include "common/strutil.h"
#include "tw_file.h"

namespace {
constexpr std::size_t kMaxName = 260;
}

void TW_File::MakeFileName(const char* base, const char* ext) {
    DropReservation();
    if (ReserveName(FileName, base, ext)) reserved_ = FileName;
}

void TW_File::MakeFileName(StatString<261>& out, const char* base, const char* ext) {
    if (&out == &FileName) {
        MakeFileName(base, ext);
        return;
    }
    ReserveName(out, base, ext);
}

bool TW_File::ReserveName(StatString<261>& out, const char* base, const char* ext) {
    if (!ext) ext = "twr";
    std::string work = base ? base : "";
    work += host::Format(" %02d-%02d-%04d %02d_%02d-%02d_%02d", Start.Day, Start.Month, Start.Year,
                         Start.Hour, Start.Minute, End.Hour, End.Minute);
    if (work.size() > kMaxName) work.resize(kMaxName);

    for (int n = 0; n < INT_MAX; ++n) {
        const std::string suffix = n ? host::Format(" (%d).%s", n, ext) : host::Format(".%s", ext);
        // The counter and the extension always fit: the base gives way to them.
        std::string name = work.substr(0, kMaxName - std::min(kMaxName, suffix.size())) + suffix;
        out.Set(name.c_str());
        // Exclusive creation: a name taken by anyone, even at this very moment, is
        // never handed out twice.
        const int fd =
            ::open(host::OsPath(out).c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (fd >= 0) {
            ::close(fd);
            return true;
        }
        if (errno != EEXIST) return false;  // the write that follows reports why
    }
    return false;
}

void TW_File::DropReservation() {
    if (!reserved_.Empty() && StrCmp(reserved_, FileName) == 0) {
        // Only the empty file made by the reservation is removed, never content.
        const int saved = errno;
        const std::string path = host::OsPath(reserved_);
        struct stat st {};
        if (::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && st.st_size == 0)
            ::unlink(path.c_str());
        errno = saved;
    }
    reserved_.Clear();
}
