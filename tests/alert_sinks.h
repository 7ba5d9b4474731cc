// The alert tests' receivers (alert_sinks.py): an HTTP or SMTP server on
// 127.0.0.1 that keeps each message in a folder, started by the test and
// stopped when the object dies.
#pragma once

#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "shell_output.h"

extern char** environ;

namespace twtest {

class AlertSink {
  public:
    // `kind` "http" or "smtp"; the messages go to `folder`. Port() is 0 when
    // the server did not start.
    AlertSink(const char* kind, const std::string& folder) : kind_(kind), folder_(folder) {
        std::filesystem::create_directories(folder);
        Start();
    }
    ~AlertSink() { Stop(); }
    AlertSink(const AlertSink&) = delete;
    AlertSink& operator=(const AlertSink&) = delete;

    int Port() const { return port_; }
    // "http://127.0.0.1:PORT/hook", "smtp://127.0.0.1:PORT".
    std::string Url() const {
        const std::string hostPort = "127.0.0.1:" + std::to_string(port_);
        return kind_ == "http" ? "http://" + hostPort + "/hook" : "smtp://" + hostPort;
    }
    // The status the server answers with from now on (0: the usual).
    void Answer(int status) const {
        const std::string path = folder_ + "/status";
        if (status)
            WriteText(path, std::to_string(status));
        else
            std::filesystem::remove(path);
    }
    // The messages kept so far.
    int Count() const {
        int n = 0;
        while (std::filesystem::exists(folder_ + "/" + std::to_string(n + 1) + Ext()))
            ++n;
        return n;
    }
    // A part ("json", "head", "eml", "env") of the n-th message, from 1.
    std::string Part(int n, const char* ext) const {
        return ReadText(folder_ + "/" + std::to_string(n) + "." + ext);
    }
    // Ends the server; what it listened on is then refused.
    void Stop() {
        if (pid_ <= 0) return;
        ::kill(pid_, SIGTERM);
        ::waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }

  private:
    std::string Ext() const { return kind_ == "http" ? ".json" : ".eml"; }
    static void WriteText(const std::string& path, const std::string& text) {
        FILE* f = std::fopen(path.c_str(), "w");
        if (!f) return;
        std::fputs(text.c_str(), f);
        std::fclose(f);
    }
    void Start() {
        int out[2];
        if (::pipe(out) != 0) return;
        const char* source = std::getenv("TW_SOURCE_DIR");
        const std::string script = std::string(source ? source : ".") + "/tests/alert_sinks.py";
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out[1], 1);
        posix_spawn_file_actions_addclose(&actions, out[0]);
        posix_spawn_file_actions_addclose(&actions, out[1]);
        // The system's Python, which Debian's python3-aiosmtpd is installed for.
        const char* python = "/usr/bin/python3";
        const char* argv[] = {python, script.c_str(), kind_.c_str(), folder_.c_str(), nullptr};
        const int rc =
            posix_spawn(&pid_, python, &actions, nullptr, const_cast<char* const*>(argv), environ);
        posix_spawn_file_actions_destroy(&actions);
        ::close(out[1]);
        if (rc != 0) pid_ = -1;
        // The port, on the first line, within 10 s.
        std::string line;
        pollfd p{out[0], POLLIN, 0};
        char c = 0;
        while (pid_ > 0 && ::poll(&p, 1, 10000) == 1 && ::read(out[0], &c, 1) == 1 && c != '\n')
            line += c;
        ::close(out[0]);
        port_ = line.empty() ? 0 : std::atoi(line.c_str());
    }

    std::string kind_, folder_;
    pid_t pid_ = -1;
    int port_ = 0;
};

}  // namespace twtest
