#include "dayfilearchive.h"

#include <algorithm>
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
// A day's new content: its archived samples with `incoming` merged in (for equal
// times the incoming one, and of those the later).
bool MergeDay(const std::string& home, const archive::Day& day,
              const std::vector<const NamedSample*>& incoming, std::string& bytes) {
    std::map<std::string, std::vector<archive::Sample>> merged;
    const std::string path = archive::DayFilePath(home.c_str(), day);
    if (FileExists(path.c_str())) {
        DayFile f;
        std::vector<archive::VariableSamples> existing;
        if (!f.Open(path.c_str()) || !f.ReadAll(existing)) return false;
        for (auto& v : existing)
            merged[v.Name] = std::move(v.Samples);
    }
    for (const NamedSample* s : incoming)
        merged[s->Name].push_back(s->S);
    std::vector<archive::VariableSamples> vars;
    for (auto& [name, v] : merged)
        vars.push_back({name, archive::TimeOrderedLatest(std::move(v))});
    bytes = archive::EncodeDayFile(day, std::move(vars));
    return true;
}
}  // namespace

bool DayFileArchive::Store(const std::vector<NamedSample>& samples, int* units) {
    archive::ArchiveAccess access;
    if (!access.Open(home_.c_str(), archive::Access::Write)) return false;
    std::map<int64_t, std::vector<const NamedSample*>> byDay;  // day begin -> samples
    std::map<int64_t, archive::Day> dayOf;
    for (const auto& s : samples) {
        const archive::Day d = archive::DayOf(s.S.Time);
        byDay[d.Begin].push_back(&s);
        dayOf[d.Begin] = d;
    }
    std::vector<std::pair<archive::Day, std::string>> out;
    for (auto& [begin, list] : byDay) {
        out.emplace_back(dayOf[begin], std::string());
        if (!MergeDay(home_, dayOf[begin], list, out.back().second)) return false;
    }
    if (!archive::ReplaceDayFiles(access, out)) return false;
    if (units) *units = int(out.size());
    return true;
}

bool DayFileArchive::Collect(int64_t from, int64_t to, const char* variable,
                             std::vector<NamedSample>& out) {
    archive::ArchiveAccess access;
    std::vector<archive::Day> days;
    if (!access.Open(home_.c_str(), archive::Access::Read) ||
        !archive::ListDays(home_.c_str(), days))
        return false;
    std::string raw;
    std::vector<archive::Sample> decoded;
    for (const auto& d : days) {
        if (d.End <= from || d.Begin > to) continue;
        DayFile f;
        if (!f.Open(archive::DayFilePath(home_.c_str(), d).c_str())) return false;
        for (int i = 0; i < f.Count(); ++i) {
            if (variable && std::strcmp(variable, f.Name(i)) != 0) continue;
            if (!f.ReadRaw(i, raw)) return false;
            f.Decode(raw, decoded);
            for (const auto& s : decoded)
                if (s.Time >= from && s.Time <= to) out.push_back({f.Name(i), s});
        }
    }
    return true;
}

bool DayFileArchive::ReplaceRange(int64_t begin, int64_t end,
                                  const std::vector<archive::VariableSamples>& samples,
                                  bool /*others*/) {
    std::vector<std::pair<archive::Day, std::string>> files;
    for (archive::Day day = archive::DayOf(begin); day.Begin < end; day = archive::DayOf(day.End)) {
        std::vector<archive::VariableSamples> vars;
        for (const auto& v : samples) {
            archive::VariableSamples in{v.Name, {}};
            for (const auto& s : v.Samples)
                if (s.Time >= day.Begin && s.Time < day.End) in.Samples.push_back(s);
            if (!in.Samples.empty()) vars.push_back(std::move(in));
        }
        files.emplace_back(day, archive::EncodeDayFile(day, std::move(vars)));
    }
    return archive::ReplaceDayFiles(home_.c_str(), files);
}

}  // namespace host

std::unique_ptr<host::HourArchive> host::archive::OpenDayFiles(const char* home) {
    return std::make_unique<DayFileArchive>(home ? home : "");
}
