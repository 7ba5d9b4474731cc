#include "ws_Main.h"

#include <QChart>
#include <QChartView>
#include <QCloseEvent>
#include <QDate>
#include <QHeaderView>
#include <QMenu>
#include <QPalette>
#include <QPrintDialog>
#include <QPrinter>
#include <QSplitter>

#include "common/cp1251.h"
#include "common/paths.h"
#include "runtime/interaction.h"
#include "runtime/operation.h"
#include "stats_charts.h"
#include "stats_print.h"
#include "stats_table.h"
#include "ui/qt_datetime.h"
#include "ui/qt_text.h"
#include "ui_ws_Main.h"

using namespace host::literals;
using host::ui::FromCp1251;
using host::ui::ToCp1251;

using host::ui::DateOf;
using host::ui::DateValue;
using host::ui::TimeOf;
using host::ui::TimeValue;

TWSMainForm::TWSMainForm(const std::string& settingsFile, const std::string& logFile,
                         QWidget* parent)
    : QWidget(parent), ui_(std::make_unique<Ui::TWSMainForm>()), operation_(this) {
    ui_->setupUi(this);  // the log box listens from here on
    // The month names of the date pickers, as the plant's workstations show them.
    setLocale(QLocale(QLocale::Russian, QLocale::Russia));
    previousInteraction_ = host::SetInteraction(&interaction_);
    previousOperation_ = host::SetOperation(&operation_);
    ui_->pages->setCurrentIndex(0);
    model_ = std::make_unique<TWSMainModel>(settingsFile, logFile);

    ui_->list->SetSections({{"Файл"_cp, 300}, {"Начало"_cp, 80}, {"Конец"_cp, 80}});
    ui_->list->SetCellText([this](int row, int column, std::string& text) {
        return listDrawItemSection(row, column, text);
    });
    ui_->listRep->SetSections(
        {{"Период"_cp, 100}, {"Датчик"_cp, 200}, {"Реле"_cp, 200}, {"Агрегат"_cp, 200}});
    ui_->listRep->horizontalHeader()->setObjectName(QStringLiteral("hdrRep"));
    ui_->listRep->SetCellText([this](int row, int column, std::string& text) {
        return listRepDrawItemSection(row, column, text);
    });

    std::vector<std::pair<std::string, int>> statsSections;
    for (const std::string& title : TW_StatsColumns())  // wide enough for the titles
        statsSections.emplace_back(title, statsSections.empty() ? 200 : int(title.size()) * 8 + 12);
    ui_->listStats->SetSections(statsSections);
    ui_->listStats->SetCellText([this](int row, int column, std::string& text) {
        return TW_StatsCellText(model_->Stats, row, column, text);
    });
    rateChart_ = new QChartView(ui_->chartsSplitter);
    rateChart_->setObjectName(QStringLiteral("rateChart"));
    timeChart_ = new QChartView(ui_->chartsSplitter);
    timeChart_->setObjectName(QStringLiteral("timeChart"));
    trendChart_ = new QChartView(ui_->chartsSplitter);
    trendChart_->setObjectName(QStringLiteral("trendChart"));
    for (QChartView* view : {rateChart_, timeChart_, trendChart_}) {
        view->setRenderHint(QPainter::Antialiasing);
        view->setMinimumSize(320, 240);
    }

    popupExport_ = new QMenu(this);
    popupExport_->setObjectName(QStringLiteral("popupExport"));
    mnuExportTXT_ = popupExport_->addAction(FromCp1251("Экспорт в текстовый файл..."_cp));
    mnuExportXLS_ = popupExport_->addAction(FromCp1251("Экспорт в файл MS Excel (XLS)..."_cp));
    mnuPrint_ = popupExport_->addAction(FromCp1251("Печать..."_cp));
    popupExport_->addSeparator();
    mnuStatsPdf_ = popupExport_->addAction(FromCp1251("Показатели в PDF..."_cp));
    mnuStatsPrint_ = popupExport_->addAction(FromCp1251("Печать показателей..."_cp));
    mnuStatsPdf_->setObjectName(QStringLiteral("mnuStatsPdf"));
    mnuStatsPrint_->setObjectName(QStringLiteral("mnuStatsPrint"));
    mnuExportTXT_->setObjectName(QStringLiteral("mnuExportTXT"));
    mnuExportXLS_->setObjectName(QStringLiteral("mnuExportXLS"));
    mnuPrint_->setObjectName(QStringLiteral("mnuPrint"));
    ui_->ToolbarButton974->setMenu(popupExport_);

    connect(ui_->dtStart, &QDateEdit::dateChanged, this, [this] { idPeriodChange(); });
    connect(ui_->tmStart, &QTimeEdit::timeChanged, this, [this] { idPeriodChange(); });
    connect(ui_->dtEnd, &QDateEdit::dateChanged, this, [this] { idPeriodChange(); });
    connect(ui_->tmEnd, &QTimeEdit::timeChanged, this, [this] { idPeriodChange(); });
    connect(ui_->SpeedButton1, &QToolButton::clicked, this, [this] { SpeedButton1Click(); });
    connect(ui_->btnNext1, &QPushButton::clicked, this, [this] { btnNext1Click(); });
    connect(ui_->btnNext2, &QPushButton::clicked, this, [this] { btnNext2Click(); });
    connect(ui_->ToolbarButton972, &QPushButton::clicked, this, [this] { idPrevPage(); });
    connect(ui_->btnPrev3, &QPushButton::clicked, this, [this] { idPrevPage(); });
    connect(ui_->ToolbarButton971, &QPushButton::clicked, this,
            [this] { ToolbarButton971Click(); });
    connect(ui_->SpeedButton2, &QToolButton::clicked, this, [this] { SpeedButton2Click(); });
    connect(ui_->btnFinish, &QPushButton::clicked, this, [this] { btnFinishClick(); });
    connect(popupExport_, &QMenu::aboutToShow, this, [this] { popupExportMenuItemCheck(); });
    connect(mnuExportTXT_, &QAction::triggered, this, [this] { mnuExportTXTClick(); });
    connect(mnuExportXLS_, &QAction::triggered, this, [this] { mnuExportXLSClick(); });
    connect(mnuPrint_, &QAction::triggered, this, [this] { mnuPrintClick(); });
    connect(mnuStatsPdf_, &QAction::triggered, this, [this] { mnuStatsPdfClick(); });
    connect(mnuStatsPrint_, &QAction::triggered, this, [this] { mnuStatsPrintClick(); });
    connect(ui_->listStats, &QAbstractItemView::clicked, this, [this] { listStatsRowChanged(); });
    connect(ui_->pages, &QStackedWidget::currentChanged, this, [this](int i) { PageChanged(i); });
}

