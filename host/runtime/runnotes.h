// What a report run tells its host besides its result: the facts that the host's
// summary of the run shows (verdicts resting on stale data, contours without
// data). One record per process, cleared by the host before each run.
#pragma once

#include <string>
#include <vector>

namespace host {

class RunNotes {
  public:
    // Forgets everything noted so far.
    void Clear();
    // A relay or apparatus verdict that rests on no sample of the look-back or
    // the period.
    void AddUnverifiedVerdict() { ++unverified_; }
    // A used contour (its sensor's name, cp1251) whose variables, some or all,
    // have no sample in the period.
    void AddContourWithoutData(std::string sensor) { withoutData_.push_back(std::move(sensor)); }

    int UnverifiedVerdicts() const { return unverified_; }
    const std::vector<std::string>& ContoursWithoutData() const { return withoutData_; }

  private:
    int unverified_ = 0;
    std::vector<std::string> withoutData_;
};

// The process's record, owned by the runtime.
RunNotes& CurrentRunNotes();

}  // namespace host
