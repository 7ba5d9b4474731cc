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

HHourSample ToSample(const char* p, int64_t base) {
    return HHourSample{host::archive::RawValue(p),
                       PRTime().Set(time_t(base + host::archive::RawOffset(p))),
                       host::archive::RawState(p), 0};
}

// Fills the empty slots of the `pending` variables with their last sample in the
// earlier days, newest day first. False (last error set) when a day file fails.
bool CarryIn(const char* home, const std::vector<host::archive::Day>& before,
             std::vector<int> pending, std::vector<bool>& slotFilled, HHourFile& file,
             std::string& raw) {
    for (auto d = before.rbegin(); d != before.rend() && !pending.empty(); ++d) {
        DayFile f;
        if (!f.Open(host::archive::DayFilePath(home, *d).c_str())) return false;
        std::vector<int> still;
        for (int v : pending) {
            const HHourVar* entry = file.Variable(v);
            const int idx = f.Find(entry->Name);
            if (idx < 0) {
                still.push_back(v);
                continue;
            }
            if (!f.ReadRaw(idx, raw)) return false;
            *file.Samples.ItemINT(entry->first) =
                ToSample(raw.data() + raw.size() - kSampleSize, f.GetDay().Begin);
            slotFilled[std::size_t(v)] = true;
        }
        pending.swap(still);
    }
    return true;
}

// Squeezes out the slots left empty, moving each variable's samples down.
void SqueezeEmptySlots(HHourFile& file, const std::vector<bool>& slotFilled) {
    if (std::all_of(slotFilled.begin(), slotFilled.end(), [](bool b) { return b; })) return;
    int write = 0;
    for (int v = 0; v < file.Variables.Count(); ++v) {
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
        for (int i = std::max(var->first, file.PeriodFirst(*var) - 1); i <= var->last; ++i) {
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

    // The archive's days: those of the look-back and the period, read whole,
    // and those before them for the samples carried in.
    const int64_t from = start - std::max<int64_t>(0, ctx->LookBack);
    host::archive::ArchiveAccess access;
    std::vector<host::archive::Day> days;
    if (!access.Open(home, host::archive::Access::Read) || !host::archive::ListDays(home, days))
        return Fail(file, LastErrorText());
    if (days.empty())
        return Fail(file, host::Format("%s \"%s\"", "Архив пуст:"_cp,
                                       host::archive::ArchiveFolder(home).c_str()));
    std::vector<DayFile> period;
    std::vector<host::archive::Day> before;
    for (const auto& d : days) {
        if (d.End <= from) {
            before.push_back(d);
        } else if (d.Begin < end) {
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
    file.LookBackStart.Set(time_t(from));

    // Every variable gets a slot for its sample carried in from before the
    // look-back, then its samples of the look-back and the period; slots still
    // empty afterwards are squeezed out.
    std::string raw;
    std::vector<int> pending;  // variables whose slot is not filled yet
    std::vector<bool> slotFilled(std::size_t(varCount), false);
    std::vector<int> lookBackCount(std::size_t(varCount), 0);
    for (int v = 0; v < varCount; ++v) {
        const auto* rec = vars->ItemAs<HDBVarRecord>(v);
        HHourVar entry{};
        std::memcpy(entry.Name, rec->Name, sizeof entry.Name);
        entry.Name[sizeof entry.Name - 1] = '\0';
        entry.Descriptor = {rec->Object, rec->Place};
        entry.first = file.Samples.Count();
        file.Samples.AddINT(nullptr);
        for (DayFile& f : period) {
            const int idx = f.Find(entry.Name);
            if (idx < 0) continue;
            if (!f.ReadRaw(idx, raw)) return Fail(file, LastErrorText());
            const int64_t base = f.GetDay().Begin;
            const uint32_t lo = LowerBound(raw, base, from);
            const uint32_t mid = LowerBound(raw, base, start);
            const uint32_t hi = LowerBound(raw, base, end);
            if (lo > 0) {  // only the day holding the look-back's start has earlier samples
                *file.Samples.ItemINT(entry.first) =
                    ToSample(raw.data() + std::size_t(lo - 1) * kSampleSize, base);
                slotFilled[std::size_t(v)] = true;
            }
            for (uint32_t s = lo; s < hi; ++s)
                *file.Samples.AddINT(nullptr) =
                    ToSample(raw.data() + std::size_t(s) * kSampleSize, base);
            lookBackCount[std::size_t(v)] += int(std::min(mid, hi) - lo);
        }
        if (!slotFilled[std::size_t(v)]) pending.push_back(v);
        entry.last = file.Samples.Count() - 1;
        file.Variables.AddINT(&entry);
    }
    if (!CarryIn(home, before, pending, slotFilled, file, raw)) return Fail(file, LastErrorText());
    SqueezeEmptySlots(file, slotFilled);
    file.Spans.resize(std::size_t(varCount));
    for (int v = 0; v < varCount; ++v) {
        const HHourVar* entry = file.Variable(v);
        HHourVarSpan& span = file.Spans[std::size_t(v)];
        span.LookBackFirst = entry->first + (slotFilled[std::size_t(v)] ? 1 : 0);
        span.PeriodFirst = span.LookBackFirst + lookBackCount[std::size_t(v)];
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
