#include "pghourarchive.h"

#include <algorithm>
#include <map>

#include "common/cp1251.h"
#include "common/lasterror.h"
#include "archive/pg/pgarchive.h"
#include "archive/pg/pgfetch.h"
#include "archive/pg/pgpool.h"

using namespace host::literals;

namespace host {

bool PgHourArchive::Fail(const std::string& error) {
    SetError("%s: %s", "Архив PostgreSQL"_cp, Utf8ToCp1251Lossy(error).c_str());
    return false;
}

PgHourArchive::~PgHourArchive() {
    pg::ConnectionPool& pool = pg::ConnectionPool::Process();
    pool.Give(conninfo_, timeouts_, std::move(connection_));
    for (pg::Connection& c : more_)
        pool.Give(conninfo_, timeouts_, std::move(c));
}

bool PgHourArchive::Connect(pg::Connection& c, std::string& error) {
    // The first connection prepares rthost's own schema; the others only read.
    const bool prepare = own_ && &c == &connection_;
    bool reused = true;
    // A kept connection that fails its check may have been closed by the
    // server since (a restart, an idle timeout): the next one, at last a new one.
    while (reused) {
        if (!pg::ConnectionPool::Process().Take(conninfo_, timeouts_, c, reused, error))
            return false;
        error.clear();
        if (prepare ? pg::PrepareSchema(c, error) : pg::CheckSamples(c, relation_, error))
            return true;
    }
    return false;
}

bool PgHourArchive::Open(const std::string& conninfo, const std::string& relation, int connections,
                         const pg::Timeouts& timeouts) {
    conninfo_ = conninfo;
    timeouts_ = timeouts;
    own_ = relation.empty() || relation == pg::kSamplesRelation;
    relation_ = own_ ? pg::kSamplesRelation : relation;
    more_.resize(std::size_t(std::max(connections, 1) - 1));
    std::string error;
    return Connect(connection_, error) || Fail(error);
}

bool PgHourArchive::Writable() {
    if (own_) return true;
    SetError("%s \"%s\" %s", "Архив PostgreSQL"_cp, relation_.c_str(),
             "только для чтения: значения установки читаются через представление"_cp);
    return false;
}

bool PgHourArchive::Fetch(const std::vector<std::string>& names, int64_t from, int64_t end,
                          FetchSink& sink) {
    pg::PeriodRequest request{relation_, {}, from, end};
    request.Names.reserve(names.size());
    for (const std::string& n : names)
        request.Names.push_back(Cp1251ToUtf8(n));
    std::string error;
    bool stopped = false;
    const auto connect = [this](pg::Connection& c, std::string& why) { return Connect(c, why); };
    if (pg::FetchInParts(connection_, more_, connect, request, sink, stopped, error)) return true;
    return stopped ? false : Fail(error);
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
                                 const std::vector<archive::VariableSamples>& samples,
                                 bool others) {
    if (!Writable()) return false;
    std::vector<pg::ArchiveSample> rows;
    for (const auto& v : samples) {
        const std::string name = Cp1251ToUtf8(v.Name);
        for (const auto& s : v.Samples)
            if (s.Time >= begin && s.Time < end) rows.push_back({name, s.Time, s.State, s.Value});
    }
    std::string error;
    if (!pg::ReplaceSamples(connection_, begin, end, rows, others, error)) return Fail(error);
    return true;
}

}  // namespace host
