#include "stats_csv.h"

#include <charconv>

#include "common/cp1251.h"
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
    out += '\n';
}

}  // namespace

std::string TW_StatsCsv(const TW_Statistics& stats) {
    std::string out =
        "sensor,demands,correct,misoperations,failed,not_held,slow,near_miss,misoperation_rate,"
        "relay_median_s,relay_max_s,apparatus_median_s,apparatus_max_s\n";
    for (const TW_ContourStats& c : stats.Contours)
        Row(out, host::Cp1251ToUtf8(c.Label), c.Total);
    Row(out, "*", stats.Plant);
    return out;
}
