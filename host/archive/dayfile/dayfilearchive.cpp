#include "dayfilearchive.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <map>
#include <memory>

#include "archive/backends.h"
#include "common/cp1251.h"
#include "common/lasterror.h"
#include "common/osfile.h"
#include "archive/dayfile/archiveaccess.h"
#include "archive/dayfile/archivefolder.h"

using namespace host::literals;

namespace host {
namespace {

using archive::DayFile;
using archive::kSampleSize;

// Index of the first raw sample whose time (base + offset) is >= t.
uint32_t LowerBound(const std::string& raw, int64_t base, int64_t t) {
    uint32_t lo = 0, hi = uint32_t(raw.size() / kSampleSize);
    while (lo < hi) {
        const uint32_t mid = lo + (hi - lo) / 2;
        if (base + archive::RawOffset(raw.data() + std::size_t(mid) * kSampleSize) < t)
            lo = mid + 1;
        else
            hi = mid;
    }
    return lo;
}

archive::Sample At(const std::string& raw, uint32_t i, int64_t base) {
    const char* p = raw.data() + std::size_t(i) * kSampleSize;
    return {base + archive::RawOffset(p), archive::RawState(p), archive::RawValue(p)};
}

// Appends raw samples lo..hi-1 to `run`.
void AppendRange(const std::string& raw, uint32_t lo, uint32_t hi, int64_t base,
                 std::vector<archive::Sample>& run) {
    run.reserve(run.size() + (hi - lo));
    for (uint32_t i = lo; i < hi; ++i)
        run.push_back(At(raw, i, base));
}

// The day files of a fetch: those that hold samples of [from, end), opened at
// once, and the earlier ones, opened when a variable's carried-in sample is
// looked for there (newest first).
class FetchDays {
  public:
    bool Open(const char* home, int64_t from, int64_t end) {
        home_ = home;
        std::vector<archive::Day> days;
        if (!archive::ListDays(home, days)) return false;
        if (days.empty()) {
            SetError("%s \"%s\"", "Архив пуст:"_cp, archive::ArchiveFolder(home).c_str());
            return false;
        }
        for (const auto& d : days) {
            if (d.End <= from) {
                before_.push_back(d);
            } else if (d.Begin < end) {
                period_.emplace_back();
                if (!period_.back().Open(archive::DayFilePath(home, d).c_str())) return false;
            }
        }
        opened_.resize(before_.size());
        return true;
    }
    std::vector<DayFile>& Period() { return period_; }
    // Finds every name in the period's days: Entry(name, day) is its entry
    // there or -1. The bound of the samples a fetch of them hands over: all
    // of theirs in those days and one carried in for each.
    std::size_t Locate(const std::vector<std::string>& names) {
        names_ = names.size();
        entries_.resize(names_ * period_.size());
        std::size_t bound = names_;
        for (std::size_t d = 0; d < period_.size(); ++d)
            for (std::size_t n = 0; n < names_; ++n) {
                const int idx = period_[d].Find(names[n].c_str());
                entries_[d * names_ + n] = idx;
                if (idx >= 0) bound += period_[d].SampleCount(idx);
            }
        return bound;
    }
    int Entry(std::size_t name, std::size_t day) const { return entries_[day * names_ + name]; }
    // Appends the variable's last sample in the earlier days to `run` when there
    // is one; false (last error set) on a damaged file.
    bool LastBefore(const char* name, std::vector<archive::Sample>& run) {
        for (std::size_t k = before_.size(); k-- > 0;) {
            if (!opened_[k]) {
                opened_[k] = std::make_unique<DayFile>();
                if (!opened_[k]->Open(archive::DayFilePath(home_.c_str(), before_[k]).c_str()))
                    return false;
            }
            DayFile& f = *opened_[k];
            const int idx = f.Find(name);
            if (idx < 0) continue;
            if (!f.ReadRaw(idx, raw_)) return false;
            run.push_back(At(raw_, uint32_t(raw_.size() / kSampleSize - 1), f.GetDay().Begin));
            return true;
        }
        return true;
    }

