#include "http_server.h"

#include <arpa/inet.h>
#include <microhttpd.h>
#include <netinet/in.h>

#include <algorithm>
#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <strings.h>
#include <ctime>

#include "common/lasterror.h"
#include "common/strutil.h"
#include "html.h"

namespace web {

struct HttpServer::Context {
    const Site* site = nullptr;
    ServerSettings settings;
    std::function<void(const std::string&)> log;
};

namespace {

using Clock = std::chrono::steady_clock;

// What the log line of one request needs, kept from its start to its end.
struct Request {
    Clock::time_point start = Clock::now();
    std::string method, path, address, note;
    int status = 0;
    long long bytes = 0;
};

// Every byte that is not printable ASCII as \xNN: a request cannot write
// lines of its own into the log.
std::string Printable(std::string_view text) {
    std::string out;
    for (unsigned char c : text) {
        if (c >= 0x20 && c < 0x7F && c != '\\')
            out += char(c);
        else
            out += host::Format("\\x%02X", c);
    }
    return out;
}

std::string ClientAddress(MHD_Connection* c) {
    const MHD_ConnectionInfo* info = MHD_get_connection_info(c, MHD_CONNECTION_INFO_CLIENT_ADDRESS);
    if (!info || !info->client_addr) return "?";
    char text[INET6_ADDRSTRLEN] = "?";
    const sockaddr* a = info->client_addr;
    if (a->sa_family == AF_INET)
        inet_ntop(AF_INET, &reinterpret_cast<const sockaddr_in*>(a)->sin_addr, text, sizeof text);
    else if (a->sa_family == AF_INET6)
        inet_ntop(AF_INET6, &reinterpret_cast<const sockaddr_in6*>(a)->sin6_addr, text,
                  sizeof text);
    return text;
}

// Equal texts, in a time that does not depend on where they differ.
bool SameSecret(std::string_view a, std::string_view b) {
    unsigned char diff = a.size() == b.size() ? 0 : 1;
    for (std::size_t i = 0; i < a.size(); ++i)
        diff |= static_cast<unsigned char>(a[i] ^ (i < b.size() ? b[i] : 0));
    return diff == 0;
}

bool Authorized(MHD_Connection* c, const std::string& token) {
    if (token.empty()) return true;
    const char* given = MHD_lookup_connection_value(c, MHD_HEADER_KIND, "Authorization");
    // The scheme's name in any letter case, then one space.
    const std::string_view prefix = "bearer ";
    if (!given || strncasecmp(given, prefix.data(), prefix.size()) != 0) return false;
    return SameSecret(given + prefix.size(), token);
}

Response Plain(int status, const char* text) {
    Response r;
    r.status = status;
    r.contentType = "text/plain; charset=utf-8";
    r.body = text;
    return r;
}

Response Answer(MHD_Connection* c, const HttpServer::Context& ctx, const Request& req,
                const char* url) {
    if (req.method != "GET" && req.method != "HEAD") {
        Response r = Plain(405, "Only GET and HEAD.\n");
        r.headers.push_back({"Allow", "GET, HEAD"});
        return r;
    }
    if (!Authorized(c, ctx.settings.token)) {
        Response r = Plain(401, "A bearer token is needed.\n");
        r.headers.push_back({"WWW-Authenticate", "Bearer"});
        return r;
    }
    return ctx.site->Get(url, [c](const char* name) -> std::optional<std::string> {
        const char* v = MHD_lookup_connection_value(c, MHD_GET_ARGUMENT_KIND, name);
        return v ? std::optional<std::string>(v) : std::nullopt;
    });
}

MHD_Response* Make(Response& r, Request& req) {
    MHD_Response* m = nullptr;
    if (r.file) {
        req.bytes = r.fileSize;
        m = MHD_create_response_from_fd(uint64_t(r.fileSize), r.file.get());
        if (m) (void)r.file.release();  // the response closes it
    } else {
        req.bytes = (long long)r.body.size();
        m = MHD_create_response_from_buffer(r.body.size(), r.body.data(), MHD_RESPMEM_MUST_COPY);
    }
    if (!m) return nullptr;
    MHD_add_response_header(m, "Content-Type", r.contentType.c_str());
    MHD_add_response_header(m, "Content-Security-Policy",
                            "default-src 'none'; style-src 'self'; img-src 'self'; "
                            "form-action 'self'; base-uri 'none'; frame-ancestors 'none'");
    MHD_add_response_header(m, "X-Content-Type-Options", "nosniff");
    MHD_add_response_header(m, "Referrer-Policy", "no-referrer");
    MHD_add_response_header(m, "Cache-Control", "no-store");
    if (!r.downloadName.empty())
        MHD_add_response_header(
            m, "Content-Disposition",
            ("attachment; filename*=UTF-8''" + UrlPart(r.downloadName)).c_str());
    for (const auto& [name, value] : r.headers)
        MHD_add_response_header(m, name.c_str(), value.c_str());
    return m;
}

MHD_Result Access(void* cls, MHD_Connection* c, const char* url, const char* method, const char*,
                  const char*, size_t* uploadSize, void** conCls) {
    auto& ctx = *static_cast<HttpServer::Context*>(cls);
    if (*conCls) {
        // A body is not read: its bytes are dropped.
        *uploadSize = 0;
        return MHD_YES;
    }
    auto* req = new Request;
    *conCls = req;
    req->method = method;
    req->path = url;
    req->address = ClientAddress(c);
    Response r = Answer(c, ctx, *req, url);
    req->status = r.status;
    req->note = std::move(r.logNote);
    MHD_Response* m = Make(r, *req);
    if (!m) return MHD_NO;
    const MHD_Result queued = MHD_queue_response(c, unsigned(r.status), m);
    MHD_destroy_response(m);
    return queued;
}

void Completed(void* cls, MHD_Connection*, void** conCls, MHD_RequestTerminationCode how) {
    auto& ctx = *static_cast<HttpServer::Context*>(cls);
    std::unique_ptr<Request> req(static_cast<Request*>(*conCls));
    *conCls = nullptr;
    if (!req) return;
    const double ms = std::chrono::duration<double, std::milli>(Clock::now() - req->start).count();
    std::string line = host::Format("%s %s %s %d %lld %.0f ms", req->address.c_str(),
                                    Printable(req->method).c_str(), Printable(req->path).c_str(),
                                    req->status, req->bytes, ms);
    if (how != MHD_REQUEST_TERMINATED_COMPLETED_OK) line += " (not completed)";
    if (!req->note.empty()) line += ": " + req->note;
    ctx.log(line);
}

// What the library says of a connection it refused or dropped itself (a
// request too big, a client gone), on the request log with the rest.
void LibraryLog(void* cls, const char* format, va_list args) {
    auto& ctx = *static_cast<HttpServer::Context*>(cls);
    char text[1024];
    std::vsnprintf(text, sizeof text, format, args);
    std::string line = Printable(std::string_view(text, strcspn(text, "\r\n")));
    ctx.log("server: " + line);
}

// The path reaches the site as sent: it decodes the segments itself.
size_t KeepEscapes(void*, MHD_Connection*, char* uri) {
    return std::strlen(uri);
}

bool SocketAddress(const std::string& address, uint16_t port, sockaddr_storage& out,
                   socklen_t& size) {
    std::memset(&out, 0, sizeof out);
    auto* v4 = reinterpret_cast<sockaddr_in*>(&out);
    if (inet_pton(AF_INET, address.c_str(), &v4->sin_addr) == 1) {
        v4->sin_family = AF_INET;
        v4->sin_port = htons(port);
        size = sizeof *v4;
        return true;
    }
    auto* v6 = reinterpret_cast<sockaddr_in6*>(&out);
    if (inet_pton(AF_INET6, address.c_str(), &v6->sin6_addr) == 1) {
        v6->sin6_family = AF_INET6;
        v6->sin6_port = htons(port);
        size = sizeof *v6;
        return true;
    }
    return false;
}

}  // namespace

bool IsLoopback(const std::string& address) {
    in_addr v4{};
    if (inet_pton(AF_INET, address.c_str(), &v4) == 1) return (ntohl(v4.s_addr) >> 24) == 127;
    in6_addr v6{};
    return inet_pton(AF_INET6, address.c_str(), &v6) == 1 && IN6_IS_ADDR_LOOPBACK(&v6);
}

std::unique_ptr<HttpServer> HttpServer::Start(const Site& site, const ServerSettings& settings,
                                              std::function<void(const std::string&)> log) {
    sockaddr_storage addr{};
    socklen_t size = 0;
    if (!SocketAddress(settings.address, settings.port, addr, size)) {
        SetError("not a numeric IPv4 or IPv6 address: %s", settings.address.c_str());
        return nullptr;
    }
    std::unique_ptr<HttpServer> server(new HttpServer);
    server->context_.reset(new Context{&site, settings, std::move(log)});
    // Each thread of the pool takes its share of the connections; with one,
    // the library's own polling thread answers, without a pool.
    const unsigned threads = std::min(settings.threads, settings.maxConnections);
    MHD_OptionItem pool[] = {{MHD_OPTION_THREAD_POOL_SIZE, intptr_t(threads), nullptr},
                             {MHD_OPTION_END, 0, nullptr}};
    if (threads < 2) pool[0] = pool[1];
    const unsigned flags = MHD_USE_AUTO_INTERNAL_THREAD | MHD_USE_ERROR_LOG |
                           (addr.ss_family == AF_INET6 ? MHD_USE_IPv6 : 0);
    server->daemon_ = MHD_start_daemon(
        flags, settings.port, nullptr, nullptr, &Access, server->context_.get(),
        // First, so that every message of the library goes there.
        MHD_OPTION_EXTERNAL_LOGGER, &LibraryLog, server->context_.get(), MHD_OPTION_SOCK_ADDR,
        reinterpret_cast<sockaddr*>(&addr), MHD_OPTION_ARRAY, pool, MHD_OPTION_CONNECTION_LIMIT,
        settings.maxConnections, MHD_OPTION_CONNECTION_TIMEOUT, settings.timeoutSeconds,
        MHD_OPTION_CONNECTION_MEMORY_LIMIT, settings.maxRequestBytes, MHD_OPTION_NOTIFY_COMPLETED,
        &Completed, server->context_.get(), MHD_OPTION_UNESCAPE_CALLBACK, &KeepEscapes, nullptr,
        MHD_OPTION_END);
    if (!server->daemon_) {
        SetError("cannot listen on %s port %u: %s", settings.address.c_str(),
                 unsigned(settings.port), errno ? std::strerror(errno) : "refused");
        return nullptr;
    }
    const MHD_DaemonInfo* info = MHD_get_daemon_info(server->daemon_, MHD_DAEMON_INFO_BIND_PORT);
    server->port_ = info ? info->port : settings.port;
    return server;
}

HttpServer::~HttpServer() {
    if (daemon_) MHD_stop_daemon(daemon_);
}

}  // namespace web
