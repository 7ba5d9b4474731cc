// What the web view reads of a request before anything else: the path, split
// and decoded, a query value, and a CSV table made JSON. Whatever comes, no
// segment the path gives may lead out of a folder.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "csv_json.h"
#include "request_path.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    if (const auto segments = web::SplitRequestPath(input)) {
        for (const std::string& s : *segments) {
            if (s.empty() || s == "." || s == ".." || s.find_first_of("/\\") != s.npos ||
                s.find('\0') != s.npos)
                std::abort();
        }
    }
    if (const auto value = web::DecodeQueryValue(input))
        if (value->find('\0') != std::string::npos) std::abort();
    web::CsvRowsAsJson(input, {"sensor", "variable"});
    return 0;
}