  private:
    std::string home_;
    std::vector<DayFile> period_;
    std::vector<archive::Day> before_;
    std::vector<std::unique_ptr<DayFile>> opened_;
    std::string raw_;  // an earlier day's samples of one variable
    std::size_t names_ = 0;
    std::vector<int> entries_;  // of each name in each period day
};

// One variable of a fetch as one run: its carried-in sample, then its samples
// of the days, gathered in `run`.
bool FetchVariable(FetchDays& days, const std::string& name, std::size_t index, int64_t from,
                   int64_t end, HourArchive::FetchSink& sink, std::string& raw,
                   std::vector<archive::Sample>& run) {
    run.clear();
    bool first = true;  // no day of the period holding the variable seen yet
    for (std::size_t d = 0; d < days.Period().size(); ++d) {
        const int idx = days.Entry(index, d);
        if (idx < 0) continue;
        DayFile& f = days.Period()[d];
        if (!f.ReadRaw(idx, raw)) return false;
        const int64_t base = f.GetDay().Begin;
        const uint32_t lo = LowerBound(raw, base, from);
        const uint32_t hi = LowerBound(raw, base, end);
        if (first) {
            // The sample before `from` in this day, else in the earlier days.
            if (lo > 0)
                run.push_back(At(raw, lo - 1, base));
            else if (!days.LastBefore(name.c_str(), run))
                return false;
            first = false;
        }
        AppendRange(raw, lo, hi, base, run);
    }
    if (first && !days.LastBefore(name.c_str(), run)) return false;  // in none of the period's days
    return run.empty() || sink.Take(int(index), run);
}

}  // namespace

bool DayFileArchive::Fetch(const std::vector<std::string>& names, int64_t from, int64_t end,
                           FetchSink& sink) {
    archive::ArchiveAccess access;
    if (!access.Open(home_.c_str(), archive::Access::Read)) return false;
    FetchDays days;
    if (!days.Open(home_.c_str(), from, end)) return false;
    sink.Expect(days.Locate(names));
    std::string raw;
    std::vector<archive::Sample> run;
    for (std::size_t v = 0; v < names.size(); ++v)
        if (!FetchVariable(days, names[v], v, from, end, sink, raw, run)) return false;
    return true;
}

namespace {
using ByVariable = std::map<std::string, std::vector<archive::Sample>>;

// A day's new content: its archived samples with `incoming` merged in (for equal
// times the incoming one, and of those the later).
bool MergeDay(const std::string& home, const archive::Day& day, ByVariable& incoming,
              std::string& bytes) {
    ByVariable merged;
    const std::string path = archive::DayFilePath(home.c_str(), day);
    if (FileExists(path.c_str())) {
        DayFile f;
        std::vector<archive::VariableSamples> existing;
        if (!f.Open(path.c_str()) || !f.ReadAll(existing)) return false;
        for (auto& v : existing)
            merged[v.Name] = std::move(v.Samples);
    }
    for (auto& [name, list] : incoming) {
        std::vector<archive::Sample>& into = merged[name];
        into.insert(into.end(), list.begin(), list.end());
        list = {};
    }
    std::vector<archive::VariableSamples> vars;
    for (auto& [name, v] : merged)
        vars.push_back({name, archive::TimeOrderedLatest(std::move(v))});
    bytes = archive::EncodeDayFile(day, std::move(vars));
    return true;
}

// The incoming samples of a store by day and variable: no more than the
// samples themselves and each variable's name once a day.
struct IncomingDays {
    std::map<int64_t, std::pair<archive::Day, ByVariable>> days;  // by the day's begin

