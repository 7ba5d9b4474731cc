#include "pghourarchive.h"

#include <algorithm>
#include <cstdio>
#include <map>
#include <system_error>

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
    logins_.clear();  // each login ends first
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
    logins_.clear();
    for (pg::Connection& c : more_) {
        try {
            logins_.emplace_back([this, &c] {
                // One that fails (its schema not made yet, say) is closed, and
                // connected again, with its reason told, by the part that uses it.
                std::string ignored;
                if (!Connect(c, ignored)) c = pg::Connection();
            });
        } catch (const std::system_error&) {
            break;  // no thread to be had: the rest connect at first use
        }
    }
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
    logins_.clear();  // the further connections' logins end first
    const auto connect = [this](pg::Connection& c, std::string& why) { return Connect(c, why); };
    if (pg::FetchInParts(connection_, more_, connect, request, sink, stopped, error)) return true;
    return stopped ? false : Fail(error);
}

namespace {
// The most samples of one variable an export holds at once.
constexpr std::size_t kBatchRows = 1 << 16;

// Converts a batch of samples into rows with UTF-8 names.
void ToRows(const std::vector<NamedSample>& samples, std::vector<pg::ArchiveSample>& rows) {
    rows.clear();
    rows.reserve(samples.size());
    for (const NamedSample& s : samples)
        rows.push_back({Cp1251ToUtf8(s.Name), s.S.Time, s.S.State, s.S.Value});
}
// A UTF-8 name for a message in cp1251: each character cp1251 lacks as
// <U+XXXX>, so that two such names stay apart.
std::string NameForMessage(const std::string& utf8) {
    std::string out, one;
    for (std::size_t i = 0; i < utf8.size();) {
        const std::size_t at = i;
        const char32_t c = DecodeUtf8(utf8, i);
        if (Utf8ToCp1251(std::string_view(utf8).substr(at, i - at), one)) {
            out += one;
        } else {
            char code[16];
            std::snprintf(code, sizeof code, "<U+%04X>", unsigned(c));
            out += code;
        }
    }
    return out;
}
}  // namespace

bool PgHourArchive::Store(const StoreBatch& next, int* units) {
    if (!Writable()) return false;
    std::vector<NamedSample> batch;
    const pg::RowBatch rows = [&](std::vector<pg::ArchiveSample>& out) {
        if (!next(batch)) return false;
        ToRows(batch, out);
        return true;
    };
    long stored = 0;
    bool stopped = false;
    std::string error;
    if (!pg::ImportSamples(connection_, rows, stored, stopped, error))
        return stopped ? false : Fail(error);
    if (units) *units = int(stored);
    return true;
}

bool PgHourArchive::Collect(int64_t from, int64_t to, const char* variable, const CollectRun& run) {
    std::string error, name, refused;
    std::vector<archive::Sample> samples;
    bool stopped = false;
    // The rows come sorted by name: a run is handed on when the name changes.
    const auto flush = [&] {
        if (samples.empty()) return true;
        stopped = !run(name, samples);
        samples.clear();
        return !stopped;
    };
    std::string utf8;  // the current run's name as the server has it
    const bool ok = pg::ExportSamples(
        connection_, relation_, from, to, variable ? Cp1251ToUtf8(variable) : std::string(),
        [&](const pg::ArchiveSample& s) {
            if (s.Variable != utf8 || samples.size() >= kBatchRows) {
                if (!flush()) return false;
                if (s.Variable != utf8) {
                    utf8 = s.Variable;
                    if (!Utf8ToCp1251(utf8, name)) {
                        refused = utf8;
                        return false;
                    }
                }
            }
            samples.push_back(archive::Sample{s.Time, uint16_t(s.State), s.Value});
            return true;
        },
        error);
    if (!refused.empty()) {
        SetError("%s: %s \"%s\" %s", "Архив PostgreSQL"_cp, "имя переменной"_cp,
                 NameForMessage(refused).c_str(),
                 "не записывается в cp1251, кодировке имен хоста"_cp);
        return false;
    }
    if (stopped) return false;
    if (!ok) return Fail(error);
    return flush();
}

bool PgHourArchive::ReplaceRange(int64_t begin, int64_t end, const DaySamples& make, bool others) {
    if (!Writable()) return false;
    archive::Day day = archive::DayOf(begin);
    std::vector<archive::VariableSamples> vars;
    const pg::RowBatch rows = [&](std::vector<pg::ArchiveSample>& out) {
        out.clear();
        for (; out.empty() && day.Begin < end; day = archive::DayOf(day.End)) {
            vars.clear();
            if (!make(day, vars)) return false;
            for (const auto& v : vars) {
                const std::string name = Cp1251ToUtf8(v.Name);
                for (const auto& s : v.Samples)
                    out.push_back({name, s.Time, s.State, s.Value});
            }
        }
        return true;
    };
    std::string error;
    bool stopped = false;
    if (!pg::ReplaceSamples(connection_, begin, end, rows, others, stopped, error))
        return stopped ? false : Fail(error);
    return true;
}

}  // namespace host
