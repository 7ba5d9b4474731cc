// The text report: a header of quoted values and one line per incident, cp1251,
// CR LF line ends (the form the report had on Windows), numbers with a decimal
// point in any locale.
#include <string>

#include "common/cp1251.h"
#include "common/lasterror.h"
#include "common/osfile.h"
#include "common/paths.h"
#include "common/strutil.h"
#include "data/dbdatabase.h"
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

// One item line, without its line end.
std::string ItemLine(int number, const TW_ContourLine& it) {
    const TW_Contour& c = it.Contour;
    std::string s = "Item: " + Quoted(host::Format("%d", number));
    s += ", " + Quoted(TW_FieldText(it.ObjectName));
    s += ", " + Quoted(TimeText(it.Start));
    s += ", " + Quoted(TimeText(it.End));
    s += ", " + Quoted(host::Format("%3.3lf", it.Value));
    s += ", " + Quoted(TW_FieldText(it.SensorPlace));
    s += ", " + Quoted(TW_FieldText(c.Sensor));
    s += ", " + Quoted(TW_FieldText(c.Limit));
    s += ", " + Quoted(TW_FieldText(c.StateName));
    s += ", " + Quoted(c.Rele.Used ? "Y" : "N");
    s += ", " + Quoted(TW_FieldText(c.Rele.Sensor));
    s += host::Format(", %02X", it.ReleResult);
    s += ", " + Quoted(it.ReleResult == TW_Operated ? TW_FieldText(c.Rele.ONName)
                                                    : TW_FieldText(c.Rele.OFFName));
    s += ", " + Quoted(c.Prot.Used ? "Y" : "N");
    s += ", " + Quoted(TW_FieldText(it.ProtObjectName));
    s += ", " + Quoted(TW_FieldText(c.Prot.Sensor));
    s += host::Format(", %02X", it.ProtResult);
    s += ", " + Quoted(it.ProtResult == TW_Operated ? TW_FieldText(c.Prot.ONName)
                                                    : TW_FieldText(c.Prot.OFFName));
    return s;
}

}  // namespace

bool TW_File::ExportToText(const char* base) {
    char folder[kMaxPath];
    if (!base) base = FPath(folder, FileName, '/');
    StatString<261> name;
    MakeFileName(name, base, "txt");

    host::UniqueFile f = host::OpenFile(name, "wb");
    RTLog("Сохранение отчета: [%s]..."_cp, name.c_str());
    if (!f) return false;

    const char* eol = "\r\n";
    std::string text = "ID: " + Quoted("TWReport1") + eol;
    if (Config) {
        const PRTime& t = Config->ConfigTime;
        text += "Cfg: " + Quoted(host::Format("%08X", Config->ConfigId)) + ", " +
                Quoted(host::Format("%02d-%02d-%04d %02d:%02d:%02d", t.Day, t.Month, t.Year, t.Hour,
                                    t.Minute, t.Second)) +
                eol;
    }
    text += "Start: " + Quoted(DateTimeText(Start)) + eol;
    text += "End: " + Quoted(DateTimeText(End)) + eol;
    text += "Run: " + Quoted(DateTimeText(RunTime)) + eol;
    text += "File: " + Quoted(name.c_str()) + eol;
    text += "Count: " + Quoted(host::Format("%d", Count())) + eol;
    for (int i = 0; i < Count(); ++i)
        text += ItemLine(i + 1, *ItemINT(i)) + eol;

    const bool written = std::fwrite(text.data(), 1, text.size(), f.get()) == text.size();
    if (!written) host::SetErrnoError();
    if (f.Close() && written) return true;
    // An incomplete report is not left behind; the write's error stays.
    const unsigned error = GetIOErrorN();
    host::DeleteFile(name);
    SetErrorN(error);
    return false;
}
