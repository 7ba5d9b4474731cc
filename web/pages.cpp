#include "pages.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>

#include "common/cp1251.h"
#include "common/lasterror.h"
#include "common/osfile.h"
#include "common/strutil.h"
#include "common/timetext.h"
#include "csv_json.h"
#include "html.h"
#include "operations_view.h"
#include "runtime/day_outcomes.h"
#include "period.h"
#include "stats_csv.h"
#include "stats_sheet.h"
#include "svg_chart.h"
#include "tw_fieldtext.h"
#include "tw_file.h"
#include "tw_json.h"
#include "tw_opsfile.h"

namespace web {

Response NotFound(std::string logNote) {
    Response r;
    r.status = 404;
    r.body = Page("Не найдено", "<p>Такой страницы нет.</p>\n");
    r.logNote = std::move(logNote);
    return r;
}

Response ErrorPage(int status, const char* title, const std::string& why) {
    Response r;
    r.status = status;
    r.body = Page(title, "<p>" + Escape(why) + "</p>\n");
    r.logNote = why;
    return r;
}

Response BadRequest(const std::string& why) {
    return ErrorPage(400, "Неверный запрос", why);
}

Response Html(std::string page) {
    Response r;
    r.body = std::move(page);
    return r;
}

Response Json(std::string text) {
    Response r;
    r.contentType = "application/json";
    r.body = std::move(text);
    return r;
}

namespace {

// What one computed period holds, read from its files.
struct DayFiles {
    TW_File report;
    bool reportRead = false;
    std::vector<TW_Operation> ops;
    bool opsKnown = false;
    int nonOperations = 0, unexplained = 0;
};

// The day's report, and its operations when `listOperations` is set; their
// count of operations without demand comes with the listing.
void ReadDay(const Job& job, const ReportEntry& e, DayFiles& d, bool listOperations = false) {
    if (!e.twr.empty()) d.reportRead = d.report.Load((job.binDir + e.twr).c_str());
    for (int i = 0; d.reportRead && i < d.report.Count(); ++i)
        d.nonOperations += TW_IsNonOperation(*d.report.ItemINT(i));
    d.opsKnown = e.unexplained >= 0;
    d.unexplained = std::max(e.unexplained, 0);
    TW_OpsHeader header;
    if (listOperations && d.opsKnown)
        d.opsKnown = TW_ReadOpsFile((job.binDir + e.two).c_str(), header, d.ops);
}

std::string DayLink(const Job& job, long day) {
    return "/day/" + UrlPart(host::Cp1251ToUtf8(job.file)) + "/" + host::DayText(day);
}

std::string FileLink(const Job& job, const std::string& name) {
    return "/files/" + UrlPart(host::Cp1251ToUtf8(job.file)) + "/" +
           UrlPart(host::Cp1251ToUtf8(name));
}

std::string Seconds(uint32_t t) {
    return t == TW_NoTime ? std::string("—") : std::to_string(t) + " с";
}

std::string TimeCell(const PRTime& t) {
    return host::Format("%02d.%02d.%04d %02d:%02d:%02d", t.Day, t.Month, t.Year, t.Hour, t.Minute,
                        t.Second);
}

// The outcome of a line in words (the contour's own), coloured.
std::string Outcome(const TW_ContourSignal& line, uint8_t result) {
    if (!line.Used) return "<td class=\"none\">не используется</td>";
    const bool ok = result == TW_Operated;
    return std::string("<td class=\"") + (ok ? "ok" : "fail") + "\">" +
           Text(TW_FieldText(ok ? line.ONName : line.OFFName)) + "</td>";
}

// One incident; its response times when the report has them.
std::string IncidentRow(const TW_File& report, int i, bool times) {
    const TW_ContourLine& l = *report.ItemINT(i);
    const TW_IncidentTimes* t = report.TimesOf(i);
    std::string row = "<tr><td>" + Text(TW_FieldText(l.Contour.Sensor)) + "<br><small>" +
                      Text(TW_FieldText(l.Contour.StateName)) + "</small></td>";
    row += "<td class=\"time\">" + TimeCell(l.Start) + "</td><td class=\"time\">" +
           TimeCell(l.End) + "</td>";
    row += "<td class=\"num\">" + host::Format("%g", l.Value) + "</td>";
    row += Outcome(l.Contour.Rele, l.ReleResult);
    if (times)
        row += "<td class=\"num\">" + (t ? Seconds(t->Rele.Response) : std::string("—")) + "</td>";
    row += Outcome(l.Contour.Prot, l.ProtResult);
    if (times)
        row += "<td class=\"num\">" + (t ? Seconds(t->Prot.Response) : std::string("—")) + "</td>";
    return row + "</tr>\n";
}

std::string IncidentTable(const TW_File& report) {
    const bool times = report.Count() && report.TimesOf(0);
    std::string html =
        "<table class=\"incidents\">\n<tr><th>Контур</th><th>Начало</th>"
        "<th>Конец</th><th>Значение</th><th>Реле</th>";
    if (times) html += "<th>Время реле</th>";
    html += "<th>Агрегат</th>";
    if (times) html += "<th>Время агрегата</th>";
    html += "</tr>\n";
    for (int i = 0; i < report.Count(); ++i)
        html += IncidentRow(report, i, times);
    return html + "</table>\n";
}

// The operations of every class but demand, or why they are not known.
std::string OperationsTable(const std::vector<TW_Operation>& ops, bool known) {
    if (!known) return "<p class=\"warn\">Срабатывания неизвестны: нет файла срабатываний.</p>\n";
    const std::vector<std::size_t> rows = TW_FilterOperations(ops, {});
    if (rows.empty()) return "<p class=\"ok\">Срабатываний без вызова нет.</p>\n";
    std::string html = "<table class=\"operations\">\n<tr>";
    for (const std::string& title : TW_OpsColumns())
        html += "<th>" + Text(title) + "</th>";
    html += "</tr>\n";
    for (std::size_t k : rows) {
        const TW_Operation& op = ops[k];
        html += op.Class == TW_OpUnexplained ? "<tr class=\"warn\">" : "<tr>";
        std::string cell;
        for (int c = 0; TW_OpsCellText(op, c, cell); ++c)
            html += "<td>" + Text(cell) + "</td>";
        html += "</tr>\n";
    }
    return html + "</table>\n";
}

std::string Downloads(const Job& job, const ReportEntry& e) {
    std::string html = "<p>Файлы:";
    const std::string base =
        (e.twr.empty() ? e.two : e.twr).substr(0, (e.twr.empty() ? e.two : e.twr).rfind('.'));
    const std::pair<std::string, const std::string*> files[] = {{base + ".twr", &job.binDir},
                                                                {base + ".two", &job.binDir},
                                                                {base + ".txt", &job.txtDir},
                                                                {base + ".xls", &job.xlsDir}};
    for (const auto& [name, folder] : files)
        if (host::FileExists((*folder + name).c_str()))
            html += " <a href=\"" + Escape(FileLink(job, name)) + "\">" + Text(name) + "</a>";
    return html + "</p>\n";
}

std::string JobChoice(const std::vector<Job>& jobs, const Job& job) {
    if (jobs.size() < 2) return {};
    std::string html = "<p>Задание:";
    for (const Job& j : jobs)
        html += &j == &job ? " <b>" + Text(j.file) + "</b>"
                           : " <a href=\"/?job=" + UrlPart(host::Cp1251ToUtf8(j.file)) + "\">" +
                                 Text(j.file) + "</a>";
    return html + "</p>\n";
}

// A day whose last run failed: its reason in words, or in the calendar's
// small cell a link to the day with the reason shown on pointing at it.
std::string Failure(const std::map<long, std::string>& outcomes, long day,
                    const std::string& link = {}) {
    const auto it = outcomes.find(day);
    if (it == outcomes.end() || it->second.empty()) return {};
    if (link.empty()) return "<span class=\"fail\">сбой: " + Text(it->second) + "</span><br>";
    return "<a class=\"fail\" href=\"" + Escape(link) + "\" title=\"" + Text(it->second) +
           "\">сбой</a><br>";
}

std::string DayCell(const Job& job, long day, const std::vector<ReportEntry>& entries,
                    const std::map<long, std::string>& outcomes) {
    int y = 0, m = 0, d = 0;
    host::CivilFromDays(day, y, m, d);
    const std::string failure = Failure(outcomes, day, DayLink(job, day));
    std::string html =
        "<td><span class=\"day-number\">" + std::to_string(d) + "</span><br>" + failure;
    bool any = !failure.empty();
    for (const ReportEntry& e : entries) {
        if (e.day != day) continue;
        any = true;
        DayFiles f;
        ReadDay(job, e, f);
        html += "<a href=\"" + Escape(DayLink(job, day)) +
                "\">инцидентов: " + std::to_string(e.items) + "</a><br>";
        html += std::string("<span class=\"") + (f.nonOperations ? "fail" : "ok") +
                "\">несработок: " + std::to_string(f.nonOperations) + "</span><br>";
        html += f.opsKnown ? std::string("<span class=\"") + (f.unexplained ? "warn" : "ok") +
                                 "\">без вызова: " + std::to_string(f.unexplained) + "</span>"
                           : std::string("<span class=\"none\">срабатывания неизвестны</span>");
    }
    if (!any) html += "<span class=\"none\">нет отчета</span>";
    return html + "</td>";
}

}  // namespace

Response CalendarPage(const std::vector<Job>& jobs, const Job& job, int year, int month) {
    const long first = host::DaysFromCivil(year, month, 1);
    const int nextY = month == 12 ? year + 1 : year, nextM = month == 12 ? 1 : month + 1;
    const long next = host::DaysFromCivil(nextY, nextM, 1);
    const std::vector<ReportEntry> entries = ListReports(job, first, next - 1);
    const std::map<long, std::string> outcomes = host::ReadDayOutcomes(job.home, job.file);
    std::string body = JobChoice(jobs, job);
    const int prevY = month == 1 ? year - 1 : year, prevM = month == 1 ? 12 : month - 1;
    const std::string jobParam = "&job=" + UrlPart(host::Cp1251ToUtf8(job.file));
    body += host::Format(
        "<p><a href=\"/?month=%04d-%02d%s\">← предыдущий</a> "
        "<a href=\"/?month=%04d-%02d%s\">следующий →</a></p>\n",
        prevY, prevM, Escape(jobParam).c_str(), nextY, nextM, Escape(jobParam).c_str());
    body +=
        "<table class=\"calendar\">\n<tr><th>Пн</th><th>Вт</th><th>Ср</th><th>Чт</th>"
        "<th>Пт</th><th>Сб</th><th>Вс</th></tr>\n<tr>";
    // 1970-01-01 was a Thursday: Monday is day 4 of that week.
    const long monday = first - ((first + 3) % 7 + 7) % 7;
    for (long day = monday; day < next || (day - monday) % 7 != 0; ++day) {
        if (day != monday && (day - monday) % 7 == 0) body += "</tr>\n<tr>";
        body += day < first || day >= next ? "<td class=\"other\"></td>"
                                           : DayCell(job, day, entries, outcomes);
    }
    body += "</tr>\n</table>\n";
    return Html(Page(
        host::Format("%s: %02d.%04d", host::Cp1251ToUtf8(job.file).c_str(), month, year), body));
}

Response DayPage(const Job& job, long day) {
    const std::vector<ReportEntry> entries = ListReports(job, day, day);
    const std::string failure = Failure(host::ReadDayOutcomes(job.home, job.file), day);
    std::string body = failure.empty() ? std::string() : "<p>" + failure + "</p>\n";
    if (entries.empty() && failure.empty())
        body = "<p class=\"none\">Отчета за этот день нет.</p>\n";
    for (const ReportEntry& e : entries) {
        DayFiles f;
        ReadDay(job, e, f, true);
        body += "<h2>" + TimeCell(e.start) + " — " + TimeCell(e.end) + "</h2>\n";
        body += Downloads(job, e);
        if (!e.twr.empty() && !f.reportRead)
            body += "<p class=\"fail\">Отчет не читается: " + Text(GetIOErrorS_GUI(-2)) + "</p>\n";
        else if (e.twr.empty())
            body += "<p class=\"ok\">Инцидентов нет.</p>\n";
        else
            body += IncidentTable(f.report);
        body += "<h3>Срабатывания без вызова</h3>\n" + OperationsTable(f.ops, f.opsKnown);
    }
    return Html(Page(host::Cp1251ToUtf8(job.file) + ": " + host::DayText(day), body));
}

namespace {

// A folder removed with all it holds when the object goes.
struct TempFolder {
    std::string path;
    ~TempFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
};

Response ServerError(const std::string& why) {
    return ErrorPage(500, "Ошибка", why);
}

PRTime DayStart(long day) {
    int y = 0, m = 0, d = 0;
    host::CivilFromDays(day, y, m, d);
    return PRTime().Set(y, m, d);
}

void Gather(const Job& job, const Days& days, TW_Period& period) {
    TW_GatherPeriod(job.binDir.c_str(), DayStart(days.first), DayStart(days.last + 1), {}, period);
}

std::string CsvTable(const std::string& csv) {
    const auto rows = ParseCsv(csv);
    std::string html = "<div class=\"wide\"><table class=\"stats\">\n";
    for (std::size_t r = 0; r < rows.size(); ++r) {
        html += "<tr>";
        for (const std::string& cell : rows[r])
            html += (r ? "<td>" : "<th>") + Escape(cell) + (r ? "</td>" : "</th>");
        html += "</tr>\n";
    }
    return html + "</table></div>\n";
}

std::string PeriodQuery(const Job& job, const Days& days) {
    return "from=" + host::DayText(days.first) + "&to=" + host::DayText(days.last) +
           "&job=" + UrlPart(host::Cp1251ToUtf8(job.file));
}

std::string PeriodForm(const Job& job, const Days& days) {
    return "<form method=\"get\" action=\"/period\">С <input type=\"date\" name=\"from\" "
           "value=\"" +
           host::DayText(days.first) +
           "\"> по <input type=\"date\" name=\"to\" "
           "value=\"" +
           host::DayText(days.last) +
           "\"><input type=\"hidden\" name=\"job\" "
           "value=\"" +
           Text(job.file) + "\"> <button type=\"submit\">Показать</button></form>\n";
}

}  // namespace

Response PeriodPage(const std::vector<Job>& jobs, const Job& job, const Days& days) {
    TW_Period period;
    Gather(job, days, period);
    std::string body = JobChoice(jobs, job) + PeriodForm(job, days);
    body += "<h2>Несработки защиты</h2>\n";
    body += period.Count ? IncidentTable(period.NonOperations)
                         : "<p class=\"ok\">Несработок нет.</p>\n";
    body += "<h2>Статистика</h2>\n<p><a href=\"/period/stats.csv?" +
            Escape(PeriodQuery(job, days)) + "\">stats.csv</a> <a href=\"/period/report.xls?" +
            Escape(PeriodQuery(job, days)) + "\">report.xls</a></p>\n";
    for (const char* chart : {"outcomes", "times"})
        body += std::string("<p><img class=\"chart\" alt=\"") + chart + "\" src=\"/period/" +
                chart + ".svg?" + Escape(PeriodQuery(job, days)) + "\"></p>\n";
    body += CsvTable(TW_StatsCsv(period.Statistics));
    body += "<h2>Срабатывания без вызова</h2>\n" +
            OperationsTable(period.Operations.Operations, period.Operations.Known);
    return Html(Page(host::Cp1251ToUtf8(job.file) + ": " + host::DayText(days.first) + " — " +
                         host::DayText(days.last),
                     body));
}

Response ReportsJson(const std::vector<Job>& jobs, const Days& days) {
    nlohmann::ordered_json list = nlohmann::ordered_json::array();
    for (const Job& job : jobs)
        for (const ReportEntry& e : ListReports(job, days.first, days.last)) {
            DayFiles f;
            ReadDay(job, e, f);
            nlohmann::ordered_json j;
            j["job"] = host::Cp1251ToUtf8(job.file);
            j["file"] = e.twr.empty() ? nlohmann::ordered_json(nullptr)
                                      : nlohmann::ordered_json(host::Cp1251ToUtf8(e.twr));
            j["operations_file"] = e.two.empty()
                                       ? nlohmann::ordered_json(nullptr)
                                       : nlohmann::ordered_json(host::Cp1251ToUtf8(e.two));
            j["start"] = host::TimeText(e.start);
            j["end"] = host::TimeText(e.end);
            j["count"] = e.items;
            j["non_operations"] = f.nonOperations;
            j["operations_without_demand"] = f.opsKnown ? nlohmann::ordered_json(f.unexplained)
                                                        : nlohmann::ordered_json(nullptr);
            list.push_back(std::move(j));
        }
    return Json(TW_JsonText(list) + "\n");
}

Response ReportJson(const std::vector<Job>& jobs, const std::string& name) {
    for (const Job& job : jobs) {
        std::string folder;
        if (!DownloadFolder(job, name, folder) || folder != job.binDir) continue;
        const std::string path = folder + name;
        if (!host::FileExists(path.c_str())) continue;
        Response r = Json({});
        const bool ok = TW_DumpReportJson(
            path.c_str(), host::Cp1251ToUtf8(name),
            [&](std::string_view piece) {
                r.body += piece;
                return true;
            },
            [](const std::string&) {});
        if (ok) return r;
        Response failed = Json(TW_JsonText({{"error", host::Cp1251ToUtf8(GetIOErrorS_GUI(-2))}}));
        failed.status = 500;
        return failed;
    }
    return NotFound("no such report");
}

Response StatsJson(const Job& job, const Days& days) {
    TW_Period period;
    Gather(job, days, period);
    return Json(TW_JsonText(CsvRowsAsJson(TW_StatsCsv(period.Statistics), {"sensor"})) + "\n");
}

Response OperationsJson(const Job& job, const Days& days) {
    TW_Period period;
    Gather(job, days, period);
    if (!period.Operations.Known) {
        Response r = Json(TW_JsonText({{"error", "the operations of the period are not known"}}));
        r.status = 404;
        return r;
    }
    return Json(TW_JsonText(CsvRowsAsJson(
                    TW_OperationsCsv(period.Statistics),
                    {"variable", "role", "contour", "time", "class", "incident_start"})) +
                "\n");
}

Response StatsCsv(const Job& job, const Days& days) {
    TW_Period period;
    Gather(job, days, period);
    Response r;
    r.contentType = "text/csv; charset=utf-8";
    r.body = TW_StatsCsv(period.Statistics);
    r.downloadName = "stats.csv";
    return r;
}

Response ChartSvg(const Job& job, const Days& days, const std::string& which) {
    if (which != "outcomes" && which != "times") return NotFound("no such chart");
    TW_Period period;
    Gather(job, days, period);
    Response r;
    r.contentType = "image/svg+xml";
    r.body = which == "outcomes" ? OutcomesChart(period.Statistics) : TimesChart(period.Statistics);
    return r;
}

Response PeriodSpreadsheet(const Job& job, const Days& days) {
    TW_Period period;
    Gather(job, days, period);
    TW_File& result = period.NonOperations;
    result.ExtraSheets = TW_ReportExtraSheets(
        period.Statistics, TW_OpsUnknownText(period.Operations, period.UnreadableOps.size()));
    std::string folder = (std::filesystem::temp_directory_path() / "tripweb-XXXXXX").string();
    if (!::mkdtemp(folder.data())) return ServerError("no temporary folder");
    const TempFolder remove{folder};
    StatString<261> written;
    if (!result.ExportToXLS((folder + "/").c_str(), &written))
        return ServerError(host::Cp1251ToUtf8(GetIOErrorS_GUI(-2)));
    Response r;
    if (!host::ReadWholeFile(written.c_str(), r.body))
        return ServerError(host::Cp1251ToUtf8(GetIOErrorS_GUI(-2)));
    r.contentType = "application/vnd.ms-excel";
    r.downloadName =
        "report " + host::DayText(days.first) + " " + host::DayText(days.last) + ".xls";
    return r;
}

Response Download(const Job& job, const std::string& name) {
    std::string folder;
    if (!DownloadFolder(job, name, folder)) return NotFound("not a file of the job's reports");
    // The folder as it is, the file without following a link out of it.
    const host::UniqueFd dir(
        ::open(host::OsPath(folder.c_str()).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!dir) return NotFound("the job's folder is not there");
    std::string osName = host::OsPath(name.c_str());
    host::UniqueFd fd(::openat(dir.get(), osName.c_str(),
                               O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    struct stat st {};
    if (!fd || ::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode))
        return NotFound("no such regular file in the job's folder");
    Response r;
    r.contentType = "application/octet-stream";
    r.file = std::move(fd);
    r.fileSize = st.st_size;
    r.downloadName = host::Cp1251ToUtf8(name);
    return r;
}

}  // namespace web
