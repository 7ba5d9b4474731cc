// The files that lie beside a report file and carry what its fixed format has no
// room for (response times, operations): one layout for all of them, a 52-byte
// header (magic, version, entry size, the report's Start, End and RunTime, the
// entry count) and then the entries, little-endian, written atomically and read
// with every count checked against the bytes that are there.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "common/osfile.h"
#include "common/prtime.h"

inline constexpr std::size_t TW_SideHeaderSize = 52;
// A larger file is refused (EFBIG) before it is read.
inline constexpr std::size_t TW_SideMaxFileSize = std::size_t(256) << 20;

// One kind of side file: its numbers and the messages (cp1251) of its reader.
struct TW_SideFormat {
    uint32_t magic;
    uint32_t version;
    uint32_t entrySize;      // written; a reader takes at least this many bytes an entry
    const char* badMagic;    // not this kind of file
    const char* damaged;     // too short, or not exactly header + count x entry size
    const char* badVersion;  // a format with %u for the version found
    const char* badEntry;    // an entry size below entrySize
};

struct TW_SideHeader {
    PRTime Start, End, RunTime;  // of the report the file belongs to
    uint32_t Count = 0;          // entries
    uint32_t EntrySize = 0;      // as stored: entry i begins at 52 + i x EntrySize
};

// The side file of a report file (cp1251 path): the name with `ext` (".twt") in
// place of a final ".twr" (any letter case), or with `ext` appended otherwise.
std::string TW_SideFileName(const char* reportPath, const char* ext);

// A side file written whole and flushed to the disk under a hidden temporary
// name, which takes its name only when published: a caller writes it while
// other work goes on, and publishes it once that work has succeeded. Owns the
// temporary file: it is removed with this object unless it was published.
class TW_PendingSideFile {
  public:
    // Writes the header and `count` entries of format.entrySize bytes at
    // `entries` beside `path` (cp1251). False (last error set) on failure.
    bool Write(const char* path, const TW_SideFormat& format, const PRTime& start,
               const PRTime& end, const PRTime& runTime, const void* entries, uint32_t count);
    // Gives it the name `path` (cp1251; in the folder Write was given),
    // replacing a file of that name. False (last error set) on failure, also
    // when nothing was written.
    bool Publish(const char* path);

  private:
    std::optional<host::PendingFile> temp_;
};

// Writes the same into `path` through a hidden temporary file beside it, which
// then takes the name, replacing a file of that name. False (last error set) on
// failure; no temporary file is left.
bool TW_WriteSideFile(const char* path, const TW_SideFormat& format, const PRTime& start,
                      const PRTime& end, const PRTime& runTime, const void* entries,
                      uint32_t count);

// Reads a side file whole into `bytes`: regular files only, at most
// TW_SideMaxFileSize bytes; checks magic, size, version, entry size and the
// exact size, in that order. False (last error set: the system's message or
// the format's) on failure.
bool TW_ReadSideFile(const char* path, const TW_SideFormat& format, TW_SideHeader& header,
                     std::string& bytes);
