// TWSMainForm: Tripview's one window, a three-step wizard (source and period,
// the reports found, the protection non-operations with the statistics and
// the operations without demand). Each handler is named by
// what it does; the work behind each is TWSMainModel's.
#pragma once

#include <QWidget>

#include <memory>
#include <string>

#include "ui/qt_interaction.h"
#include "ui/qt_operation.h"
#include "ws_model.h"

class QMenu;
class QAction;
class QChartView;
namespace Ui {
class TWSMainForm;
}

class TWSMainForm : public QWidget {
  public:
    // The settings store and the log file (file-system names; by default the
    // XDG folders). The host runtime starts here and ends when the window closes.
    explicit TWSMainForm(const std::string& settingsFile = TripviewSettingsFile(),
                         const std::string& logFile = TripviewLogFile(), QWidget* parent = nullptr);
    ~TWSMainForm() override;

    Ui::TWSMainForm* Form() const { return ui_.get(); }
    TWSMainModel& Model() { return *model_; }
    QAction* ExportAction(TW_ExportItem item) const;

    // The handlers of the form, page by page. Page 1: the stored folder and
    // period; the period check under the pickers; the folder chooser; "Дальше"
    // (stores the folder and the period).
    void showSourcePage();
    void showPeriodCheck();
    void chooseReportFolderClick();
    void acceptPeriodClick();
    // "Назад" on pages 2 and 3.
    void previousPageClick();
    // Page 2: the search, the column widths stored on leaving, "Исключить",
    // "Дальше".
    void showReportsPage();
    void leaveReportsPage();
    void excludeReportClick();
    void acceptReportsClick();
    // The unreadable and repeated reports under the list of page 2.
    void ShowReportNotes();
    // The text of a cell of the report list (page 2) and of the result list
    // (page 3); false when the row has nothing to show.
    bool reportCellText(int row, int column, std::string& text);
    bool resultCellText(int row, int column, std::string& text);
    // Page 3: the computation; the template and column widths stored on
    // leaving; the export menu's items enabled before it opens; the template
    // chooser and the outputs; "Завершить".
    void showResultPage();
    void leaveResultPage();
    void enableExportItems();
    void chooseTemplateClick();
    void exportTextClick();
    void exportXlsClick();
    void printReportClick();
    void finishClick();
    // The statistics of page 3: the table, the charts of the row chosen (the
    // plant's for its last row), and their print and PDF.
    void ShowStatistics();
    // The operations without demand of page 3, or why they are not known; the
    // list again when a filter changes.
    void ShowOperations();
    void filterOperationsChange();
    void showContourCharts();
    void exportStatisticsPdfClick();
    void printStatisticsClick();

  protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

  private:
    void PageChanged(int index);
    void FormClose();

    std::unique_ptr<Ui::TWSMainForm> ui_;
    host::ui::QtInteraction interaction_;
    host::ui::QtOperation operation_;
    host::Interaction* previousInteraction_ = nullptr;
    HOperation* previousOperation_ = nullptr;
    std::unique_ptr<TWSMainModel> model_;
    QMenu* popupExport_ = nullptr;
    QAction* mnuExportTXT_ = nullptr;
    QAction* mnuExportXLS_ = nullptr;
    QAction* mnuPrint_ = nullptr;
    QAction* mnuStatsPdf_ = nullptr;
    QAction* mnuStatsPrint_ = nullptr;
    QChartView* rateChart_ = nullptr;
    QChartView* timeChart_ = nullptr;
    QChartView* trendChart_ = nullptr;  // shown with a trend step only
    QChartView* classChart_ = nullptr;  // shown with the operations known only
    int page_ = kSourcePage;
    bool shown_ = false;
    bool closed_ = false;
};
