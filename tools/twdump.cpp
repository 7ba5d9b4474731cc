// twdump: prints a report file (".twr") as JSON in UTF-8: the header, the record
// size, the item count and every member of every item. When the report has a
// times file beside it, the header also names it ("TimesFile", the name without
// its folder) and every item ends with its "Times"; a report without one prints
// exactly as before, and a times file that cannot be used is named with the
// reason on standard error. Its operations file, when there is one of the same
// computation, is named too ("OperationsFile") and its entries come in
// "Operations" before the items; an operations file given alone (a day without
// incidents has no report file) prints its header and "Operations". On a file
// that cannot be read it prints the reason on standard error and exits with 1;
// a wrong command line exits with 2.
//
//   twdump FILE.twr
//   twdump FILE.two
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <utility>

#include "common/cp1251.h"
#include "common/lasterror.h"
#include "common/lzhstream.h"
#include "common/osfile.h"
#include "common/strutil.h"
#include "tw_fieldtext.h"
#include "tw_file.h"
#include "tw_opsfile.h"

using nlohmann::ordered_json;

namespace {

std::string TimeText(const PRTime& t) {
    return host::Format("%04d-%02d-%02d %02d:%02d:%02d", t.Year, t.Month, t.Day, t.Hour, t.Minute,
                        t.Second);
}

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

ordered_json Item(const TW_ContourLine& l) {
    ordered_json j;
    j["Contour"] = Contour(l.Contour);
    j["Start"] = TimeText(l.Start);
    j["End"] = TimeText(l.End);
    j["ObjectName"] = Text(l.ObjectName);
    j["Value"] = l.Value;
    j["SensorPlace"] = Text(l.SensorPlace);
    j["ProtObjectName"] = Text(l.ProtObjectName);
    j["ReleResult"] = l.ReleResult;
    j["ProtResult"] = l.ProtResult;
    return j;
}

// A time in seconds, or null for none.
ordered_json Seconds(uint32_t t) {
    return t == TW_NoTime ? ordered_json(nullptr) : ordered_json(t);
}

ordered_json Times(const TW_IncidentTimes& t) {
    ordered_json j;
    for (const auto& [name, line] : {std::pair{"Rele", &t.Rele}, std::pair{"Prot", &t.Prot}}) {
        j[name]["Response"] = Seconds(line->Response);
        j[name]["Held"] = Seconds(line->Held);
    }
    return j;
}

ordered_json Operation(const TW_Operation& op) {
    ordered_json j;
    j["Variable"] = Text(op.Variable);
    j["Role"] = TW_OpRoleName(op.Role);
    j["State"] = op.State;
    j["Class"] = TW_OpClassName(op.Class);
    j["Time"] = TimeText(op.Time);
    j["IncidentStart"] = op.IncidentStart.IsZero() ? ordered_json(nullptr)
                                                   : ordered_json(TimeText(op.IncidentStart));
    j["Incident"] = op.Incident >= 0 ? ordered_json(op.Incident) : ordered_json(nullptr);
    j["Sensor"] = Text(op.Sensor);
    j["SensorState"] = op.SensorState;
    return j;
}

ordered_json Operations(const std::vector<TW_Operation>& ops) {
    ordered_json list = ordered_json::array();
    for (const TW_Operation& op : ops)
        list.push_back(Operation(op));
    return list;
}

// The file's own name: it lies beside the report, and a dump does not depend
// on the folder.
std::string OwnName(const std::string& cp1251Path) {
    return host::Cp1251ToUtf8(cp1251Path.substr(cp1251Path.find_last_of('/') + 1));
}

int Fail(const std::string& utf8) {
    std::fprintf(stderr, "twdump: %s\n", utf8.c_str());
    return 1;
}

// The record size stored in the file (Load has checked the header already).
uint32_t StoredRecordSize(const char* path) {
    uint32_t header[2] = {0, 0};
    std::unique_ptr<HIStream> in = OpenStreamFile(path);
    if (in) in->Read(header, sizeof header);
    return header[1];
}

std::string Dump(const ordered_json& j) {
    return j.dump(2, ' ', false, ordered_json::error_handler_t::replace);
}

// Prints the header object with the items in its empty "Items" array, one item
// at a time, so that memory holds the JSON of one item, never of the file.
void PrintReport(const ordered_json& header, const TW_File& report) {
    std::string head = Dump(header);
    if (report.Count() == 0) {
        std::printf("%s\n", head.c_str());
        return;
    }
    head.resize(head.size() - std::strlen("]\n}"));
    std::fputs(head.c_str(), stdout);
    for (int i = 0; i < report.Count(); ++i) {
        ordered_json j = Item(*report.ItemINT(i));
        if (const TW_IncidentTimes* t = report.TimesOf(i)) j["Times"] = Times(*t);
        std::string item = "    " + Dump(j);
        for (std::size_t at = item.find('\n'); at != std::string::npos; at = item.find('\n', at))
            item.insert(at += 1, "    ");
        std::printf("%s\n%s", i ? "," : "", item.c_str());
    }
    std::fputs("\n  ]\n}\n", stdout);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 2 && (!std::strcmp(argv[1], "-h") || !std::strcmp(argv[1], "--help"))) {
        std::printf("usage: twdump FILE.twr | FILE.two\n");
        return 0;
    }
    // An option it does not know is a wrong command line, not a file name.
    if (argc != 2 || (argv[1][0] == '-' && argv[1][1] != '\0')) {
        std::fprintf(stderr, "usage: twdump FILE.twr | FILE.two\n");
        return 2;
    }
    std::string path;  // cp1251, as the system's file layer takes it
    if (!host::Utf8ToCp1251(argv[1], path)) return Fail("file name without a cp1251 form");

