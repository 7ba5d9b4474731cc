#include "dayfilearchive.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <memory>

#include "common/cp1251.h"
#include "common/lasterror.h"
#include "common/osfile.h"
#include "data/archiveaccess.h"
#include "data/archivefolder.h"

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
    // The variable's last sample in the earlier days; false (last error set) on
    // a damaged file, `found` false when there is none.
    bool LastBefore(const char* name, archive::Sample& out, bool& found, std::string& raw) {
        found = false;
        for (std::size_t k = before_.size(); k-- > 0;) {
            if (!opened_[k]) {
                opened_[k] = std::make_unique<DayFile>();
                if (!opened_[k]->Open(archive::DayFilePath(home_.c_str(), before_[k]).c_str()))
                    return false;
            }
            DayFile& f = *opened_[k];
            const int idx = f.Find(name);
            if (idx < 0) continue;
            if (!f.ReadRaw(idx, raw)) return false;
            out = At(raw, uint32_t(raw.size() / kSampleSize - 1), f.GetDay().Begin);
            found = true;
            return true;
        }
        return true;
    }

  private:
    std::string home_;
    std::vector<DayFile> period_;
    std::vector<archive::Day> before_;
    std::vector<std::unique_ptr<DayFile>> opened_;
};

// One variable of a fetch: its carried-in sample, then its samples of the days.
bool FetchVariable(FetchDays& days, const std::string& name, int index, int64_t from, int64_t end,
                   const HourArchive::SampleHandler& onSample, std::string& raw) {
    bool carried = false;
    bool first = true;
    for (DayFile& f : days.Period()) {
        const int idx = f.Find(name.c_str());
        if (idx < 0) continue;
        if (!f.ReadRaw(idx, raw)) return false;
        const int64_t base = f.GetDay().Begin;
        const uint32_t lo = LowerBound(raw, base, from);
        const uint32_t hi = LowerBound(raw, base, end);
        if (first && lo > 0) {
            carried = true;
            if (!onSample(index, At(raw, lo - 1, base))) return false;
        }
        if (first && !carried) {
            // Nothing before `from` in the period's days: the earlier days'.
            std::string earlier;
            archive::Sample s{};
            bool found = false;
            if (!days.LastBefore(name.c_str(), s, found, earlier)) return false;
            if (found && !onSample(index, s)) return false;
            carried = true;
        }
        first = false;
        for (uint32_t i = lo; i < hi; ++i)
            if (!onSample(index, At(raw, i, base))) return false;
    }
    if (first) {  // in none of the period's days
        archive::Sample s{};
        bool found = false;
        if (!days.LastBefore(name.c_str(), s, found, raw)) return false;
        if (found && !onSample(index, s)) return false;
    }
    return true;
}

}  // namespace

bool DayFileArchive::Fetch(const std::vector<std::string>& names, int64_t from, int64_t end,
                           const SampleHandler& onSample) {
    archive::ArchiveAccess access;
    if (!access.Open(home_.c_str(), archive::Access::Read)) return false;
    FetchDays days;
    if (!days.Open(home_.c_str(), from, end)) return false;
    std::string raw;
    for (std::size_t v = 0; v < names.size(); ++v)
        if (!FetchVariable(days, names[v], int(v), from, end, onSample, raw)) return false;
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
                                  const std::vector<archive::VariableSamples>& samples) {
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
