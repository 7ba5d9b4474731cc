#include "tw_alerts.h"

#include "common/cp1251.h"
#include "common/timetext.h"
#include "common/strutil.h"
#include "tw_fieldtext.h"
#include "tw_file.h"
#include "tw_json.h"

using nlohmann::ordered_json;

namespace {

// "DD.MM.YYYY HH:MM:SS", as the operations' texts show times.
std::string Moment(const PRTime& t) {
    return host::Format("%02d.%02d.%04d %02d:%02d:%02d", t.Day, t.Month, t.Year, t.Hour, t.Minute,
                        t.Second);
}

std::string Outcome(uint8_t result) {
    if (result == TW_Operated) return "operated";
    if (!(result & TW_Operated)) return "did not operate";
    if (result == (TW_Operated | TW_AfterError)) return "operated, then went into an error state";
    if (result == (TW_Operated | TW_AfterOff)) return "operated, then left its state";
    return host::Format("operated, outcome 0x%02X", unsigned(result));
}

// `what` "line": did it operate, for a line in use.
void AppendLine(std::string& out, const char* what, const TW_ContourSignal& s, uint8_t result) {
    if (!s.Used) return;
    out += host::Format("; %s \"%s\" %s", what, host::Cp1251ToUtf8(TW_FieldText(s.Sensor)).c_str(),
                        Outcome(result).c_str());
}

std::string ItemText(const TW_ContourLine& l) {
    std::string s = Moment(l.Start) + " .. " + Moment(l.End) + " contour \"" +
                    host::Cp1251ToUtf8(TW_FieldText(l.Contour.Sensor)) + "\"";
    const std::string object = host::Cp1251ToUtf8(TW_FieldText(l.ObjectName));
    if (!object.empty()) s += " (" + object + ")";
    std::string lines;
    AppendLine(lines, "relay", l.Contour.Rele, l.ReleResult);
    AppendLine(lines, "apparatus", l.Contour.Prot, l.ProtResult);
    if (!lines.empty()) s += ":" + lines.substr(1);
    return s;
}

}  // namespace

TW_Findings TW_CollectFindings(const TW_File& report, const std::vector<TW_Operation>& operations) {
    TW_Findings f;
    for (int i = 0; i < report.Count(); ++i)
        if (TW_IsNonOperation(*report.ItemINT(i))) f.NonOperations.push_back(report.ItemINT(i));
    for (const TW_Operation& op : operations)
        if (op.Class == TW_OpUnexplained) f.WithoutDemand.push_back(&op);
    return f;
}

ordered_json TW_FindingsJson(const std::string& job, const PRTime& start, const PRTime& end,
                             const TW_Findings& findings) {
    ordered_json j;
    j["job"] = job;
    j["period"]["start"] = host::TimeText(start);
    j["period"]["end"] = host::TimeText(end);
    j["non_operations"] = ordered_json::array();
    for (const TW_ContourLine* item : findings.NonOperations)
        j["non_operations"].push_back(TW_ItemJson(*item));
    j["operations_without_demand"] = ordered_json::array();
    for (const TW_Operation* op : findings.WithoutDemand)
        j["operations_without_demand"].push_back(TW_OperationJson(*op));
    return j;
}

std::string TW_FindingsIdentity(const ordered_json& document) {
    return TW_JsonText(document.at("non_operations")) + "\n" +
           TW_JsonText(document.at("operations_without_demand"));
}

TW_AlertMail TW_FindingsMail(const std::string& job, const PRTime& start, const PRTime& end,
                             const TW_Findings& findings) {
    const std::size_t nonOps = findings.NonOperations.size();
    const std::size_t withoutDemand = findings.WithoutDemand.size();
    TW_AlertMail mail;
    mail.Subject = host::Format(
        "Tripwatch %s %04d-%02d-%02d: %zu non-operation(s), %zu "
        "operation(s) without demand",
        job.c_str(), start.Year, start.Month, start.Day, nonOps, withoutDemand);
    std::string& b = mail.Body;
    b = "Job " + job + ", period " + host::TimeText(start) + " .. " + host::TimeText(end) + "\n";
    if (nonOps) {
        b += host::Format("\n%zu protection non-operation(s):\n", nonOps);
        for (const TW_ContourLine* item : findings.NonOperations)
            b += "  " + ItemText(*item) + "\n";
    }
    if (withoutDemand) {
        b += host::Format("\n%zu operation(s) without demand:\n", withoutDemand);
        for (const TW_Operation* op : findings.WithoutDemand)
            b += "  " + host::Cp1251ToUtf8(TW_OperationText(*op)) + "\n";
    }
    return mail;
}
