#include "tw_json.h"

#include <cstring>
#include <memory>
#include <utility>

#include "common/cp1251.h"
#include "common/timetext.h"
#include "common/lasterror.h"
#include "common/lzhstream.h"
#include "common/osfile.h"
#include "tw_fieldtext.h"
#include "tw_file.h"
#include "tw_opsfile.h"

using nlohmann::ordered_json;

namespace {

template <std::size_t N>
std::string Text(const char (&field)[N]) {
    return host::Cp1251ToUtf8(TW_FieldText(field));
}

ordered_json Signal(const TW_ContourSignal& s) {
    ordered_json j;
    j["Used"] = s.Used;
    j["Sensor"] = Text(s.Sensor);
    j["State"] = s.State;
    j["MaxTime"] = s.MaxTime;
    j["ONName"] = Text(s.ONName);
    j["OFFName"] = Text(s.OFFName);
    return j;
}

ordered_json Contour(const TW_Contour& c) {
    ordered_json j;
    j["Used"] = c.Used;
    j["Sensor"] = Text(c.Sensor);
    j["Interval"] = c.Interval;
    j["State"] = c.State;
    j["StateName"] = Text(c.StateName);
    j["Limit"] = Text(c.Limit);
    j["ValueType"] = c.ValueType;
    j["Rele"] = Signal(c.Rele);
    j["Prot"] = Signal(c.Prot);
    return j;
}

// A time in seconds, or null for none.
ordered_json Seconds(uint32_t t) {
    return t == TW_NoTime ? ordered_json(nullptr) : ordered_json(t);
}

// The file's own name: it lies beside the report, and a dump does not depend
// on the folder.
std::string OwnName(const std::string& cp1251Path) {
    return host::Cp1251ToUtf8(cp1251Path.substr(cp1251Path.find_last_of('/') + 1));
}

// The record size stored in the file (Load has checked the header already).
uint32_t StoredRecordSize(const char* path) {
    uint32_t header[2] = {0, 0};
    std::unique_ptr<HIStream> in = OpenStreamFile(path);
    if (in) in->Read(header, sizeof header);
    return header[1];
}

// The header object with the items in its empty "Items" array, one item at a
// time, so that memory holds the JSON of one item, never of the file.
bool PutReport(const ordered_json& header, const TW_File& report,
               const std::function<bool(std::string_view)>& out) {
    std::string head = TW_JsonText(header);
    if (report.Count() == 0) return out(head + "\n");
    head.resize(head.size() - std::strlen("]\n}"));
    if (!out(head)) return false;
    for (int i = 0; i < report.Count(); ++i) {
        ordered_json j = TW_ItemJson(*report.ItemINT(i));
        if (const TW_IncidentTimes* t = report.TimesOf(i)) j["Times"] = TW_TimesJson(*t);
        std::string item = TW_JsonText(j);
        for (std::size_t at = item.find('\n'); at != std::string::npos; at = item.find('\n', at))
            item.insert(at += 1, "    ");
        if (!out(i ? ",\n    " : "\n    ") || !out(item)) return false;
    }
    return out("\n  ]\n}\n");
}

// The operations file beside a report into `j`, when it is of the same
// computation; a file that is there but cannot be used is told to `warn`.
void AddOperations(const char* path, const TW_File& report, ordered_json& j,
                   const std::function<void(const std::string&)>& warn) {
    const std::string opsFile = TW_OpsFileName(path);
    if (!host::FileExists(opsFile.c_str())) return;
    TW_OpsHeader header;
    std::vector<TW_Operation> ops;
    if (!TW_ReadOpsFile(opsFile.c_str(), header, ops))
        warn("operations file not used: " + host::Cp1251ToUtf8(opsFile) + ": " +
             host::Cp1251ToUtf8(GetIOErrorS_GUI(-2)));
    else if (header.Start != report.Start || header.End != report.End ||
             header.RunTime != report.RunTime)
        warn("operations file not used: " + host::Cp1251ToUtf8(opsFile) +
             ": made by another run (" + host::TimeText(header.RunTime) + ")");
    else {
        j["OperationsFile"] = OwnName(opsFile);
        j["Operations"] = TW_OperationsJson(ops);
    }
}

bool DumpOperationsAlone(const char* path, const std::string& shownName,
                         const std::function<bool(std::string_view)>& out) {
    TW_OpsHeader header;
    std::vector<TW_Operation> ops;
    if (!TW_ReadOpsFile(path, header, ops)) return false;
    ordered_json j;
    j["File"] = shownName;
    j["Start"] = host::TimeText(header.Start);
    j["End"] = host::TimeText(header.End);
    j["RunTime"] = host::TimeText(header.RunTime);
    j["Count"] = header.Count;
    j["Operations"] = TW_OperationsJson(ops);
    return out(TW_JsonText(j) + "\n");
}

}  // namespace

