// Protection performance over a period, per contour and for the whole plant: how
// often each contour was called on and how its relay and apparatus lines
// answered, with their response times; in total and per week or month. Built
// from first-level reports (their items and, when there is one, their times
// file); plain data for tables and charts, no toolkit.
//
// The rules, for one incident (one incident is one demand and is exactly one
// of correct, failed, not held):
//   line in use  the relay or apparatus section with its Used byte not 0; a
//                line not in use plays no part, whatever its outcome byte.
//   failed       some line in use lacks bit 0x10: it did not operate within
//                its response window.
//   not held     no line failed, and some line in use has 0x10 but is not
//                exactly 0x10: it operated, then left its state before the
//                excursion ended (0x01 for an error state, 0x02 for another
//                state; bits the computation never writes, such as 0x30,
//                count here too).
//   correct      every line in use is exactly 0x10; so is an incident without
//                any line in use.
//   misoperation failed or not held: exactly the protection non-operations of
//                the second-level report (TW_IsNonOperation). An incident with
//                a failed and a not-held line is one misoperation, a failed one.
//   slow         a failed incident in which every failed line did come into
//                its state, after its window but before the excursion ended
//                (its response time is known). Part of failed: an incident in
//                which one line is late and another never came is not slow.
//   near miss    a correct incident in which some line in use took more than
//                the near-miss share of its window (response > share x window;
//                the window is the line's MaxTime, or the excursion's length
//                when MaxTime is 0). Part of correct.
// Slow and near miss need the response times. An incident without times (its
// report had no times file, or one that was refused) is never counted as slow
// or near miss: it is counted in SlowUnknown (a failed one) or NearMissUnknown
// (a correct one with a line in use), so that "none" and "not known" stay
// apart. The counts of the other categories never need times.
// Response times (median, maximum) are those of every incident whose line is in
// use and came into its state before the excursion ended, slow ones included;
// 0 when the line was in its state already as the excursion began.
// Every item of every report given counts, as the second-level report takes
// them: incidents are not filtered by the period.
//
// The other half comes from the operations of the relay and apparatus lines
// (tw_operations.h), counted for the contour each names, and is known only
// when the caller says that every day has its operations file:
//   false relay / false apparatus  unexplained operations of that role.
//   dependability  correct / demands.
//   security       operations on demand / (on demand + unexplained).
//   misoperation rate over both halves
//                  (misoperations + unexplained) / (demands + unexplained).
// A line's response times are those of its operations on demand (from the
// incident's start); with at least 6 of them, the median of the later half is
// set against that of the earlier half (a middle one left out), and the line
// is slowing when the later is at least 25% and at least 1 s later.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "common/prtime.h"
#include "tw_contourline.h"
#include "tw_operations.h"
#include "tw_times.h"

class TW_File;

// The trend step. Weeks begin on Monday at 00:00, months on the 1st at 00:00,
// in local calendar time; an incident belongs to the step in which it started.
enum class TW_StatsStep : uint8_t { None, Week, Month };

struct TW_StatsSettings {
    double NearMissShare = 0.8;  // of a line's response window
    TW_StatsStep Step = TW_StatsStep::None;
};

enum class TW_Verdict : uint8_t { Correct, Failed, NotHeld };
enum class TW_Maybe : uint8_t { No, Yes, Unknown };

// What the rules above make of one incident. Slow is No unless the verdict is
// Failed; NearMiss is No unless it is Correct.
struct TW_Judgement {
    TW_Verdict Verdict = TW_Verdict::Correct;
    TW_Maybe Slow = TW_Maybe::No;
    TW_Maybe NearMiss = TW_Maybe::No;
    bool operator==(const TW_Judgement&) const = default;
};

// Judges one incident; `times` null when its report has none.
TW_Judgement TW_Judge(const TW_ContourLine& line, const TW_IncidentTimes* times,
                      double nearMissShare);

// Response times of one line over a set of incidents, in seconds.
struct TW_TimeSummary {
    int Count = 0;      // incidents with a time; 0 = no time (median, max meaningless)
    double Median = 0;  // the middle time, or the mean of the two middle ones
    uint32_t Max = 0;
    uint32_t P90 = 0;  // the 90th percentile (the nearest rank)
};

// The figures of one contour, or of the plant, over the period or one step.
struct TW_StatsFigures {
    int Demands = 0;  // incidents
    int Correct = 0;
    int Misoperations = 0;  // Failed + NotHeld
    int Failed = 0;
    int NotHeld = 0;
    int Slow = 0;             // of Failed, among those with times
    int SlowUnknown = 0;      // of Failed, without times
    int NearMiss = 0;         // of Correct, among those with times
    int NearMissUnknown = 0;  // of Correct with a line in use, without times
    TW_TimeSummary Relay;
    TW_TimeSummary Apparatus;
    // Misoperations / Demands; 0 when there was no demand.
    double MisoperationRate() const { return Demands ? double(Misoperations) / Demands : 0; }

