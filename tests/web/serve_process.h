// `rthost serve` as a child process of a test, on a free loopback port, and a
// raw HTTP exchange with it (a request sent byte for byte as given).
#pragma once

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <map>
#include <string>
#include <thread>
#include <vector>

#include "shell_output.h"

namespace twtest {

// The server, started on construction and stopped (SIGTERM) on destruction;
// Port() is 0 when it did not start.
class ServeProcess {
  public:
    explicit ServeProcess(const std::vector<std::string>& args) {
        int out[2];
        if (pipe(out) != 0) return;
        pid_ = fork();
        if (pid_ == 0) {
            dup2(out[1], 1);
            close(out[0]);
            std::vector<std::string> all{Bin("rthost"), "serve"};
            all.insert(all.end(), args.begin(), args.end());
            std::vector<char*> argv;
            for (std::string& a : all)
                argv.push_back(a.data());
            argv.push_back(nullptr);
            execv(argv[0], argv.data());
            _exit(127);
        }
        close(out[1]);
        fd_ = out[0];
        // The first line names the port.
        const std::string first = ReadLine(10000);
        const std::size_t colon = first.rfind(':');
        if (first.rfind("listening on http://", 0) == 0 && colon != std::string::npos)
            port_ = std::atoi(first.c_str() + colon + 1);
        // The rest is kept as it comes: a server whose log is not read would
        // stop at a full pipe.
        drain_ = std::thread([this] {
            char buf[4096];
            for (ssize_t n; (n = read(fd_, buf, sizeof buf)) > 0;)
                rest_.append(buf, std::size_t(n));
        });
    }
    ~ServeProcess() { Stop(); }
    ServeProcess(const ServeProcess&) = delete;
    ServeProcess& operator=(const ServeProcess&) = delete;

    int Port() const { return port_; }

    // Stops the server; returns its exit code and what it printed after the
    // first line.
    int Stop(std::string* output = nullptr) {
        if (pid_ <= 0) return -1;
        kill(pid_, SIGTERM);
        if (drain_.joinable()) drain_.join();
        close(fd_);
        int status = 0;
        waitpid(pid_, &status, 0);
        pid_ = -1;
        if (output) *output = rest_;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

  private:
    std::string ReadLine(int ms) {
        std::string line;
        pollfd p{fd_, POLLIN, 0};
        char c;
        while (poll(&p, 1, ms) > 0 && read(fd_, &c, 1) == 1 && c != '\n')
            line += c;
        return line;
    }
    pid_t pid_ = -1;
    int fd_ = -1;
    int port_ = 0;
    std::thread drain_;
    std::string rest_;  // what it printed after the first line
};

struct HttpReply {
    int status = 0;
    std::map<std::string, std::string> headers;  // names in lower case
    std::string body;
    std::string Header(const std::string& lowerName) const {
        const auto it = headers.find(lowerName);
        return it == headers.end() ? std::string() : it->second;
    }
};

// A connection to 127.0.0.1:port whose reads wait at most `seconds`; -1 when
// it cannot connect.
inline int ConnectLoopback(int port, int seconds = 10) {
    const int s = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(uint16_t(port));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    timeval tv{seconds, 0};
    setsockopt(s, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
    if (connect(s, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0) return s;
    close(s);
    return -1;
}

// Sends `request` as it is to 127.0.0.1:port and reads the reply to the end.
inline HttpReply HttpExchange(int port, const std::string& request) {
    HttpReply reply;
    const int s = ConnectLoopback(port);
    std::string raw;
    if (s >= 0 &&
        send(s, request.data(), request.size(), MSG_NOSIGNAL) == ssize_t(request.size())) {
        char buf[65536];
        for (ssize_t n; (n = recv(s, buf, sizeof buf, 0)) > 0;)
            raw.append(buf, std::size_t(n));
    }
    close(s);
    const std::size_t end = raw.find("\r\n\r\n");
    if (raw.rfind("HTTP/1.", 0) != 0 || end == std::string::npos) return reply;
    reply.status = std::atoi(raw.c_str() + 9);
    std::size_t at = raw.find("\r\n") + 2;
    while (at < end) {
        const std::size_t eol = raw.find("\r\n", at);
        const std::string line = raw.substr(at, eol - at);
        const std::size_t colon = line.find(':');
        std::string name = line.substr(0, colon);
        for (char& c : name)
            c = char(std::tolower(static_cast<unsigned char>(c)));
        reply.headers[name] = line.substr(line.find_first_not_of(' ', colon + 1));
        at = eol + 2;
    }
    reply.body = raw.substr(end + 4);
    return reply;
}

// A plain GET of `target` with the extra header lines `headers` ("Name: v\r\n").
inline HttpReply HttpGet(int port, const std::string& target, const std::string& headers = {}) {
    return HttpExchange(port, "GET " + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\n" + headers +
                                  "Connection: close\r\n\r\n");
}

}  // namespace twtest