    const bool opsAlone = path.size() > 4 && path.compare(path.size() - 4, 4, ".two") == 0;
    if (opsAlone) {
        TW_OpsHeader header;
        std::vector<TW_Operation> ops;
        if (!TW_ReadOpsFile(path.c_str(), header, ops))
            return Fail(host::Cp1251ToUtf8(GetIOErrorS_GUI(-2)));
        ordered_json j;
        j["File"] = argv[1];
        j["Start"] = TimeText(header.Start);
        j["End"] = TimeText(header.End);
        j["RunTime"] = TimeText(header.RunTime);
        j["Count"] = header.Count;
        j["Operations"] = Operations(ops);
        std::printf("%s\n", Dump(j).c_str());
        return std::fflush(stdout) == 0 ? 0 : 1;
    }

    TW_File report;
    if (!report.Load(path.c_str())) return Fail(host::Cp1251ToUtf8(GetIOErrorS_GUI(-2)));

    ordered_json j;
    j["File"] = argv[1];
    j["Start"] = TimeText(report.Start);
    j["End"] = TimeText(report.End);
    j["RunTime"] = TimeText(report.RunTime);
    j["RecordSize"] = StoredRecordSize(path.c_str());
    j["Count"] = report.Count();
    const std::string timesFile = TW_TimesFileName(path.c_str());
    if (report.TimesOf(0)) j["TimesFile"] = OwnName(timesFile);
    if (!report.TimesProblem.empty())
        std::fprintf(stderr, "twdump: times file not used: %s: %s\n",
                     host::Cp1251ToUtf8(timesFile).c_str(),
                     host::Cp1251ToUtf8(report.TimesProblem).c_str());
    const std::string opsFile = TW_OpsFileName(path.c_str());
    TW_OpsHeader opsHeader;
    std::vector<TW_Operation> ops;
    if (host::FileExists(opsFile.c_str())) {
        if (!TW_ReadOpsFile(opsFile.c_str(), opsHeader, ops))
            std::fprintf(stderr, "twdump: operations file not used: %s: %s\n",
                         host::Cp1251ToUtf8(opsFile).c_str(),
                         host::Cp1251ToUtf8(GetIOErrorS_GUI(-2)).c_str());
        else if (opsHeader.Start != report.Start || opsHeader.End != report.End ||
                 opsHeader.RunTime != report.RunTime)
            std::fprintf(stderr, "twdump: operations file not used: %s: made by another run (%s)\n",
                         host::Cp1251ToUtf8(opsFile).c_str(), TimeText(opsHeader.RunTime).c_str());
        else {
            j["OperationsFile"] = OwnName(opsFile);
            j["Operations"] = Operations(ops);
        }
    }
    j["Items"] = ordered_json::array();
    PrintReport(j, report);
    return std::fflush(stdout) == 0 ? 0 : 1;
}
