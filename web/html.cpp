#include "html.h"

#include "common/cp1251.h"

namespace web {

std::string Escape(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    for (char c : utf8) {
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            case '\'':
                out += "&#39;";
                break;
            default:
                out += c;
        }
    }
    return out;
}

std::string Text(std::string_view cp1251) {
    return Escape(host::Cp1251ToUtf8(std::string(cp1251)));
}

std::string UrlPart(std::string_view utf8) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : utf8) {
        const bool plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
                           (c >= '0' && c <= '9') || c == '-' || c == '_' || c == '.' || c == '~';
        if (plain) {
            out += char(c);
        } else {
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 15];
        }
    }
    return out;
}

std::string Page(std::string_view title, std::string_view body) {
    std::string page =
        "<!DOCTYPE html>\n<html lang=\"ru\">\n<head>\n<meta charset=\"utf-8\">\n"
        "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n"
        "<link rel=\"stylesheet\" href=\"/static/style.css\">\n<title>";
    page += Escape(title);
    page +=
        " — Tripwatch</title>\n</head>\n<body>\n<nav><a href=\"/\">Календарь</a> "
        "<a href=\"/period\">Период</a> <a href=\"/api/reports\">JSON</a></nav>\n<main>\n<h1>";
    page += Escape(title);
    page += "</h1>\n";
    page += body;
    page += "</main>\n</body>\n</html>\n";
    return page;
}

std::string_view StyleSheet() {
    return R"(body { font-family: sans-serif; margin: 0; color: #1d2733; background: #f7f8fa; }
nav { background: #1d2733; padding: 0.6em 1em; }
nav a { color: #fff; margin-right: 1.5em; text-decoration: none; }
main { padding: 1em 1.5em; }
h1 { font-size: 1.4em; }
table { border-collapse: collapse; background: #fff; margin-bottom: 1.5em; }
th, td { border: 1px solid #ccd3dc; padding: 0.3em 0.6em; text-align: left; vertical-align: top; }
th { background: #e8ecf1; }
td.num { text-align: right; }
td.time { white-space: nowrap; }
.ok { color: #17692b; background: #e6f4ea; }
.fail { color: #9b1c1c; background: #fde8e8; }
.warn { color: #7a4b00; background: #fff4d6; }
.none { color: #6b7785; }
table.calendar td { width: 9em; height: 5.5em; }
table.calendar td.other { background: #f0f2f5; }
.day-number { font-weight: bold; }
form { margin-bottom: 1em; }
img.chart { max-width: 100%; background: #fff; border: 1px solid #ccd3dc; margin-bottom: 1em; }
.wide { overflow-x: auto; }
)";
}

}  // namespace web
