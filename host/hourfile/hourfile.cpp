#include "hourfile.h"

#include <algorithm>
#include <cstring>

#include "common/strutil.h"

HHourFile::HHourFile()
    : Samples(4096, 4096), Variables(256, 256), ObjectNames(64, 64), PlaceNames(64, 64) {}

const char* HHourFile::ObjectName(int index) const {
    const HHourName* n = ObjectNames.ItemINT(index);
    return n ? n->Text : nullptr;
}

const char* HHourFile::PlaceName(int index) const {
    const HHourName* n = PlaceNames.ItemINT(index);
    return n ? n->Text : nullptr;
}

namespace {
const HHourVarSpan* SpanOf(const HHourFile& file, const HHourVar& var) {
    if (file.Spans.empty() || file.Variables.Count() == 0) return nullptr;
    const std::ptrdiff_t index = &var - file.Variable(0);
    if (index < 0 || std::size_t(index) >= file.Spans.size()) return nullptr;
    return &file.Spans[std::size_t(index)];
}
}  // namespace

int HHourFile::LookBackFirst(const HHourVar& var) const {
    const HHourVarSpan* span = SpanOf(*this, var);
    return span ? span->LookBackFirst : var.first;
}

int HHourFile::PeriodFirst(const HHourVar& var) const {
    const HHourVarSpan* span = SpanOf(*this, var);
    return span ? span->PeriodFirst : var.first;
}

bool HHourFile::HasPeriodData(const HHourVar& var) const {
    const int last = std::min<int>(var.last, Samples.Count() - 1);
    return PeriodFirst(var) <= last;
}

void HHourFile::AddName(MyRefArray<HHourName>& list, const char* text) {
    HHourName n{};
    StrCpy(n.Text, text ? text : "", int(sizeof n.Text));
    n.Prefix = uint16_t(std::strlen(n.Text));
    list.AddINT(&n);
}

void HHourFile::Clear() {
    Samples.DeleteAll();
    Variables.DeleteAll();
    ObjectNames.DeleteAll();
    PlaceNames.DeleteAll();
    PeriodStart.Zero();
    PeriodEnd.Zero();
    LookBackStart.Zero();
    Spans.clear();
}

HHourVarBounds::HHourVarBounds(const HHourFile& file) : file_(file) {
    const int n = file.Variables.Count();
    byName_.reserve(std::size_t(n));
    for (int i = 0; i < n; ++i) {
        const HHourVar* v = file.Variables.ItemINT(i);
        byName_.emplace(std::string_view(v->Name, strnlen(v->Name, sizeof v->Name)), i);
        if (file.HasPeriodData(*v)) ++withData_;
    }
}

const HHourVar* HHourVarBounds::LocateVar(const char* name) const {
    if (!name) return nullptr;
    auto it = byName_.find(std::string_view(name));
    return it == byName_.end() ? nullptr : file_.Variables.ItemINT(it->second);
}
