// The JSON forms of reports and operations (UTF-8 from the cp1251 texts, times
// as host::TimeText writes them), one set of field names for every program
// that shows them: twdump, the web view and the alerts.
#pragma once

#include <functional>
#include <nlohmann/json.hpp>
#include <string>
#include <string_view>
#include <vector>

#include "common/prtime.h"
#include "tw_contourline.h"
#include "tw_operations.h"
#include "tw_times.h"

nlohmann::ordered_json TW_ItemJson(const TW_ContourLine& item);
nlohmann::ordered_json TW_TimesJson(const TW_IncidentTimes& times);
nlohmann::ordered_json TW_OperationJson(const TW_Operation& op);
nlohmann::ordered_json TW_OperationsJson(const std::vector<TW_Operation>& ops);

// Indented by two, bytes that are not UTF-8 replaced.
std::string TW_JsonText(const nlohmann::ordered_json& j);

// A report file (.twr, with its times and operations files beside it) or an
// operations file given alone (.two), as JSON, handed to `out` in pieces (one
// item at a time). `shownName` is the "File" field. Notes on side files that
// are not used go to `warn`, one line each. False (last error set) when the
// file cannot be read; nothing was written then. `out` returning false stops
// the dump, which returns false with the last error untouched.
bool TW_DumpReportJson(const char* path, const std::string& shownName,
                       const std::function<bool(std::string_view)>& out,
                       const std::function<void(const std::string&)>& warn);
