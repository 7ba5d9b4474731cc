#include "ws_Main.h"

#include <QChart>
#include <QChartView>
#include <QCloseEvent>
#include <QComboBox>
#include <QDate>
#include <QHeaderView>
#include <QMenu>
#include <QPalette>
#include <QPrintDialog>
#include <QPrinter>
#include <QSplitter>

#include <algorithm>

#include "common/cp1251.h"
#include "common/paths.h"
#include "operations_view.h"
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
    ui_->pages->setCurrentIndex(kSourcePage);
    model_ = std::make_unique<TWSMainModel>(settingsFile, logFile);

    ui_->list->SetSections({{"Файл"_cp, 300}, {"Начало"_cp, 80}, {"Конец"_cp, 80}});
    ui_->list->SetCellText([this](int row, int column, std::string& text) {
        return reportCellText(row, column, text);
    });
    ui_->listRep->SetSections(
        {{"Период"_cp, 100}, {"Датчик"_cp, 200}, {"Реле"_cp, 200}, {"Агрегат"_cp, 200}});
    ui_->listRep->horizontalHeader()->setObjectName(QStringLiteral("hdrRep"));
    ui_->listRep->SetCellText([this](int row, int column, std::string& text) {
        return resultCellText(row, column, text);
    });

    std::vector<std::pair<std::string, int>> statsSections;
    for (const std::string& title : TW_StatsColumns())  // wide enough for the titles
        statsSections.emplace_back(title, statsSections.empty() ? 200 : int(title.size()) * 8 + 12);
    ui_->listStats->SetSections(statsSections);
    ui_->listStats->SetCellText([this](int row, int column, std::string& text) {
        return TW_StatsCellText(model_->Stats, row, column, text);
    });
    std::vector<std::pair<std::string, int>> opsSections;
    const int opsWidths[] = {200, 200, 80, 140, 120};
    for (const std::string& title : TW_OpsColumns())
        opsSections.emplace_back(title, opsWidths[opsSections.size()]);
    ui_->listOps->SetSections(opsSections);
    ui_->listOps->SetCellText([this](int row, int column, std::string& text) {
        return model_->OperationCell(row, column, text);
    });
    for (const auto& [title, cls] : TW_OpsClassChoices())
        ui_->cbOpsClass->addItem(FromCp1251(title), cls);
    rateChart_ = new QChartView(ui_->chartsSplitter);
    rateChart_->setObjectName(QStringLiteral("rateChart"));
    timeChart_ = new QChartView(ui_->chartsSplitter);
    timeChart_->setObjectName(QStringLiteral("timeChart"));
    trendChart_ = new QChartView(ui_->chartsSplitter);
    trendChart_->setObjectName(QStringLiteral("trendChart"));
    classChart_ = new QChartView(ui_->chartsSplitter);
    classChart_->setObjectName(QStringLiteral("classChart"));
    for (QChartView* view : {rateChart_, timeChart_, trendChart_, classChart_}) {
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
    ui_->btnExport->setMenu(popupExport_);

    connect(ui_->dtStart, &QDateEdit::dateChanged, this, [this] { showPeriodCheck(); });
    connect(ui_->tmStart, &QTimeEdit::timeChanged, this, [this] { showPeriodCheck(); });
    connect(ui_->dtEnd, &QDateEdit::dateChanged, this, [this] { showPeriodCheck(); });
    connect(ui_->tmEnd, &QTimeEdit::timeChanged, this, [this] { showPeriodCheck(); });
    connect(ui_->btnPath, &QToolButton::clicked, this, [this] { chooseReportFolderClick(); });
    connect(ui_->btnNext1, &QPushButton::clicked, this, [this] { acceptPeriodClick(); });
    connect(ui_->btnNext2, &QPushButton::clicked, this, [this] { acceptReportsClick(); });
    connect(ui_->btnPrev2, &QPushButton::clicked, this, [this] { previousPageClick(); });
    connect(ui_->btnPrev3, &QPushButton::clicked, this, [this] { previousPageClick(); });
    connect(ui_->btnExclude, &QPushButton::clicked, this, [this] { excludeReportClick(); });
    connect(ui_->btnTemplate, &QToolButton::clicked, this, [this] { chooseTemplateClick(); });
    connect(ui_->btnFinish, &QPushButton::clicked, this, [this] { finishClick(); });
    connect(popupExport_, &QMenu::aboutToShow, this, [this] { enableExportItems(); });
    connect(mnuExportTXT_, &QAction::triggered, this, [this] { exportTextClick(); });
    connect(mnuExportXLS_, &QAction::triggered, this, [this] { exportXlsClick(); });
    connect(mnuPrint_, &QAction::triggered, this, [this] { printReportClick(); });
    connect(mnuStatsPdf_, &QAction::triggered, this, [this] { exportStatisticsPdfClick(); });
    connect(mnuStatsPrint_, &QAction::triggered, this, [this] { printStatisticsClick(); });
    connect(ui_->listStats, &QAbstractItemView::clicked, this, [this] { showContourCharts(); });
    for (QComboBox* filter : {ui_->cbOpsClass, ui_->cbOpsContour})
        connect(filter, &QComboBox::currentIndexChanged, this,
                [this] { filterOperationsChange(); });
    connect(ui_->pages, &QStackedWidget::currentChanged, this, [this](int i) { PageChanged(i); });
}

