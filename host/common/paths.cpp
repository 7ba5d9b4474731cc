#include "paths.h"

#include <dlfcn.h>
#include <unistd.h>

#include <cstring>
#include <string>

#include "cp1251.h"
#include "lasterror.h"
#include "strutil.h"

using namespace host::literals;

namespace {
char startDir[kMaxPath] = "";

bool IsSep(char c) {
    return c == '/' || c == '\\';
}

void EnsureStartDir() {
    if (startDir[0]) return;
    char cwd[4096];
    if (getcwd(cwd, sizeof cwd)) {
        std::string cp;
        if (host::Utf8ToCp1251(cwd, cp)) StrCpy(startDir, cp.c_str(), kMaxPath);
    }
    if (!startDir[0]) StrCpy(startDir, "/", kMaxPath);
    AddLastSlash(startDir, '/');
}
}  // namespace

namespace host {
void NormalizeSeparators(char* path) {
    for (; path && *path; ++path)
        if (*path == '\\') *path = '/';
}

bool SetStartupDir(const char* folder) {
    startDir[0] = '\0';
    if (!folder || !*folder) {
        EnsureStartDir();
        return true;
    }
    std::string full = StartLocalPath(folder);  // from the current working directory
    if (full.back() != '/') full += '/';
    startDir[0] = '\0';
    if (!FitsPath(full)) {
        EnsureStartDir();
        return false;
    }
    StrCpy(startDir, full.c_str(), kMaxPath);
    return true;
}

std::string StartLocalPath(const char* path) {
    std::string full = path ? path : "";
    for (char& c : full)
        if (c == '\\') c = '/';
    if (!full.empty() && full[0] == '/') return full;
    EnsureStartDir();
    return startDir + full;
}

std::string ProgramLibraryPath(const char* file) {
    char exe[4096];
    const ssize_t n = ::readlink("/proc/self/exe", exe, sizeof exe - 1);
    if (n <= 0) return file;
    std::string dir(exe, std::size_t(n));
    dir.erase(dir.rfind('/') + 1);
    const std::string beside = dir + file;
#ifdef TW_MODULE_FROM_BIN
    // An installed program: its libraries are in the library folder of its prefix.
    const std::string installed = dir + TW_MODULE_FROM_BIN + "/" + file;
    if (::access(beside.c_str(), F_OK) != 0 && ::access(installed.c_str(), F_OK) == 0)
        return installed;
#endif
    return beside;
}

std::string LibraryFolder(const void* symbol) {
    Dl_info info{};
    if (::dladdr(symbol, &info) == 0 || !info.dli_fname) return {};
    const std::string path = info.dli_fname;
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

void* LibraryEntry(const std::string& path, const char* name, std::string& why) {
    // A library already loaded is found again, not loaded twice.
    void* library = ::dlopen(path.c_str(), RTLD_NOW);
    void* entry = library ? ::dlsym(library, name) : nullptr;
    if (!entry) {
        const char* reason = ::dlerror();
        why = reason ? reason : path;
    }
    return entry;
}

bool FitsPath(const std::string& path) {
    if (path.size() < std::size_t(kMaxPath)) return true;
    SetError("%s: %s", "Путь длиннее 260 символов"_cp, path.c_str());
    return false;
}
}  // namespace host

char* AddLastSlash(char* path, char separator) {
    if (!path) return path;
    const std::size_t n = std::strlen(path);
    if (n == 0 || IsSep(path[n - 1])) return path;
    if (n + 1 < std::size_t(kMaxPath)) {
        path[n] = separator;
        path[n + 1] = '\0';
    }
    return path;
}

char* FPath(char* out, const char* path, char separator) {
    char buf[kMaxPath];
    StrCpy(buf, path, kMaxPath);
    char* last = nullptr;
    for (char* p = buf; *p; ++p)
        if (IsSep(*p)) last = p;
    if (!last) {
        out[0] = '\0';
        return out;
    }
    last[1] = '\0';
    for (char* p = buf; *p; ++p)
        if (IsSep(*p)) *p = separator;
    return StrCpy(out, buf, kMaxPath);
}

char* MakeStartLocalPath(char* out, const char* path) {
    char buf[kMaxPath];
    StrCpy(buf, path, kMaxPath);
    host::NormalizeSeparators(buf);
    if (buf[0] == '/') return StrCpy(out, buf, kMaxPath);
    EnsureStartDir();
    char full[kMaxPath];
    StrCpy(full, startDir, kMaxPath);
    StrCat(full, buf, kMaxPath);
    return StrCpy(out, full, kMaxPath);
}

char* MakeStartRelativePath(char* out, const char* path) {
    char buf[kMaxPath];
    StrCpy(buf, path, kMaxPath);
    host::NormalizeSeparators(buf);
    EnsureStartDir();
    const std::size_t n = std::strlen(startDir);
    if (std::strncmp(buf, startDir, n) == 0) return StrCpy(out, buf + n, kMaxPath);
    return StrCpy(out, buf, kMaxPath);
}

const char* GetStartupDir(char* out) {
    EnsureStartDir();
    if (out) return StrCpy(out, startDir, kMaxPath);
    return startDir;
}
