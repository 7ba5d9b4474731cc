#include "message.h"

#include <unistd.h>

#include <atomic>
#include <chrono>
#include <sstream>

#include "common/osfile.h"
#include "common/strutil.h"

namespace host::notify {

namespace {

bool Ascii(const std::string& text) {
    for (unsigned char c : text)
        if (c >= 0x80 || c < ' ') return false;
    return true;
}

// RFC 2047: a header text that is not ASCII as base64 encoded words, each of
// whole UTF-8 characters.
std::string EncodedHeader(const std::string& text) {
    if (Ascii(text)) return text;
    static const char kAlphabet[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    auto base64 = [](std::string_view bytes) {
        std::string out;
        for (std::size_t i = 0; i < bytes.size(); i += 3) {
            const std::size_t n = std::min<std::size_t>(3, bytes.size() - i);
            uint32_t v = 0;
            for (std::size_t k = 0; k < 3; ++k)
                v = v << 8 | (k < n ? uint8_t(bytes[i + k]) : 0);
            for (std::size_t k = 0; k < 4; ++k)
                out += k <= n ? kAlphabet[(v >> (18 - 6 * k)) & 63] : '=';
        }
        return out;
    };
    constexpr std::size_t kChunk = 45;  // bytes of one word: 60 characters of base64
    std::string out;
    for (std::size_t at = 0; at < text.size();) {
        std::size_t end = std::min(at + kChunk, text.size());
        while (end < text.size() && (uint8_t(text[end]) & 0xC0) == 0x80)
            --end;  // not inside a character
        out += (at ? "\r\n " : "") + std::string("=?UTF-8?B?") +
               base64(std::string_view(text).substr(at, end - at)) + "?=";
        at = end;
    }
    return out;
}

// RFC 5322: "Thu, 10 Dec 2026 08:37:11 +0300".
std::string DateHeader(std::time_t date) {
    std::tm tm{};
    localtime_r(&date, &tm);
    static const char* const kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                          "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    const long offset = tm.tm_gmtoff / 60;
    return host::Format("%s, %02d %s %04d %02d:%02d:%02d %c%02ld%02ld", kDays[tm.tm_wday],
                        tm.tm_mday, kMonths[tm.tm_mon], tm.tm_year + 1900, tm.tm_hour, tm.tm_min,
                        tm.tm_sec, offset < 0 ? '-' : '+', std::labs(offset) / 60,
                        std::labs(offset) % 60);
}

std::string MessageId(const std::string& from, std::time_t date) {
    static std::atomic<unsigned> serial{0};
    const auto now = std::chrono::steady_clock::now().time_since_epoch().count();
    const std::string unique = host::Format("%lld.%d.%u.%lld", static_cast<long long>(date),
                                            int(::getpid()), serial++, static_cast<long long>(now));
    return "<" + Digest(unique) + "." + std::to_string(static_cast<long long>(date)) + "@" +
           from.substr(from.find('@') + 1) + ">";
}

// The body with CRLF line ends, ending with one.
std::string CrlfText(const std::string& body) {
    std::string out;
    for (char c : body) {
        if (c == '\r') continue;
        if (c == '\n') out += '\r';
        out += c;
    }
    if (out.size() < 2 || out.compare(out.size() - 2, 2, "\r\n")) out += "\r\n";
    return out;
}

}  // namespace

std::string ComposeMail(const std::string& from, const std::vector<std::string>& to,
                        const std::string& subject, const std::string& body, std::time_t date) {
    std::string recipients;
    for (const std::string& a : to)
        recipients += (recipients.empty() ? "" : ", ") + a;
    return "From: " + from + "\r\nTo: " + recipients + "\r\nSubject: " + EncodedHeader(subject) +
           "\r\nDate: " + DateHeader(date) + "\r\nMessage-ID: " + MessageId(from, date) +
           "\r\nMIME-Version: 1.0\r\nContent-Type: text/plain; charset=utf-8\r\n"
           "Content-Transfer-Encoding: 8bit\r\n\r\n" +
           CrlfText(body);
}

std::string Digest(std::string_view text) {
    // FNV-1a, 64 bits.
    uint64_t h = 14695981039346656037ull;
    for (unsigned char c : text) {
        h ^= c;
        h *= 1099511628211ull;
    }
    return host::Format("%016llx", static_cast<unsigned long long>(h));
}

bool DeliveryRecord::Load(const char* path) {
    digests_.clear();
    if (!host::FileExists(path)) return true;
    std::string text;
    if (!host::ReadWholeFile(path, text)) return false;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        std::istringstream fields(line);
        std::string period, channel, digest, more;
        if (fields >> period >> channel >> digest && !(fields >> more))
            digests_[period + " " + channel] = digest;
    }
    return true;
}

bool DeliveryRecord::Save(const char* path) const {
    std::string text;
    for (const auto& [key, digest] : digests_)
        text += key + " " + digest + "\n";
    return host::WriteFileAtomically(path, text);
}

std::string DeliveryRecord::Delivered(const std::string& period, const std::string& channel) const {
    const auto it = digests_.find(period + " " + channel);
    return it == digests_.end() ? std::string() : it->second;
}

void DeliveryRecord::SetDelivered(const std::string& period, const std::string& channel,
                                  const std::string& digest) {
    digests_[period + " " + channel] = digest;
}

}  // namespace host::notify
