// A report period's fetch split over several connections: the names in
// contiguous parts, each part one COPY pass on a connection of its own, all at
// once, so that a server with more than one core scans them side by side. The
// first part streams to the sink as it comes; the others are held in memory
// until their turn, so the sink sees every name in order.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "archive/hourarchive.h"
#include "archive/pg/pgconnection.h"

namespace host::pg {

// The most samples a fetch gathers into one run for its sink.
inline constexpr std::size_t kFetchRunSamples = 16384;

// Makes `c` a connection fit for one part (taken, checked); false with the
// reason in `error`. Called on the part's own thread.
using ConnectPart = std::function<bool(Connection& c, std::string& error)>;

struct PeriodRequest {
    std::string Relation;
    std::vector<std::string> Names;  // UTF-8
    int64_t From = 0, End = 0;
};

// Fetches `request` on `first` and, for the further parts, on `more` (as many
// as wanted parts less one; empty ones are connected by `connect` and kept
// there). Every row is checked: a state outside 0..65535 or a variable's rows
// out of time order fail the fetch. False with the reason in `error`, or with
// `stopped` set when the sink stopped it.
bool FetchInParts(Connection& first, std::vector<Connection>& more, const ConnectPart& connect,
                  const PeriodRequest& request, HourArchive::FetchSink& sink, bool& stopped,
                  std::string& error);

}  // namespace host::pg