TWSMainForm::~TWSMainForm() {
    FormClose();
    host::SetOperation(previousOperation_);
    host::SetInteraction(previousInteraction_);
}

QAction* TWSMainForm::ExportAction(int tag) const {
    return tag == 100   ? mnuExportTXT_
           : tag == 101 ? mnuExportXLS_
           : tag == 102 ? mnuPrint_
                        : nullptr;
}

void TWSMainForm::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (shown_) return;
    shown_ = true;
    tb1Show();  // the pages' show handlers run once the window is visible
}

void TWSMainForm::closeEvent(QCloseEvent* event) {
    FormClose();
    event->accept();
}

void TWSMainForm::FormClose() {
    if (closed_) return;
    closed_ = true;
    model_->Close();
}

void TWSMainForm::PageChanged(int index) {
    const int previous = page_;
    page_ = index;
    if (previous == 1) tb2Hide();
    if (previous == 2) idCloseReport();
    if (index == 0) tb1Show();
    if (index == 1) tb2Show();
    if (index == 2) tb3Show();
}

void TWSMainForm::tb1Show() {
    ui_->edtPath->setText(FromCp1251(model_->StoredPath()));
    const double start = model_->StoredStart(), end = model_->StoredEnd();
    const QSignalBlocker b1(ui_->dtStart), b2(ui_->tmStart), b3(ui_->dtEnd), b4(ui_->tmEnd);
    ui_->dtStart->setDate(DateOf(start));
    ui_->tmStart->setTime(TimeOf(start));
    ui_->dtEnd->setDate(DateOf(end));
    ui_->tmEnd->setTime(TimeOf(end));
    idPeriodChange();
}

