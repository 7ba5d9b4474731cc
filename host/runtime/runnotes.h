// What a report run tells its host besides its result: the facts that the host's
// summary of the run shows (the counts of the report it computed, verdicts
// resting on stale data, contours without data, the outputs it wrote or failed
// to write, the alerts it could not deliver). One record per process, cleared
// by the host before each run.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace host {

// One output that a run attempted.
struct RunOutput {
    // Times, Operations: the response times and the operations beside Binary
    enum Kind { Binary, Times, Operations, Text, Spreadsheet };
    Kind kind = Binary;
    std::string path;   // the file written or attempted (cp1251); empty when none was due
    bool ok = true;     // written, or (an empty binary report) rightly not written
    std::string error;  // why it was not written (cp1251), when not ok
};

// An alert of the run that did not reach its channel.
struct UndeliveredAlert {
    std::string channel;  // "webhook" or "mail"
    std::string target;   // the address without a password, or the mail's recipients (UTF-8)
    std::string reason;   // why (UTF-8)
};

// The incidents of a computed report, and how many of them are protection
// non-operations.
struct ReportCounts {
    int incidents = 0;
    int nonOperations = 0;
};

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

    // The counts of the report that the run computed.
    void SetReportCounts(ReportCounts counts) { counts_ = counts; }
    // The operations that nothing explains, one text (cp1251) a line, each
    // ended by a newline, in time order; the run found operations (none,
    // perhaps) once this is called.
    void SetUnexplainedOperations(std::string lines) { unexplained_ = std::move(lines); }
    // An output of the run, in the order attempted.
    void AddOutput(RunOutput output) { outputs_.push_back(std::move(output)); }
    // An alert that was due but not delivered; the run sends it again next time.
    void AddUndeliveredAlert(UndeliveredAlert alert) { undelivered_.push_back(std::move(alert)); }

    int UnverifiedVerdicts() const { return unverified_; }
    const std::vector<std::string>& ContoursWithoutData() const { return withoutData_; }
    const std::vector<RunOutput>& Outputs() const { return outputs_; }
    const std::vector<UndeliveredAlert>& UndeliveredAlerts() const { return undelivered_; }
    // Null when the run found no operations.
    const std::string* UnexplainedOperations() const {
        return unexplained_ ? &*unexplained_ : nullptr;
    }
    // The report's counts; null when the run computed no report.
    const ReportCounts* Counts() const { return counts_ ? &*counts_ : nullptr; }

  private:
    int unverified_ = 0;
    std::vector<std::string> withoutData_;
    std::vector<RunOutput> outputs_;
    std::vector<UndeliveredAlert> undelivered_;
    std::optional<ReportCounts> counts_;
    std::optional<std::string> unexplained_;
};

// The process's record, owned by the runtime.
RunNotes& CurrentRunNotes();

}  // namespace host
