// Naming of report files: base, report period, counter, extension; and writing
// a new file under such a name without ever replacing one.
#include <algorithm>
#include <cerrno>
#include <climits>
#include <string>

#include "common/cp1251.h"
#include "common/lasterror.h"
#include "common/osfile.h"
#include "common/paths.h"
#include "common/strutil.h"
#include "tw_file.h"

namespace {

constexpr std::size_t kMaxName = 260;
// The longest name of a file inside its folder (bytes of its UTF-8 form).
constexpr std::size_t kMaxOwnName = 255;

std::size_t Utf8Size(const std::string& cp1251) {
    return host::Cp1251ToUtf8(cp1251).size();
}

// `base` followed by `tail`: the base's own name (after its folder) is
// shortened, from its end, until the whole fits 260 characters and the file's
// own name 255 bytes. Empty (last error naming the path) when even the folder
// and the tail alone do not fit: the folder is never cut.
std::string Fitted(const std::string& base, const std::string& tail) {
    const std::size_t slash = base.find_last_of("/\\");
    const std::size_t own = slash == std::string::npos ? 0 : slash + 1;
    if (!host::FitsPath(base.substr(0, own) + tail)) return {};
    std::string head = base.substr(0, kMaxName - std::min(kMaxName, tail.size()));
    std::size_t size = Utf8Size(head.substr(own) + tail);
    while (head.size() > own && size > kMaxOwnName) {
        size -= Utf8Size(head.substr(head.size() - 1));
        head.pop_back();
    }
    return head + tail;
}

}  // namespace

void TW_File::MakeFileName(const char* base, const char* ext) {
    reservedBase_ = base ? base : "";  // copied first: `base` may lie in FileName
    reservedExt_ = ext ? std::optional<std::string>(ext) : std::nullopt;
    FreeName(FileName, reservedBase_.c_str(), ext, 0);
    reserved_ = FileName;
}

void TW_File::MakeFileName(StatString<261>& out, const char* base, const char* ext) {
    if (&out == &FileName)
        MakeFileName(base, ext);
    else
        FreeName(out, base, ext, 0);
}

int TW_File::FreeName(StatString<261>& out, const char* base, const char* ext, int from) const {
    if (!ext) ext = "twr";
    const std::string period =
        host::Format(" %02d-%02d-%04d %02d_%02d-%02d_%02d", Start.Day, Start.Month, Start.Year,
                     Start.Hour, Start.Minute, End.Hour, End.Minute);
    const std::string work = base ? base : "";
    for (int n = std::max(from, 0);; ++n) {
        const std::string suffix = n ? host::Format(" (%d).%s", n, ext) : host::Format(".%s", ext);
        const std::string name = Fitted(work, period + suffix);
        if (name.empty()) return -1;
        out.Set(name.c_str());
        if (!host::FileExists(out)) return n;
        if (n == INT_MAX) {
            SetErrorN(EEXIST);
            return -1;
        }
    }
}

bool TW_File::WriteNewFile(StatString<261>& out, const char* base, const char* ext,
                           const FileWriter& write) {
    for (int n = FreeName(out, base, ext, 0);; n = FreeName(out, base, ext, n + 1)) {
        if (n < 0) return false;  // the name does not fit, or every number is taken
        host::PendingFile temp(host::OsPath(out));
        if (!temp.ok() || !write(temp.path(), out)) return false;
        if (temp.Publish(host::OsPath(out))) return true;
        if (GetIOErrorN() != unsigned(EEXIST)) return false;
        if (n == INT_MAX) {
            SetErrorN(EEXIST);
            return false;
        }
    }
}
