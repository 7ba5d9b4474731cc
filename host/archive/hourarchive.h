// HourArchive: where a home keeps its samples, behind one interface for the
// report's data request, import, export and the demo plant. The day files below
// HOME/Archive/ (dayfile/) are the default; HOME/Archive.json can name a
// PostgreSQL database instead (pg/; both in ARCHIVE.md). Nothing outside this
// folder includes a header of either. Names are cp1251, times seconds since
// 1970. Every operation returns false with the last error set (naming the
// archive) and leaves the archive as it was.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "archive/sample.h"

namespace host {

class HourArchive {
  public:
    // What a fetch hands its samples to.
    class FetchSink {
      public:
        virtual ~FetchSink() = default;
        // At most this many samples will come; called once before the first
        // run by an archive that can tell.
        virtual void Expect(std::size_t samples) { (void)samples; }
        // A run of samples of the name with this index in the request, in time
        // order (the span is valid only during the call). False stops the fetch.
        virtual bool Take(int name, std::span<const archive::Sample> samples) = 0;
    };

    virtual ~HourArchive() = default;

    // For each of `names`, in their order: its last sample before `from` (when
    // there is one), then its samples with from <= time < end in time order.
    // They come in runs, never empty, a name's runs one after the other: the
    // day files hand over one run per name, PostgreSQL one per name or per
    // some thousands of samples. The sink's Take returning false stops the
    // fetch (false, last error untouched).
    virtual bool Fetch(const std::vector<std::string>& names, int64_t from, int64_t end,
                       FetchSink& sink) = 0;
    // Gives the next samples to store in `batch` (emptied before): an empty
    // batch is the end; false (last error set) gives the whole store up.
    using StoreBatch = std::function<bool(std::vector<NamedSample>& batch)>;
    // A run of one variable's (cp1251 name) samples in time order; false stops.
    using CollectRun =
        std::function<bool(const std::string& name, std::span<const archive::Sample> samples)>;
    // Makes one day's samples: each variable's in time order, one per second,
    // all inside the day; false (last error set) gives the change up.
    using DaySamples = std::function<bool(const archive::Day& day,
                                          std::vector<archive::VariableSamples>& samples)>;

    // Stores the samples the batches give as one change, all or nothing, never
    // holding more of them than a day file's worth or a batch at once. A sample
    // at the time of a stored one of its variable replaces it; of two given,
    // the later. `units` gets how many day files or rows were written.
    virtual bool Store(const StoreBatch& next, int* units) = 0;
    // What Store's `units` counts: "day file(s)" or "row(s)".
    virtual const char* StoredUnits() const = 0;
    // The same for samples at hand, as one batch.
    bool Store(const std::vector<NamedSample>& samples, int* units);
    // Every sample with from <= time <= to, of `variable` when it is not null:
    // variable after variable in the byte order of their UTF-8 names, each's
    // samples in time order, in runs (one variable's one after the other), so
    // that no more than a variable's samples of a day are held at once. A name
    // that cp1251 cannot hold is refused (false, last error naming it), never
    // merged with another. False from `run` stops (false, last error untouched).
    virtual bool Collect(int64_t from, int64_t to, const char* variable, const CollectRun& run) = 0;
    // Replaces all that the archive holds with begin <= time < end by the
    // samples `make` gives for each local day of the range in turn (made when
    // needed, so that one day is held at a time), as one change: the demo
    // plant's writer. Unless `others` is true it refuses (false, last error
    // set) an archive that holds samples another writer (an import) put there;
    // the day files of a home know no other writer than the home's own.
    virtual bool ReplaceRange(int64_t begin, int64_t end, const DaySamples& make, bool others) = 0;
};

// The archive of a home: PostgreSQL when HOME/Archive.json names a database,
// else the day files. Null (last error set) when the settings file is damaged
// or the database cannot be reached or has another schema version.
std::unique_ptr<HourArchive> OpenHourArchive(const char* home);

// HOME/Archive.json, the settings file that moves a home's archive into
// PostgreSQL.
std::string ArchiveSettingsPath(const char* home);

// Writes HOME/Archive.json naming a PostgreSQL database (libpq connection
// string or URI) and, when not empty, the relation the samples are read from.
bool WriteArchiveSettings(const char* home, const std::string& conninfo,
                          const std::string& relation);

}  // namespace host
