#include "archive_csv.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <cmath>
#include <map>
#include <memory>
#include <vector>

#include "common/cp1251.h"
#include "common/lasterror.h"
#include "common/osfile.h"
#include "common/strutil.h"
#include "archive/sample.h"
#include "archive/hourarchive.h"
#include "plantdb/configcatalog.h"
#include "plantdb/dbdatabase.h"
#include "common/timetext.h"

using namespace host::literals;

namespace host {

namespace {

// Splits one CSV line into fields (quotes with "" escapes). False when a quote
// is not closed.
bool SplitCsv(const std::string& line, std::vector<std::string>& fields) {
    fields.clear();
    std::string cur;
    bool quoted = false, wasQuoted = false;
    for (std::size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (quoted) {
            if (c == '"') {
                if (i + 1 < line.size() && line[i + 1] == '"') {
                    cur += '"';
                    ++i;
                } else {
                    quoted = false;
                }
            } else {
                cur += c;
            }
        } else if (c == '"' && cur.empty() && !wasQuoted) {
            quoted = wasQuoted = true;
        } else if (c == ',') {
            fields.push_back(std::move(cur));
            cur.clear();
            wasQuoted = false;
        } else {
            cur += c;
        }
    }
    if (quoted) return false;
    fields.push_back(std::move(cur));
    return true;
}

// A byte below 0x20 or DEL: no day file can hold such a name (a NUL ends it).
bool HasControlByte(const std::string& name) {
    return std::any_of(name.begin(), name.end(), [](char c) {
        const auto b = static_cast<unsigned char>(c);
        return b < 0x20 || b == 0x7F;
    });
}

struct PendingSample {
    std::string Name;
    archive::Sample S;
    int Line;
};

}  // namespace

std::string CsvNameField(const char* name) {
    const std::string utf8 = Cp1251ToUtf8(name ? name : "");
    if (utf8.find_first_of(",\"\r\n") == std::string::npos && !utf8.empty() &&
        utf8.front() != ' ' && utf8.back() != ' ')
        return utf8;
    std::string field = "\"";
    for (char c : utf8) {
        if (c == '"') field += '"';
        field += c;
    }
    field += '"';
    return field;
}

namespace {
// ",YYYY-MM-DD HH:MM:SS" and, unless `withOffset` is false, "+HH:MM" (the
// offset in seconds), without the cost of a formatted print per row.
void AppendTime(std::string& out, const PRTime& t, bool withOffset, int64_t offset) {
    char time[27] = ",0000-00-00 00:00:00+00:00";
    auto put = [&](int at, unsigned v, int digits) {
        for (int k = digits - 1; k >= 0; --k, v /= 10)
            time[at + k] = char('0' + v % 10);
    };
    put(1, t.Year, 4);
    put(6, t.Month, 2);
    put(9, t.Day, 2);
    put(12, t.Hour, 2);
    put(15, t.Minute, 2);
    put(18, t.Second, 2);
    if (offset < 0) time[20] = '-';
    const auto minutes = unsigned((offset < 0 ? -offset : offset) / 60);
    put(21, minutes / 60, 2);
    put(24, minutes % 60, 2);
    out.append(time, withOffset ? 26 : 20);
}

void AppendStateAndValue(std::string& out, uint16_t state, double value) {
    out += ',';
    char buf[64];
    auto r = std::to_chars(buf, buf + sizeof buf, unsigned(state));
    out.append(buf, r.ptr);
    out += ',';
    r = std::to_chars(buf, buf + sizeof buf, value);
    out.append(buf, r.ptr);
    out += '\n';
}
}  // namespace

void AppendCsvRow(std::string& out, const std::string& nameField, const PRTime& t, uint16_t state,
                  double value) {
    out += nameField;
    AppendTime(out, t, false, 0);
    AppendStateAndValue(out, state, value);
}

void AppendCsvRow(std::string& out, const char* name, int64_t seconds, uint16_t state,
                  double value) {
    out += CsvNameField(name);
    const PRTime t = PRTime().Set(time_t(seconds));
    const int64_t local = int64_t(DaysFromCivil(t.Year, t.Month, t.Day)) * 86400 + t.Hour * 3600 +
                          t.Minute * 60 + t.Second;
    AppendTime(out, t, true, local - seconds);
    AppendStateAndValue(out, state, value);
}

bool ImportCsv(const char* home, const char* csvPath, ImportResult* result) {
    const std::string file = csvPath ? csvPath : "";
    std::string text;
    if (!ReadWholeFile(file.c_str(), text)) {
        const std::string reason = GetIOErrorS_GUI(-2);
        SetError("%s \"%s\": %s", "Файл"_cp, file.c_str(), reason.c_str());
        return false;
    }
    if (text.compare(0, 3, "\xEF\xBB\xBF") == 0) text.erase(0, 3);

    ConfigCatalog catalog;
    if (!catalog.Load(home)) return false;
    std::map<std::string, std::unique_ptr<HDBDatabase>> configs;  // by path

    auto bad = [&](int line, const std::string& what) {
        SetError("%s \"%s\", %s %d: %s", "Файл"_cp, file.c_str(), "строка"_cp, line, what.c_str());
        return false;
    };

    std::vector<PendingSample> samples;
    int firstPass = 0;  // times without an offset in a repeated hour
    std::vector<std::string> fields;
    std::size_t pos = 0;
    int lineNo = 0;
    bool header = false;
    while (pos < text.size()) {
        std::size_t eol = text.find('\n', pos);
        if (eol == std::string::npos) eol = text.size();
        std::string line = text.substr(pos, eol - pos);
        pos = eol + 1;
        ++lineNo;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (!header) {
            if (line != kCsvHeader)
                return bad(lineNo, Format("%s %s", "ожидался заголовок"_cp, kCsvHeader));
            header = true;
            continue;
        }
        if (line.empty()) continue;
        if (!SplitCsv(line, fields) || fields.size() != 4)
            return bad(lineNo, "ожидались 4 поля: переменная, время, состояние, значение"_cp);
        std::string name;
        if (!Utf8ToCp1251(fields[0], name) || name.empty())
            return bad(lineNo, "имя переменной пустое или не в UTF-8"_cp);
        if (HasControlByte(name)) return bad(lineNo, "в имени переменной управляющий символ"_cp);
        int64_t seconds = 0;
        bool repeated = false;
        if (!ParseInstantText(fields[1].c_str(), seconds, repeated))
            return bad(lineNo, Format("%s \"%s\"", "неверное время"_cp,
                                      Utf8ToCp1251Lossy(fields[1]).c_str()));
        if (repeated) ++firstPass;
        const PRTime when = PRTime().Set(time_t(seconds));
        unsigned state = 0;
        const std::string& st = fields[2];
        auto sr = std::from_chars(st.data(), st.data() + st.size(), state);
        if (st.empty() || sr.ec != std::errc() || sr.ptr != st.data() + st.size() || state > 65535)
            return bad(lineNo,
                       Format("%s \"%s\"", "неверное состояние"_cp, Utf8ToCp1251Lossy(st).c_str()));
        double value = 0;
        const std::string& vt = fields[3];
        auto vr = std::from_chars(vt.data(), vt.data() + vt.size(), value);
        if (vt.empty() || vr.ec != std::errc() || vr.ptr != vt.data() + vt.size() ||
            !std::isfinite(value))
            return bad(lineNo,
                       Format("%s \"%s\"", "неверное значение"_cp, Utf8ToCp1251Lossy(vt).c_str()));

        const ConfigFileInfo* info = catalog.ValidAt(when);
        if (!info) return bad(lineNo, Format("%s %s", "нет конфигурации на"_cp, when.GetStr()));
        auto& cfg = configs[info->Path];
        if (!cfg) {
            cfg = std::make_unique<HDBDatabase>();
            if (!RTLoadDBCfgINF(nullptr, info->Path.c_str(), cfg.get())) return false;
        }
        const int var = cfg->FindVariable(name.c_str());
        if (var < 0)
            return bad(lineNo, Format("%s \"%s\"", "неизвестная переменная"_cp, name.c_str()));
        const HDBStateSet* set = cfg->VariableStateSet(var);
        if (!set || state < set->Lowest || state > set->Highest)
            return bad(lineNo, set ? Format("%s %u %s \"%s\" (%u..%u)", "состояние"_cp, state,
                                            "вне диапазона переменной"_cp, name.c_str(),
                                            unsigned(set->Lowest), unsigned(set->Highest))
                                   : Format("%s \"%s\" %s", "у переменной"_cp, name.c_str(),
                                            "нет набора состояний"_cp));
        samples.push_back({std::move(name), {seconds, uint16_t(state), value}, lineNo});
    }
    if (!header) return bad(1, Format("%s %s", "ожидался заголовок"_cp, kCsvHeader));

    // All of it in one change of the home's archive.
    const std::unique_ptr<HourArchive> archive = OpenHourArchive(home);
    if (!archive) return false;
    std::vector<NamedSample> named;
    named.reserve(samples.size());
    for (auto& s : samples)
        named.push_back({std::move(s.Name), s.S});
    int units = 0;
    if (!archive->Store(named, &units)) return false;
    if (result) {
        result->Rows = int(named.size());
        result->DayFiles = units;
        result->FirstPass = firstPass;
    }
    return true;
}

bool ExportCsv(const char* home, int64_t from, int64_t to, const char* variable, std::string& out,
               int* rows) {
    out = std::string(kCsvHeader) + "\n";
    const std::unique_ptr<HourArchive> archive = OpenHourArchive(home);
    std::vector<NamedSample> found;
    if (!archive || !archive->Collect(from, to, variable, found)) return false;
    std::stable_sort(found.begin(), found.end(), [](const NamedSample& a, const NamedSample& b) {
        const int c = a.Name.compare(b.Name);
        return c != 0 ? c < 0 : a.S.Time < b.S.Time;
    });
    for (const auto& r : found)
        AppendCsvRow(out, r.Name.c_str(), r.S.Time, r.S.State, r.S.Value);
    if (rows) *rows = int(found.size());
    return true;
}

}  // namespace host
