/* A fault injector for the programs' writers, loaded with LD_PRELOAD by
 * scripts/faults.sh. It counts the calls that write below one folder and makes
 * the Nth of them fail the way a real disk or a real kill would:
 *
 *   TW_FAULT=open:N     the Nth open for writing fails (EACCES)
 *   TW_FAULT=write:N    the Nth write fails (ENOSPC: the disk is full)
 *   TW_FAULT=short:N    the Nth write(2) writes less than asked (legal; callers loop)
 *   TW_FAULT=rename:N   the Nth rename or link fails (EIO)
 *   TW_FAULT=kill:N     the process is killed (SIGKILL) before the Nth such call
 *   TW_FAULT_DIR=PATH   only files below PATH count (absolute)
 *   TW_FAULT_REPORT=F   "fired" is appended to F when the fault is injected
 *
 * Counted calls: open, open64, openat, openat64, creat, mkstemp, mkostemp,
 * fopen, fopen64 (for writing), write, pwrite, pwrite64, fwrite on their files,
 * fsync and fdatasync of them, rename, renameat, renameat2, link, linkat and
 * unlink of paths below the folder. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

enum Kind { kNone, kOpen, kWrite, kShort, kRename, kKill };

static enum Kind kind = kNone;
static long target = 0;
static long seen[6];
static long killSeen = 0;
static char dir[4096];
static size_t dirLength = 0;
static unsigned char tracked[65536];
static int ready = 0;

static void Setup(void) {
    if (ready) return;
    ready = 1;
    const char* spec = getenv("TW_FAULT");
    const char* folder = getenv("TW_FAULT_DIR");
    if (!spec || !folder) return;
    const char* colon = strchr(spec, ':');
    if (!colon) return;
    const size_t n = (size_t)(colon - spec);
    static const char* const names[] = {"", "open", "write", "short", "rename", "kill"};
    for (int k = 1; k <= kKill; ++k)
        if (strlen(names[k]) == n && strncmp(spec, names[k], n) == 0) kind = (enum Kind)k;
    target = atol(colon + 1);
    snprintf(dir, sizeof dir, "%s", folder);
    dirLength = strlen(dir);
    while (dirLength > 1 && dir[dirLength - 1] == '/')
        dir[--dirLength] = '\0';
}

/* True when `path` (absolute, or relative to the current folder) lies below the folder. */
static int Below(const char* path) {
    if (!path || kind == kNone) return 0;
    char full[8192];
    if (path[0] == '/') {
        snprintf(full, sizeof full, "%s", path);
    } else {
        char cwd[4096];
        if (!getcwd(cwd, sizeof cwd)) return 0;
        snprintf(full, sizeof full, "%s/%s", cwd, path);
    }
    return strncmp(full, dir, dirLength) == 0 && (full[dirLength] == '/' || !full[dirLength]);
}

static int Tracked(int fd) {
    return fd >= 0 && fd < (int)sizeof tracked && tracked[fd];
}

static void Track(int fd, int on) {
    if (fd >= 0 && fd < (int)sizeof tracked) tracked[fd] = (unsigned char)on;
}

static void Fired(void) {
    const char* report = getenv("TW_FAULT_REPORT");
    if (!report) return;
    FILE* (*real)(const char*, const char*) = (__typeof__(&fopen))dlsym(RTLD_NEXT, "fopen");
    FILE* f = real(report, "a");
    if (f) {
        fputs("fired\n", f);
        fclose(f);
    }
}

/* One counted call of `k`: true when it is to fail now. A kill comes before
 * any call of any kind. */
static int Strike(enum Kind k) {
    Setup();
    if (kind == kNone) return 0;
    if (kind == kKill) {
        if (++killSeen == target) {
            Fired();
            raise(SIGKILL);
        }
        return 0;
    }
    if (k != kind && !(kind == kShort && k == kWrite)) return 0;
    if (++seen[kind] != target) return 0;
    Fired();
    return 1;
}

