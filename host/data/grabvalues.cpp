#include "grabvalues.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "common/cp1251.h"
#include "common/lasterror.h"
#include "common/osfile.h"
#include "common/strutil.h"
#include "data/archive_csv.h"
#include "data/archivefile.h"
#include "data/archivefolder.h"
#include "data/configcatalog.h"

using namespace host::literals;
using host::archive::DayFile;
using host::archive::kSampleSize;

namespace {

std::unique_ptr<HDBDatabase> g_grabbed;

const char* Fail(HHourFile& file, std::string text) {
    thread_local std::string error;
    error = std::move(text);
    file.Clear();
    SetError("%s", error.c_str());
    return error.c_str();
}

std::string LastErrorText() {
    return GetIOErrorS_GUI(-2);
}

// Index of the first raw sample whose time (base + offset) is >= t.
uint32_t LowerBound(const std::string& raw, int64_t base, int64_t t) {
    uint32_t lo = 0, hi = uint32_t(raw.size() / kSampleSize);
    while (lo < hi) {
        const uint32_t mid = lo + (hi - lo) / 2;
        if (base + host::archive::RawOffset(raw.data() + std::size_t(mid) * kSampleSize) < t)
            lo = mid + 1;
        else
            hi = mid;
    }
    return lo;
}

bool WriteValues(const char* folder, const HHourFile& file, std::string& error) {
    std::string dir = folder ? folder : "";
    for (char& c : dir)
        if (c == '\\') c = '/';
    if (!dir.empty() && dir.back() != '/') dir += '/';
    if (!host::MakeDirectories(dir.c_str())) {
        error = host::Format("%s \"%s\": %s", "Папка значений не создана"_cp, dir.c_str(),
                             LastErrorText().c_str());
        return false;
    }
    auto stamp = [](const PRTime& t) { return std::string(t.GetStr(nullptr, 0, "%Y%m%d_%H%M%S")); };
    const std::string path =
        dir + "values_" + stamp(file.PeriodStart) + "-" + stamp(file.PeriodEnd) + ".csv";
    std::string out = std::string(host::kCsvHeader) + "\n";
    for (int v = 0; v < file.Variables.Count(); ++v) {
        const HHourVar* var = file.Variable(v);
        const std::string name = host::CsvNameField(var->Name);
        for (int i = var->first; i <= var->last; ++i) {
            const HHourSample* s = file.Sample(i);
            host::AppendCsvRow(out, name, s->Time, s->State, s->Value);
        }
    }
    if (!host::WriteFileAtomically(path.c_str(), out)) {
        error = host::Format("%s \"%s\": %s", "Значения не сохранены в"_cp, path.c_str(),
                             LastErrorText().c_str());
        return false;
    }
    return true;
}

}  // namespace

