#include "pghourarchive.h"

#include <map>

#include "common/cp1251.h"
#include "common/lasterror.h"
#include "data/pg/pgarchive.h"

using namespace host::literals;

namespace host {

bool PgHourArchive::Fail(const std::string& error) {
    SetError("%s: %s", "Архив PostgreSQL"_cp, Utf8ToCp1251Lossy(error).c_str());
    return false;
}

bool PgHourArchive::Open(const std::string& conninfo, const std::string& relation) {
    own_ = relation.empty() || relation == pg::kSamplesRelation;
    relation_ = own_ ? pg::kSamplesRelation : relation;
    std::string error;
    if (!connection_.Open(conninfo)) return Fail(connection_.Error());
    if (own_ ? !pg::PrepareSchema(connection_, error)
             : !pg::CheckSamples(connection_, relation_, error))
        return Fail(error);
    return true;
}

bool PgHourArchive::Writable() {
    if (own_) return true;
    SetError("%s \"%s\" %s", "Архив PostgreSQL"_cp, relation_.c_str(),
             "только для чтения: значения установки читаются через представление"_cp);
    return false;
}

bool PgHourArchive::Fetch(const std::vector<std::string>& names, int64_t from, int64_t end,
                          FetchSink& sink) {
    std::vector<std::string> utf8;
    utf8.reserve(names.size());
    for (const std::string& n : names)
        utf8.push_back(Cp1251ToUtf8(n));
    std::string error;
    bool stopped = false;
    // The rows gathered into runs: one name's, at most kFetchRunSamples long.
    std::vector<archive::Sample> run;
    run.reserve(kFetchRunSamples);
    int runName = -1;
    auto flush = [&] {
        if (run.empty() || sink.Take(runName, run)) {
            run.clear();
            return true;
        }
        stopped = true;
        return false;
    };
    const bool ok = pg::FetchPeriod(
                        connection_, relation_, utf8, from, end,
                        [&](int name, int64_t time, int32_t state, double value) {
                            if (state < 0 || state > 0xFFFF) {
                                error = "state " + std::to_string(state) + " of " +
                                        utf8[std::size_t(name)] + " is no 16-bit state code";
                                return false;
                            }
                            if ((name != runName || run.size() == kFetchRunSamples) && !flush())
                                return false;
                            runName = name;
                            run.push_back(archive::Sample{time, uint16_t(state), value});
                            return true;
                        },
                        error) &&
                    flush();
    if (ok || stopped) return ok;
    return Fail(error);
}

bool PgHourArchive::Store(const std::vector<NamedSample>& samples, int* units) {
    if (!Writable()) return false;
    // One row per variable and time, the later of two.
    std::map<std::pair<std::string, int64_t>, const NamedSample*> last;
    for (const NamedSample& s : samples)
        last[{s.Name, s.S.Time}] = &s;
    std::vector<pg::ArchiveSample> rows;
    rows.reserve(last.size());
    for (const auto& [key, s] : last)
        rows.push_back({Cp1251ToUtf8(s->Name), s->S.Time, s->S.State, s->S.Value});
    std::string error;
    if (!pg::ImportSamples(connection_, rows, error)) return Fail(error);
    if (units) *units = int(rows.size());
    return true;
}

bool PgHourArchive::Collect(int64_t from, int64_t to, const char* variable,
                            std::vector<NamedSample>& out) {
    std::string error;
    const bool ok = pg::ExportSamples(
        connection_, relation_, from, to, variable ? Cp1251ToUtf8(variable) : std::string(),
        [&](const pg::ArchiveSample& s) {
            out.push_back({Utf8ToCp1251Lossy(s.Variable),
                           archive::Sample{s.Time, uint16_t(s.State), s.Value}});
            return true;
        },
        error);
    return ok || Fail(error);
}

bool PgHourArchive::ReplaceRange(int64_t begin, int64_t end,
                                 const std::vector<archive::VariableSamples>& samples) {
    if (!Writable()) return false;
    std::vector<pg::ArchiveSample> rows;
    for (const auto& v : samples) {
        const std::string name = Cp1251ToUtf8(v.Name);
        for (const auto& s : v.Samples)
            if (s.Time >= begin && s.Time < end) rows.push_back({name, s.Time, s.State, s.Value});
    }
    std::string error;
    if (!pg::ReplaceSamples(connection_, begin, end, rows, error)) return Fail(error);
    return true;
}

}  // namespace host
