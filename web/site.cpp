#include "site.h"

#include <algorithm>
#include <ctime>

#include "common/cp1251.h"
#include "common/prtime.h"
#include "common/timetext.h"
#include "html.h"
#include "pages.h"
#include "request_path.h"
#include "runtime/operation.h"

namespace web {
namespace {

constexpr long kDefaultPeriodDays = 30;

// A decoded query parameter; empty when it is missing, nothing when it is bad.
std::optional<std::string> Param(const QueryLookup& query, const char* name) {
    const std::optional<std::string> raw = query(name);
    if (!raw) return std::string();
    return DecodeQueryValue(*raw);
}

// Today's calendar day on this machine's clock.
long Today() {
    PRTime now;
    now.Set(std::time(nullptr));
    return host::DaysFromCivil(now.Year, now.Month, now.Day);
}

// "from" and "to" as days ("YYYY-MM-DD"); without them the last 30 days.
std::optional<Days> PeriodOf(const QueryLookup& query, std::string& why) {
    const auto from = Param(query, "from"), to = Param(query, "to");
    Days days{Today() - kDefaultPeriodDays, Today() - 1};
    if (!from || !to || (from->empty() != to->empty())) {
        why = "from and to are given together, as YYYY-MM-DD";
        return std::nullopt;
    }
    if (!from->empty() && (!host::ParseDayText(from->c_str(), days.first) ||
                           !host::ParseDayText(to->c_str(), days.last))) {
        why = "from and to take YYYY-MM-DD";
        return std::nullopt;
    }
    if (days.last < days.first) {
        why = "to is before from";
        return std::nullopt;
    }
    return days;
}

// The job a "job" parameter names (UTF-8), or the first one.
const Job* JobOf(const std::vector<Job>& jobs, const std::string& utf8) {
    if (jobs.empty()) return nullptr;
    if (utf8.empty()) return &jobs.front();
    for (const Job& j : jobs)
        if (host::Cp1251ToUtf8(j.file) == utf8) return &j;
    return nullptr;
}

const Job* JobNamed(const std::vector<Job>& jobs, const QueryLookup& query) {
    const auto name = Param(query, "job");
    return name ? JobOf(jobs, *name) : nullptr;
}

Response Calendar(const std::vector<Job>& jobs, const QueryLookup& query) {
    const Job* job = JobNamed(jobs, query);
    if (!job) return NotFound("no such job");
    const auto month = Param(query, "month");
    int y = 0, m = 0, d = 0;
    host::CivilFromDays(Today(), y, m, d);
    if (!month) return BadRequest("month takes YYYY-MM");
    if (!month->empty()) {
        long day = 0;
        if (!host::ParseDayText((*month + "-01").c_str(), day))
            return BadRequest("month takes YYYY-MM");
        host::CivilFromDays(day, y, m, d);
    }
    return CalendarPage(jobs, *job, y, m);
}

Response Api(const std::vector<std::string>& s, const std::vector<Job>& jobs,
             const QueryLookup& query) {
    if (s.size() == 3 && s[1] == "report") {
        std::string name;
        if (!host::Utf8ToCp1251(s[2], name)) return NotFound("a name without a cp1251 form");
        return ReportJson(jobs, name);
    }
    if (s.size() != 2) return NotFound("no such document");
    std::string why;
    const std::optional<Days> days = PeriodOf(query, why);
    if (!days) return BadRequest(why);
    if (s[1] == "reports") return ReportsJson(jobs, *days);
    const Job* job = JobNamed(jobs, query);
    if (!job) return NotFound("no such job");
    if (s[1] == "stats") return StatsJson(*job, *days);
    if (s[1] == "operations") return OperationsJson(*job, *days);
    return NotFound("no such document");
}

Response Route(const std::vector<std::string>& s, const std::vector<Job>& jobs,
               const QueryLookup& query) {
    if (s.empty()) return Calendar(jobs, query);
    if (s[0] == "api") return Api(s, jobs, query);
    if (s.size() == 2 && s[0] == "static" && s[1] == "style.css") {
        Response r;
        r.contentType = "text/css; charset=utf-8";
        r.body = std::string(StyleSheet());
        return r;
    }
    if (s.size() == 3 && (s[0] == "day" || s[0] == "files")) {
        const Job* job = JobOf(jobs, s[1]);
        if (!job) return NotFound("no such job");
        if (s[0] == "files") {
            std::string name;
            if (!host::Utf8ToCp1251(s[2], name)) return NotFound("a name without a cp1251 form");
            return Download(*job, name);
        }
        long day = 0;
        if (!host::ParseDayText(s[2].c_str(), day)) return NotFound("not a day");
        return DayPage(*job, day);
    }
    if (s[0] == "period" && s.size() <= 2) {
        const Job* job = JobNamed(jobs, query);
        if (!job) return NotFound("no such job");
        std::string why;
        const std::optional<Days> days = PeriodOf(query, why);
        if (!days) return BadRequest(why);
        if (s.size() == 1) return PeriodPage(jobs, *job, *days);
        if (s[1] == "stats.csv") return StatsCsv(*job, *days);
        if (s[1] == "report.xls") return PeriodSpreadsheet(*job, *days);
        if (s[1].size() > 4 && s[1].ends_with(".svg"))
            return ChartSvg(*job, *days, s[1].substr(0, s[1].size() - 4));
    }
    return NotFound();
}

}  // namespace

std::vector<Job> Site::Jobs() const {
    const uint64_t stamp = FoldersStamp({home_ + "Jobs/"}, {});
    std::lock_guard<std::mutex> lock(jobsMutex_);
    if (stamp != jobsStamp_ || jobs_.empty()) {
        std::vector<std::string> problems;
        jobs_ = LoadJobs(home_, problems);
        jobsStamp_ = stamp;
    }
    return jobs_;
}

Response Site::Get(const std::string& rawPath, const QueryLookup& query) const {
    // The reports' progress of this request is its own, shown nowhere.
    HOperation progress;
    const host::ThreadOperationScope own(&progress);
    const std::optional<std::vector<std::string>> segments = SplitRequestPath(rawPath);
    if (!segments) return NotFound("a path that is never served");
    const std::vector<Job> jobs = Jobs();
    // Everything an answer rests on: the request, today (the default
    // period), the jobs, their records and their folders.
    std::string key = rawPath + "\n" + std::to_string(Today());
    for (const char* name : {"job", "month", "from", "to"})
        key += "\n" + query(name).value_or("\x01");
    std::vector<std::string> folders;
    for (const Job& j : jobs)
        folders.insert(folders.end(), {j.binDir, j.txtDir, j.xlsDir});
    std::sort(folders.begin(), folders.end());
    folders.erase(std::unique(folders.begin(), folders.end()), folders.end());
    // The jobs and their records (State/JOB.days grows in place) entry by
    // entry; the report folders by their own times.
    const uint64_t stamp = FoldersStamp({home_ + "Jobs/", home_ + "State/"}, folders);
    if (std::optional<Response> kept = cache_.Find(key, stamp)) return std::move(*kept);
    Response r = Route(*segments, jobs, query);
    if (r.status == 200) cache_.Put(key, stamp, r);
    return r;
}

}  // namespace web
