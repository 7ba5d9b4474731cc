#include "archive_csv.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
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

// A text file's lines, read a piece at a time: without their "\n" and a "\r"
// before it.
class LineReader {
  public:
    explicit LineReader(UniqueFile file) : file_(std::move(file)) {}
    // The next line; false at the end or on a read error (Failed() then).
    bool Next(std::string& line) {
        for (;;) {
            const std::size_t eol = buffer_.find('\n', at_);
            if (eol != std::string::npos || end_) {
                if (eol == std::string::npos && at_ == buffer_.size()) return false;
                const std::size_t stop = eol == std::string::npos ? buffer_.size() : eol;
                line.assign(buffer_, at_, stop - at_);
                at_ = eol == std::string::npos ? buffer_.size() : eol + 1;
                if (!line.empty() && line.back() == '\r') line.pop_back();
                return true;
            }
            buffer_.erase(0, at_);
            at_ = 0;
            char piece[1 << 16];
            const std::size_t n = std::fread(piece, 1, sizeof piece, file_.get());
            buffer_.append(piece, n);
            if (n < sizeof piece) {
                end_ = true;
                failed_ = std::ferror(file_.get()) != 0;
                if (failed_) return false;
            }
        }
    }
    bool Failed() const { return failed_; }

  private:
    UniqueFile file_;
    std::string buffer_;
    std::size_t at_ = 0;
    bool end_ = false, failed_ = false;
};

// The samples of an import file, checked line by line and handed on in
// batches: a bad line ends it with the last error naming the file and line.
class CsvSamples {
  public:
    static constexpr std::size_t kBatch = 1 << 16;

    CsvSamples(std::string file, UniqueFile f, ConfigCatalog& catalog)
        : file_(std::move(file)), lines_(std::move(f)), catalog_(catalog) {}
    // The next batch (empty at the end); false on a bad line or a read error.
    bool Next(std::vector<NamedSample>& batch);
    int Rows() const { return rows_; }
    int FirstPass() const { return firstPass_; }

  private:
    bool Bad(const std::string& what) {
        SetError("%s \"%s\", %s %d: %s", "Файл"_cp, file_.c_str(), "строка"_cp, lineNo_,
                 what.c_str());
        return false;
    }
    bool Sample(const std::string& line, std::vector<NamedSample>& batch);
    // The configuration valid at `when`, loaded once; null (last error set).
    HDBDatabase* ConfigAt(const PRTime& when);

