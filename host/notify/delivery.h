// Delivery of alerts over the network (libcurl): a JSON document posted to a
// webhook, a mail handed to an SMTP server. Addresses and texts are UTF-8.
// Each call connects within 10 s and gives up after 30 s in all.
#pragma once

#include <string>
#include <vector>

namespace host::notify {

// POSTs `json` with Content-Type application/json to an http:// or https://
// `url`; true when the server answered 2xx. Else false, the reason in the last
// error ("HTTP status 500", or libcurl's text of the failure).
bool PostJson(const std::string& url, const std::string& json);

// Sends `message` (headers and body, CRLF lines, as ComposeMail makes it) from
// `from` to every address of `to` through the smtp:// or smtps:// server `url`
// (user:password@ in it to log in); true when the server took it for all of
// them. Else false, the reason in the last error ("SMTP reply 554", or
// libcurl's text of the failure).
bool SendMail(const std::string& url, const std::string& from, const std::vector<std::string>& to,
              const std::string& message);

// `url` as it may be shown: a password in it left out ("smtp://user@host").
std::string UrlWithoutPassword(const std::string& url);

}  // namespace host::notify
