// Operations of the relay and apparatus lines: every time a line came into the
// state its contour names, whether or not a demand called for it, each with the
// one class that explains it. An incident asks whether the protection answered a
// demand; the operations ask whether every answer had a demand.
//
// A line is a variable with a state (a relay or apparatus section of a used
// contour); one that serves several contours, or is a relay in one and an
// apparatus in another, is one line, and each of its operations is found once.
// An operation is a sample in the line's state whose previous sample, in the
// hour data with its look-back, is in another state; a variable's first sample
// has none before it and is no operation. An operation belongs to the period in
// which its sample lies.
//
// Its class is the first that applies, looking at every contour that uses the
// line (times in whole seconds, both ends included):
//   demand        within an excursion of such a contour's sensor into its state
//                 that lasted its Interval (an incident), from its start to its
//                 end or to the line's window end (start + MaxTime, when MaxTime
//                 > 0), whichever is later. An excursion still open when the
//                 data ends counts as an incident when it has lasted its
//                 Interval by then.
//   short_demand  within a shorter excursion, up to the window end reckoned so.
//   by_relay      an apparatus operation whose contour's relay operated within
//                 the apparatus window before it (MaxTime > 0), or, with no
//                 window (MaxTime 0), is still in its state at that moment.
//   commanded     a sample of a command variable listed for the line, in the
//                 command's state, came at most its Seconds before.
//   maintenance   inside a maintenance window [From, To) for the line or "*".
//   unexplained   none of these.
// A demand is tied to the incident of the latest start that explains it (the
// earlier contour in the job on a tie); a short demand to its excursion. The
// contour of an operation is that of its tie, of the relay that explains it, or
// else the first contour in the job that uses the line; its role is the line's
// role in that contour.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <tuple>
#include <utility>
#include <vector>

#include "common/prtime.h"
#include "tw_oprules.h"

class HHourFile;
class TW_ContourArray;
class TW_File;

enum TW_OpClass : uint8_t {
    TW_OpDemand = 0,
    TW_OpShortDemand = 1,
    TW_OpByRelay = 2,
    TW_OpCommanded = 3,
    TW_OpMaintenance = 4,
    TW_OpUnexplained = 5,
};
inline constexpr int TW_OpClassCount = 6;

enum TW_OpRole : uint8_t { TW_RoleRelay = 0, TW_RoleApparatus = 1 };

// "demand", "short_demand", "by_relay", "commanded", "maintenance",
// "unexplained"; "?" for a number that is no class.
const char* TW_OpClassName(uint8_t cls);
// "relay" or "apparatus"; "?" otherwise.
const char* TW_OpRoleName(uint8_t role);

// One operation, 140 bytes, the entry of the operations file (OPERATIONS_FORMAT.md).
// Texts are zero-terminated cp1251 fields; bytes no member fills are zero.
struct TW_Operation {
    char Variable[51] = {};  // the line's variable
    uint8_t Role = 0;        // TW_OpRole in the operation's contour
    uint16_t State = 0;      // the line's state
    uint8_t Class = 0;       // TW_OpClass
    uint8_t Reserved1 = 0;
    PRTime Time;            // the sample that is the operation
    PRTime IncidentStart;   // the tied excursion's start (demand, short_demand); zero otherwise
    int32_t Incident = -1;  // the tied incident's item in the report of its day; -1 when none
    char Sensor[51] = {};   // the sensor of the operation's contour
    uint8_t Reserved2 = 0;
    uint16_t SensorState = 0;  // the state of that contour's excursions
    uint8_t Reserved3[2] = {};
};
// The layout of OPERATIONS_FORMAT.md, member by member.
static_assert(sizeof(TW_Operation) == 140);
static_assert(offsetof(TW_Operation, Variable) == 0 && offsetof(TW_Operation, Role) == 51 &&
              offsetof(TW_Operation, State) == 52 && offsetof(TW_Operation, Class) == 54 &&
              offsetof(TW_Operation, Reserved1) == 55);
static_assert(offsetof(TW_Operation, Time) == 56 && offsetof(TW_Operation, IncidentStart) == 68 &&
              offsetof(TW_Operation, Incident) == 80);
static_assert(offsetof(TW_Operation, Sensor) == 84 && offsetof(TW_Operation, Reserved2) == 135 &&
              offsetof(TW_Operation, SensorState) == 136 &&
              offsetof(TW_Operation, Reserved3) == 138);

// The operations of the lines of the used contours whose samples lie in
// [start, end), classified, in time order (then by variable and state), into
// `out`, emptied first, whose storage is used again (a caller that runs day
// after day keeps it and reuses its pages). The hour file holds the look-back
// before `start` with each variable's sample carried in from before it; a line
// or command variable that is not in it has no samples. No report is needed:
// a demand's incident item is left -1 for TW_TieOperations, so that the
// operations can be found while the report is computed.
void TW_FindOperations(const HHourFile& hourFile, const TW_ContourArray& contours,
                       const TW_OperationRules& rules, const PRTime& start, const PRTime& end,
                       std::vector<TW_Operation>& out);

// The items of a report (the period's incidents) by start and contour, for
// TW_TieOperations. Holds views of the report's texts: the report outlives it.
class TW_IncidentIndex {
  public:
    explicit TW_IncidentIndex(const TW_File& report);

  private:
    friend void TW_TieOperations(const TW_IncidentIndex&, std::vector<TW_Operation>&);
    // (start, contour state, contour sensor) and the item, the first of each first.
    using Item = std::pair<std::tuple<unsigned __int128, uint16_t, std::string_view>, int>;
    std::vector<Item> items_;
};

// Ties each demand of `ops` to its incident: the first item of the report with
// the operation's contour (sensor and state) and the incident's start; -1 when
// there is none (an incident of another day's report).
void TW_TieOperations(const TW_IncidentIndex& incidents, std::vector<TW_Operation>& ops);
void TW_TieOperations(const TW_File& report, std::vector<TW_Operation>& ops);

// Both of these at once.
std::vector<TW_Operation> TW_FindOperations(const HHourFile& hourFile,
                                            const TW_ContourArray& contours,
                                            const TW_OperationRules& rules, const PRTime& start,
                                            const PRTime& end, const TW_File& report);

// How many of `ops` are of class `cls`.
int TW_CountOperations(const std::vector<TW_Operation>& ops, uint8_t cls);

// One operation as a line of text (cp1251): "DD.MM.YYYY HH:MM:SS relay "K1"
// (contour "T1"): unexplained".
std::string TW_OperationText(const TW_Operation& op);
// The same text appended to `out`.
void TW_AppendOperationText(std::string& out, const TW_Operation& op);
// The longest such text: six time fields of up to five digits with their
// separators, the fields and the words around them.
inline constexpr std::size_t TW_OperationTextMax =
    6 * 6 + 9 + 2 + sizeof TW_Operation::Variable + 12 + sizeof TW_Operation::Sensor + 4 + 12;
