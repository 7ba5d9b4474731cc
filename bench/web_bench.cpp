// The web view under load: rthost serve over a 60-day demo home, 50 clients
// at once over loopback, each with its own kept-alive connection, 200 requests
// each over the pages and the API. Prints the time of each kind's first
// answer (made afresh), then, per kind, the count, failures and the 50th and
// 99th percentile latency under the load (answers kept while the home does
// not change); the target: no failed request, and the API of one report under
// 50 ms at the 99th percentile.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "bench_util.h"
#include "web/serve_process.h"

namespace {

constexpr int kClients = 50, kRequests = 200, kDays = 60;

// One kept-alive HTTP/1.1 connection; reconnects when the server closed it.
class Connection {
  public:
    explicit Connection(int port) : port_(port) {}
    ~Connection() { Close(); }
    // GET `target`; the status, or 0 when no answer came.
    int Get(const std::string& target) {
        for (int attempt = 0; attempt < 2; ++attempt) {
            if (fd_ < 0 && !Open()) return 0;
            const std::string request = "GET " + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n";
            int status = 0;
            if (send(fd_, request.data(), request.size(), MSG_NOSIGNAL) ==
                    ssize_t(request.size()) &&
                Read(status))
                return status;
            Close();
        }
        return 0;
    }

  private:
    bool Open() {
        fd_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(uint16_t(port_));
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        const int one = 1;
        setsockopt(fd_, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        if (connect(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0) return true;
        Close();
        return false;
    }
    void Close() {
        if (fd_ >= 0) close(fd_);
        fd_ = -1;
        buffer_.clear();
    }
    // One reply: its head, then Content-Length bytes of body.
    bool Read(int& status) {
        std::size_t end;
        while ((end = buffer_.find("\r\n\r\n")) == std::string::npos)
            if (!Fill()) return false;
        status = std::atoi(buffer_.c_str() + 9);
        const std::size_t at = buffer_.find("Content-Length: ");
        const std::size_t length =
            at < end ? std::strtoul(buffer_.c_str() + at + 16, nullptr, 10) : 0;
        while (buffer_.size() < end + 4 + length)
            if (!Fill()) return false;
        buffer_.erase(0, end + 4 + length);
        return true;
    }
    bool Fill() {
        char chunk[65536];
        const ssize_t n = recv(fd_, chunk, sizeof chunk, 0);
        if (n <= 0) return false;
        buffer_.append(chunk, std::size_t(n));
        return true;
    }
    int port_;
    int fd_ = -1;
    std::string buffer_;
};

struct Kind {
    const char* name;
    std::string target;
    std::vector<double> ms;
    int failed = 0;
};

double Percentile(std::vector<double> v, double p) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, std::size_t(p * double(v.size())))];
}

std::string Day(int offset) {
    return twtest::Shell("date -d '2026-12-10 - " + std::to_string(offset) + " days' +%F")
        .substr(0, 10);
}

}  // namespace

int main() {
    std::string dir = twbench::ProgramFolder();
    dir.pop_back();
    setenv("TW_BIN_DIR", dir.c_str(), 1);
    setenv("TZ", "Europe/Moscow", 1);
    const std::string home = (std::filesystem::temp_directory_path() / "tw-bench-web/").string();
    std::filesystem::remove_all(home);
    std::printf("building a %d-day demo home in %s...\n", kDays, home.c_str());
    const std::string rthost = twtest::Bin("rthost");
    if (twtest::ExitCode(rthost + " demo " + home + " --days " + std::to_string(kDays) +
                         " --end 2026-12-10 >/dev/null 2>&1") != 0 ||
        twtest::ExitCode(rthost + " run " + home + " --from " + Day(kDays) + " --to " + Day(1) +
                         " >/dev/null 2>&1") != 0) {
        std::printf("the demo home could not be made\n");
        return 1;
    }
    twtest::ServeProcess server({home, "--listen", "127.0.0.1:0"});
    if (!server.Port()) {
        std::printf("rthost serve did not start\n");
        return 1;
    }
    const std::string week = "from=" + Day(7) + "&to=" + Day(1);
    std::vector<Kind> kinds = {
        {"API: one report",
         "/api/report/Daily%20" +
             twtest::Shell("date -d '" + Day(2) + "' +%d-%m-%Y").substr(0, 10) +
             "%2000_00-00_00.twr",
         {}},
        {"API: the reports of 60 days", "/api/reports?from=" + Day(kDays) + "&to=" + Day(1), {}},
        {"API: a week's statistics", "/api/stats?" + week, {}},
        {"page: the calendar", "/?month=2026-11", {}},
        {"page: a day", "/day/Daily/" + Day(2), {}},
        {"page: a week", "/period?" + week, {}},
    };
    // The first answer of each kind is made afresh; the load then gets the
    // answers kept while the home does not change.
    std::printf("\nthe first answer (made afresh), one client:\n");
    {
        Connection conn(server.Port());
        for (const Kind& k : kinds) {
            const auto start = twbench::Clock::now();
            const int status = conn.Get(k.target);
            std::printf("  %-32s %6.1f ms%s\n", k.name, twbench::Seconds(start) * 1e3,
                        status == 200 ? "" : " (failed)");
        }
    }
    // Each client its share of every kind, in turn; the latencies per thread,
    // gathered after.
    std::vector<std::vector<std::vector<double>>> times(
        kClients, std::vector<std::vector<double>>(kinds.size()));
    std::vector<std::vector<int>> failures(kClients, std::vector<int>(kinds.size()));
    const auto t0 = twbench::Clock::now();
    std::vector<std::thread> clients;
    for (int c = 0; c < kClients; ++c)
        clients.emplace_back([&, c] {
            Connection conn(server.Port());
            for (int r = 0; r < kRequests; ++r) {
                const std::size_t k = std::size_t(c + r) % kinds.size();
                const auto start = twbench::Clock::now();
                const int status = conn.Get(kinds[k].target);
                times[c][k].push_back(twbench::Seconds(start) * 1e3);
                failures[c][k] += status != 200;
            }
        });
    for (std::thread& t : clients)
        t.join();
    const double seconds = twbench::Seconds(t0);
    int failed = 0;
    std::printf("\n%d clients x %d requests over loopback, in %.1f s (%.0f requests/s):\n",
                kClients, kRequests, seconds, kClients * kRequests / seconds);
    std::printf("%-32s %8s %7s %9s %9s\n", "", "requests", "failed", "p50 ms", "p99 ms");
    for (std::size_t k = 0; k < kinds.size(); ++k) {
        for (int c = 0; c < kClients; ++c) {
            kinds[k].ms.insert(kinds[k].ms.end(), times[c][k].begin(), times[c][k].end());
            kinds[k].failed += failures[c][k];
        }
        failed += kinds[k].failed;
        std::printf("%-32s %8zu %7d %9.1f %9.1f\n", kinds[k].name, kinds[k].ms.size(),
                    kinds[k].failed, Percentile(kinds[k].ms, 0.5), Percentile(kinds[k].ms, 0.99));
    }
    const double p99 = Percentile(kinds[0].ms, 0.99);
    std::printf("failed requests: %d (target 0: %s)\n", failed, failed == 0 ? "ok" : "MISSED");
    std::printf("API of one report, 99th percentile: %.1f ms (target < 50 ms: %s)\n", p99,
                p99 < 50 ? "ok" : "MISSED");
    server.Stop();
    std::filesystem::remove_all(home);
    return 0;
}
