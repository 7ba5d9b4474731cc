// Building the web view's HTML: every text from a report or the configuration
// goes through Escape (or Text, from cp1251) on its way into a page.
#pragma once

#include <string>
#include <string_view>

namespace web {

// `utf8` with &, <, >, " and ' as character references.
std::string Escape(std::string_view utf8);
// A cp1251 text of a report or job, escaped for HTML.
std::string Text(std::string_view cp1251);
// A URL path segment or query value, percent-encoded but for unreserved bytes.
std::string UrlPart(std::string_view utf8);

// A whole page: the frame with its title (plain text, escaped here), the
// navigation and `body` (HTML).
std::string Page(std::string_view title, std::string_view body);

// The style sheet the pages link (/static/style.css).
std::string_view StyleSheet();

}  // namespace web