ordered_json TW_ItemJson(const TW_ContourLine& l) {
    ordered_json j;
    j["Contour"] = Contour(l.Contour);
    j["Start"] = host::TimeText(l.Start);
    j["End"] = host::TimeText(l.End);
    j["ObjectName"] = Text(l.ObjectName);
    j["Value"] = l.Value;
    j["SensorPlace"] = Text(l.SensorPlace);
    j["ProtObjectName"] = Text(l.ProtObjectName);
    j["ReleResult"] = l.ReleResult;
    j["ProtResult"] = l.ProtResult;
    return j;
}

ordered_json TW_TimesJson(const TW_IncidentTimes& t) {
    ordered_json j;
    for (const auto& [name, line] : {std::pair{"Rele", &t.Rele}, std::pair{"Prot", &t.Prot}}) {
        j[name]["Response"] = Seconds(line->Response);
        j[name]["Held"] = Seconds(line->Held);
    }
    return j;
}

ordered_json TW_OperationJson(const TW_Operation& op) {
    ordered_json j;
    j["Variable"] = Text(op.Variable);
    j["Role"] = TW_OpRoleName(op.Role);
    j["State"] = op.State;
    j["Class"] = TW_OpClassName(op.Class);
    j["Time"] = host::TimeText(op.Time);
    j["IncidentStart"] = op.IncidentStart.IsZero() ? ordered_json(nullptr)
                                                   : ordered_json(host::TimeText(op.IncidentStart));
    j["Incident"] = op.Incident >= 0 ? ordered_json(op.Incident) : ordered_json(nullptr);
    j["Sensor"] = Text(op.Sensor);
    j["SensorState"] = op.SensorState;
    return j;
}

ordered_json TW_OperationsJson(const std::vector<TW_Operation>& ops) {
    ordered_json list = ordered_json::array();
    for (const TW_Operation& op : ops)
        list.push_back(TW_OperationJson(op));
    return list;
}

std::string TW_JsonText(const ordered_json& j) {
    return j.dump(2, ' ', false, ordered_json::error_handler_t::replace);
}

bool TW_DumpReportJson(const char* path, const std::string& shownName,
                       const std::function<bool(std::string_view)>& out,
                       const std::function<void(const std::string&)>& warn) {
    const std::size_t n = std::strlen(path);
    if (n > 4 && std::strcmp(path + n - 4, ".two") == 0)
        return DumpOperationsAlone(path, shownName, out);
    TW_File report;
    if (!report.Load(path)) return false;
    ordered_json j;
    j["File"] = shownName;
    j["Start"] = host::TimeText(report.Start);
    j["End"] = host::TimeText(report.End);
    j["RunTime"] = host::TimeText(report.RunTime);
    j["RecordSize"] = StoredRecordSize(path);
    j["Count"] = report.Count();
    const std::string timesFile = TW_TimesFileName(path);
    if (report.TimesOf(0)) j["TimesFile"] = OwnName(timesFile);
    if (!report.TimesProblem.empty())
        warn("times file not used: " + host::Cp1251ToUtf8(timesFile) + ": " +
             host::Cp1251ToUtf8(report.TimesProblem));
    AddOperations(path, report, j, warn);
    j["Items"] = ordered_json::array();
    return PutReport(j, report, out);
}
