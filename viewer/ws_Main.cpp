#include "ws_Main.h"

#include <QCloseEvent>
#include <QDate>
#include <QHeaderView>
#include <QMenu>
#include <QPalette>

#include "common/cp1251.h"
#include "common/paths.h"
#include "runtime/interaction.h"
#include "runtime/operation.h"
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

    popupExport_ = new QMenu(this);
    popupExport_->setObjectName(QStringLiteral("popupExport"));
    mnuExportTXT_ = popupExport_->addAction(FromCp1251("Экспорт в текстовый файл..."_cp));
    mnuExportXLS_ = popupExport_->addAction(FromCp1251("Экспорт в файл MS Excel (XLS)..."_cp));
    mnuPrint_ = popupExport_->addAction(FromCp1251("Печать..."_cp));
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
