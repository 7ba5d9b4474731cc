// HCustomReport::Export: the report laid out continuously, as an Excel 97-2003
// workbook (report_xls.h), with the spreadsheet template's first sheet above it.
#include <functional>
#include <string>

#include "common/cp1251.h"
#include "common/lasterror.h"
#include "common/osfile.h"
#include "common/paths.h"
#include "report/report_layout.h"
#include "report/report_xls.h"
#include "runtime/rtlog.h"

using namespace host::literals;

namespace {

// Reads the template named by `path` (relative paths from the start folder).
// False when there is none to use: an empty path silently, a missing or
// unreadable file with a log line.
bool LoadTemplate(const std::string& path, host::xls::TemplateSheet& sheet) {
    if (path.empty()) return false;
    char full[kMaxPath];
    MakeStartLocalPath(full, path.c_str());
    if (!host::FileExists(full)) {
        RTLog("Шаблон не найден: %s"_cp, full);
        return false;
    }
    std::string error;
    if (!host::xls::ReadTemplate(host::OsPath(full), &sheet, &error)) {
        RTLog("Шаблон не прочитан: %s"_cp, host::Utf8ToCp1251Lossy(error).c_str());
        return false;
    }
    return true;
}

}  // namespace

bool HCustomReport::Export(const char* fileName) {
    if (!fileName || !*fileName) {
        SetError("%s", "Не задано имя файла отчета"_cp);
        return false;
    }
    host::xls::TemplateSheet sheet;
    const bool haveTemplate = LoadTemplate(template_, sheet);
    // Markers hold ASCII names; values come from the handler in cp1251.
    const host::xls::NameResolver resolve =
        [this](std::string_view name) -> std::optional<std::string> {
        if (!OnGetNamedValue) return std::nullopt;
        const std::string key(name);
        const std::string marker = "#{" + key + "}";
        std::string value = marker;
        OnGetNamedValue(key.c_str(), value);
        if (value == marker) return std::nullopt;
        return host::Cp1251ToUtf8(value);
    };
    // The rows are written as they are laid out, so that a long report is
    // never held whole.
    const host::report::ContinuousLayout layout =
        [this](const std::function<void(HReportRow &&)>& onItem) {
            return LayoutContinuous(onItem);
        };
    const std::string path = host::OsPath(fileName);
    std::string error;
    try {
        host::xls::WorkbookWriter writer({});
        host::report::WriteWorkbook(layout, haveTemplate ? &sheet : nullptr, resolve, writer);
        for (const host::xls::Sheet& extra : ExtraSheets)
            writer.AddSheet(extra);
        if (writer.Save(path, &error)) return true;
    } catch (const std::exception& e) {
        error = "cannot write '" + path + "': " + e.what();
    }
    SetError("%s", host::Utf8ToCp1251Lossy(error).c_str());
    return false;
}
