// The peer figure of the incident computation: an SQLite query with window
// functions that finds the excursions of the contours' sensors (runs of the
// excursion state lasting at least the contour's interval), over a table of the
// samples indexed on (var, t), in memory or in a file for the sqlite3 program.
// bench_fill and bench_run time the query alone, not the table's making.
#pragma once

#include <sqlite3.h>

#include <algorithm>
#include <string>
#include <vector>

#include "bench_util.h"

namespace twbench {

struct ExcursionSample {
    int var;
    long long t;  // seconds (any origin)
    int state;
    double value;
};

struct ExcursionContour {
    int sensor;  // the sensor's var
    int state;   // of an excursion
    int interval;
};

// The excursion query: the count of the contours' excursions.
inline constexpr const char* kExcursionQuery =
    "WITH s AS (SELECT c.id AS cid, x.t AS t, (x.state = c.state) AS ins, x.value AS v,"
    "  c.interval AS iv FROM contours c JOIN samples x ON x.var = c.sensor),"
    " e AS (SELECT cid, t, ins, v, iv,"
    "  CASE WHEN ins = 1 AND COALESCE(LAG(ins) OVER w, 0) = 0 THEN 1 ELSE 0 END AS opens,"
    "  LEAD(t) OVER w AS next_t, LEAD(ins) OVER w AS next_ins"
    "  FROM s WINDOW w AS (PARTITION BY cid ORDER BY t)),"
    " g AS (SELECT *, SUM(opens) OVER (PARTITION BY cid ORDER BY t"
    "  ROWS UNBOUNDED PRECEDING) AS grp FROM e)"
    " SELECT COUNT(*) FROM (SELECT cid, MIN(t) AS st,"
    "  MAX(CASE WHEN next_ins = 0 THEN next_t END) AS en, MAX(v), MIN(iv) AS iv"
    "  FROM g WHERE ins = 1 GROUP BY cid, grp) WHERE en IS NOT NULL AND en - st >= iv";

// The samples and contours in the tables of the query, the samples indexed on
// (var, t), in the database `db` (":memory:" or a file, made anew). Null when
// SQLite cannot open it.
inline sqlite3* ExcursionDatabase(const char* db, const std::vector<ExcursionSample>& samples,
                                  const std::vector<ExcursionContour>& contours) {
    sqlite3* out = nullptr;
    if (sqlite3_open(db, &out) != SQLITE_OK) {
        sqlite3_close(out);
        return nullptr;
    }
    sqlite3_exec(out,
                 "CREATE TABLE samples(var INTEGER, t INTEGER, state INTEGER, value REAL);"
                 "CREATE TABLE contours(id INTEGER PRIMARY KEY, sensor INTEGER, state INTEGER,"
                 " interval INTEGER);",
                 nullptr, nullptr, nullptr);
    sqlite3_exec(out, "BEGIN", nullptr, nullptr, nullptr);
    sqlite3_stmt* ins = nullptr;
    sqlite3_prepare_v2(out, "INSERT INTO samples VALUES(?,?,?,?)", -1, &ins, nullptr);
    for (const ExcursionSample& s : samples) {
        sqlite3_bind_int(ins, 1, s.var);
        sqlite3_bind_int64(ins, 2, s.t);
        sqlite3_bind_int(ins, 3, s.state);
        sqlite3_bind_double(ins, 4, s.value);
        sqlite3_step(ins);
        sqlite3_reset(ins);
    }
    sqlite3_finalize(ins);
    for (std::size_t c = 0; c < contours.size(); ++c) {
        const std::string q = "INSERT INTO contours VALUES(" + std::to_string(c) + "," +
                              std::to_string(contours[c].sensor) + "," +
                              std::to_string(contours[c].state) + "," +
                              std::to_string(contours[c].interval) + ")";
        sqlite3_exec(out, q.c_str(), nullptr, nullptr, nullptr);
    }
    sqlite3_exec(out, "COMMIT; CREATE INDEX samples_var ON samples(var, t);", nullptr, nullptr,
                 nullptr);
    return out;
}

// Seconds the query takes, the best of `runs`; `found` gets its count of
// excursions (-1 when the query fails).
inline double SqliteExcursionQuery(const std::vector<ExcursionSample>& samples,
                                   const std::vector<ExcursionContour>& contours, long& found,
                                   int runs = 1) {
    sqlite3* db = ExcursionDatabase(":memory:", samples, contours);
    found = -1;
    if (!db) return 0;
    const char* query = kExcursionQuery;
    double seconds = 1e9;
    for (int run = 0; run < runs; ++run) {
        const auto a = Clock::now();
        sqlite3_stmt* st = nullptr;
        sqlite3_prepare_v2(db, query, -1, &st, nullptr);
        found = sqlite3_step(st) == SQLITE_ROW ? long(sqlite3_column_int64(st, 0)) : -1;
        sqlite3_finalize(st);
        seconds = std::min(seconds, Seconds(a));
    }
    sqlite3_close(db);
    return seconds;
}

}  // namespace twbench
