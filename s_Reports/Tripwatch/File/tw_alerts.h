// What the alerts of a report run tell: the findings of its period (the
// protection non-operations of the report and the operations without demand)
// as the webhook's JSON document and as the text of a mail. The document's
// schema is in docs/ALERTS.md. Texts are UTF-8.
#pragma once

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "common/prtime.h"
#include "tw_contourline.h"
#include "tw_operations.h"

class TW_File;

// The findings of one period; the pointers are into the report and the
// operations they were collected from, valid while those are.
struct TW_Findings {
    std::vector<const TW_ContourLine*> NonOperations;  // TW_IsNonOperation, in report order
    std::vector<const TW_Operation*> WithoutDemand;    // class unexplained, in time order
    bool Empty() const { return NonOperations.empty() && WithoutDemand.empty(); }
};

TW_Findings TW_CollectFindings(const TW_File& report, const std::vector<TW_Operation>& operations);

// {"job", "period": {"start", "end"}, "non_operations": [TW_ItemJson...],
//  "operations_without_demand": [TW_OperationJson...]}; `job` is UTF-8.
nlohmann::ordered_json TW_FindingsJson(const std::string& job, const PRTime& start,
                                       const PRTime& end, const TW_Findings& findings);

// The text that tells one finding set from another (the two lists of the
// document, without the job or the period).
std::string TW_FindingsIdentity(const nlohmann::ordered_json& document);

struct TW_AlertMail {
    std::string Subject;  // names the job, the period's first day and the counts
    std::string Body;     // every finding in words, one a line, "\n" line ends
};
TW_AlertMail TW_FindingsMail(const std::string& job, const PRTime& start, const PRTime& end,
                             const TW_Findings& findings);