/* The C library's own function of that name. */
#define REAL(name)                        \
    static __typeof__(&name) real_##name; \
    if (!real_##name) real_##name = (__typeof__(&name))dlsym(RTLD_NEXT, #name)

static int Writing(int flags) {
    return (flags & (O_WRONLY | O_RDWR | O_CREAT | O_TRUNC)) != 0;
}

static int OpenCommon(int fd, const char* path, int flags) {
    if (fd >= 0) Track(fd, Writing(flags) && Below(path));
    return fd;
}

static int Refuse(int error) {
    errno = error;
    return -1;
}

#define OPEN_BODY(call)                                                        \
    mode_t mode = 0;                                                           \
    if (flags & (O_CREAT | O_TMPFILE)) {                                       \
        va_list ap;                                                            \
        va_start(ap, flags);                                                   \
        mode = (mode_t)va_arg(ap, int);                                        \
        va_end(ap);                                                            \
    }                                                                          \
    Setup();                                                                   \
    if (Writing(flags) && Below(path) && Strike(kOpen)) return Refuse(EACCES); \
    return OpenCommon(call, path, flags)

int open(const char* path, int flags, ...) {
    REAL(open);
    OPEN_BODY(real_open(path, flags, mode));
}

int open64(const char* path, int flags, ...) {
    REAL(open64);
    OPEN_BODY(real_open64(path, flags, mode));
}

int openat(int at, const char* path, int flags, ...) {
    REAL(openat);
    OPEN_BODY(real_openat(at, path, flags, mode));
}

int openat64(int at, const char* path, int flags, ...) {
    REAL(openat64);
    OPEN_BODY(real_openat64(at, path, flags, mode));
}

int creat(const char* path, mode_t mode) {
    return open(path, O_WRONLY | O_CREAT | O_TRUNC, mode);
}

static int TempCommon(int fd, const char* path) {
    if (fd >= 0) Track(fd, Below(path));
    return fd;
}

int mkstemp(char* tmpl) {
    REAL(mkstemp);
    Setup();
    if (Below(tmpl) && Strike(kOpen)) return Refuse(EACCES);
    return TempCommon(real_mkstemp(tmpl), tmpl);
}

int mkostemp(char* tmpl, int flags) {
    REAL(mkostemp);
    Setup();
    if (Below(tmpl) && Strike(kOpen)) return Refuse(EACCES);
    return TempCommon(real_mkostemp(tmpl, flags), tmpl);
}

static FILE* FileCommon(FILE* f, const char* path, const char* mode) {
    if (f) Track(fileno(f), strpbrk(mode, "wa+") && Below(path));
    return f;
}

FILE* fopen(const char* path, const char* mode) {
    REAL(fopen);
    Setup();
    if (strpbrk(mode, "wa+") && Below(path) && Strike(kOpen)) {
        errno = EACCES;
        return NULL;
    }
    return FileCommon(real_fopen(path, mode), path, mode);
}

FILE* fopen64(const char* path, const char* mode) {
    REAL(fopen64);
    Setup();
    if (strpbrk(mode, "wa+") && Below(path) && Strike(kOpen)) {
        errno = EACCES;
        return NULL;
    }
    return FileCommon(real_fopen64(path, mode), path, mode);
}

int close(int fd) {
    REAL(close);
    Track(fd, 0);
    return real_close(fd);
}

int fclose(FILE* f) {
    REAL(fclose);
    if (f) Track(fileno(f), 0);
    return real_fclose(f);
}

/* How much of `count` bytes a counted write may write: -1 to fail it. */
static ssize_t Allowed(int fd, size_t count) {
    if (!Tracked(fd) || !Strike(kWrite)) return (ssize_t)count;
    if (kind == kShort && count > 1) return (ssize_t)(count / 2);
    return -1;
}

ssize_t write(int fd, const void* buf, size_t count) {
    REAL(write);
    const ssize_t n = Allowed(fd, count);
    if (n < 0) return Refuse(ENOSPC);
    return real_write(fd, buf, (size_t)n);
}

ssize_t pwrite(int fd, const void* buf, size_t count, off_t offset) {
    REAL(pwrite);
    const ssize_t n = Allowed(fd, count);
    if (n < 0) return Refuse(ENOSPC);
    return real_pwrite(fd, buf, (size_t)n, offset);
}

ssize_t pwrite64(int fd, const void* buf, size_t count, off_t offset) {
    REAL(pwrite64);
    const ssize_t n = Allowed(fd, count);
    if (n < 0) return Refuse(ENOSPC);
    return real_pwrite64(fd, buf, (size_t)n, offset);
}

size_t fwrite(const void* buf, size_t size, size_t items, FILE* f) {
    REAL(fwrite);
    /* A short fwrite means a failed one, so stdio streams get only full-disk faults. */
    if (kind == kWrite && size && Tracked(fileno(f)) && Strike(kWrite)) {
        errno = ENOSPC;
        return 0;
    }
    return real_fwrite(buf, size, items, f);
}

int fsync(int fd) {
    REAL(fsync);
    if (Tracked(fd)) Strike(kNone);
    return real_fsync(fd);
}

int fdatasync(int fd) {
    REAL(fdatasync);
    if (Tracked(fd)) Strike(kNone);
    return real_fdatasync(fd);
}

int rename(const char* from, const char* to) {
    REAL(rename);
    Setup();
    if (Below(to) && Strike(kRename)) return Refuse(EIO);
    return real_rename(from, to);
}

int renameat(int fromAt, const char* from, int toAt, const char* to) {
    REAL(renameat);
    Setup();
    if (Below(to) && Strike(kRename)) return Refuse(EIO);
    return real_renameat(fromAt, from, toAt, to);
}

int renameat2(int fromAt, const char* from, int toAt, const char* to, unsigned flags) {
    REAL(renameat2);
    Setup();
    if (Below(to) && Strike(kRename)) return Refuse(EIO);
    return real_renameat2(fromAt, from, toAt, to, flags);
}

int link(const char* from, const char* to) {
    REAL(link);
    Setup();
    if (Below(to) && Strike(kRename)) return Refuse(EIO);
    return real_link(from, to);
}

int linkat(int fromAt, const char* from, int toAt, const char* to, int flags) {
    REAL(linkat);
    Setup();
    if (Below(to) && Strike(kRename)) return Refuse(EIO);
    return real_linkat(fromAt, from, toAt, to, flags);
}

int unlink(const char* path) {
    REAL(unlink);
    Setup();
    if (Below(path)) Strike(kNone);
    return real_unlink(path);
}