    std::string file_;
    LineReader lines_;
    ConfigCatalog& catalog_;
    std::map<std::string, std::unique_ptr<HDBDatabase>> configs_;  // by path
    std::vector<std::string> fields_;
    int lineNo_ = 0;
    bool header_ = false;
    int rows_ = 0;
    int firstPass_ = 0;  // times without an offset in a repeated hour
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

namespace {
// A row with its time's UTC offset, the name's field made.
void AppendOffsetRow(std::string& out, const std::string& nameField, int64_t seconds,
                     uint16_t state, double value) {
    out += nameField;
    const PRTime t = PRTime().Set(time_t(seconds));
    const int64_t local = int64_t(DaysFromCivil(t.Year, t.Month, t.Day)) * 86400 + t.Hour * 3600 +
                          t.Minute * 60 + t.Second;
    AppendTime(out, t, true, local - seconds);
    AppendStateAndValue(out, state, value);
}
}  // namespace

void AppendCsvRow(std::string& out, const char* name, int64_t seconds, uint16_t state,
                  double value) {
    AppendOffsetRow(out, CsvNameField(name), seconds, state, value);
}

HDBDatabase* CsvSamples::ConfigAt(const PRTime& when) {
    const ConfigFileInfo* info = catalog_.ValidAt(when);
    if (!info) {
        Bad(Format("%s %s", "нет конфигурации на"_cp, when.GetStr()));
        return nullptr;
    }
    auto& cfg = configs_[info->Path];
    if (!cfg) {
        cfg = std::make_unique<HDBDatabase>();
        if (!RTLoadDBCfgINF(nullptr, info->Path.c_str(), cfg.get())) {
            configs_.erase(info->Path);
            return nullptr;
        }
    }
    return cfg.get();
}

bool CsvSamples::Sample(const std::string& line, std::vector<NamedSample>& batch) {
    if (!SplitCsv(line, fields_) || fields_.size() != 4)
        return Bad("ожидались 4 поля: переменная, время, состояние, значение"_cp);
    std::string name;
    if (!Utf8ToCp1251(fields_[0], name) || name.empty())
        return Bad("имя переменной пустое или не в UTF-8"_cp);
    if (HasControlByte(name)) return Bad("в имени переменной управляющий символ"_cp);
    int64_t seconds = 0;
    bool repeated = false;
    if (!ParseInstantText(fields_[1].c_str(), seconds, repeated))
        return Bad(Format("%s \"%s\"", "неверное время"_cp, Utf8ToCp1251Lossy(fields_[1]).c_str()));
    if (repeated) ++firstPass_;
    const PRTime when = PRTime().Set(time_t(seconds));
    unsigned state = 0;
    const std::string& st = fields_[2];
    auto sr = std::from_chars(st.data(), st.data() + st.size(), state);
    if (st.empty() || sr.ec != std::errc() || sr.ptr != st.data() + st.size() || state > 65535)
        return Bad(Format("%s \"%s\"", "неверное состояние"_cp, Utf8ToCp1251Lossy(st).c_str()));
    double value = 0;
    const std::string& vt = fields_[3];
    auto vr = std::from_chars(vt.data(), vt.data() + vt.size(), value);
    if (vt.empty() || vr.ec != std::errc() || vr.ptr != vt.data() + vt.size() ||
        !std::isfinite(value))
        return Bad(Format("%s \"%s\"", "неверное значение"_cp, Utf8ToCp1251Lossy(vt).c_str()));

    HDBDatabase* cfg = ConfigAt(when);
    if (!cfg) return false;
    const int var = cfg->FindVariable(name.c_str());
    if (var < 0) return Bad(Format("%s \"%s\"", "неизвестная переменная"_cp, name.c_str()));
    const HDBStateSet* set = cfg->VariableStateSet(var);
    if (!set || state < set->Lowest || state > set->Highest)
        return Bad(set ? Format("%s %u %s \"%s\" (%u..%u)", "состояние"_cp, state,
                                "вне диапазона переменной"_cp, name.c_str(), unsigned(set->Lowest),
                                unsigned(set->Highest))
                       : Format("%s \"%s\" %s", "у переменной"_cp, name.c_str(),
                                "нет набора состояний"_cp));
    batch.push_back({std::move(name), {seconds, uint16_t(state), value}});
    ++rows_;
    return true;
}

bool CsvSamples::Next(std::vector<NamedSample>& batch) {
    batch.clear();
    std::string line;
    while (batch.size() < kBatch && lines_.Next(line)) {
        ++lineNo_;
        if (!header_) {
            if (lineNo_ == 1 && line.compare(0, 3, "\xEF\xBB\xBF") == 0) line.erase(0, 3);
            if (line != kCsvHeader)
                return Bad(Format("%s %s", "ожидался заголовок"_cp, kCsvHeader));
            header_ = true;
            continue;
        }
        if (!line.empty() && !Sample(line, batch)) return false;
    }
    if (lines_.Failed()) {
        const std::string reason = GetIOErrorS_GUI(-2);
        SetError("%s \"%s\": %s", "Файл"_cp, file_.c_str(), reason.c_str());
        return false;
    }
    if (!header_) {
        lineNo_ = 1;
        return Bad(Format("%s %s", "ожидался заголовок"_cp, kCsvHeader));
    }
    return true;
}

bool ImportCsv(const char* home, const char* csvPath, ImportResult* result) {
    const std::string file = csvPath ? csvPath : "";
    UniqueFile f = OpenFile(file.c_str(), "rb");
    if (!f) {
        const std::string reason = GetIOErrorS_GUI(-2);
        SetError("%s \"%s\": %s", "Файл"_cp, file.c_str(), reason.c_str());
        return false;
    }
    ConfigCatalog catalog;
    if (!catalog.Load(home)) return false;
    // All of it in one change of the home's archive, every line checked before
    // the change is made.
    CsvSamples samples(file, std::move(f), catalog);
    const std::unique_ptr<HourArchive> archive = OpenHourArchive(home);
    if (!archive) return false;
    int units = 0;
    if (!archive->Store([&](std::vector<NamedSample>& batch) { return samples.Next(batch); },
                        &units))
        return false;
    if (result) {
        result->Rows = samples.Rows();
        result->DayFiles = units;
        result->Units = archive->StoredUnits();
        result->FirstPass = samples.FirstPass();
    }
    return true;
}

bool ExportCsv(const char* home, int64_t from, int64_t to, const char* variable,
               const std::function<bool(std::string_view)>& write, int* rows) {
    constexpr std::size_t kPiece = 1 << 20;
    std::string out = std::string(kCsvHeader) + "\n";
    const std::unique_ptr<HourArchive> archive = OpenHourArchive(home);
    if (!archive) return false;
    int count = 0;
    bool written = true;
    const bool ok = archive->Collect(
        from, to, variable, [&](const std::string& name, std::span<const archive::Sample> samples) {
            const std::string field = CsvNameField(name.c_str());
            for (const archive::Sample& s : samples) {
                AppendOffsetRow(out, field, s.Time, s.State, s.Value);
                if (out.size() < kPiece) continue;
                if (!(written = write(out))) return false;
                out.clear();
            }
            count += int(samples.size());
            return true;
        });
    if (!ok || !written || !write(out)) return false;
    if (rows) *rows = count;
    return true;
}

}  // namespace host
