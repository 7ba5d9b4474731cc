// TWSMainForm: Tripview's one window, a three-step wizard (source and period,
// the reports found, the protection non-operations). The handlers carry the
// names of the form; the work behind each is TWSMainModel's.
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
    QAction* ExportAction(int tag) const;

    // The handlers of the form.
    void tb1Show();
    void idPeriodChange();
    void SpeedButton1Click();
    void btnNext1Click();
    void btnNext2Click();
    void idPrevPage();
    void tb2Show();
    // The unreadable and repeated reports under the list of page 2.
    void ShowReportNotes();
    void tb2Hide();
    // The text of a cell of the report list (page 2) and of the result list
    // (page 3); false when the row has nothing to show.
    bool listDrawItemSection(int row, int column, std::string& text);
    bool listRepDrawItemSection(int row, int column, std::string& text);
    void ToolbarButton971Click();
    void tb3Show();
    void idCloseReport();
    void popupExportMenuItemCheck();
    void SpeedButton2Click();
    void mnuExportTXTClick();
    void mnuExportXLSClick();
    void mnuPrintClick();
    // The statistics of page 3: the table, the charts of the row chosen (the
    // plant's for its last row), and their print and PDF.
    void ShowStatistics();
    void listStatsRowChanged();
    void mnuStatsPdfClick();
    void mnuStatsPrintClick();
    void btnFinishClick();

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
    int page_ = 0;
    bool shown_ = false;
    bool closed_ = false;
};
