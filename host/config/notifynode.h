// Where a report job sends its alerts: the job's "Notify" node, with "Webhook"
// (an http:// or https:// address) and a child node "Mail" with "To" (one or
// more addresses separated by commas), "From" and "Smtp" (an smtp:// or
// smtps:// address, user:password@ allowed). Either, both or neither; a job
// without the node sends none. Texts are cp1251, as the tree gives them.
#pragma once

#include <string>
#include <vector>

class HConfigItem;

namespace host {

struct NotifySettings {
    std::string webhook;  // empty: no webhook
    std::string mailTo;   // as written, addresses separated by commas; empty: no mail
    std::string mailFrom;
    std::string smtp;

    bool HasMail() const { return !mailTo.empty(); }
    bool Any() const { return !webhook.empty() || HasMail(); }
    // The addresses of mailTo, each without the blanks around it.
    std::vector<std::string> Recipients() const;
    // The same in UTF-8, and all of them as one text ("a@x,b@y") in `shown`.
    std::vector<std::string> RecipientsUtf8(std::string& shown) const;
};

// Reads the node as strictly as the other job keys: a value of another type, an
// address of another scheme or without a host, a mail address that is not one,
// a "Mail" without "To", "From" or "Smtp" fails with the first problem in the
// last error (naming file, node and key), and `out` is then empty. A missing
// node, or a "Mail" whose three keys are all empty, is no channel.
bool ReadNotifySettings(HConfigItem& job, NotifySettings& out);

// Writes the node (all four keys, empty ones as empty texts); a tree opened
// read-only is left as it is.
void WriteNotifySettings(HConfigItem& job, const NotifySettings& settings);

}  // namespace host
