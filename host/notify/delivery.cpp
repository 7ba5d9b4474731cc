#include "delivery.h"

#include <algorithm>

#include "common/lasterror.h"
#include "common/paths.h"
#include "transport.h"

namespace host::notify {

namespace {

// The transport, loaded on first use; null (last error set) when the library
// cannot be loaded.
const Transport* Network() {
    static std::string why;
    static const Transport* transport = [] {
        const std::string library =
            LibraryFolder(reinterpret_cast<const void*>(&PostJson)) + kTransportLibrary;
        auto* entry =
            reinterpret_cast<TransportEntry*>(LibraryEntry(library, kTransportEntry, why));
        return entry ? entry() : nullptr;
    }();
    if (!transport) SetError("%s: %s", "cannot load the alerts' network library", why.c_str());
    return transport;
}

}  // namespace

bool PostJson(const std::string& url, const std::string& json) {
    const Transport* net = Network();
    return net && net->postJson(url, json);
}

bool SendMail(const std::string& url, const std::string& from, const std::vector<std::string>& to,
              const std::string& message) {
    const Transport* net = Network();
    return net && net->sendMail(url, from, to, message);
}

std::string UrlWithoutPassword(const std::string& url) {
    const std::size_t scheme = url.find("://");
    if (scheme == std::string::npos) return url;
    const std::size_t hostStart = scheme + 3;
    const std::size_t hostEnd = std::min(url.find_first_of("/?#", hostStart), url.size());
    const std::size_t at = url.rfind('@', hostEnd - 1);
    if (at == std::string::npos || at < hostStart) return url;
    const std::size_t colon = url.find(':', hostStart);
    if (colon == std::string::npos || colon > at) return url;
    return url.substr(0, colon) + url.substr(at);
}

}  // namespace host::notify
