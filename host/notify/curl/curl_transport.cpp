#include <curl/curl.h>

#include <cstring>
#include <type_traits>
#include <mutex>

#include "common/lasterror.h"
#include "common/strutil.h"
#include "common/unique_handle.h"
#include "notify/transport.h"

namespace host::notify {

namespace {

using UniqueCurl = UniqueHandle<CURL*, &curl_easy_cleanup>;
using UniqueSlist = UniqueHandle<curl_slist*, &curl_slist_free_all>;

constexpr long kConnectSeconds = 10;
constexpr long kTotalSeconds = 30;

// A handle with the settings every delivery shares; null (last error set) when
// libcurl cannot make one.
UniqueCurl NewHandle(const std::string& url, const char* protocols) {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
    UniqueCurl curl(curl_easy_init());
    if (!curl) {
        SetError("%s", "libcurl: no handle");
        return curl;
    }
    CURL* c = curl.get();
    curl_easy_setopt(c, CURLOPT_URL, url.c_str());
    curl_easy_setopt(c, CURLOPT_PROTOCOLS_STR, protocols);
    curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT, kConnectSeconds);
    curl_easy_setopt(c, CURLOPT_TIMEOUT, kTotalSeconds);
    curl_easy_setopt(c, CURLOPT_USERAGENT, "Tripwatch/1.0");
    return curl;
}

// The reason of a failed transfer: the reply code when the server refused,
// else libcurl's text.
bool Failed(CURL* c, CURLcode code, const char* replyName) {
    long reply = 0;
    curl_easy_getinfo(c, CURLINFO_RESPONSE_CODE, &reply);
    if (reply >= 300)
        SetError("%s %ld", replyName, reply);
    else
        SetError("%s", curl_easy_strerror(code));
    return false;
}

size_t Discard(char*, size_t size, size_t count, void*) {
    return size * count;
}

// The message handed to libcurl piece by piece.
struct Upload {
    const std::string& text;
    std::size_t at = 0;
};

size_t ReadUpload(char* buffer, size_t size, size_t count, void* arg) {
    Upload& u = *static_cast<Upload*>(arg);
    const std::size_t n = std::min(size * count, u.text.size() - u.at);
    std::memcpy(buffer, u.text.data() + u.at, n);
    u.at += n;
    return n;
}

bool PostJson(const std::string& url, const std::string& json) {
    UniqueCurl curl = NewHandle(url, "http,https");
    if (!curl) return false;
    CURL* c = curl.get();
    UniqueSlist headers(curl_slist_append(nullptr, "Content-Type: application/json"));
    curl_easy_setopt(c, CURLOPT_HTTPHEADER, headers.get());
    curl_easy_setopt(c, CURLOPT_POSTFIELDS, json.data());
    curl_easy_setopt(c, CURLOPT_POSTFIELDSIZE_LARGE, curl_off_t(json.size()));
    curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, &Discard);
    const CURLcode code = curl_easy_perform(c);
    long status = 0;
    curl_easy_getinfo(c, CURLINFO_RESPONSE_CODE, &status);
    if (code == CURLE_OK && status >= 200 && status < 300) return true;
    return Failed(c, code, "HTTP status");
}

bool SendMail(const std::string& url, const std::string& from, const std::vector<std::string>& to,
              const std::string& message) {
    UniqueCurl curl = NewHandle(url, "smtp,smtps");
    if (!curl) return false;
    CURL* c = curl.get();
    UniqueSlist recipients;
    for (const std::string& address : to) {
        curl_slist* next = curl_slist_append(recipients.get(), ("<" + address + ">").c_str());
        if (!next) {
            SetError("%s", "libcurl: out of memory");
            return false;
        }
        (void)recipients.release();
        recipients.reset(next);
    }
    const std::string sender = "<" + from + ">";
    Upload upload{message};
    curl_easy_setopt(c, CURLOPT_MAIL_FROM, sender.c_str());
    curl_easy_setopt(c, CURLOPT_MAIL_RCPT, recipients.get());
    curl_easy_setopt(c, CURLOPT_USE_SSL, long(CURLUSESSL_TRY));
    curl_easy_setopt(c, CURLOPT_UPLOAD, 1L);
    curl_easy_setopt(c, CURLOPT_INFILESIZE_LARGE, curl_off_t(message.size()));
    curl_easy_setopt(c, CURLOPT_READFUNCTION, &ReadUpload);
    curl_easy_setopt(c, CURLOPT_READDATA, &upload);
    const CURLcode code = curl_easy_perform(c);
    if (code == CURLE_OK) return true;
    return Failed(c, code, "SMTP reply");
}

}  // namespace

}  // namespace host::notify

extern "C" const host::notify::Transport* HostNotifyTransport() {
    static_assert(std::is_same_v<decltype(HostNotifyTransport), host::notify::TransportEntry>);
    static const host::notify::Transport transport{&host::notify::PostJson,
                                                   &host::notify::SendMail};
    return &transport;
}
