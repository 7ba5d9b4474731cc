// The hour archive in a PostgreSQL database (schema in ARCHIVE.md): samples as
// (variable, time timestamptz, state, value). rthost's own table is created when
// missing; a plant's own table is read in place through a view with those four
// columns, and is then read only. Connections come from the process's pool and
// go back to it with the archive.
#pragma once

#include <string>
#include <thread>
#include <vector>

#include "archive/hourarchive.h"
#include "archive/pg/pgconnection.h"

namespace host {

class PgHourArchive : public HourArchive {
  public:
    PgHourArchive() = default;
    ~PgHourArchive() override;  // gives its idle connections back to the pool
    PgHourArchive(const PgHourArchive&) = delete;
    PgHourArchive& operator=(const PgHourArchive&) = delete;

    // Connects and checks the schema (creating rthost's own when missing) or the
    // plant's relation. A fetch uses up to `connections` at once (at least 1);
    // every session waits at most `timeouts`. False with the last error set.
    bool Open(const std::string& conninfo, const std::string& relation, int connections,
              const pg::Timeouts& timeouts = {});

    bool Fetch(const std::vector<std::string>& names, int64_t from, int64_t end,
               FetchSink& sink) override;
    using HourArchive::Store;
    bool Store(const StoreBatch& next, int* units) override;
    const char* StoredUnits() const override { return "row(s)"; }
    bool Collect(int64_t from, int64_t to, const char* variable, const CollectRun& run) override;
    bool ReplaceRange(int64_t begin, int64_t end, const DaySamples& make, bool others) override;

  private:
    bool Fail(const std::string& error);
    bool Writable();
    // A connection from the pool with the schema or relation checked; a kept
    // one that the server has closed since is replaced by a new one.
    bool Connect(pg::Connection& c, std::string& error);

    std::string conninfo_;
    pg::Timeouts timeouts_;
    pg::Connection connection_;
    std::vector<pg::Connection> more_;  // the fetch's further parts, connected at first use
    std::string relation_;
    bool own_ = true;  // rthost's own table, not a plant's view
    // The connecting of more_, begun beside the first connection's (a new
    // backend costs the server a fork and its start, tens of milliseconds
    // each) and ended before a fetch; last, so that it ends before the rest.
    std::vector<std::jthread> logins_;
};

}  // namespace host
