// The hour archive's samples in PostgreSQL: the schema that rthost creates, and
// the three ways the host uses it — one streamed pass over a report period, an
// import in one transaction, an export. Names cross as UTF-8 (the callers
// convert); times are seconds since 1970 (timestamptz on the server). Every
// function returns false with the server's or libpq's text in `error` and
// leaves the archive as it was.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "archive/pg/pgconnection.h"

namespace host::pg {

inline constexpr int kSchemaVersion = 1;
// The samples table rthost creates; a plant's own data is read through a view
// with the same four columns, named in the home's archive settings.
inline constexpr const char* kSamplesRelation = "tripwatch.samples";

// Creates the schema when it is missing; false when it is of another version.
bool PrepareSchema(Connection& c, std::string& error);
// True when `relation` can be read as samples (variable, time, state, value).
bool CheckSamples(Connection& c, const std::string& relation, std::string& error);
// True when `relation` has the four columns under their names and of their
// types (the variable as any text type); false with a message naming the types.
bool CheckSampleTypes(Connection& c, const std::string& relation, std::string& error);

// One sample as the archive gives or takes it.
struct ArchiveSample {
    std::string Variable;  // UTF-8
    int64_t Time;          // seconds since 1970
    int32_t State;
    double Value;
};

// For each of `names`, its last sample before `from` (when there is one) and
// its samples with from <= time < end, in one COPY pass; `onSample` gets the
// name's index in `names`. The variables come in the order of `names`, each
// one's samples together and, as the server's plan hands them on, in time order
// (which the caller checks).
// `micros` is the sample's time in microseconds since 1970 (UTC).
using SampleHandler = std::function<bool(int name, int64_t micros, int32_t state, double value)>;
bool FetchPeriod(Connection& c, const std::string& relation, const std::vector<std::string>& names,
                 int64_t from, int64_t end, const SampleHandler& onSample, std::string& error);

// Gives the next rows in `rows` (emptied before): an empty batch is the end;
// false gives the change up, with `stopped` set and `error` left empty.
using RowBatch = std::function<bool(std::vector<ArchiveSample>& rows)>;

// Stores every row the batches give in one transaction (each batch COPYed into
// a temporary table, then one upsert), holding one batch at a time; a sample at
// the time of a stored one of its variable replaces it, and of two given for
// one (variable, time) the later. `stored` gets the rows written.
bool ImportSamples(Connection& c, const RowBatch& next, long& stored, bool& stopped,
                   std::string& error);

// Replaces the samples with begin <= time < end by the rows the batches give,
// in one transaction: the demo's writer. A table that an import has written to
// (or that holds samples from before the writer was noted) is refused unless
// `others`.
bool ReplaceSamples(Connection& c, int64_t begin, int64_t end, const RowBatch& next, bool others,
                    bool& stopped, std::string& error);

// The samples with from <= time <= to (of one variable when `variable` is not
// empty), sorted by variable name (bytes) and time.
bool ExportSamples(Connection& c, const std::string& relation, int64_t from, int64_t to,
                   const std::string& variable,
                   const std::function<bool(const ArchiveSample&)>& onSample, std::string& error);

}  // namespace host::pg
