// The text report: a header of quoted values and one line per incident, cp1251,
// CR LF line ends (the form the report had on Windows), numbers with a decimal
// point in any locale.
#include <string>

#include "common/cp1251.h"
#include "common/lasterror.h"
#include "common/osfile.h"
#include "common/paths.h"
#include "common/strutil.h"
#include "plantdb/dbdatabase.h"
#include "runtime/rtlog.h"
#include "tw_fieldtext.h"
#include "tw_file.h"

using namespace host::literals;

namespace {

std::string DateTimeText(const PRTime& t) {
    return host::Format("%02d-%02d-%04d %02d:%02d", t.Day, t.Month, t.Year, t.Hour, t.Minute);
}

std::string TimeText(const PRTime& t) {
    return host::Format("%02d:%02d:%02d", t.Hour, t.Minute, t.Second);
}

std::string Quoted(const std::string& s) {
    return "\"" + s + "\"";
}

// A stored text as one quoted piece of a line: a line break in it becomes a blank.
std::string QuotedText(std::string s) {
    for (char& c : s)
        if (c == '\r' || c == '\n') c = ' ';
    return Quoted(s);
}

// One item line, without its line end.
std::string ItemLine(int number, const TW_ContourLine& it) {
    const TW_Contour& c = it.Contour;
    std::string s = "Item: " + Quoted(host::Format("%d", number));
    s += ", " + QuotedText(TW_FieldText(it.ObjectName));
    s += ", " + Quoted(TimeText(it.Start));
    s += ", " + Quoted(TimeText(it.End));
    s += ", " + Quoted(host::Format("%3.3lf", it.Value));
    s += ", " + QuotedText(TW_FieldText(it.SensorPlace));
    s += ", " + QuotedText(TW_FieldText(c.Sensor));
    s += ", " + QuotedText(TW_FieldText(c.Limit));
    s += ", " + QuotedText(TW_FieldText(c.StateName));
    s += ", " + Quoted(c.Rele.Used ? "Y" : "N");
    s += ", " + QuotedText(TW_FieldText(c.Rele.Sensor));
    s += host::Format(", %02X", it.ReleResult);
    s += ", " + QuotedText(it.ReleResult == TW_Operated ? TW_FieldText(c.Rele.ONName)
                                                        : TW_FieldText(c.Rele.OFFName));
    s += ", " + Quoted(c.Prot.Used ? "Y" : "N");
    s += ", " + QuotedText(TW_FieldText(it.ProtObjectName));
    s += ", " + QuotedText(TW_FieldText(c.Prot.Sensor));
    s += host::Format(", %02X", it.ProtResult);
    s += ", " + QuotedText(it.ProtResult == TW_Operated ? TW_FieldText(c.Prot.ONName)
                                                        : TW_FieldText(c.Prot.OFFName));
    return s;
}

}  // namespace

namespace {

// The text of the file `name`, CR LF line ends.
std::string ReportText(const TW_File& report, const char* name) {
    const char* eol = "\r\n";
    std::string text = "ID: " + Quoted("TWReport1") + eol;
    if (const HDBDatabase* config = report.Config) {
        const PRTime& t = config->ConfigTime;
        text += "Cfg: " + Quoted(host::Format("%08X", config->ConfigId)) + ", " +
                Quoted(host::Format("%02d-%02d-%04d %02d:%02d:%02d", t.Day, t.Month, t.Year, t.Hour,
                                    t.Minute, t.Second)) +
                eol;
    }
    text += "Start: " + Quoted(DateTimeText(report.Start)) + eol;
    text += "End: " + Quoted(DateTimeText(report.End)) + eol;
    text += "Run: " + Quoted(DateTimeText(report.RunTime)) + eol;
    text += "File: " + Quoted(name) + eol;
    text += "Count: " + Quoted(host::Format("%d", report.Count())) + eol;
    for (int i = 0; i < report.Count(); ++i)
        text += ItemLine(i + 1, *report.ItemINT(i)) + eol;
    return text;
}

}  // namespace

bool TW_File::ExportToText(const char* base, StatString<261>* written) {
    char folder[kMaxPath];
    if (!base) base = FPath(folder, FileName, '/');
    StatString<261> name;
    MakeFileName(name, base, "txt");
    // The name is logged once, as chosen; a name taken meanwhile gives way to the
    // next one, whose text then names it.
    RTLog("Сохранение отчета: [%s]..."_cp, name.c_str());
    const bool ok =
        WriteNewFile(name, base, "txt", [this](const std::string& osTemp, const char* fileName) {
            return host::WriteOsFile(osTemp, ReportText(*this, fileName));
        });
    if (written) *written = name;
    return ok;
}
