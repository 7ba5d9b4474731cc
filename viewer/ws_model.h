// The work of Tripview's wizard window without the window toolkit: each handler
// of the window calls the matching operation here with what its controls hold,
// and shows what comes back. Texts are cp1251. Dialogs (folder choice, yes/no)
// go through the host's interaction interface.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "config/cfgstorage.h"
#include "operations_search.h"
#include "operations_view.h"
#include "repinfo.h"
#include "report_search.h"
#include "tw_file.h"
#include "tw_stats.h"

// Where the program keeps its settings store and its log: the XDG folders
// ($XDG_CONFIG_HOME/Tripview/Tripview.hcfg, $XDG_STATE_HOME/Tripview/Tripview.log,
// falling back to ~/.config and ~/.local/state). UTF-8 file-system names.
std::string TripviewSettingsFile();
std::string TripviewLogFile();

// The wizard's pages, in the order it shows them: the window's page index.
enum TW_WizardPage : int { kSourcePage, kReportsPage, kResultPage };

// The items of the export menu of page 3, by their menu tags.
enum class TW_ExportItem : int { Text = 100, Xls = 101, Print = 102 };
inline constexpr TW_ExportItem kExportItems[] = {TW_ExportItem::Text, TW_ExportItem::Xls,
                                                 TW_ExportItem::Print};

// The outcome of the period check of page 1.
struct TW_PeriodCheck {
    bool ok = false;  // "Дальше" may be pressed
    std::string text;  // "Дней: %d, Часов: %d " or "Неверный интервал рассчета"
};

class TWSMainModel {
  public:
    // Start-up: starts the host runtime with the log file, loads the settings
    // store (a damaged store is logged and the defaults apply), logs
    // "Инициализация..." and "OK". Paths are file-system names.
    TWSMainModel(const std::string& settingsFile, const std::string& logFile);
    // Runs Close when the window did not.
    ~TWSMainModel();
    TWSMainModel(const TWSMainModel&) = delete;
    TWSMainModel& operator=(const TWSMainModel&) = delete;

    // Close of the window: the store is written to its file, the runtime ends,
    // "All done. Bye." is logged. A failed write of the store is logged.
    void Close();

    // Page 1 shown: the stored folder and period (platform date-times).
    std::string StoredPath() const;
    double StoredStart() const;
    double StoredEnd() const;
    // The period check: the dates of the date pickers with the times of day of
    // the time pickers; at least one whole calendar day passes (in the local
    // zone, so 23 or 25 hours where the clocks change). The text gives the
    // calendar days and the whole wall-clock hours after them.
    static TW_PeriodCheck CheckPeriod(double startDate, double startTime, double endDate,
                                      double endTime);
    static TW_PeriodCheck CheckPeriod(const PRTime& start, const PRTime& end);
    // "Дальше" on page 1: stores the folder and the period and keeps the period.
    void LeavePage1(const char* path, double startDate, double startTime, double endDate,
                    double endTime);

    // Page 2: the period line, the search (logged), a cell of the list (false
    // when the row has no report), the exclusion of a row after a yes/no
    // question (true when it was removed).
    std::string FullPeriodText() const;
    int SearchReports();
    bool ReportCell(int row, int column, std::string& text) const;
    bool ExcludeReport(void* owner, int row);
    // The notes under the list of page 2, one line each, empty when there are
    // none: every report file of the folder that could not be read, with the
    // reason, and every pair of listed reports of one job and period.
    std::string ReportNotes() const;

    // Page 3: the computation (logged; the statistics of the same reports are
    // made with it into Stats, with the operations of the period as the batch
    // gathers them), a cell of the result list, whether an item of the export
    // menu is enabled, and the outputs.
    int ComputeResult();
    // The list of operations without demand: the rows the filter lets through
    // (indices into Stats.Operations, kept in OperationRows), and the text of
    // a cell of a row (false when there is no such row or column). When the
    // operations are not known the list is empty and OperationsUnknownText says
    // why; empty when they are known.
    int FilterOperations(const TW_OpsFilter& filter);
    bool OperationCell(int row, int column, std::string& text) const;
    std::string OperationsUnknownText() const;
    bool ResultCell(int row, int column, std::string& text) const;
    // The same for any second-level report.
    static bool ResultCellText(const TW_File& result, int row, int column, std::string& text);
    bool MenuItemEnabled(TW_ExportItem item, const char* templateText) const;
    // Asks for a folder (starting at the stored one), stores it and writes the
    // report into it; false when the user cancelled or the export failed.
    bool ExportText(void* owner);
    bool ExportXls(void* owner, const char* templateText);
    // The print preview of the result with the template of the last export.
    bool Print();

    // Column widths of the reports page (columns 0-2) and the result page
    // (columns 0-3), stored under the page's number counted from 1 ("2/Sec0"),
    // and the template of page 3.
    int ColumnWidth(TW_WizardPage page, int column, int currentWidth) const;
    void StoreColumnWidth(TW_WizardPage page, int column, int width);
    std::string StoredTemplate() const;
    // The statistics' settings of the store ("Stats/NearMissShare", a share
    // from 0 to 1, default 0.8; "Stats/Step": 0 none, 1 week, 2 month); a value
    // out of range is logged and the default taken.
    TW_StatsSettings StoredStatsSettings() const;
    void StoreTemplate(const char* templateText);

    InfoArray Reports;             // the reports found for the period
    TW_UnreadableList Unreadable;  // the report files of the last search not read
    PRTime PeriodStart;            // the period taken when page 1 was left
    PRTime PeriodEnd;
    TW_File ResultFile;   // the second-level report of page 3
    TW_Statistics Stats;  // the protection statistics of page 3 (with the operations)
    // The operations of page 3 apart from their list, which Stats keeps: whether
    // they are known and which reports lack their file; the operations files
    // that could not be read; the rows of the list as last filtered.
    TW_PeriodOperations Operations;
    TW_UnreadableList UnreadableOperations;
    std::vector<std::size_t> OperationRows;

  private:
    // The stored folder of the reports, as the search takes it.
    std::string ReportFolder() const;

    std::unique_ptr<HCfgStorage> cfg_;
    std::unique_ptr<HStorageLink> SettingsLink;  // the store's key path "IDE"
    bool closed_ = false;
};
