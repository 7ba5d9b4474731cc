// The entry rthost calls for "rthost serve": serves the home until it is
// told to stop.
#include <csignal>
#include <cstdio>
#include <ctime>
#include <mutex>

#include "common/cp1251.h"
#include "common/lasterror.h"
#include "http_server.h"
#include "runtime/rtlog.h"
#include "runtime/rtpserve.h"

namespace {

// One request's line on standard output (the journal under a service), with
// the local time in front.
void LogLine(const std::string& line) {
    static std::mutex mutex;
    char when[32] = "";
    const std::time_t now = std::time(nullptr);
    std::tm tm{};
    if (localtime_r(&now, &tm)) std::strftime(when, sizeof when, "%Y-%m-%d %H:%M:%S", &tm);
    std::lock_guard<std::mutex> lock(mutex);
    std::printf("%s %s\n", when, line.c_str());
    std::fflush(stdout);
}

}  // namespace

extern "C" __attribute__((visibility("default"))) int TW_Serve(const RTPServeSettings* s) {
    if (!s || s->Size < sizeof(RTPServeSettings) || !s->Home || !s->Address) {
        std::fprintf(stderr, "rthost serve: the web view was called without its settings\n");
        return 2;
    }
    web::ServerSettings settings;
    settings.address = s->Address;
    settings.port = s->Port;
    settings.token = s->Token ? s->Token : "";
    if (s->Threads > 0) settings.threads = unsigned(s->Threads);
    if (s->MaxConnections > 0) settings.maxConnections = unsigned(s->MaxConnections);
    if (s->TimeoutSeconds > 0) settings.timeoutSeconds = unsigned(s->TimeoutSeconds);
    // Another machine may reach a non-loopback address: never without a token.
    if (settings.token.empty() && !web::IsLoopback(settings.address)) {
        std::fprintf(stderr, "rthost serve: listening on %s needs --token-file\n", s->Address);
        return 2;
    }
    // The threads the server starts inherit the blocked signals: only
    // sigwait below takes them.
    sigset_t stop;
    sigemptyset(&stop);
    sigaddset(&stop, SIGINT);
    sigaddset(&stop, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stop, nullptr);
    // The reports' own log lines (of gathering a period) stay out of the
    // requests' log; the server writes no log file into the home.
    host::SetLogConsole(false);
    const web::Site site(host::Utf8ToCp1251Lossy(s->Home));
    std::unique_ptr<web::HttpServer> server = web::HttpServer::Start(site, settings, LogLine);
    if (!server) {
        std::fprintf(stderr, "rthost serve: %s\n", GetIOErrorS_GUI(-2));
        return 1;
    }
    const bool v6 = settings.address.find(':') != std::string::npos;
    std::printf("listening on http://%s%s%s:%u/\n", v6 ? "[" : "", settings.address.c_str(),
                v6 ? "]" : "", unsigned(server->Port()));
    std::fflush(stdout);
    int signal = 0;
    sigwait(&stop, &signal);
    server.reset();
    std::printf("stopped (%s)\n", signal == SIGINT ? "SIGINT" : "SIGTERM");
    return 0;
}
