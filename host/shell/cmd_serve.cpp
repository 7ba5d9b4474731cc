#include "cmd_serve.h"

#include <dlfcn.h>

#include <cstdio>
#include <memory>
#include <string>

#include "common/cp1251.h"
#include "common/osfile.h"
#include "plugin_loader.h"
#include "runtime/rtpserve.h"

namespace {

struct ServeArgs {
    std::string home;
    std::string listen = "127.0.0.1:8080";
    std::string tokenFile;
    int threads = 4;
    int maxConnections = 128;
    int timeout = 15;
};

// "ADDR:PORT" or "[ADDR]:PORT" into its parts; false when it is neither.
bool SplitListen(const std::string& text, std::string& address, uint16_t& port) {
    const std::size_t colon = text.rfind(':');
    if (colon == std::string::npos || colon + 1 == text.size()) return false;
    address = text.substr(0, colon);
    if (address.size() > 2 && address.front() == '[' && address.back() == ']')
        address = address.substr(1, address.size() - 2);
    const std::string digits = text.substr(colon + 1);
    if (digits.size() > 5 || digits.find_first_not_of("0123456789") != std::string::npos)
        return false;
    const unsigned long value = std::stoul(digits);
    if (value > 65535) return false;
    port = uint16_t(value);
    return !address.empty();
}

// The token: the file's first line, without the line end. False (said on
// standard error) when the file cannot be read or holds no token.
bool ReadToken(const std::string& file, std::string& token) {
    std::string text;
    if (!host::ReadWholeFile(file.c_str(), text, 4096)) {
        std::fprintf(stderr, "rthost serve: cannot read the token file %s\n", file.c_str());
        return false;
    }
    token = text.substr(0, text.find_first_of("\r\n"));
    if (token.empty() || token.find_first_of(" \t") != std::string::npos) {
        std::fprintf(stderr,
                     "rthost serve: the token file %s holds no token (one line without "
                     "spaces)\n",
                     file.c_str());
        return false;
    }
    return true;
}

int Serve(const ServeArgs& args) {
    std::string home = args.home;
    if (home.empty() || home.back() != '/') home += '/';
    if (!host::IsDirectory(host::Utf8ToCp1251Lossy(home).c_str())) {
        std::fprintf(stderr, "rthost serve: no home folder %s\n", args.home.c_str());
        return 2;
    }
    RTPServeSettings settings{};
    settings.Size = sizeof settings;
    std::string address, token;
    if (!SplitListen(args.listen, address, settings.Port)) {
        std::fprintf(stderr, "rthost serve: --listen takes ADDR:PORT, not %s\n",
                     args.listen.c_str());
        return 2;
    }
    if (!args.tokenFile.empty() && !ReadToken(args.tokenFile, token)) return 2;
    settings.Home = home.c_str();
    settings.Address = address.c_str();
    settings.Token = token.empty() ? nullptr : token.c_str();
    settings.Threads = args.threads;
    settings.MaxConnections = args.maxConnections;
    settings.TimeoutSeconds = args.timeout;
    const std::string path = host::DefaultModulePath("libTripweb.so");
    const std::unique_ptr<void, int (*)(void*)> lib(dlopen(path.c_str(), RTLD_NOW), &dlclose);
    auto serve = lib ? reinterpret_cast<RTPServeProc>(dlsym(lib.get(), "TW_Serve")) : nullptr;
    if (!serve) {
        std::fprintf(stderr, "rthost serve: cannot load the web view: %s\n", dlerror());
        return 2;
    }
    return serve(&settings);
}

}  // namespace

void AddServeCommand(CLI::App& app, int& exitCode) {
    auto args = std::make_shared<ServeArgs>();
    CLI::App* cmd = app.add_subcommand("serve", "Serve a read-only web view of HOME's reports");
    cmd->add_option("HOME", args->home, "Home folder")->required();
    cmd->add_option("--listen", args->listen,
                    "Address and port to listen on, ADDR:PORT (default 127.0.0.1:8080; another "
                    "address than loopback needs --token-file)");
    cmd->add_option("--token-file", args->tokenFile,
                    "File whose first line is the token every request must carry "
                    "(Authorization: Bearer TOKEN)");
    cmd->add_option("--threads", args->threads, "Threads answering requests (default 4)")
        ->check(CLI::Range(1, 64));
    cmd->add_option("--max-connections", args->maxConnections,
                    "Connections at once; more are refused (default 128)")
        ->check(CLI::Range(1, 10000));
    cmd->add_option("--timeout", args->timeout,
                    "Seconds after which an idle or slow connection is closed (default 15)")
        ->check(CLI::Range(1, 3600));
    cmd->callback([args, &exitCode] { exitCode = Serve(*args); });
}
