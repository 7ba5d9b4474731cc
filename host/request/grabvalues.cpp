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
#include "csv/archive_csv.h"
#include "archive/sample.h"
#include "plantdb/configcatalog.h"
#include "archive/hourarchive.h"
#include "hourfile/hourfilebuilder.h"

using namespace host::literals;

namespace {

std::unique_ptr<HDBDatabase> g_grabbed;
// The file g_grabbed was loaded from and its bytes then: a host that runs day
// after day loads its configuration once, not once a run (1.5 ms of a 10 ms
// daily run on 3,000 variables), and again as soon as one byte differs.
std::string g_grabbedPath, g_grabbedBytes;

// The configuration in `path`: `same` when g_grabbed came from the same bytes
// (and no write-ahead log beside the file could add to them), else loaded,
// `bytes` the file's. Null (last error set) when it cannot be loaded.
std::unique_ptr<HDBDatabase> LoadConfig(const std::string& path, std::string& bytes, bool& same) {
    const bool read = host::ReadWholeFile(path.c_str(), bytes);
    same = read && g_grabbed && path == g_grabbedPath && bytes == g_grabbedBytes &&
           !host::FileExists((path + "-wal").c_str());
    if (same) return nullptr;
    auto config = std::make_unique<HDBDatabase>();
    if (!RTLoadDBCfgINF(nullptr, path.c_str(), config.get())) return nullptr;
    if (!read) bytes.clear();  // never taken for the same file
    return config;
}

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

// The fetch's runs into the builder, whose entries are the names'.
class BuilderSink : public host::HourArchive::FetchSink {
  public:
    explicit BuilderSink(host::HourFileBuilder& builder) : builder_(builder) {}
    void Expect(std::size_t samples) override { builder_.Reserve(samples); }
    bool Take(int name, std::span<const host::archive::Sample> samples) override {
        return builder_.Add(name, samples);
    }

  private:
    host::HourFileBuilder& builder_;
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
    // Written a few variables at a time: the file of a busy day is large.
    int v = 0;
    const auto next = [&](std::string& piece) {
        if (v == 0) piece = std::string(host::kCsvHeader) + "\n";
        for (; v < file.Variables.Count() && piece.size() < (1u << 20); ++v) {
            const HHourVar* var = file.Variable(v);
            const std::string name = host::CsvNameField(var->Name);
            for (int i = std::max(var->first, file.PeriodFirst(*var) - 1); i <= var->last; ++i) {
                const HHourSample* s = file.Sample(i);
                host::AppendCsvRow(piece, name, s->Time, s->State, s->Value);
            }
        }
        return v < file.Variables.Count();
    };
    if (!host::WriteFileAtomically(path.c_str(), next)) {
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
    bool same = false;
    std::string bytes;
    std::unique_ptr<HDBDatabase> loaded = LoadConfig(cfgInfo->Path, bytes, same);
    if (!same && !loaded) return Fail(file, LastErrorText());
    const HDBDatabase* config = same ? g_grabbed.get() : loaded.get();

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
    // Entries only for the names asked for: nothing is held for the others.
    host::HourFileBuilder builder(file, *config, from, start, &index);
    BuilderSink sink(builder);
    if (!archive->Fetch(names, from, end, sink))
        return Fail(file, builder.Error().empty() ? LastErrorText() : builder.Error());
    builder.Finish();

    if (flags & kGrabKeepValues) {
        std::string error;
        if (!WriteValues(valuesFolder, file, error)) return Fail(file, error);
    }
    host::SetCurrentStateTables(config->SharedStates());
    if (!same) {
        g_grabbed = std::move(loaded);
        g_grabbedPath = cfgInfo->Path;
        g_grabbedBytes = std::move(bytes);
    }
    return nullptr;
}

namespace host {
HDBDatabase* GrabbedConfig() {
    return g_grabbed.get();
}
}  // namespace host
