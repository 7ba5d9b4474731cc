// HHourFile: one report period's hour data as GrabReportValues fills it: the
// sample list, one entry per variable of the configuration (or per wanted
// variable, when the caller names them) with its inclusive sample range, and the two name lists
// (object names and place names). All lists are host arrays owned by the file: an element by index,
// null out of range. HHourVarBounds: the index of an hour file's variables by name.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "common/basearray.h"
#include "common/prtime.h"

// One archived value: its time, value and state code. 24 bytes, so that millions
// of samples stay a compact contiguous array.
struct HHourSample {
    double Value;
    PRTime Time;
    uint16_t State;
    uint16_t Reserved;
};
static_assert(sizeof(HHourSample) == 24);
static_assert(offsetof(HHourSample, Value) == 0);
static_assert(offsetof(HHourSample, Time) == 8);
static_assert(offsetof(HHourSample, State) == 20);
static_assert(offsetof(HHourSample, Reserved) == 22);

// Where a variable's names are: an index into the object-name list and one into
// the second (place) name list; 0xFFFF when the configuration gives none.
struct HHourVarDescriptor {
    uint16_t ObjectIndex;
    uint16_t PlaceIndex;
};
static_assert(sizeof(HHourVarDescriptor) == 4);
static_assert(offsetof(HHourVarDescriptor, PlaceIndex) == 2);

inline constexpr int kHourNameSize = 64;

// A variable entry: its name, descriptor and the inclusive range first..last of
// its samples in the sample list (first > last when it has none).
struct HHourVar {
    char Name[kHourNameSize];  // zero-terminated, cp1251
    HHourVarDescriptor Descriptor;
    int32_t first;
    int32_t last;
};
static_assert(sizeof(HHourVar) == 76);
static_assert(offsetof(HHourVar, Descriptor) == 64);
static_assert(offsetof(HHourVar, first) == 68);
static_assert(offsetof(HHourVar, last) == 72);

// A name-list entry: a 2-byte prefix (the text's length), then the zero-terminated
// text (cp1251, at most 61 characters).
struct HHourName {
    uint16_t Prefix;
    char Text[kHourNameSize - 2];
};
static_assert(sizeof(HHourName) == 64);
static_assert(offsetof(HHourName, Text) == 2);

// How a variable's samples divide: the index of its first sample at or after the
// look-back's start (after the sample carried in from before it, when there is
// one) and of its first sample at or after the period's start (last + 1 when
// there is none).
struct HHourVarSpan {
    int32_t LookBackFirst;
    int32_t PeriodFirst;
};

class HHourFile {
  public:
    HHourFile();
    HHourFile(const HHourFile&) = delete;
    HHourFile& operator=(const HHourFile&) = delete;

    MyRefArray<HHourSample> Samples;
    MyRefArray<HHourVar> Variables;
    MyRefArray<HHourName> ObjectNames;
    MyRefArray<HHourName> PlaceNames;
    // The period the file holds (zero when empty): samples at or after
    // PeriodStart and before PeriodEnd.
    PRTime PeriodStart;
    PRTime PeriodEnd;
    // The file also holds the samples of a look-back before the period, from
    // LookBackStart on, and before those each variable's last earlier sample
    // (carried in). Zero when the file has no look-back: every sample then
    // counts as the period's.
    PRTime LookBackStart;
    // One span per variable, in variable order, when the file was filled with
    // a look-back; empty otherwise.
    std::vector<HHourVarSpan> Spans;
    // Set by the caller before the data request: when not empty, only these
    // variables get entries and samples (in the configuration's order).
    // Clear() keeps it.
    std::vector<std::string> Wanted;

    // The sample at an index, or null; the element access the incident scan uses.
    const HHourSample* Sample(int index) const { return Samples.ItemINT(index); }
    const HHourVar* Variable(int index) const { return Variables.ItemINT(index); }
    // The text of a name-list entry, or null out of range.
    const char* ObjectName(int index) const;
    const char* PlaceName(int index) const;

    // The index of the variable's first sample at or after LookBackStart, and of
    // its first at or after PeriodStart; both are `first` without spans. `var`
    // must be an entry of this file.
    int LookBackFirst(const HHourVar& var) const;
    int PeriodFirst(const HHourVar& var) const;
    bool HasLookBack() const { return !Spans.empty(); }
    // True when the variable has a sample in the period.
    bool HasPeriodData(const HHourVar& var) const;

    // Appends a name-list entry (cut to 61 characters).
    static void AddName(MyRefArray<HHourName>& list, const char* text);
    // Empties every list and the period.
    void Clear();
};

class HHourVarBounds {
  public:
    // Indexes the variables of the file as they are now; the file must outlive
    // the index and not change while it is used.
    explicit HHourVarBounds(const HHourFile& file);
    // The number of variables that have a sample in the period.
    int Count() const { return withData_; }
    // The entry of the variable of that name (exact bytes), or null. When a name
    // occurs twice, the first entry.
    const HHourVar* LocateVar(const char* name) const;

  private:
    const HHourFile& file_;
    std::unordered_map<std::string_view, int> byName_;
    int withData_ = 0;
};
