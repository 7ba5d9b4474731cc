// The entry of the web view's library (libTripweb.so) that rthost loads for
// "rthost serve": the records it is called with.
#pragma once

#include <cstdint>

struct RTPServeSettings {
    uint32_t Size;        // sizeof(RTPServeSettings)
    const char* Home;     // the home folder, with a final "/" (UTF-8)
    const char* Address;  // a numeric IPv4 or IPv6 address to listen on
    uint16_t Port;        // 0: any free port (the one taken is printed)
    const char* Token;    // the bearer token every request must carry; null: none
    int Threads;          // threads answering requests
    int MaxConnections;   // connections at once; more are refused
    int TimeoutSeconds;   // an idle or slow connection is closed after this
};

// Serves until SIGINT or SIGTERM; returns the exit code (0 stopped, 1 could
// not listen, 2 a wrong setting; the reason on standard error). Prints
// "listening on http://ADDR:PORT/" once it listens and a line per request.
extern "C" typedef int (*RTPServeProc)(const RTPServeSettings* settings);