TWSMainForm::~TWSMainForm() {
    FormClose();
    host::SetOperation(previousOperation_);
    host::SetInteraction(previousInteraction_);
}

QAction* TWSMainForm::ExportAction(TW_ExportItem item) const {
    switch (item) {
        case TW_ExportItem::Text:
            return mnuExportTXT_;
        case TW_ExportItem::Xls:
            return mnuExportXLS_;
        case TW_ExportItem::Print:
            return mnuPrint_;
    }
    return nullptr;
}

void TWSMainForm::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (shown_) return;
    shown_ = true;
    showSourcePage();  // the pages' show handlers run once the window is visible
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
    if (previous == kReportsPage) leaveReportsPage();
    if (previous == kResultPage) leaveResultPage();
    if (index == kSourcePage) showSourcePage();
    if (index == kReportsPage) showReportsPage();
    if (index == kResultPage) showResultPage();
}

void TWSMainForm::showSourcePage() {
    ui_->edtPath->setText(FromCp1251(model_->StoredPath()));
    const double start = model_->StoredStart(), end = model_->StoredEnd();
    const QSignalBlocker b1(ui_->dtStart), b2(ui_->tmStart), b3(ui_->dtEnd), b4(ui_->tmEnd);
    ui_->dtStart->setDate(DateOf(start));
    ui_->tmStart->setTime(TimeOf(start));
    ui_->dtEnd->setDate(DateOf(end));
    ui_->tmEnd->setTime(TimeOf(end));
    showPeriodCheck();
}