void TWSMainForm::idPeriodChange() {
    const TW_PeriodCheck check =
        TWSMainModel::CheckPeriod(DateValue(ui_->dtStart->date()), TimeValue(ui_->tmStart->time()),
                                  DateValue(ui_->dtEnd->date()), TimeValue(ui_->tmEnd->time()));
    ui_->txtPeriod->setText(FromCp1251(check.text));
    QPalette palette = ui_->txtPeriod->palette();
    palette.setColor(QPalette::WindowText, check.ok
                                               ? QApplication::palette().color(QPalette::WindowText)
                                               : QColor(Qt::yellow));
    palette.setColor(QPalette::Window,
                     check.ok ? QApplication::palette().color(QPalette::Button) : QColor(Qt::red));
    ui_->txtPeriod->setPalette(palette);
    ui_->btnNext1->setEnabled(check.ok);
}

void TWSMainForm::SpeedButton1Click() {
    std::string folder = ToCp1251(ui_->edtPath->text());
    if (host::HSelectDirectory(this, folder, 3)) ui_->edtPath->setText(FromCp1251(folder));
}

void TWSMainForm::btnNext1Click() {
    model_->LeavePage1(ToCp1251(ui_->edtPath->text()).c_str(), DateValue(ui_->dtStart->date()),
                       TimeValue(ui_->tmStart->time()), DateValue(ui_->dtEnd->date()),
                       TimeValue(ui_->tmEnd->time()));
    ui_->pages->setCurrentIndex(1);
}

void TWSMainForm::btnNext2Click() {
    ui_->pages->setCurrentIndex(2);
}

void TWSMainForm::idPrevPage() {
    ui_->pages->setCurrentIndex(ui_->pages->currentIndex() - 1);
}

void TWSMainForm::tb2Show() {
    for (int i = 0; i < ui_->list->SectionCount(); ++i)
        ui_->list->SetSectionWidth(i, model_->ColumnWidth(2, i, ui_->list->SectionWidth(i)));
    ui_->txtFullPeriod->setText(FromCp1251(model_->FullPeriodText()));
    const int found = model_->SearchReports();
    ui_->list->SetRowCount(found);
    ui_->btnNext2->setEnabled(found > 0);
    ShowReportNotes();
}

void TWSMainForm::ShowReportNotes() {
    const QString notes = FromCp1251(model_->ReportNotes());
    ui_->txtNotes->setText(notes);
    ui_->txtNotes->setVisible(!notes.isEmpty());
}

void TWSMainForm::tb2Hide() {
    for (int i = 0; i < ui_->list->SectionCount(); ++i)
        model_->StoreColumnWidth(2, i, ui_->list->SectionWidth(i));
}

bool TWSMainForm::listDrawItemSection(int row, int column, std::string& text) {
    return model_->ReportCell(row, column, text);
}

bool TWSMainForm::listRepDrawItemSection(int row, int column, std::string& text) {
    return model_->ResultCell(row, column, text);
}

void TWSMainForm::ToolbarButton971Click() {
    if (model_->ExcludeReport(this, ui_->list->SelectedRow())) {
        ui_->list->SetRowCount(model_->Reports.Count());
        ShowReportNotes();
    }
}

void TWSMainForm::tb3Show() {
    for (int i = 0; i < ui_->listRep->SectionCount(); ++i)
        ui_->listRep->SetSectionWidth(i, model_->ColumnWidth(3, i, ui_->listRep->SectionWidth(i)));
    ui_->edtTemplate->setText(FromCp1251(model_->StoredTemplate()));
    ui_->listRep->SetRowCount(model_->ComputeResult());
    ShowStatistics();
}