    // The operations: counted only when OperationsKnown.
    bool OperationsKnown = false;
    int OnDemand = 0;  // operations of class demand
    int FalseRelay = 0;
    int FalseApparatus = 0;
    int Commanded = 0;
    int Maintenance = 0;
    int Unexplained() const { return FalseRelay + FalseApparatus; }
    // None where a share has nothing to divide by, or its operations are unknown.
    std::optional<double> Dependability() const;
    std::optional<double> Security() const;
    std::optional<double> MisoperationRateAll() const;
};

// One line (a variable in one role) over the period.
struct TW_LineStats {
    std::string Variable;  // cp1251
    uint8_t Role = TW_RoleRelay;
    int Operations = 0;
    int OnDemand = 0;
    int Unexplained = 0;
    TW_TimeSummary Times;   // of its operations on demand
    bool HasTrend = false;  // at least 6 timed operations on demand
    double EarlierMedian = 0, LaterMedian = 0;
    bool Slowing = false;
};

// One incident of a contour, for charts of times against windows.
struct TW_IncidentPoint {
    PRTime Start;  // the excursion
    PRTime End;
    uint32_t RelayResponse = TW_NoTime;  // none: no time, unknown or line not in use
    uint32_t ApparatusResponse = TW_NoTime;
    uint32_t RelayWindow = 0;  // the line's MaxTime then; 0 = the whole excursion
    uint32_t ApparatusWindow = 0;
    bool RelayUsed = false;
    bool ApparatusUsed = false;
    bool HasTimes = false;  // its report had times
    TW_Judgement Judgement;
};

// One contour: a sensor variable with the state code of its excursions.
struct TW_ContourStats {
    std::string Sensor;  // cp1251, as in the reports
    uint16_t State = 0;
    // The sensor, or "SENSOR [STATE]" when another contour of the statistics
    // watches the same sensor for another state.
    std::string Label;
    // As configured in the contour's last incident (cp1251; a name is empty
    // when that line was not in use).
    std::string StateName, Relay, Apparatus;
    TW_StatsFigures Total;
    std::vector<TW_StatsFigures> Steps;    // one per TW_Statistics::StepStarts
    std::vector<TW_IncidentPoint> Series;  // every incident, in the order given
};

struct TW_Statistics {
    PRTime Start, End;  // the period asked for
    TW_StatsSettings Settings;
    std::vector<TW_ContourStats> Contours;  // in the order of first appearance
    TW_StatsFigures Plant;                  // every contour together
    std::vector<TW_StatsFigures> PlantSteps;
    // The start of each step, in time order, from the step of the period's
    // start to that of its last moment, and wider when incidents lie outside;
    // step i lasts until StepStarts[i + 1], the last one to the end of its week
    // or month. Empty when the step is None.
    std::vector<PRTime> StepStarts;
    // Every operation added, in time order; the lines in order of appearance.
    // Both empty when the operations are not known.
    bool OperationsKnown = false;
    std::vector<TW_Operation> Operations;
    std::vector<TW_LineStats> Lines;
};

// Gathers incidents, then makes the statistics. Memory: about 60 bytes per
// incident; the reports themselves are not kept.
class TW_StatsBuilder {
  public:
    explicit TW_StatsBuilder(TW_StatsSettings settings = {});

    // Every item of the report, with its times when it has them (TimesOf).
    void Add(const TW_File& report);
    // One incident; `times` null when there are none.
    void Add(const TW_ContourLine& line, const TW_IncidentTimes* times);
    int Incidents() const { return incidents_; }
    // Operations of the period (any order).
    void Add(const std::vector<TW_Operation>& operations);
    // Whether the operations added are all of the period's (every day had its
    // operations file); false at first.
    void SetOperationsKnown(bool known) { operationsKnown_ = known; }

    // The statistics of everything added, for the period [start, end). The
    // builder is empty afterwards.
    TW_Statistics Finish(const PRTime& start, const PRTime& end);

  private:
    int ContourOf(std::string_view sensor, uint16_t state);

    TW_StatsSettings settings_;
    std::vector<TW_ContourStats> contours_;
    std::unordered_map<std::string, int> index_;
    int last_ = -1;  // the contour of the previous incident
    int incidents_ = 0;
    bool operationsKnown_ = false;
    std::vector<TW_Operation> operations_;
};
