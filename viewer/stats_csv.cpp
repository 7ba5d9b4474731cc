#include "stats_csv.h"

#include <charconv>
#include <optional>

#include "common/cp1251.h"
#include "common/timetext.h"
#include "tw_fieldtext.h"
#include "tw_stats.h"

namespace {

std::string Field(const std::string& utf8) {
    if (utf8.find_first_of(",\"\r\n") == std::string::npos) return utf8;
    std::string out = "\"";
    for (char c : utf8) {
        if (c == '"') out += '"';
        out += c;
    }
    return out + '"';
}

template <class... Format>
std::string Number(double value, Format... format) {
    char buf[64];
    const auto r = std::to_chars(buf, buf + sizeof buf, value, format...);
    return std::string(buf, r.ptr);
}

std::string Fraction(const std::optional<double>& v) {
    return v ? Number(*v, std::chars_format::fixed, 4) : std::string();
}

std::string Count(int n, bool known) {
    return known ? std::to_string(n) : std::string();
}

void Row(std::string& out, const std::string& sensor, const TW_StatsFigures& f) {
    out += Field(sensor);
    for (int n : {f.Demands, f.Correct, f.Misoperations, f.Failed, f.NotHeld})
        out += ',' + std::to_string(n);
    out += ',' + (f.SlowUnknown ? std::string() : std::to_string(f.Slow));
    out += ',' + (f.NearMissUnknown ? std::string() : std::to_string(f.NearMiss));
    out += ',' +
           (f.Demands ? Number(f.MisoperationRate(), std::chars_format::fixed, 4) : std::string());
    for (const TW_TimeSummary* t : {&f.Relay, &f.Apparatus}) {
        out += ',' + (t->Count ? Number(t->Median) : std::string());
        out += ',' + (t->Count ? std::to_string(t->Max) : std::string());
    }
    const bool known = f.OperationsKnown;
    for (int n : {f.FalseRelay, f.FalseApparatus, f.Commanded, f.Maintenance})
        out += ',' + Count(n, known);
    out += ',' + Fraction(f.Dependability());
    out += ',' + Fraction(f.Security());
    out += ',' + Fraction(f.MisoperationRateAll());
    for (const TW_TimeSummary* t : {&f.Relay, &f.Apparatus})
        out += ',' + (t->Count ? std::to_string(t->P90) : std::string());
    out += '\n';
}

}  // namespace

std::string TW_StatsCsv(const TW_Statistics& stats) {
    std::string out =
        "sensor,demands,correct,misoperations,failed,not_held,slow,near_miss,misoperation_rate,"
        "relay_median_s,relay_max_s,apparatus_median_s,apparatus_max_s,false_relay,"
        "false_apparatus,commanded,maintenance,dependability,security,misoperation_rate_all,"
        "relay_p90_s,apparatus_p90_s\n";
    for (const TW_ContourStats& c : stats.Contours)
        Row(out, host::Cp1251ToUtf8(c.Label), c.Total);
    Row(out, "*", stats.Plant);
    return out;
}

std::string TW_OperationsCsv(const TW_Statistics& stats) {
    std::string out = "variable,role,contour,time,class,incident_start\n";
    for (const TW_Operation& op : stats.Operations) {
        const bool tied = op.Class == TW_OpDemand || op.Class == TW_OpShortDemand;
        out += Field(host::Cp1251ToUtf8(TW_FieldText(op.Variable))) + ',' + TW_OpRoleName(op.Role) +
               ',' + Field(host::Cp1251ToUtf8(TW_FieldText(op.Sensor))) + ',' +
               host::TimeText(op.Time) + ',' + TW_OpClassName(op.Class) + ',' +
               (tied ? host::TimeText(op.IncidentStart) : std::string()) + '\n';
    }
    return out;
}

std::string TW_LinesCsv(const TW_Statistics& stats) {
    std::string out =
        "variable,role,operations,on_demand,unexplained,median_s,p90_s,earlier_median_s,"
        "later_median_s,slowing\n";
    for (const TW_LineStats& l : stats.Lines) {
        out += Field(host::Cp1251ToUtf8(l.Variable)) + ',' + TW_OpRoleName(l.Role);
        for (int n : {l.Operations, l.OnDemand, l.Unexplained})
            out += ',' + std::to_string(n);
        out += ',' + (l.Times.Count ? Number(l.Times.Median) : std::string());
        out += ',' + (l.Times.Count ? std::to_string(l.Times.P90) : std::string());
        out += ',' + (l.HasTrend ? Number(l.EarlierMedian) : std::string());
        out += ',' + (l.HasTrend ? Number(l.LaterMedian) : std::string());
        out += ',' + std::string(l.Slowing ? "1" : "0") + '\n';
    }
    return out;
}