    void Add(std::vector<NamedSample>& batch) {
        std::pair<archive::Day, ByVariable>* last = nullptr;
        for (NamedSample& s : batch) {
            if (!last || s.S.Time < last->first.Begin || s.S.Time >= last->first.End) {
                const archive::Day d = archive::DayOf(s.S.Time);
                last = &days[d.Begin];
                last->first = d;
            }
            last->second[s.Name].push_back(s.S);
        }
    }
};
}  // namespace

bool DayFileArchive::Store(const StoreBatch& next, int* units) {
    IncomingDays incoming;
    std::vector<NamedSample> batch;
    for (;;) {
        if (!next(batch)) return false;
        if (batch.empty()) break;
        incoming.Add(batch);
    }
    batch = {};
    archive::ArchiveAccess access;
    if (!access.Open(home_.c_str(), archive::Access::Write)) return false;
    std::vector<archive::Day> days;
    for (const auto& [begin, day] : incoming.days)
        days.push_back(day.first);
    const bool ok =
        archive::ReplaceDayFiles(access, days, [&](const archive::Day& d, std::string& bytes) {
            return MergeDay(home_, d, incoming.days[d.Begin].second, bytes);
        });
    if (ok && units) *units = int(days.size());
    return ok;
}

namespace {
// The names of the files' variables (all, or only `variable`) once each, in the
// byte order of their UTF-8 forms.
std::vector<std::string> NamesInUtf8Order(const std::vector<DayFile>& files, const char* variable) {
    std::map<std::string, std::string> byUtf8;
    for (const DayFile& f : files)
        for (int i = 0; i < f.Count(); ++i)
            if (!variable || std::strcmp(variable, f.Name(i)) == 0)
                byUtf8.try_emplace(Cp1251ToUtf8(f.Name(i)), f.Name(i));
    std::vector<std::string> names;
    names.reserve(byUtf8.size());
    for (auto& [utf8, name] : byUtf8)
        names.push_back(std::move(name));
    return names;
}
}  // namespace

bool DayFileArchive::Collect(int64_t from, int64_t to, const char* variable,
                             const CollectRun& run) {
    archive::ArchiveAccess access;
    std::vector<archive::Day> days;
    if (!access.Open(home_.c_str(), archive::Access::Read) ||
        !archive::ListDays(home_.c_str(), days))
        return false;
    std::vector<DayFile> files;
    for (const auto& d : days) {
        if (d.End <= from || d.Begin > to) continue;
        files.emplace_back();
        if (!files.back().Open(archive::DayFilePath(home_.c_str(), d).c_str())) return false;
    }
    std::string raw;
    std::vector<archive::Sample> inside;
    const int64_t end = to < INT64_MAX ? to + 1 : to;
    for (const std::string& name : NamesInUtf8Order(files, variable)) {
        for (DayFile& f : files) {
            const int i = f.Find(name.c_str());
            if (i < 0) continue;
            if (!f.ReadRaw(i, raw)) return false;
            const int64_t base = f.GetDay().Begin;
            const uint32_t lo = LowerBound(raw, base, from);
            inside.clear();
            AppendRange(raw, lo, std::max(lo, LowerBound(raw, base, end)), base, inside);
            if (!inside.empty() && !run(name, inside)) return false;
        }
    }
    return true;
}

bool DayFileArchive::ReplaceRange(int64_t begin, int64_t end, const DaySamples& make,
                                  bool /*others*/) {
    archive::ArchiveAccess access;
    if (!access.Open(home_.c_str(), archive::Access::Write)) return false;
    std::vector<archive::Day> days;
    for (archive::Day day = archive::DayOf(begin); day.Begin < end; day = archive::DayOf(day.End))
        days.push_back(day);
    std::vector<archive::VariableSamples> vars;
    return archive::ReplaceDayFiles(access, days, [&](const archive::Day& d, std::string& bytes) {
        vars.clear();
        if (!make(d, vars)) return false;
        bytes = archive::EncodeDayFile(d, std::move(vars));
        return true;
    });
}

}  // namespace host

std::unique_ptr<host::HourArchive> host::archive::OpenDayFiles(const char* home) {
    return std::make_unique<DayFileArchive>(home ? home : "");
}
