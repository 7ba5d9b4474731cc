// The OS file layer: cp1251 paths in, the file system's UTF-8 names out. Every
// failure returns false/null and leaves the reason in the last-error slot.
#pragma once

#include <cstdio>
#include <functional>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "unique_handle.h"

namespace host {

// The UTF-8 file-system name of a cp1251 path ('\' becomes '/'). A lossless
// conversion always exists (every cp1251 byte has a character).
std::string OsPath(const char* cp1251Path);

// True when something exists under the path (the C runtime's access mode 0).
bool FileExists(const char* path);
bool IsDirectory(const char* path);
// Deletes a file; false (last error set) when it cannot.
bool DeleteFile(const char* path);
// Renames, replacing the target; false (last error set) when it cannot.
bool RenameFile(const char* from, const char* to);
// Creates the folder and its parents; true when it exists afterwards.
bool MakeDirectories(const char* path);

// Calls `visit(name, isFolder)` for each entry of the folder except "." and "..",
// with the entry's cp1251 name. A name without a cp1251 form (not UTF-8, or
// with characters Windows-1251 lacks) is not visited; when `unnamed` is given
// it gets the name as DisplayOsName shows it. Returns false (last error set)
// when the folder cannot be read; `visit` returning false stops the listing
// early (still a success).
bool ForEachDirEntry(const char* folder,
                     const std::function<bool(const char* name, bool isFolder)>& visit,
                     std::vector<std::string>* unnamed = nullptr);
// A file-system name for a message (cp1251): its characters where it is UTF-8
// ('?' for one Windows-1251 lacks), each byte of another encoding as \xNN.
std::string DisplayOsName(const std::string& osName);

// A stdio stream's fclose, for UniqueHandle.
int CloseStream(FILE* f) noexcept;

// Owning FILE* handle: closes on destruction; Close() reports the close's outcome.
class UniqueFile {
  public:
    UniqueFile() = default;
    explicit UniqueFile(FILE* f) : f_(f) {}
    FILE* get() const { return f_.get(); }
    explicit operator bool() const { return bool(f_); }
    // Closes; false (last error set) when a buffered write or the close failed.
    bool Close();
    // Closes without reporting.
    void reset() { f_.reset(); }

  private:
    UniqueHandle<FILE*, &CloseStream> f_;
};

// Opens a file for reading (read-only, close-on-exec) only when it is a regular
// file: a folder, a FIFO or a device is refused at once, without waiting for a
// writer, with the text "Не является обычным файлом!". Returns the descriptor,
// or -1 (last error set) on failure. The first form takes a file-system name.
int OpenRegularOsFile(const std::string& osPath);
int OpenRegularFile(const char* path);

// fopen with a cp1251 path; an "x" in the mode creates the file exclusively. A
// mode that only reads ("r", "rb") opens regular files only (OpenRegularFile).
// Null (last error set) on failure.
UniqueFile OpenFile(const char* path, const char* mode);

// Writes `data` to `path` atomically: a temporary file in the same folder, then a
// rename over the target, which keeps the permission bits of the file it replaces
// (a new file gets what the umask leaves of rw-rw-rw-). The target is resolved
// first (ResolveOutput): a link's file is replaced, a device written in place,
// anything else refused. On failure the target is unchanged, the temporary
// file is removed and the last error is set.
bool WriteFileAtomically(const char* path, const std::string& data);
// The same for a file-system (UTF-8) name and raw bytes.
bool WriteOsFileAtomically(const std::string& osPath, const void* data, std::size_t size);
// The same with the bytes made piece by piece, so that a large file is never
// held whole: `next` appends the next piece to the (empty) text it gets and
// returns false with the last one.
bool WriteFileAtomically(const char* path, const std::function<bool(std::string&)>& next);
// The same with the bytes pushed: `produce` hands each piece to the writer it
// gets, which returns false when the piece was not written; `produce` returns
// false to give up (the file is then not written, and the last error is the
// write's or what `produce` set).
using PieceWriter = std::function<bool(std::string_view piece)>;
bool StreamFileAtomically(const char* path, const std::function<bool(const PieceWriter&)>& produce);
// The same for a file-system (UTF-8) name.
bool StreamOsFileAtomically(const std::string& osPath,
                            const std::function<bool(const PieceWriter&)>& produce);
// Writes all of data[0..size) to the descriptor `fd`, again after a partial
// write or a signal; 0, or the errno of the failure (EIO when nothing is taken).
int WriteAll(int fd, const void* data, std::size_t size);
// Writes `data` into the file `osPath`, created or truncated, without flushing it
// to the disk; false (last error set) on failure.
bool WriteOsFile(const std::string& osPath, const std::string& data);
// The same for the bytes of `parts` one after the other, never copied together.
bool WriteOsFile(const std::string& osPath, std::initializer_list<std::string_view> parts);
// Reads a whole file; false (last error set) when it cannot. Refuses files larger
// than `limit` bytes with EFBIG.
bool ReadWholeFile(const char* path, std::string& out, std::size_t limit = std::size_t(1) << 30);

// A temporary name in the folder of `path`, created exclusively (mkstemp); its
// open descriptor goes to `fd`. Empty (last error set) on failure.
std::string MakeTempBeside(const char* path, UniqueFd& fd);

// Flushes the file `osFrom` to the disk and gives it the name `osTo`, which must
// not exist: an existing file is never replaced (on a file system with neither
// such renames nor links, the name is tested just before). False (last error
// set: EEXIST when the name is taken) with `osFrom` still in place on failure.
bool PublishFile(const std::string& osFrom, const std::string& osTo);

// Where a file that is written whole and then takes its name must go, so that
// nothing but a regular file is ever replaced: `osTarget` itself when it is a
// regular file or is not there, the file a symbolic link names (the link
// stays), or, for a character device such as /dev/null, the device itself,
// written in place (`inPlace`). False (last error set: the system's message, or
// "Не является обычным файлом: NAME") for a folder, a FIFO, a socket,
// a block device or a link that names nothing.
bool ResolveOutput(const std::string& osTarget, std::string& resolved, bool& inPlace);

// An empty hidden file ".tripwatch-XXXXXX.part" beside a target, where a file is
// written before it takes its name; no reader of reports takes it for one. Owns
// the file: it is removed on destruction unless it took the name.
class PendingFile {
  public:
    // Creates the file in the folder of the file-system name `osTarget`; ok() is
    // false (last error set) when it cannot.
    explicit PendingFile(const std::string& osTarget);
    PendingFile(const PendingFile&) = delete;
    PendingFile& operator=(const PendingFile&) = delete;
    ~PendingFile();
    bool ok() const { return !path_.empty(); }
    // The file-system name of the temporary file.
    const std::string& path() const { return path_; }
    // Flushes the file to the disk now, so that Publish or Replace later finds
    // nothing left to flush; false (last error set) on failure.
    bool Sync();
    // PublishFile(path(), osTarget); on success the file is no longer owned.
    bool Publish(const std::string& osTarget);
    // Flushes and renames over `osTarget` as ResolveOutput resolves it (a
    // device is written in place instead, and the file removed), replacing a
    // regular file of that name with its permission bits kept; on success the
    // file is no longer owned. False
    // (last error set) on failure, nothing but the file itself changed.
    bool Replace(const std::string& osTarget);

  private:
    std::string path_;
    bool synced_ = false;  // Sync() flushed it: Replace need not again
};

}  // namespace host
