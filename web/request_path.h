// The path of a request as the web view takes it: split into segments and
// percent-decoded by us (the server hands it over raw), so that a segment can
// never lead out of where it is looked up.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace web {

// The decoded segments of `raw` (the path of a request line, without its
// query), or nothing when the path is one that is never served: not starting
// with "/", a bad or NUL-producing escape, a segment that is "." or "..",
// or that holds "/", "\" or a control character once decoded, an empty
// segment inside the path, or more than 4096 bytes. "/" gives no segments; a
// final "/" is ignored.
std::optional<std::vector<std::string>> SplitRequestPath(std::string_view raw);

// The value of a query parameter: percent-decoded, "+" as a space; nothing
// for a bad escape or a control character.
std::optional<std::string> DecodeQueryValue(std::string_view raw);

}  // namespace web
