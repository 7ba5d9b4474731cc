// Spreadsheet templates (.xls) as the export reads them, markers included.
// FreeXL runs in a child process of the reader, so what it does with a damaged
// file shows here only as the reader's answer; the reader's own checks, and the
// marker scanner over every cell text, run in this process.
#include <string>

#include "fuzz_input.h"
#include "report/xls/template_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    const char* path = twfuzz::WriteInput(data, size, ".xls");
    host::xls::TemplateSheet sheet;
    std::string error;
    if (!host::xls::ReadTemplate(path, &sheet, &error)) return 0;
    for (const host::xls::TemplateCell& cell : sheet.cells) {
        host::xls::FindMarkers(cell.text);
        host::xls::ReplaceMarkers(cell.text, [](std::string_view name) {
            return name == "Start" ? std::optional<std::string>("01.12.2026 00:00:00")
                                   : std::nullopt;
        });
    }
    return 0;
}
