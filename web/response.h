// What the web view answers a request with, before the server sends it.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "common/unique_handle.h"

namespace web {

struct Response {
    int status = 200;
    std::string contentType = "text/html; charset=utf-8";
    std::string body;
    // A file to send instead of `body` (opened here, handed to the server with
    // its size), and the name a browser saves it under.
    host::UniqueFd file;
    long long fileSize = 0;
    std::string downloadName;  // UTF-8
    std::vector<std::pair<std::string, std::string>> headers;
    std::string logNote;  // why a request was refused, for the request's log line
};

Response NotFound(std::string logNote = {});
// A page with `why` under `title`, answered with `status`; `why` is logged too.
Response ErrorPage(int status, const char* title, const std::string& why);
Response BadRequest(const std::string& why);
Response Html(std::string page);
Response Json(std::string text);

}  // namespace web
