#include "pgfetch.h"

#include <system_error>
#include <thread>
#include <utility>

#include "archive/pg/pgarchive.h"
#include "archive/pg/pgcopy.h"

namespace host::pg {
namespace {

using RunTarget = std::function<bool(int name, std::span<const archive::Sample>)>;

// Gathers one part's rows into runs (one name's, at most kFetchRunSamples
// long) for `target`, checking states and order on the way.
class RunGatherer {
  public:
    RunGatherer(const PeriodRequest& request, int offset, RunTarget target)
        : request_(request), offset_(offset), target_(std::move(target)) {
        run_.reserve(kFetchRunSamples);
    }

    // Samples finer than a second keep the order of their full times; the
    // hour data holds their whole seconds (several in one second are all kept).
    bool Row(int part, int64_t micros, int32_t state, double value, std::string& error) {
        const int name = offset_ + part;
        if (std::string fault = SampleFault(Name(name), micros, state, value); !fault.empty())
            return Refuse(error, std::move(fault));
        if (name < name_ || (name == name_ && micros <= last_))
            return Refuse(error, "the server sent two samples of " + Name(name) +
                                     " at one time or out of time order");
        if ((name != name_ || run_.size() == kFetchRunSamples) && !Flush()) return false;
        name_ = name;
        last_ = micros;
        const int64_t seconds = micros / 1000000 - (micros % 1000000 < 0 ? 1 : 0);
        run_.push_back(archive::Sample{seconds, uint16_t(state), value});
        return true;
    }
    // Hands on the last run; false when the target stopped.
    bool Flush() {
        if (!run_.empty() && !target_(name_, run_)) {
            stopped_ = true;
            return false;
        }
        run_.clear();
        return true;
    }
    bool Stopped() const { return stopped_; }

  private:
    const std::string& Name(int name) const { return request_.Names[std::size_t(name)]; }
    static bool Refuse(std::string& error, std::string why) {
        error = std::move(why);
        return false;
    }

    const PeriodRequest& request_;
    int offset_;
    RunTarget target_;
    std::vector<archive::Sample> run_;
    int name_ = -1;
    int64_t last_ = INT64_MIN;
    bool stopped_ = false;
};

// One part's rows kept for their turn.
struct HeldPart {
    std::vector<archive::Sample> samples;
    std::vector<std::pair<int, std::size_t>> runs;  // name, samples
    std::string error;
    bool ok = false;
};

// Fetches names [begin, end) of `request` on `c` into `target`.
bool FetchPart(Connection& c, const PeriodRequest& request, std::size_t begin, std::size_t end,
               RunGatherer& gatherer, std::string& error) {
    const std::vector<std::string> names(request.Names.begin() + std::ptrdiff_t(begin),
                                         request.Names.begin() + std::ptrdiff_t(end));
    std::string rowError;
    const bool ok = FetchPeriod(
        c, request.Relation, names, request.From, request.End,
        [&](int name, int64_t micros, int32_t state, double value) {
            return gatherer.Row(name, micros, state, value, rowError);
        },
        error);
    if (!rowError.empty()) error = rowError;
    return ok && gatherer.Flush();
}

void HoldPart(Connection& c, const ConnectPart& connect, const PeriodRequest& request,
              std::size_t begin, std::size_t end, HeldPart& held) {
    if (!c.IsOpen() && !connect(c, held.error)) return;
    RunGatherer gatherer(request, int(begin), [&](int name, std::span<const archive::Sample> s) {
        held.samples.insert(held.samples.end(), s.begin(), s.end());
        held.runs.emplace_back(name, s.size());
        return true;
    });
    held.ok = FetchPart(c, request, begin, end, gatherer, held.error);
}

bool Replay(const HeldPart& held, HourArchive::FetchSink& sink) {
    std::size_t at = 0;
    for (const auto& [name, count] : held.runs) {
        if (!sink.Take(name, std::span(held.samples).subspan(at, count))) return false;
        at += count;
    }
    return true;
}

}  // namespace

bool FetchInParts(Connection& first, std::vector<Connection>& more, const ConnectPart& connect,
                  const PeriodRequest& request, HourArchive::FetchSink& sink, bool& stopped,
                  std::string& error) {
    const std::size_t names = request.Names.size();
    const std::size_t parts = std::max<std::size_t>(1, std::min(more.size() + 1, names));
    auto bound = [&](std::size_t part) { return names * part / parts; };
    std::vector<HeldPart> held(parts - 1);
    bool ok;
    {
        std::vector<std::jthread> workers;
        for (std::size_t p = 1; p < parts; ++p) {
            auto hold = [&, p] {
                HoldPart(more[p - 1], connect, request, bound(p), bound(p + 1), held[p - 1]);
            };
            try {
                workers.emplace_back(hold);
            } catch (const std::system_error&) {
                hold();  // no thread to be had: here, before the first part
            }
        }
        RunGatherer gatherer(request, 0, [&](int name, std::span<const archive::Sample> s) {
            return sink.Take(name, s);
        });
        ok = FetchPart(first, request, 0, bound(1), gatherer, error);
        stopped = gatherer.Stopped();
    }  // the workers end here
    for (std::size_t p = 0; ok && p < held.size(); ++p) {
        if (!held[p].ok) {
            error = held[p].error;
            return false;
        }
        if (!Replay(held[p], sink)) {
            stopped = true;
            return false;
        }
    }
    return ok;
}

}  // namespace host::pg
