#include "pgarchive.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>

#include "archive/pg/pgcopy.h"

namespace host::pg {
namespace {

bool Failed(Connection& c, std::string& error) {
    error = c.Error();
    return false;
}

std::string Timestamp(int64_t seconds) {
    return "to_timestamp(" + std::to_string(seconds) + ")";
}

// A COPY ... TO STDOUT (FORMAT binary) of `query`, every row to `onRow`.
bool CopyRows(Connection& c, const std::string& query,
              const std::function<bool(const CopySample&)>& onRow, std::string& error,
              CopyLayout layout = CopyLayout::NamedRows) {
    CopyDecoder decoder(onRow, layout);
    const bool copied =
        c.CopyOut("COPY (" + query + ") TO STDOUT (FORMAT binary)",
                  [&](const char* data, std::size_t size) { return decoder.Feed(data, size); });
    if (!decoder.Error().empty() && decoder.Error() != "stopped") {
        error = decoder.Error();
        return false;
    }
    if (!copied) return error.empty() ? Failed(c, error) : false;
    if (!decoder.Finish()) {
        error = decoder.Error();
        return false;
    }
    return true;
}

}  // namespace

bool PrepareSchema(Connection& c, std::string& error) {
    const char* const create =
        "CREATE SCHEMA IF NOT EXISTS tripwatch;"
        "CREATE TABLE IF NOT EXISTS tripwatch.meta (key text PRIMARY KEY, value text NOT NULL);"
        "INSERT INTO tripwatch.meta VALUES ('schema_version', '1') ON CONFLICT DO NOTHING;"
        "CREATE TABLE IF NOT EXISTS tripwatch.samples ("
        " variable text NOT NULL, time timestamptz NOT NULL,"
        " state integer NOT NULL CHECK (state BETWEEN 0 AND 65535),"
        " value double precision NOT NULL,"
        " PRIMARY KEY (variable, time) INCLUDE (state, value))";
    Result version;
    if (!c.Exec("SELECT to_regclass('tripwatch.meta') IS NOT NULL", &version, PGRES_TUPLES_OK))
        return Failed(c, error);
    if (version.Text(0, 0) != "t" && !c.Exec(std::string("BEGIN;") + create + ";COMMIT"))
        return Failed(c, error);
    if (!c.Exec("SELECT value FROM tripwatch.meta WHERE key = 'schema_version'", &version,
                PGRES_TUPLES_OK))
        return Failed(c, error);
    const std::string found = version.Rows() ? version.Text(0, 0) : "";
    if (found != std::to_string(kSchemaVersion)) {
        error = "the archive schema is of version " + (found.empty() ? "<none>" : found) +
                ", this program reads version " + std::to_string(kSchemaVersion);
        return false;
    }
    return true;
}

bool CheckSamples(Connection& c, const std::string& relation, std::string& error) {
    return CheckSampleTypes(c, relation, error);
}

bool CheckSampleTypes(Connection& c, const std::string& relation, std::string& error) {
    Result r;
    if (!c.Exec("SELECT variable, time, state, value FROM " + relation + " LIMIT 0", &r,
                PGRES_TUPLES_OK))
        return Failed(c, error);
    // text, varchar, char(n) or name; timestamptz; integer; double precision
    const Oid name = PQftype(r.get(), 0);
    const bool named = name == 25 || name == 1043 || name == 1042 || name == 19;
    if (named && PQftype(r.get(), 1) == 1184 && PQftype(r.get(), 2) == 23 &&
        PQftype(r.get(), 3) == 701)
        return true;
    error = relation +
            " does not give the samples' types: variable text, time timestamp with time zone, "
            "state integer, value double precision";
    return false;
}

bool FetchPeriod(Connection& c, const std::string& relation, const std::vector<std::string>& names,
                 int64_t from, int64_t end, const SampleHandler& onSample, std::string& error) {
    std::string array = "ARRAY[";
    for (std::size_t i = 0; i < names.size(); ++i)
        array += (i ? "," : "") + c.Literal(names[i]);
    array += "]::text[]";
    // Per variable: the sample carried in, then the period's; the index on
    // (variable, time) serves both. The nested loop takes the names in order
    // and each variable's rows in the order of its scans, so the server sorts
    // nothing (a sort by (ord, time) took half of the query's time); the
    // caller checks the order of every sample. One row a variable, its
    // samples as three arrays, named by its ordinal in the request: the server
    // sends less, and the reader gets a variable's samples in one piece
    // instead of one message a sample.
    const std::string query =
        "SELECT n.ord, a.times, a.states, a.vals FROM unnest(" + array +
        ") WITH ORDINALITY AS n(variable, ord) CROSS JOIN LATERAL (SELECT array_agg(time) AS "
        "times, array_agg(state) AS states, array_agg(value) AS vals FROM ((SELECT time, state, "
        "value FROM " +
        relation + " WHERE variable = n.variable AND time < " + Timestamp(from) +
        " ORDER BY time DESC LIMIT 1) UNION ALL (SELECT time, state, value FROM " + relation +
        " WHERE variable = n.variable AND time >= " + Timestamp(from) + " AND time < " +
        Timestamp(end) + " ORDER BY time)) AS s) AS a ORDER BY n.ord";
    const auto count = int64_t(names.size());
    bool strange = false;
    const bool ok = CopyRows(
        c, query,
        [&](const CopySample& s) {
            if (s.Ordinal < 1 || s.Ordinal > count) return !(strange = true);
            return onSample(int(s.Ordinal - 1), s.Micros, s.State, s.Value);
        },
        error, CopyLayout::VariableArrays);
    if (strange) error = "the server sent a sample of a variable that was not asked for";
    return ok;
}

namespace {
std::string CopyStream(const std::vector<ArchiveSample>& samples) {
    std::string stream;
    AppendCopyHeader(stream);
    for (const ArchiveSample& s : samples)
        AppendCopyRow(stream, s.Variable, s.Time, s.State, s.Value);
    AppendCopyTrailer(stream);
    return stream;
}

// The times a change wrote or removed, in seconds, half open; empty while
// from >= end.
struct Span {
    int64_t from = INT64_MAX;
    int64_t end = INT64_MIN;
    void Add(int64_t begin, int64_t stop) {
        from = std::min(from, begin);
        end = std::max(end, stop);
    }
};

// COPYs every batch into `table`'s sample columns, one COPY a batch, adding
// the rows' times to `span`; false when a batch gives up (`stopped`) or the
// server refuses.
bool CopyBatches(Connection& c, const std::string& table, const RowBatch& next, bool& stopped,
                 Span& span) {
    std::vector<ArchiveSample> rows;
    for (;;) {
        if (!next(rows)) return !(stopped = true);
        if (rows.empty()) return true;
        for (const ArchiveSample& s : rows)
            span.Add(s.Time, s.Time + 1);
        if (!c.CopyIn(
                "COPY " + table + " (variable, time, state, value) FROM STDIN (FORMAT binary)",
                CopyStream(rows)))
            return false;
    }
}

// Notes in the schema who wrote the samples last: "demo" while only the demo
// has, "import" once anything else has.
bool NoteWriter(Connection& c, const char* writer) {
    return c.Exec(std::string("INSERT INTO tripwatch.meta VALUES ('samples_writer', '") + writer +
                  "') ON CONFLICT (key) DO UPDATE SET value = excluded.value");
}

// The leaf partitions of the samples table that can hold a time of [$1, $2)
// (seconds), or none when the table is not partitioned. A leaf is left out
// when it or one of its ancestors is a range of "time" that misses the span;
// every other leaf (a DEFAULT partition, one of another key) may hold it.
constexpr const char* kLeavesMet =
    "SELECT c.relkind = 'p', (SELECT string_agg(t.relid::regclass::text, ', ') FROM "
    "pg_partition_tree(c.oid) AS t WHERE t.isleaf AND NOT EXISTS (SELECT FROM "
    "pg_partition_ancestors(t.relid) AS a JOIN pg_inherits AS i ON i.inhrelid = a.relid JOIN "
    "pg_class AS p ON p.oid = a.relid CROSS JOIN LATERAL (SELECT pg_get_expr(p.relpartbound, "
    "p.oid) AS bound) AS b WHERE pg_get_partkeydef(i.inhparent) = 'RANGE (\"time\")' AND "
    "(substring(b.bound FROM 'FROM \\(''([^'']*)''\\) TO')::timestamptz >= "
    "to_timestamp($2::bigint) OR "
    "substring(b.bound FROM ' TO \\(''([^'']*)''\\)$')::timestamptz <= to_timestamp($1::bigint)))) "
    "FROM pg_class AS c WHERE c.oid = 'tripwatch.samples'::regclass";

// Lets the server mark the pages a change wrote all-visible, so that the
// period query reads them from the index alone (autovacuum waits for a fifth
// of the table to be new), and renew the statistics that its plan rests on;
// best effort: for a user who does not own the table the server only warns.
// A table partitioned by month (ARCHIVE.md) gets it on the months `span`
// meets alone: on the table, the server would vacuum and sample every
// partition, years of them, after every import.
void VacuumChanged(Connection& c, const Span& span) {
    Result r;
    if (span.from < span.end &&
        c.Exec(kLeavesMet, {std::to_string(span.from), std::to_string(span.end)}, &r,
               PGRES_TUPLES_OK) &&
        r.Rows() == 1 && r.Text(0, 0) == "t") {
        if (!r.Text(0, 1).empty()) c.Exec("VACUUM (ANALYZE) " + r.Text(0, 1));
        return;
    }
    c.Exec("VACUUM (ANALYZE) tripwatch.samples");
}

// Runs the steps of one change of the samples table as one transaction; on a
// failure rolls it back. After the commit it vacuums what the change wrote in
// `span` (which the steps fill).
bool ChangeSamples(Connection& c, const std::function<bool()>& steps, const Span& span,
                   std::string& error) {
    if (c.Exec("BEGIN") && steps() && c.Exec("COMMIT")) {
        VacuumChanged(c, span);
        return true;
    }
    error = c.Error();
    c.Exec("ROLLBACK");
    return false;
}
}  // namespace

bool ReplaceSamples(Connection& c, int64_t begin, int64_t end, const RowBatch& next, bool others,
                    bool& stopped, std::string& error) {
    bool foreign = false;
    stopped = false;
    Span span;
    span.Add(begin, end);
    const bool done = ChangeSamples(
        c,
        [&] {
            // Samples in a table whose writer is not the demo belong to someone.
            Result r;
            if (!c.Exec("SELECT EXISTS (SELECT 1 FROM tripwatch.samples) AND coalesce((SELECT "
                        "value FROM tripwatch.meta WHERE key = 'samples_writer'), '') <> 'demo'",
                        &r, PGRES_TUPLES_OK))
                return false;
            foreign = r.Text(0, 0) == "t";
            if (foreign && !others) return false;
            return c.Exec("DELETE FROM tripwatch.samples WHERE time >= " + Timestamp(begin) +
                          " AND time < " + Timestamp(end)) &&
                   CopyBatches(c, "tripwatch.samples", next, stopped, span) &&
                   (foreign || NoteWriter(c, "demo"));
        },
        span, error);
    if (stopped) error.clear();
    if (!done && foreign && !others)
        error =
            "the samples table holds samples that the demo did not write (a plant's own?); "
            "--force replaces those of the demo's days";
    return done;
}

bool ImportSamples(Connection& c, const RowBatch& next, long& stored, bool& stopped,
                   std::string& error) {
    stopped = false;
    Result r;
    Span span;
    const bool done = ChangeSamples(
        c,
        [&] {
            // `ord` keeps the order given, so that of two rows for one
            // (variable, time) the later wins.
            return c.Exec(
                       "CREATE TEMPORARY TABLE incoming (LIKE tripwatch.samples, ord "
                       "bigserial) ON COMMIT DROP") &&
                   CopyBatches(c, "incoming", next, stopped, span) &&
                   c.Exec(
                       "INSERT INTO tripwatch.samples SELECT DISTINCT ON (variable, time) "
                       "variable, time, state, value FROM incoming ORDER BY variable, time, "
                       "ord DESC ON CONFLICT (variable, time) DO UPDATE SET state = "
                       "excluded.state, value = excluded.value",
                       &r) &&
                   NoteWriter(c, "import");
        },
        span, error);
    if (stopped) error.clear();
    stored = done ? r.Changed() : 0;
    return done;
}

bool ExportSamples(Connection& c, const std::string& relation, int64_t from, int64_t to,
                   const std::string& variable,
                   const std::function<bool(const ArchiveSample&)>& onSample, std::string& error) {
    std::string query = "SELECT variable, time, state, value FROM " + relation +
                        " WHERE time >= " + Timestamp(from) + " AND time <= " + Timestamp(to);
    if (!variable.empty()) query += " AND variable = " + c.Literal(variable);
    query += " ORDER BY variable COLLATE \"C\", time";
    if (!CheckSampleTypes(c, relation, error)) return false;
    ArchiveSample row;
    std::string sampleError;
    const bool ok = CopyRows(
        c, query,
        [&](const CopySample& s) {
            if (std::string fault = SampleFault(s.Variable, s.Micros, s.State, s.Value);
                !fault.empty()) {
                sampleError = std::move(fault);
                return false;
            }
            row.Variable.assign(s.Variable);
            row.Time = s.Time;
            row.State = s.State;
            row.Value = s.Value;
            return onSample(row);
        },
        error);
    if (!sampleError.empty()) error = sampleError;
    return ok;
}

}  // namespace host::pg