void TWSMainForm::showPeriodCheck() {
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

void TWSMainForm::chooseReportFolderClick() {
    std::string folder = ToCp1251(ui_->edtPath->text());
    if (host::HSelectDirectory(this, folder, 3)) ui_->edtPath->setText(FromCp1251(folder));
}

void TWSMainForm::acceptPeriodClick() {
    model_->LeavePage1(ToCp1251(ui_->edtPath->text()).c_str(), DateValue(ui_->dtStart->date()),
                       TimeValue(ui_->tmStart->time()), DateValue(ui_->dtEnd->date()),
                       TimeValue(ui_->tmEnd->time()));
    ui_->pages->setCurrentIndex(kReportsPage);
}

void TWSMainForm::acceptReportsClick() {
    ui_->pages->setCurrentIndex(kResultPage);
}

void TWSMainForm::previousPageClick() {
    ui_->pages->setCurrentIndex(ui_->pages->currentIndex() - 1);
}

void TWSMainForm::showReportsPage() {
    for (int i = 0; i < ui_->list->SectionCount(); ++i)
        ui_->list->SetSectionWidth(
            i, model_->ColumnWidth(kReportsPage, i, ui_->list->SectionWidth(i)));
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

void TWSMainForm::leaveReportsPage() {
    for (int i = 0; i < ui_->list->SectionCount(); ++i)
        model_->StoreColumnWidth(kReportsPage, i, ui_->list->SectionWidth(i));
}

bool TWSMainForm::reportCellText(int row, int column, std::string& text) {
    return model_->ReportCell(row, column, text);
}

bool TWSMainForm::resultCellText(int row, int column, std::string& text) {
    return model_->ResultCell(row, column, text);
}

void TWSMainForm::excludeReportClick() {
    if (model_->ExcludeReport(this, ui_->list->SelectedRow())) {
        ui_->list->SetRowCount(model_->Reports.Count());
        ShowReportNotes();
    }
}

void TWSMainForm::showResultPage() {
    for (int i = 0; i < ui_->listRep->SectionCount(); ++i)
        ui_->listRep->SetSectionWidth(
            i, model_->ColumnWidth(kResultPage, i, ui_->listRep->SectionWidth(i)));
    ui_->edtTemplate->setText(FromCp1251(model_->StoredTemplate()));
    ui_->listRep->SetRowCount(model_->ComputeResult());
    ShowStatistics();
    ShowOperations();
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
    std::unique_ptr<QChart> classes = TW_OperationClassChart(model_->Stats);
    classChart_->setVisible(classes != nullptr);
    if (classes) ShowChart(*classChart_, std::move(classes));
    showContourCharts();
}

void TWSMainForm::ShowOperations() {
    const QString unknown = FromCp1251(model_->OperationsUnknownText());
    ui_->txtOpsUnknown->setText(unknown);
    ui_->txtOpsUnknown->setVisible(!unknown.isEmpty());
    ui_->opsFilter->setVisible(unknown.isEmpty());
    ui_->listOps->setVisible(unknown.isEmpty());
    // The contours of this period; the one chosen stays when it is among them.
    // Each item keeps its sensor's own cp1251 bytes.
    const QByteArray chosen = ui_->cbOpsContour->currentData().toByteArray();
    {
        const QSignalBlocker block(ui_->cbOpsContour);
        ui_->cbOpsContour->clear();
        ui_->cbOpsContour->addItem(FromCp1251("Все контуры"_cp), QByteArray());
        for (const std::string& sensor : TW_OpsSensors(model_->Stats.Operations))
            ui_->cbOpsContour->addItem(FromCp1251(sensor),
                                       QByteArray(sensor.data(), qsizetype(sensor.size())));
        ui_->cbOpsContour->setCurrentIndex(
            chosen.isEmpty() ? 0 : std::max(0, ui_->cbOpsContour->findData(chosen)));
    }
    filterOperationsChange();
}

void TWSMainForm::filterOperationsChange() {
    TW_OpsFilter filter;
    filter.Class = ui_->cbOpsClass->currentData().toInt();
    filter.Sensor = ui_->cbOpsContour->currentData().toByteArray().toStdString();
    ui_->listOps->SetRowCount(model_->FilterOperations(filter));
}

void TWSMainForm::showContourCharts() {
    const int row = ui_->listStats->SelectedRow();
    const int contour = row >= 0 && row < int(model_->Stats.Contours.size()) ? row : -1;
    ShowChart(*timeChart_, TW_ResponseTimeChart(model_->Stats, contour));
}

void TWSMainForm::exportStatisticsPdfClick() {
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

void TWSMainForm::printStatisticsClick() {
    QPrinter printer;
    printer.setPageOrientation(QPageLayout::Landscape);
    QPrintDialog dialog(&printer, this);
    if (dialog.exec() != QDialog::Accepted) return;
    QString error;
    if (!TW_PaintStatistics(printer, model_->Stats, error))
        host::GetInteraction().ErrorMessage(this, ToCp1251(error).c_str());
}

void TWSMainForm::leaveResultPage() {
    model_->StoreTemplate(ToCp1251(ui_->edtTemplate->text()).c_str());
    for (int i = 0; i < ui_->listRep->SectionCount(); ++i)
        model_->StoreColumnWidth(kResultPage, i, ui_->listRep->SectionWidth(i));
}

void TWSMainForm::enableExportItems() {
    const std::string templ = ToCp1251(ui_->edtTemplate->text());
    for (TW_ExportItem item : kExportItems)
        ExportAction(item)->setEnabled(model_->MenuItemEnabled(item, templ.c_str()));
    for (QAction* stats : {mnuStatsPdf_, mnuStatsPrint_})
        stats->setEnabled(model_->Stats.Plant.Demands > 0);
}

void TWSMainForm::chooseTemplateClick() {
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

void TWSMainForm::exportTextClick() {
    model_->ExportText(this);
}

void TWSMainForm::exportXlsClick() {
    model_->ExportXls(this, ToCp1251(ui_->edtTemplate->text()).c_str());
}

void TWSMainForm::printReportClick() {
    model_->Print();
}

void TWSMainForm::finishClick() {
    leaveResultPage();
    close();
}
