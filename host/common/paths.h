// Path helpers. Paths are cp1251 texts of at most 260 characters. The separator
// is '/'; a '\' from a Windows installation counts as a separator when a path is
// split and is turned into '/' when a path is resolved.
#pragma once

#include <string>

inline constexpr int kMaxPath = 261;  // 260 characters and the terminator

// Appends `separator` when the path (a buffer of kMaxPath bytes) is not empty and
// does not already end in '/' or '\'. Returns path.
char* AddLastSlash(char* path, char separator = '/');
// The folder part of `path` with its final separator ("" when the path has no
// folder), written to `out` (kMaxPath bytes); a '\' separator becomes `separator`.
char* FPath(char* out, const char* path, char separator = '/');
// A full path: absolute paths are kept, relative ones are taken from the start
// folder; '\' becomes '/'. Written to `out` (kMaxPath bytes); returns out.
char* MakeStartLocalPath(char* out, const char* path);
// The path relative to the start folder when it lies below it, else unchanged.
char* MakeStartRelativePath(char* out, const char* path);
// The start folder with a final '/' (copied to `out` when given, kMaxPath bytes).
const char* GetStartupDir(char* out = nullptr);

namespace host {
// Sets the start folder (the host's home, or the program's current folder);
// a relative folder is taken from the current working directory. False (last
// error naming it) when the folder's full path does not fit a path; the start
// folder is then the current one.
bool SetStartupDir(const char* folder);
// MakeStartLocalPath without a limit: the full path, however long.
std::string StartLocalPath(const char* path);
// True when `path` fits a path (260 characters); false (last error naming it)
// otherwise: a path that would be cut is never used.
bool FitsPath(const std::string& path);
// The path of a library a program loads when it needs it (`file`,
// "libTripweb.so"): beside the running program, or, for an installed one, in
// the library folder of its prefix when it is there.
std::string ProgramLibraryPath(const char* file);
// The folder, with a final '/', of the loaded library (or program) that holds
// `symbol`, where a library finds the libraries it loads itself; empty when
// the system cannot say.
std::string LibraryFolder(const void* symbol);
// The entry `name` of the library at `path`, loaded on first use and kept for
// the process; null, with the loader's reason in `why`, when the library or the
// entry cannot be had.
void* LibraryEntry(const std::string& path, const char* name, std::string& why);
// Turns every '\' into '/'.
void NormalizeSeparators(char* path);
}  // namespace host