const char* GrabReportValues(const char* valuesFolder, const RTPInfo& info, HHourFile& file,
                             const PRTime& configMoment, int flags) {
    file.Clear();
    const RTPHostContext* ctx = info.Context;
    if (!ctx) return Fail(file, "Не задан контекст отчета: домашняя папка и период"_cp);
    const char* home = ctx->Home;
    const int64_t start = ctx->PeriodStart.GetTT();
    const int64_t end = ctx->PeriodEnd.GetTT();
    if (start < 0 || end < 0 || start > end)
        return Fail(file, host::Format("%s %s - %s", "Неверный период отчета:"_cp,
                                       ctx->PeriodStart.GetStr(), ctx->PeriodEnd.GetStr()));

    // The configuration valid at the moment.
    host::ConfigCatalog catalog;
    if (!catalog.Load(home)) return Fail(file, LastErrorText());
    const host::ConfigFileInfo* cfgInfo = catalog.ValidAt(configMoment);
    if (!cfgInfo)
        return Fail(file,
                    host::Format("%s %s %s \"%s\"", "Нет конфигурации на"_cp, configMoment.GetStr(),
                                 "в папке"_cp, host::ConfigFolder(home).c_str()));
    auto config = std::make_unique<HDBDatabase>();
    if (!RTLoadDBCfgINF(nullptr, cfgInfo->Path.c_str(), config.get()))
        return Fail(file, LastErrorText());

    // The archive's days: those of the period, and those before it for the
    // samples that precede the period.
    std::vector<host::archive::Day> days;
    if (!host::archive::ListDays(home, days)) return Fail(file, LastErrorText());
    if (days.empty())
        return Fail(file, host::Format("%s \"%s\"", "Архив пуст:"_cp,
                                       host::archive::ArchiveFolder(home).c_str()));
    std::vector<DayFile> period;
    std::vector<host::archive::Day> before;
    for (const auto& d : days) {
        if (d.End <= start) {
            before.push_back(d);
        } else if (d.Begin <= end) {
            period.emplace_back();
            if (!period.back().Open(host::archive::DayFilePath(home, d).c_str()))
                return Fail(file, LastErrorText());
        }
    }

    const HDBTable* vars = config->GetTable(kDBTableVariables);
    const int varCount = vars->Count();
    uint64_t bound = uint64_t(varCount);
    for (const auto& f : period)
        for (int i = 0; i < f.Count(); ++i)
            bound += f.SampleCount(i);
    if (bound > uint64_t(INT32_MAX)) return Fail(file, "Слишком много значений за период"_cp);
    file.Samples.Reserve(int(bound));
    file.Variables.Reserve(varCount);
    for (const auto& n : config->Objects())
        HHourFile::AddName(file.ObjectNames, n.c_str());
    for (const auto& n : config->Places())
        HHourFile::AddName(file.PlaceNames, n.c_str());
    file.PeriodStart = ctx->PeriodStart;
    file.PeriodEnd = ctx->PeriodEnd;

    // Every variable gets a slot for its sample before the period, then its
    // samples of the period; slots still empty afterwards are squeezed out.
    std::string raw;
    std::vector<int> pending;  // variables whose slot is not filled yet
    std::vector<bool> slotFilled(std::size_t(varCount), false);
    for (int v = 0; v < varCount; ++v) {
        const auto* rec = vars->ItemAs<HDBVarRecord>(v);
        HHourVar entry{};
        std::memcpy(entry.Name, rec->Name, sizeof entry.Name);
        entry.Name[sizeof entry.Name - 1] = '\0';
        entry.Descriptor = {rec->Object, rec->Place};
        entry.first = file.Samples.Count();
        HHourSample* slot = file.Samples.AddINT(nullptr);
        bool filled = false;
        for (std::size_t k = 0; k < period.size(); ++k) {
            DayFile& f = period[k];
            const int idx = f.Find(entry.Name);
            if (idx < 0) continue;
            if (!f.ReadRaw(idx, raw)) return Fail(file, LastErrorText());
            const int64_t base = f.GetDay().Begin;
            const uint32_t lo = LowerBound(raw, base, start);
            const uint32_t hi = LowerBound(raw, base, end + 1);
            if (lo > 0) {  // only the day holding the start has earlier samples
                const char* p = raw.data() + std::size_t(lo - 1) * kSampleSize;
                slot = file.Samples.ItemINT(entry.first);
                *slot = HHourSample{host::archive::RawValue(p),
                                    PRTime().Set(time_t(base + host::archive::RawOffset(p))),
                                    host::archive::RawState(p), 0};
                filled = true;
            }
            for (uint32_t s = lo; s < hi; ++s) {
                const char* p = raw.data() + std::size_t(s) * kSampleSize;
                HHourSample* out = file.Samples.AddINT(nullptr);
                out->Value = host::archive::RawValue(p);
                out->Time = PRTime().Set(time_t(base + host::archive::RawOffset(p)));
                out->State = host::archive::RawState(p);
            }
        }
        slotFilled[std::size_t(v)] = filled;
        if (!filled) pending.push_back(v);
        entry.last = file.Samples.Count() - 1;
        file.Variables.AddINT(&entry);
    }

    // Samples before the period from earlier days, newest day first.
    for (auto d = before.rbegin(); d != before.rend() && !pending.empty(); ++d) {
        DayFile f;
        if (!f.Open(host::archive::DayFilePath(home, *d).c_str()))
            return Fail(file, LastErrorText());
        std::vector<int> still;
        for (int v : pending) {
            HHourVar* entry = file.Variables.ItemINT(v);
            const int idx = f.Find(entry->Name);
            if (idx < 0) {
                still.push_back(v);
                continue;
            }
            if (!f.ReadRaw(idx, raw)) return Fail(file, LastErrorText());
            const char* p = raw.data() + raw.size() - kSampleSize;
            *file.Samples.ItemINT(entry->first) =
                HHourSample{host::archive::RawValue(p),
                            PRTime().Set(time_t(f.GetDay().Begin + host::archive::RawOffset(p))),
                            host::archive::RawState(p), 0};
            slotFilled[std::size_t(v)] = true;
        }
        pending.swap(still);
    }

    // Squeeze out the empty slots, moving each variable's samples down.
    if (!pending.empty()) {
        int write = 0;
        for (int v = 0; v < varCount; ++v) {
            HHourVar* entry = file.Variables.ItemINT(v);
            const int from = entry->first + (slotFilled[std::size_t(v)] ? 0 : 1);
            const int n = entry->last - from + 1;
            if (n > 0 && write != from)
                std::memmove(file.Samples.ItemINT(write), file.Samples.ItemINT(from),
                             std::size_t(n) * sizeof(HHourSample));
            entry->first = write;
            entry->last = write + n - 1;
            write += n;
        }
        while (file.Samples.Count() > write)
            file.Samples.DeleteNum(file.Samples.Count() - 1);
    }

    if (flags & kGrabKeepValues) {
        std::string error;
        if (!WriteValues(valuesFolder, file, error)) return Fail(file, error);
    }
    host::SetCurrentStateTables(config->SharedStates());
    g_grabbed = std::move(config);
    return nullptr;
}

namespace host {
HDBDatabase* GrabbedConfig() {
    return g_grabbed.get();
}
}  // namespace host
