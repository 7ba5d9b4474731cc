#include "notifynode.h"

#include <cstring>

#include "common/cp1251.h"
#include "common/strutil.h"
#include "config/configcheck.h"
#include "config/configitem.h"

using namespace host::literals;

namespace host {

namespace {

// A text as the messages show it: quoted, a long one cut.
std::string Quoted(const std::string& text) {
    constexpr std::size_t kMax = 40;
    return "\"" + (text.size() > kMax ? text.substr(0, kMax) + "..." : text) + "\"";
}

bool StartsWithNoCase(const std::string& text, const char* prefix) {
    const std::size_t n = std::strlen(prefix);
    return text.size() >= n && strncasecmp(text.c_str(), prefix, n) == 0;
}

// Printable ASCII without blanks: nothing that could split a header or a
// command line of the protocols.
bool PlainToken(const std::string& text) {
    for (unsigned char c : text)
        if (c <= ' ' || c >= 0x7f) return false;
    return !text.empty();
}

// An address of one of `schemes` ("http://", ...) with a host after it.
bool UrlOf(const std::string& url, std::initializer_list<const char*> schemes) {
    if (!PlainToken(url)) return false;
    for (const char* scheme : schemes) {
        if (!StartsWithNoCase(url, scheme)) continue;
        std::string rest = url.substr(std::strlen(scheme));
        rest.erase(std::min(rest.find_first_of("/?#"), rest.size()));
        rest.erase(0, rest.rfind('@') + 1);  // user:password@
        return !rest.empty() && rest[0] != ':';
    }
    return false;
}

// local@domain, with nothing that needs quoting in a mail header.
bool MailAddress(const std::string& address) {
    const std::size_t at = address.find('@');
    return PlainToken(address) && at != 0 && at != std::string::npos && at + 1 < address.size() &&
           address.find('@', at + 1) == std::string::npos &&
           address.find_first_of("<>()[]\\,;:\"") == std::string::npos;
}

std::string Trimmed(const std::string& text) {
    const std::size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos) return "";
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

void ReadMail(HConfigItem& mail, HConfigCheck& check, NotifySettings& out) {
    out.mailTo = check.Str(mail, "To", "");
    out.mailFrom = check.Str(mail, "From", "");
    out.smtp = check.Str(mail, "Smtp", "");
    if (!check.Ok() || (out.mailTo.empty() && out.mailFrom.empty() && out.smtp.empty())) return;
    const std::vector<std::string> to = out.Recipients();
    bool valid = !to.empty();
    for (const std::string& a : to)
        valid = valid && MailAddress(a);
    if (!valid)
        check.Fail(mail, "To",
                   "ожидается один или несколько адресов через запятую, записано "_cp +
                       Quoted(out.mailTo));
    else if (!MailAddress(out.mailFrom))
        check.Fail(mail, "From",
                   "ожидается адрес отправителя, записано "_cp + Quoted(out.mailFrom));
    else if (!UrlOf(out.smtp, {"smtp://", "smtps://"}))
        check.Fail(mail, "Smtp",
                   "ожидается адрес smtp:// или smtps://, записано "_cp + Quoted(out.smtp));
}

}  // namespace

std::vector<std::string> NotifySettings::Recipients() const {
    std::vector<std::string> list;
    if (Trimmed(mailTo).empty()) return list;
    for (std::size_t from = 0;;) {
        const std::size_t comma = mailTo.find(',', from);
        list.push_back(Trimmed(mailTo.substr(from, comma - from)));
        if (comma == std::string::npos) return list;
        from = comma + 1;
    }
}

std::vector<std::string> NotifySettings::RecipientsUtf8(std::string& shown) const {
    std::vector<std::string> to;
    shown.clear();
    for (const std::string& a : Recipients()) {
        to.push_back(Cp1251ToUtf8(a));
        shown += (shown.empty() ? "" : ",") + to.back();
    }
    return to;
}

bool ReadNotifySettings(HConfigItem& job, NotifySettings& out) {
    out = NotifySettings{};
    HConfigItem* node = job.FindChild("Notify");
    if (!node) return true;
    HConfigCheck check;
    out.webhook = check.Str(*node, "Webhook", "");
    if (check.Ok() && !out.webhook.empty() && !UrlOf(out.webhook, {"http://", "https://"}))
        check.Fail(*node, "Webhook",
                   "ожидается адрес http:// или https://, записано "_cp + Quoted(out.webhook));
    if (HConfigItem* mail = check.Ok() ? node->FindChild("Mail") : nullptr)
        ReadMail(*mail, check, out);
    if (check.Report()) return true;
    out = NotifySettings{};
    return false;
}

void WriteNotifySettings(HConfigItem& job, const NotifySettings& settings) {
    HConfigItem* node = job.GetChild("Notify");
    if (!node) return;
    node->SetStr("Webhook", settings.webhook.c_str());
    HConfigItem* mail = node->GetChild("Mail");
    if (!mail) return;
    mail->SetStr("To", settings.mailTo.c_str());
    mail->SetStr("From", settings.mailFrom.c_str());
    mail->SetStr("Smtp", settings.smtp.c_str());
}

}  // namespace host
