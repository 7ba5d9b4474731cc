// The hour archive in a PostgreSQL database (schema in ARCHIVE.md): samples as
// (variable, time timestamptz, state, value). rthost's own table is created when
// missing; a plant's own table is read in place through a view with those four
// columns, and is then read only.
#pragma once

#include <string>

#include "data/hourarchive.h"
#include "data/pg/pgconnection.h"

namespace host {

class PgHourArchive : public HourArchive {
  public:
    // Connects and checks the schema (creating rthost's own when missing) or the
    // plant's relation. False with the last error set.
    bool Open(const std::string& conninfo, const std::string& relation);

    bool Fetch(const std::vector<std::string>& names, int64_t from, int64_t end,
               FetchSink& sink) override;
    bool Store(const std::vector<NamedSample>& samples, int* units) override;
    bool Collect(int64_t from, int64_t to, const char* variable,
                 std::vector<NamedSample>& out) override;
    bool ReplaceRange(int64_t begin, int64_t end,
                      const std::vector<archive::VariableSamples>& samples) override;

  private:
    bool Fail(const std::string& error);
    bool Writable();

    pg::Connection connection_;
    std::string relation_;
    bool own_ = true;  // rthost's own table, not a plant's view
};

}  // namespace host
