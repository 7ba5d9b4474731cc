// The network half of the alerts: a library of its own (libcurl and the
// libraries it brings), loaded from host_notify's folder when the first alert
// goes out, so that a run without alerts never loads it.
#pragma once

#include <string>
#include <vector>

namespace host::notify {

// The deliveries of delivery.h, as the library implements them.
struct Transport {
    bool (*postJson)(const std::string& url, const std::string& json);
    bool (*sendMail)(const std::string& url, const std::string& from,
                     const std::vector<std::string>& to, const std::string& message);
};

inline constexpr const char* kTransportLibrary = "libhost_notify_curl.so";
inline constexpr const char* kTransportEntry = "HostNotifyTransport";
// The library's entry: its transport, alive for the process.
using TransportEntry = const Transport*();

}  // namespace host::notify
