#include "hourfilebuilder.h"

#include <cstring>

#include "common/cp1251.h"
#include "common/strutil.h"

using namespace host::literals;

namespace host {

HourFileBuilder::HourFileBuilder(HHourFile& file, const HDBDatabase& config, int64_t from,
                                 int64_t start, const std::vector<int>* chosen)
    : file_(file), config_(config), from_(from), start_(start), chosen_(chosen) {
    vars_ = config.GetTable(kDBTableVariables);
    count_ = chosen ? int(chosen->size()) : vars_->Count();
    file.Variables.Reserve(file.Variables.Count() + count_);
    file.Spans.reserve(std::size_t(count_));
}

bool HourFileBuilder::Add(int v, std::span<const archive::Sample> samples) {
    if (v < 0 || v >= count_)
        return Refuse(Format("%s %d", "Архив выдал значения чужой переменной:"_cp, v));
    while (next_ <= v)
        Begin(next_++);
    auto outOfOrder = [&] {
        return Refuse(Format("%s \"%s\"", "Архив выдал значения не по порядку:"_cp, Entry().Name));
    };
    if (v != next_ - 1) return outOfOrder();
    if (samples.size() > std::size_t(INT32_MAX - file_.Samples.Count()))
        return Refuse("Слишком много значений за период"_cp);
    converted_.resize(samples.size());
    HHourVarSpan& span = file_.Spans.back();
    const HDBStateSet* set = set_;
    int64_t last = last_;
    for (std::size_t i = 0; i < samples.size(); ++i) {
        const archive::Sample& s = samples[i];
        // Only a variable's first sample may lie before the look-back.
        if (last != INT64_MIN && (s.Time < last || s.Time < from_)) return outOfOrder();
        if (set && (s.State < set->Lowest || s.State > set->Highest))
            return Refuse(Format("%s \"%s\" %s %s: %u (%u..%u)", "У переменной"_cp, Entry().Name,
                                 "состояние вне ее набора на"_cp,
                                 PRTime().Set(time_t(s.Time)).GetStr(), unsigned(s.State),
                                 unsigned(set->Lowest), unsigned(set->Highest)));
        if (s.Time < from_) ++span.LookBackFirst;
        if (s.Time < start_) ++span.PeriodFirst;
        converted_[i] = HHourSample{s.Value, PRTime().Set(time_t(s.Time)), s.State, 0};
        last = s.Time;
    }
    file_.Samples.AddMany(converted_.data(), int(converted_.size()));
    Entry().last = file_.Samples.Count() - 1;
    last_ = last;
    return true;
}

void HourFileBuilder::Reserve(std::size_t samples) {
    // More than the file can hold fails in Add.
    if (samples <= std::size_t(INT32_MAX - file_.Samples.Count()))
        file_.Samples.Reserve(file_.Samples.Count() + int(samples));
}

void HourFileBuilder::Finish() {
    while (next_ < count_)
        Begin(next_++);
}

void HourFileBuilder::Begin(int k) {
    const int v = chosen_ ? (*chosen_)[std::size_t(k)] : k;
    const auto* rec = vars_->ItemAs<HDBVarRecord>(v);
    HHourVar entry{};
    std::memcpy(entry.Name, rec->Name, sizeof entry.Name);
    entry.Name[sizeof entry.Name - 1] = '\0';
    entry.Descriptor = {rec->Object, rec->Place};
    entry.first = file_.Samples.Count();
    entry.last = entry.first - 1;
    file_.Variables.AddINT(&entry);
    file_.Spans.push_back({entry.first, entry.first});
    set_ = config_.VariableStateSet(v);
    last_ = INT64_MIN;
}

bool HourFileBuilder::Refuse(std::string error) {
    error_ = std::move(error);
    return false;
}

}  // namespace host
