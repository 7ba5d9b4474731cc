#include "grabvalues.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "common/cp1251.h"
#include "common/lasterror.h"
#include "common/osfile.h"
#include "common/strutil.h"
#include "data/archive_csv.h"
#include "data/archivefile.h"
#include "data/hourarchive.h"
#include "data/configcatalog.h"

using namespace host::literals;

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

// Builds the hour file from the samples of a fetch, which come variable by
// variable in configuration order: each entry's range, its span (the sample
// carried in, the look-back's, the period's) and the check of every state
// against the variable's state set.
class HourFileBuilder {
  public:
    HourFileBuilder(HHourFile& file, const HDBDatabase& config, int64_t from, int64_t start)
        : file_(file), config_(config), from_(from), start_(start) {
        vars_ = config.GetTable(kDBTableVariables);
        file.Spans.reserve(std::size_t(vars_->Count()));
    }
    bool Add(int v, const host::archive::Sample& s) {
        while (next_ <= v)
            Begin(next_++);
        if (v != next_ - 1 || (last_ != INT64_MIN && s.Time < last_) ||
            (s.Time < from_ && last_ != INT64_MIN))
            return Refuse(
                host::Format("%s \"%s\"", "Архив выдал значения не по порядку:"_cp, Entry().Name));
        const HDBStateSet* set = set_;
        if (set && (s.State < set->Lowest || s.State > set->Highest))
            return Refuse(host::Format("%s \"%s\" %s %s: %u (%u..%u)", "У переменной"_cp,
                                       Entry().Name, "состояние вне ее набора на"_cp,
                                       PRTime().Set(time_t(s.Time)).GetStr(), unsigned(s.State),
                                       unsigned(set->Lowest), unsigned(set->Highest)));
        if (file_.Samples.Count() == INT32_MAX)
            return Refuse("Слишком много значений за период"_cp);
        *file_.Samples.AddINT(nullptr) =
            HHourSample{s.Value, PRTime().Set(time_t(s.Time)), s.State, 0};
        HHourVarSpan& span = file_.Spans.back();
        if (s.Time < from_) ++span.LookBackFirst;
        if (s.Time < start_) ++span.PeriodFirst;
        Entry().last = file_.Samples.Count() - 1;
        last_ = s.Time;
        return true;
    }
    // Entries for the variables after the last one with samples.
    void Finish() {
        while (next_ < vars_->Count())
            Begin(next_++);
    }
    const std::string& Error() const { return error_; }

  private:
    void Begin(int v) {
        const auto* rec = vars_->ItemAs<HDBVarRecord>(v);
        HHourVar entry{};
        std::memcpy(entry.Name, rec->Name, sizeof entry.Name);
        entry.Name[sizeof entry.Name - 1] = '\0';
        entry.Descriptor = {rec->Object, rec->Place};
        entry.first = file_.Samples.Count();
        entry.last = entry.first - 1;
        file_.Variables.AddINT(&entry);
        file_.Spans.push_back({entry.first, entry.first});
        set_ = config_.VariableStateSet(v);
        last_ = INT64_MIN;
    }
    HHourVar& Entry() { return *file_.Variables.ItemINT(file_.Variables.Count() - 1); }
    bool Refuse(std::string error) {
        error_ = std::move(error);
        return false;
    }

    HHourFile& file_;
    const HDBDatabase& config_;
    const HDBTable* vars_ = nullptr;
    int64_t from_, start_;
    int next_ = 0;
    const HDBStateSet* set_ = nullptr;  // of the variable being filled
    int64_t last_ = INT64_MIN;
    std::string error_;
};

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

    // The look-back and the period from the home's archive, each variable's
    // sample before them first.
    const int64_t from = start - std::max<int64_t>(0, ctx->LookBack);
    const std::unique_ptr<host::HourArchive> archive = host::OpenHourArchive(home);
    if (!archive) return Fail(file, LastErrorText());
    // Every variable of the configuration, or those the caller wants.
    const HDBTable* vars = config->GetTable(kDBTableVariables);
    const std::set<std::string> wanted(file.Wanted.begin(), file.Wanted.end());
    std::vector<std::string> names;
    std::vector<int> index;  // of each name in the configuration
    for (int v = 0; v < vars->Count(); ++v) {
        const auto* rec = vars->ItemAs<HDBVarRecord>(v);
        std::string name(rec->Name, strnlen(rec->Name, sizeof rec->Name));
        if (!wanted.empty() && !wanted.count(name)) continue;
        names.push_back(std::move(name));
        index.push_back(v);
    }
    for (const auto& n : config->Objects())
        HHourFile::AddName(file.ObjectNames, n.c_str());
    for (const auto& n : config->Places())
        HHourFile::AddName(file.PlaceNames, n.c_str());
    file.PeriodStart = ctx->PeriodStart;
    file.PeriodEnd = ctx->PeriodEnd;
    file.LookBackStart.Set(time_t(from));
    HourFileBuilder builder(file, *config, from, start);
    if (!archive->Fetch(names, from, end, [&](int n, const host::archive::Sample& s) {
            return builder.Add(index[std::size_t(n)], s);
        }))
        return Fail(file, builder.Error().empty() ? LastErrorText() : builder.Error());
    builder.Finish();

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
