// What every benchmark here measures with: a monotonic clock in seconds, the
// process's CPU time and peak resident memory, and a measurement in a child
// process of its own, so that its peak memory is its own.
#pragma once

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <ctime>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <type_traits>
#include <vector>

namespace twbench {

using Clock = std::chrono::steady_clock;

inline double Seconds(Clock::time_point from, Clock::time_point to = Clock::now()) {
    return std::chrono::duration<double>(to - from).count();
}

// CPU time of all the process's threads so far, in seconds.
inline double CpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

// Peak resident memory of the process so far, in kilobytes.
inline long PeakRssKb() {
    struct rusage u {};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_maxrss;
}

// Runs `measure(out)` in a child process; `out` (trivially copyable) comes back
// from it and `peakKb` gets the child's peak resident memory. False when the
// child failed (`measure` returned false or it died).
template <typename T, typename F>
bool InChild(F&& measure, T& out, long& peakKb) {
    static_assert(std::is_trivially_copyable_v<T>);
    int fds[2];
    if (pipe(fds) != 0) return false;
    std::fflush(nullptr);
    const pid_t pid = fork();
    if (pid < 0) return false;
    if (pid == 0) {
        close(fds[0]);
        T result{};
        const bool ok = measure(result);
        std::fflush(nullptr);
        const bool sent = write(fds[1], &result, sizeof result) == ssize_t(sizeof result);
        _exit(ok && sent ? 0 : 1);
    }
    close(fds[1]);
    const ssize_t got = read(fds[0], &out, sizeof out);  // below PIPE_BUF: one piece
    close(fds[0]);
    int status = 0;
    struct rusage u {};
    wait4(pid, &status, 0, &u);
    peakKb = u.ru_maxrss;
    return got == ssize_t(sizeof out) && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// A program run as a process: whether it exited with 0, its peak resident
// memory and its wall-clock time.
struct Measured {
    bool ok = false;
    long peakKb = 0;
    double seconds = 0;
};

// The folder of this program, ending with '/': the build's programs and
// libraries lie beside it.
inline std::string ProgramFolder() {
    char exe[4096];
    const ssize_t n = readlink("/proc/self/exe", exe, sizeof exe - 1);
    std::string dir(exe, std::size_t(n > 0 ? n : 0));
    dir.erase(dir.rfind('/') + 1);
    return dir;
}

// Runs `args` (the program's path first) with its output and errors in `log`;
// a failure's log is printed. Spawned, not forked: the time measured is the
// program's, not that of copying this process's memory map.
inline Measured RunProgram(const std::vector<std::string>& args, const std::string& log) {
    Measured m;
    std::vector<char*> argv;
    for (const std::string& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    std::fflush(nullptr);
    const auto start = Clock::now();
    pid_t pid = -1;
    const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) return m;
    int status = 0;
    struct rusage u {};
    wait4(pid, &status, 0, &u);
    m.seconds = Seconds(start);
    m.peakKb = u.ru_maxrss;
    m.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    if (!m.ok) {
        std::ifstream in(log);
        std::printf("  failed: %s\n", std::string(std::istreambuf_iterator<char>(in), {}).c_str());
    }
    return m;
}

}  // namespace twbench
