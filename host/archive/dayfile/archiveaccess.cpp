#include "archiveaccess.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <unistd.h>
#include <zlib.h>

#include <cctype>
#include <charconv>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <thread>

#include "common/cp1251.h"
#include "common/lasterror.h"
#include "common/osfile.h"
#include "archive/dayfile/archivefolder.h"

using namespace host::literals;

namespace host::archive {

namespace {

constexpr const char* kJournalHead = "RTHA journal 1";
constexpr std::size_t kTempSuffix = 10;  // ".tmpXXXXXX" of mkstemp

bool SyncFolder(const std::string& osFolder) {
    const UniqueFd d(::open(osFolder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!d || ::fsync(d.get()) != 0) return SetErrnoError();
    return true;
}

// "YYYY-MM-DD.rta" by its form (the date itself is the day file reader's).
bool IsDayName(const std::string& name) {
    if (name.size() != 14 || name.compare(10, 4, ".rta") != 0 || name[4] != '-' || name[7] != '-')
        return false;
    for (int i : {0, 1, 2, 3, 5, 6, 8, 9})
        if (name[std::size_t(i)] < '0' || name[std::size_t(i)] > '9') return false;
    return true;
}

bool HasTempSuffix(const std::string& name, std::size_t baseLength) {
    if (name.size() != baseLength + kTempSuffix || name.compare(baseLength, 4, ".tmp") != 0)
        return false;
    for (std::size_t i = baseLength + 4; i < name.size(); ++i)
        if (!std::isalnum(static_cast<unsigned char>(name[i]))) return false;
    return true;
}

// A temporary file that a writer of this folder makes beside a day file, the
// zone file or the journal.
bool IsStrayTemp(const std::string& name) {
    if (name.size() <= kTempSuffix) return false;
    const std::string base = name.substr(0, name.size() - kTempSuffix);
    return HasTempSuffix(name, base.size()) &&
           (IsDayName(base) || base == kZoneName || base == kJournalName);
}

bool ParseJournal(const std::string& text, std::vector<JournalEntry>& entries) {
    entries.clear();
    std::size_t pos = 0;
    auto next = [&](std::string& line) {
        const std::size_t eol = text.find('\n', pos);
        if (eol == std::string::npos) return false;
        line = text.substr(pos, eol - pos);
        pos = eol + 1;
        return true;
    };
    std::string line;
    if (!next(line) || line != kJournalHead) return false;
    while (next(line)) {
        if (line == "end") return pos == text.size();
        const std::size_t space = line.find(' ');
        if (space == std::string::npos) return false;
        JournalEntry e{line.substr(0, space), line.substr(space + 1)};
        if (!IsDayName(e.second) || e.first.compare(0, e.second.size(), e.second) != 0 ||
            !HasTempSuffix(e.first, e.second.size()))
            return false;
        entries.push_back(std::move(e));
    }
    return false;
}

// The folder's journal and stray temporary files.
bool Inspect(const std::string& folder, bool& journal, std::vector<std::string>& strays) {
    journal = false;
    strays.clear();
    return ForEachDirEntry(folder.c_str(), [&](const char* name, bool isFolder) {
        if (!isFolder && std::strcmp(name, kJournalName) == 0) journal = true;
        if (!isFolder && IsStrayTemp(name)) strays.emplace_back(name);
        return true;
    });
}

uint32_t OffsetsCrc() {
    uLong crc = crc32(0L, Z_NULL, 0);
    for (int year = 1970; year <= 2037; ++year)
        for (int month = 0; month < 12; ++month) {
            struct tm utc {};
            utc.tm_year = year - 1900;
            utc.tm_mon = month;
            utc.tm_mday = 1;
            utc.tm_hour = 12;
            const time_t t = timegm(&utc);
            struct tm local {};
            const int32_t offset = localtime_r(&t, &local) ? int32_t(local.tm_gmtoff) : 0;
            crc = crc32(crc, reinterpret_cast<const Bytef*>(&offset), sizeof offset);
        }
    return uint32_t(crc);
}

// A zone's name from a TZ value or a zone file's path: ":/usr/share/zoneinfo/X" is X.
std::string ZoneNameOf(std::string value) {
    if (!value.empty() && value.front() == ':') value.erase(0, 1);
    const std::size_t at = value.find("zoneinfo/");
    return at == std::string::npos ? value : value.substr(at + 9);
}

std::string LocaltimeLinkName() {
    char target[4096];
    const ssize_t n = ::readlink("/etc/localtime", target, sizeof target - 1);
    return n > 0 ? ZoneNameOf(std::string(target, std::size_t(n))) : "localtime";
}

}  // namespace

void ArchiveKillPoint() {
    static const int at = [] {
        const char* v = std::getenv("TW_ARCHIVE_KILL_AT");
        return v ? std::atoi(v) : 0;
    }();
    static int step = 0;
    if (at > 0 && ++step == at) ::raise(SIGKILL);
}

double LockWaitSeconds() {
    const char* v = std::getenv("TW_ARCHIVE_LOCK_WAIT");
    double s = -1;
    if (v) std::from_chars(v, v + std::strlen(v), s);  // a decimal point, whatever the locale
    return s >= 0 && s < 86400 ? s : 10.0;
}

ZoneId ProcessZone() {
    ::tzset();
    ZoneId z;
    const char* tz = std::getenv("TZ");
    if (tz && *tz)
        z.Name = ZoneNameOf(tz);
    else
        z.Name = tz ? "UTC" : LocaltimeLinkName();
    z.Offsets = OffsetsCrc();
    return z;
}

std::string ZoneFileText(const ZoneId& zone) {
    char crc[16];
    std::snprintf(crc, sizeof crc, "%08x", zone.Offsets);
    return "zone " + zone.Name + "\noffsets " + crc + "\n";
}

bool ParseZoneFile(const std::string& text, ZoneId& zone) {
    const std::size_t eol = text.find('\n');
    if (text.compare(0, 5, "zone ") != 0 || eol == std::string::npos || eol == 5) return false;
    zone.Name = text.substr(5, eol - 5);
    const std::string rest = text.substr(eol + 1);
    unsigned crc = 0;
    char tail = 0;
    if (rest.size() != 17 || std::sscanf(rest.c_str(), "offsets %8x%c", &crc, &tail) != 2 ||
        tail != '\n')
        return false;
    zone.Offsets = crc;
    return true;
}

bool CommitJournal(const std::string& osFolder, const std::vector<JournalEntry>& entries) {
    std::string text = std::string(kJournalHead) + "\n";
    for (const auto& [temp, target] : entries)
        text += temp + " " + target + "\n";
    text += "end\n";
    return WriteOsFileAtomically(osFolder + kJournalName, text.data(), text.size()) &&
           SyncFolder(osFolder);
}

bool CompleteJournal(const std::string& osFolder, const std::vector<JournalEntry>& entries) {
    for (const auto& [temp, target] : entries) {
        if (::rename((osFolder + temp).c_str(), (osFolder + target).c_str()) != 0 &&
            errno != ENOENT)
            return SetErrnoError();
        ArchiveKillPoint();
    }
    if (!SyncFolder(osFolder)) return false;
    if (::unlink((osFolder + kJournalName).c_str()) != 0 && errno != ENOENT) return SetErrnoError();
    return SyncFolder(osFolder);
}

bool ArchiveAccess::Lock(int operation) {
    const double wait = LockWaitSeconds();
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(wait);
    while (::flock(fd_.get(), operation | LOCK_NB) != 0) {
        if (errno != EWOULDBLOCK && errno != EINTR) return SetErrnoError();
        if (std::chrono::steady_clock::now() >= deadline) {
            char seconds[32];
            *std::to_chars(seconds, seconds + sizeof seconds - 1, wait).ptr = '\0';
            SetError("%s \"%s\" %s %s %s", "Архив"_cp, ArchiveFolder(home_.c_str()).c_str(),
                     "занят другой программой: блокировка не получена за"_cp, seconds, "с"_cp);
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

bool ArchiveAccess::RepairLocked() {
    const std::string folder = ArchiveFolder(home_.c_str());
    const std::string osFolder = OsPath(folder.c_str());
    std::string text;
    if (FileExists((folder + kJournalName).c_str())) {
        std::vector<JournalEntry> entries;
        if (!ReadWholeFile((folder + kJournalName).c_str(), text, 1 << 20) ||
            !ParseJournal(text, entries)) {
            SetError("%s \"%s%s\" %s", "Журнал архива"_cp, folder.c_str(), kJournalName,
                     "поврежден: изменение архива не завершено"_cp);
            return false;
        }
        if (!CompleteJournal(osFolder, entries)) return false;
    }
    bool journal = false;
    std::vector<std::string> strays;
    if (!Inspect(folder, journal, strays)) return false;
    for (const auto& name : strays)
        if (!DeleteFile((folder + name).c_str())) return false;
    return true;
}

bool ArchiveAccess::CheckZone() const {
    const std::string path = ArchiveFolder(home_.c_str()) + kZoneName;
    if (!FileExists(path.c_str())) return true;  // an archive from before zones were kept
    std::string text;
    ZoneId written;
    if (!ReadWholeFile(path.c_str(), text, 4096) || !ParseZoneFile(text, written)) {
        SetError("%s \"%s\" %s", "Файл архива"_cp, path.c_str(),
                 "поврежден: неверная запись часового пояса"_cp);
        return false;
    }
    const ZoneId here = ProcessZone();
    if (written.Name == here.Name || written.Offsets == here.Offsets) return true;
    SetError("%s \"%s\" %s %s, %s %s: %s TZ=%s", "Архив"_cp, ArchiveFolder(home_.c_str()).c_str(),
             "записан в часовом поясе"_cp, written.Name.c_str(), "а программа работает в поясе"_cp,
             here.Name.c_str(), "запустите ее с"_cp, written.Name.c_str());
    return false;
}

bool ArchiveAccess::OpenLockFile() {
    const std::string folder = ArchiveFolder(home_.c_str());
    if (mode_ == Access::Write && !MakeDirectories(folder.c_str())) {
        const std::string reason = GetIOErrorS_GUI(-2);
        SetError("%s \"%s\": %s", "Архив не создан"_cp, folder.c_str(), reason.c_str());
        return false;
    }
    if (!IsDirectory(folder.c_str())) {
        SetError("%s \"%s\"", "Архив не найден:"_cp, folder.c_str());
        return false;
    }
    const std::string lock = OsPath((folder + kLockName).c_str());
    fd_.reset(::open(lock.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666));
    if (!fd_ && mode_ == Access::Read) fd_.reset(::open(lock.c_str(), O_RDONLY | O_CLOEXEC));
    // Nobody writes a folder that this reader may not write either (a copy on
    // read-only media): it is read without a lock.
    if (fd_ || (mode_ == Access::Read && (errno == EACCES || errno == EROFS))) return true;
    SetErrnoError();
    const std::string reason = GetIOErrorS_GUI(-2);
    SetError("%s \"%s\" %s: %s", "Архив"_cp, folder.c_str(), "не открыт"_cp, reason.c_str());
    return false;
}

bool ArchiveAccess::OpenLocked() {
    const int own = mode_ == Access::Write ? LOCK_EX : LOCK_SH;
    if (!OpenLockFile() || (fd_ && !Lock(own))) return false;
    const std::string folder = ArchiveFolder(home_.c_str());
    // A reader that finds a writer's leftovers takes the lock alone to clear
    // them; another writer may come and go while it changes its lock.
    for (int round = 0;; ++round) {
        bool journal = false;
        std::vector<std::string> strays;
        if (!Inspect(folder, journal, strays)) return false;
        if (!journal && strays.empty()) break;
        if (round == 3 || !fd_) {
            SetError("%s \"%s\" %s", "Архив"_cp, folder.c_str(),
                     "не восстановлен: прерванное изменение не завершено"_cp);
            return false;
        }
        if (own == LOCK_SH && !Lock(LOCK_EX)) return false;
        if (!RepairLocked()) return false;
        if (own == LOCK_SH && !Lock(LOCK_SH)) return false;
    }
    return CheckZone();
}

bool ArchiveAccess::Open(const char* home, Access mode) {
    fd_.reset();
    home_ = home ? home : "";
    mode_ = mode;
    if (OpenLocked()) return true;
    fd_.reset();
    return false;
}

}  // namespace host::archive