namespace {

// A chart view takes the new chart but leaves the old one to its caller.
void ShowChart(QChartView& view, std::unique_ptr<QChart> chart) {
    QChart* old = view.chart();
    view.setChart(chart.release());
    delete old;
}

}  // namespace

void TWSMainForm::ShowStatistics() {
    ui_->listStats->SetRowCount(TW_StatsRowCount(model_->Stats));
    ShowChart(*rateChart_, TW_MisoperationRateChart(model_->Stats, 12));
    std::unique_ptr<QChart> trend = TW_TrendChart(model_->Stats);
    trendChart_->setVisible(trend != nullptr);
    if (trend) ShowChart(*trendChart_, std::move(trend));
    listStatsRowChanged();
}

void TWSMainForm::listStatsRowChanged() {
    const int row = ui_->listStats->SelectedRow();
    const int contour = row >= 0 && row < int(model_->Stats.Contours.size()) ? row : -1;
    ShowChart(*timeChart_, TW_ResponseTimeChart(model_->Stats, contour));
}

void TWSMainForm::mnuStatsPdfClick() {
    host::FileChoice choice;
    choice.caption = "Показатели в PDF"_cp;
    choice.filter = "Файлы PDF|*.pdf|Все файлы|*.*"_cp;
    choice.defaultExt = "pdf";
    std::string path;
    if (!host::GetInteraction().SaveFileName(this, choice, path)) return;
    QString error;
    if (!TW_WriteStatisticsPdf(model_->Stats, FromCp1251(path), error))
        host::GetInteraction().ErrorMessage(this, ToCp1251(error).c_str());
}

void TWSMainForm::mnuStatsPrintClick() {
    QPrinter printer;
    printer.setPageOrientation(QPageLayout::Landscape);
    QPrintDialog dialog(&printer, this);
    if (dialog.exec() != QDialog::Accepted) return;
    QString error;
    if (!TW_PaintStatistics(printer, model_->Stats, error))
        host::GetInteraction().ErrorMessage(this, ToCp1251(error).c_str());
}

void TWSMainForm::idCloseReport() {
    model_->StoreTemplate(ToCp1251(ui_->edtTemplate->text()).c_str());
    for (int i = 0; i < ui_->listRep->SectionCount(); ++i)
        model_->StoreColumnWidth(3, i, ui_->listRep->SectionWidth(i));
}

void TWSMainForm::popupExportMenuItemCheck() {
    const std::string templ = ToCp1251(ui_->edtTemplate->text());
    for (int tag : {100, 101, 102})
        ExportAction(tag)->setEnabled(model_->MenuItemEnabled(tag, templ.c_str()));
    for (QAction* stats : {mnuStatsPdf_, mnuStatsPrint_})
        stats->setEnabled(model_->Stats.Plant.Demands > 0);
}

void TWSMainForm::SpeedButton2Click() {
    char folder[kMaxPath];
    FPath(folder, ToCp1251(ui_->edtTemplate->text()).c_str());
    host::FileChoice openTempl;
    openTempl.caption = "Выбор шаблона для экспорта..."_cp;
    openTempl.startFolder = folder;
    openTempl.filter = "Файлы MS Excel (XLS)|*.xls|Все файлы|*.*"_cp;
    openTempl.defaultExt = "xls";
    std::string path;
    if (host::GetInteraction().OpenFileName(this, openTempl, path))
        ui_->edtTemplate->setText(FromCp1251(path));
}

void TWSMainForm::mnuExportTXTClick() {
    model_->ExportText(this);
}

void TWSMainForm::mnuExportXLSClick() {
    model_->ExportXls(this, ToCp1251(ui_->edtTemplate->text()).c_str());
}

void TWSMainForm::mnuPrintClick() {
    model_->Print();
}

void TWSMainForm::btnFinishClick() {
    idCloseReport();
    close();
}
