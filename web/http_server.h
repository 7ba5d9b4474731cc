// The web view's HTTP server over libmicrohttpd: read-only (GET and HEAD),
// optionally behind a bearer token, with bounded requests, connections and
// waits, and one log line a request. The Site answers what is asked.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "site.h"

struct MHD_Daemon;

namespace web {

struct ServerSettings {
    std::string address = "127.0.0.1";  // numeric IPv4 or IPv6
    uint16_t port = 8080;               // 0: any free port
    std::string token;                  // empty: no token asked for
    unsigned threads = 4;
    unsigned maxConnections = 128;
    unsigned timeoutSeconds = 15;         // a connection idle this long is closed
    std::size_t maxRequestBytes = 16384;  // request line and headers
};

class HttpServer {
  public:
    // Listens and serves from threads of its own. Null (last error set, the
    // reason in words) when it cannot listen. `log` gets one line a request and
    // must be safe to call from several threads.
    static std::unique_ptr<HttpServer> Start(const Site& site, const ServerSettings& settings,
                                             std::function<void(const std::string&)> log);
    ~HttpServer();  // stops serving; waits for the requests under way
    HttpServer(const HttpServer&) = delete;
    HttpServer& operator=(const HttpServer&) = delete;

    uint16_t Port() const { return port_; }

    // For the callbacks of the library.
    struct Context;

  private:
    HttpServer() = default;
    MHD_Daemon* daemon_ = nullptr;
    uint16_t port_ = 0;
    std::unique_ptr<Context> context_;
};

// True for a numeric address of this machine's loopback (127.0.0.0/8, ::1).
bool IsLoopback(const std::string& address);

}  // namespace web
