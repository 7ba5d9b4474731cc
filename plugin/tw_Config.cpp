#include "tw_Config.h"

#include <QDialogButtonBox>
#include <QPushButton>

#include <cmath>
#include <cstring>

#include "common/cp1251.h"
#include "common/lasterror.h"
#include "common/paths.h"
#include "common/strutil.h"
#include "common/timetext.h"
#include "config/configcheck.h"
#include "config/configitem.h"
#include "config/configtree.h"
#include "config/notifynode.h"
#include "plantdb/dbdatabase.h"
#include "job_keys.h"
#include "plugin_state.h"
#include "rule_entries.h"
#include "runtime/interaction.h"
#include "runtime/rtlog.h"
#include "Tw_contouredit.h"
#include "Tw_ruleedit.h"
#include "tw_fieldtext.h"
#include "ui/qt_datetime.h"
#include "ui/qt_text.h"
#include "ui_tw_Config.h"

using namespace host::literals;
using host::ui::FromCp1251;
using host::ui::ToCp1251;
using tripplug::JobKey;
using tripplug::JobReader;
using tripplug::JobSide;
using tripplug::WriteColumnWidth;
using tripplug::WriteDate;
using tripplug::WriteFlag;
using tripplug::WriteText;

namespace {

const char* const kConfigFilter = "Файлы конфигураций (RTDB, RDB)|*.rtdb;*.rdb"_cp;
const char* const kContourFilter = "Файлы настроек (WS)|*.ws"_cp;

// The columns of the contour list: each shows one line of the contour.
enum ContourColumn { kSensorColumn, kRelayColumn, kApparatusColumn };
// The columns of the command list and of the maintenance window list.
enum CommandColumn {
    kCommandLineColumn,
    kCommandVariableColumn,
    kCommandStateColumn,
    kCommandSecondsColumn
};
enum WindowColumn { kWindowLineColumn, kWindowFromColumn, kWindowToColumn, kWindowNoteColumn };

// The extension of the first pattern of a filter: "ws" of "Файлы настроек (WS)|*.ws".
std::string FirstExtension(const char* filter) {
    const char* bar = std::strchr(filter, '|');
    const char* dot = bar ? std::strchr(bar, '.') : nullptr;
    return dot ? std::string(dot + 1, std::strcspn(dot + 1, ";|")) : std::string();
}

// The form's file dialogs "open" and "save": one title; a name typed without
// an extension gets the filter's.
struct Choice : host::FileChoice {
    Choice(const std::string& start, const char* filterText)
        : folder(start), extension(FirstExtension(filterText)) {
        caption = "Выберите файл..."_cp;
        startFolder = folder.c_str();
        filter = filterText;
        defaultExt = extension.c_str();
    }
    Choice(const Choice&) = delete;
    Choice& operator=(const Choice&) = delete;
    std::string folder, extension;
};

std::string StartLocal(const std::string& path) {
    char out[kMaxPath];
    return MakeStartLocalPath(out, path.c_str());
}

std::string StartRelative(const std::string& path) {
    char out[kMaxPath];
    return MakeStartRelativePath(out, path.c_str());
}

std::string Text(const QLineEdit* edit) {
    return ToCp1251(edit->text());
}

// The row of a rule list as an index of its rules, or -1.
template <class Rule>
int RuleRow(const host::ui::HBkList* list, const std::vector<Rule>& rules) {
    const int row = list->SelectedRow();
    return row >= 0 && row < int(rules.size()) ? row : -1;
}

// A rule edited in its form: true when the user accepted it.
template <class Form, class Rule>
bool EditRule(QWidget* owner, Rule& rule, const TW_ContourArray& contours) {
    Form form(owner, &rule, TW_ContourLines(contours));
    return form.exec() == QDialog::Accepted;
}

// A new rule, starting as `rule`, appended when the user accepts it in its form
// and selected; only this list is refilled, the others keep their selection.
template <class Form, class Rule>
void AddRule(QWidget* owner, host::ui::HBkList* list, std::vector<Rule>& rules, Rule rule,
             const TW_ContourArray& contours) {
    if (!EditRule<Form>(owner, rule, contours)) return;
    rules.push_back(std::move(rule));
    list->SetRowCount(int(rules.size()));
    list->selectRow(int(rules.size()) - 1);
}

// The selected rule deleted when the user says yes; the next one moves into its row.
template <class Rule>
void DeleteRule(QWidget* owner, host::ui::HBkList* list, std::vector<Rule>& rules,
                const char* question) {
    const int row = RuleRow(list, rules);
    if (row < 0 || !host::GetInteraction().AskYesNo(owner, question, false)) return;
    rules.erase(rules.begin() + row);
    list->SetRowCount(int(rules.size()));
    if (row < int(rules.size())) list->selectRow(row);
}

}  // namespace

TConfigForm::TConfigForm(bool global, const char* reportName)
    : QDialog(nullptr), ui_(std::make_unique<Ui::TConfigForm>()) {
    ui_->setupUi(this);
    // The month names of the date picker, as the plant's workstations show them.
    setLocale(QLocale(QLocale::Russian, QLocale::Russia));
    tripplug::State().DialogTime = host::NowDateTime();
    ui_->pgReport->setCurrentWidget(ui_->tabBIN);
    const std::string caption =
        host::Format("%s: %s", global ? "Глобальные"_cp : "Локальные"_cp, reportName);
    ui_->grpSettings->setTitle(FromCp1251(caption));
    setWindowTitle(FromCp1251(caption));

    Ui::TConfigForm& u = *ui_;
    u.list->SetSections({{"Датчик"_cp, 100}, {"Реле"_cp, 100}, {"Аппарат"_cp, 100}});
    u.list->SetCellText([this](int row, int column, std::string& text) {
        return contourCellText(row, column, text);
    });
    u.list->SetCellDimmed([this](int row, int column) {
        const TW_Contour* c = Contours.ItemINT(row);
        return c && !(column == kSensorColumn  ? c->Used
                      : column == kRelayColumn ? c->Rele.Used
                                               : c->Prot.Used);
    });

    u.pgJob->setCurrentWidget(u.tabSettings);
    u.lstCommands->SetSections(
        {{"Реле или аппарат"_cp, 120}, {"Команда"_cp, 120}, {"Статус"_cp, 60}, {"За, с"_cp, 60}});
    u.lstCommands->SetCellText([this](int row, int column, std::string& text) {
        return commandCellText(row, column, text);
    });
    u.lstCommands->SetCellDimmed([this](int row, int) {
        return row < int(Rules.Commands.size()) &&
               !TW_CheckCommand(Rules.Commands[row], TW_ContourLines(Contours),
                                tripplug::State().PluginDatabase)
                    .empty();
    });
    u.lstWindows->SetSections({{"Реле или аппарат"_cp, 120},
                               {"Начало"_cp, 140},
                               {"Конец"_cp, 140},
                               {"Примечание"_cp, 120}});
    u.lstWindows->SetCellText([this](int row, int column, std::string& text) {
        return windowCellText(row, column, text);
    });
    u.lstWindows->SetCellDimmed([this](int row, int) {
        return row < int(Rules.Maintenance.size()) &&
               !TW_CheckWindow(Rules.Maintenance[row], TW_ContourLines(Contours)).empty();
    });

    connect(u.btnLoadCfg, &QToolButton::clicked, this, [this] { loadConfigurationClick(); });
    connect(u.list, &QTableView::clicked, this, [this] { updateContourButtons(); });
    connect(u.list, &QTableView::doubleClicked, this, [this] { editContourClick(); });
    connect(u.btnAdd, &QToolButton::clicked, this, [this] { addContourClick(); });
    connect(u.btnEdit, &QToolButton::clicked, this, [this] { editContourClick(); });
    connect(u.btnDel, &QToolButton::clicked, this, [this] { deleteContourClick(); });
    connect(u.btnUp, &QToolButton::clicked, this, [this] { moveContourUpClick(); });
    connect(u.btnDown, &QToolButton::clicked, this, [this] { moveContourDownClick(); });
    connect(u.btnLoad, &QToolButton::clicked, this, [this] { importContoursClick(); });
    connect(u.btnSave, &QToolButton::clicked, this, [this] { exportContoursClick(); });
    connect(u.chCfgNear, &QRadioButton::clicked, this, [this] { enableConfigDate(); });
    connect(u.chCfgSet, &QRadioButton::clicked, this, [this] { enableConfigDate(); });
    connect(u.btnValPath, &QToolButton::clicked, this, [this] { chooseValuesFolderClick(); });
    connect(u.btnRepDir, &QToolButton::clicked, this, [this] { chooseBinaryFolderClick(); });
    connect(u.btnTXTDir, &QToolButton::clicked, this, [this] { chooseTextFolderClick(); });
    connect(u.btnXLSDir, &QToolButton::clicked, this, [this] { chooseXlsFolderClick(); });
    connect(u.btnXLSTempl, &QToolButton::clicked, this, [this] { chooseXlsTemplateClick(); });
    connect(u.lstCommands, &QTableView::clicked, this, [this] { updateRuleButtons(); });
    connect(u.lstCommands, &QTableView::doubleClicked, this, [this] { editCommandClick(); });
    connect(u.btnAddCommand, &QToolButton::clicked, this, [this] { addCommandClick(); });
    connect(u.btnEditCommand, &QToolButton::clicked, this, [this] { editCommandClick(); });
    connect(u.btnDelCommand, &QToolButton::clicked, this, [this] { deleteCommandClick(); });
    connect(u.lstWindows, &QTableView::clicked, this, [this] { updateRuleButtons(); });
    connect(u.lstWindows, &QTableView::doubleClicked, this, [this] { editWindowClick(); });
    connect(u.btnAddWindow, &QToolButton::clicked, this, [this] { addWindowClick(); });
    connect(u.btnEditWindow, &QToolButton::clicked, this, [this] { editWindowClick(); });
    connect(u.btnDelWindow, &QToolButton::clicked, this, [this] { deleteWindowClick(); });
    u.hostButtons->button(QDialogButtonBox::Ok)->setText(FromCp1251("ОК"_cp));
    u.hostButtons->button(QDialogButtonBox::Cancel)->setText(FromCp1251("Отмена"_cp));
    connect(u.hostButtons, &QDialogButtonBox::accepted, this, [this] { acceptClick(); });
    connect(u.hostButtons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    RefreshView();
    enableConfigDate();
}

TConfigForm::~TConfigForm() = default;

void TConfigForm::LoadDialog(HConfigItem* node) {
    Ui::TConfigForm& u = *ui_;
    // Checked reads: a wrong value shows its default, and the user is told.
    HConfigCheck check;
    JobReader keys(*node, check, JobSide::Dialog);
    for (int i = 0; i < u.list->SectionCount(); ++i)
        u.list->SetSectionWidth(i, keys.ColumnWidth(i, u.list->SectionWidth(i)));
    u.chLoadCfg->setChecked(keys.Flag(JobKey::LoadCfg));
    const std::string contourProblem = Contours.Load(node) ? "" : GetIOErrorS_GUI(-2);
    const std::string rulesProblem = TW_LoadOperationRules(*node, Rules) ? "" : GetIOErrorS_GUI(-2);
    host::NotifySettings notify;
    const std::string notifyProblem =
        host::ReadNotifySettings(*node, notify) ? "" : GetIOErrorS_GUI(-2);
    u.edtWebhook->setText(FromCp1251(notify.webhook));
    u.edtMailTo->setText(FromCp1251(notify.mailTo));
    u.edtMailFrom->setText(FromCp1251(notify.mailFrom));
    u.edtSmtp->setText(FromCp1251(notify.smtp));
    LoadSettings(keys);
    for (const std::string& problem :
         {contourProblem, check.Problem(), rulesProblem, notifyProblem})
        if (!problem.empty())
            RTErrorMessage(this, "%s\n%s\n%s", "Ошибка в настройках задания"_cp, problem.c_str(),
                           "Неверные значения заменены значениями по умолчанию"_cp);

    const HDBDatabase* db = tripplug::State().PluginDatabase;
    if (u.chLoadCfg->isChecked() && db && db->ConfigId == 0) {
        const std::string file = keys.Text(JobKey::CfgFile);
        // A relative path is the home's, as the run takes it.
        if (!file.empty() && !LoadHostConfig(host::StartLocalPath(file.c_str()).c_str()))
            RTLog("Ошибка загрузки конфигурации\nФайл: %s\nОшибка: %s"_cp, file.c_str(),
                  GetIOErrorS_GUI(-2));
    }
    RefreshView();
    enableConfigDate();
}

void TConfigForm::LoadSettings(JobReader& keys) {
    Ui::TConfigForm& u = *ui_;
    auto text = [&](JobKey key) { return FromCp1251(keys.Text(key)); };
    u.edtName->setText(text(JobKey::Name));
    const bool useCfg = keys.Flag(JobKey::UseCfg);
    u.chCfgSet->setChecked(useCfg);
    u.chCfgNear->setChecked(!useCfg);
    const double dialogTime = tripplug::State().DialogTime;
    u.edtCfgDate->setDate(host::ui::DateOf(keys.Date(JobKey::CfgDate, dialogTime)));
    u.edtCfgTime->setTime(host::ui::TimeOf(keys.Date(JobKey::CfgTime, dialogTime)));
    u.chSaveVals->setChecked(keys.Flag(JobKey::SaveVals));
    u.edtValPath->setText(text(JobKey::ValPath));
    u.chSaveBIN->setChecked(keys.Flag(JobKey::SaveBIN));
    u.edtDir->setText(text(JobKey::ReportDir));
    u.chSaveTXT->setChecked(keys.Flag(JobKey::SaveTXT));
    u.edtTXTDir->setText(text(JobKey::TXTDir));
    u.chSaveXLS->setChecked(keys.Flag(JobKey::SaveXLS));
    u.edtXLSDir->setText(text(JobKey::XLSDir));
    u.edtXLSTempl->setText(text(JobKey::XLSTempl));
    u.chPrint->setChecked(keys.Flag(JobKey::Print));
    u.chPreview->setChecked(keys.Flag(JobKey::Preview));
    u.chPrvManual->setChecked(keys.Flag(JobKey::PrvManual));
}

void TConfigForm::SaveDialog(HConfigItem* node) {
    Ui::TConfigForm& u = *ui_;
    for (int i = 0; i < u.list->SectionCount(); ++i)
        WriteColumnWidth(*node, i, u.list->SectionWidth(i));
    WriteFlag(*node, JobKey::LoadCfg, u.chLoadCfg->isChecked());
    if (!CfgFileName.empty()) WriteText(*node, JobKey::CfgFile, CfgFileName.c_str());
    Contours.Save(node);
    TW_SaveOperationRules(*node, Rules);
    const auto text = [node](JobKey key, const QLineEdit* edit) {
        WriteText(*node, key, Text(edit).c_str());
    };
    text(JobKey::Name, u.edtName);
    WriteFlag(*node, JobKey::UseCfg, u.chCfgSet->isChecked());
    // The run takes the day of "CfgDate" and the time of day of "CfgTime".
    const double moment =
        host::ui::DateValue(u.edtCfgDate->date()) + host::ui::TimeValue(u.edtCfgTime->time());
    WriteDate(*node, JobKey::CfgDate, moment);
    WriteDate(*node, JobKey::CfgTime, moment);
    WriteFlag(*node, JobKey::SaveVals, u.chSaveVals->isChecked());
    text(JobKey::ValPath, u.edtValPath);
    WriteFlag(*node, JobKey::SaveBIN, u.chSaveBIN->isChecked());
    text(JobKey::ReportDir, u.edtDir);
    WriteFlag(*node, JobKey::SaveTXT, u.chSaveTXT->isChecked());
    text(JobKey::TXTDir, u.edtTXTDir);
    WriteFlag(*node, JobKey::SaveXLS, u.chSaveXLS->isChecked());
    text(JobKey::XLSDir, u.edtXLSDir);
    text(JobKey::XLSTempl, u.edtXLSTempl);
    WriteFlag(*node, JobKey::Print, u.chPrint->isChecked());
    WriteFlag(*node, JobKey::Preview, u.chPreview->isChecked());
    WriteFlag(*node, JobKey::PrvManual, u.chPrvManual->isChecked());
    // A job that never had alerts gets no node for them.
    const host::NotifySettings notify = NotifyFields();
    if (node->FindChild("Notify") || notify.Any() || !notify.mailFrom.empty() ||
        !notify.smtp.empty())
        host::WriteNotifySettings(*node, notify);
}

host::NotifySettings TConfigForm::NotifyFields() const {
    const Ui::TConfigForm& u = *ui_;
    return {.webhook = Text(u.edtWebhook),
            .mailTo = Text(u.edtMailTo),
            .mailFrom = Text(u.edtMailFrom),
            .smtp = Text(u.edtSmtp)};
}

void TConfigForm::acceptClick() {
    // Read back as the run will read them, with the same messages.
    HConfigTree scratch;
    host::NotifySettings notify = NotifyFields();
    host::WriteNotifySettings(*scratch.Root(), notify);
    if (!host::ReadNotifySettings(*scratch.Root(), notify)) {
        ui_->pgJob->setCurrentWidget(ui_->tabNotify);
        RTErrorMessage(this, "%s\n%s", "Ошибка в настройках оповещений"_cp, GetIOErrorS_GUI(-2));
        return;
    }
    accept();
}

bool TConfigForm::LoadHostConfig(const char* path) {
    HDBDatabase* db = tripplug::State().PluginDatabase;
    if (!db) {
        SetError("%s", "Модуль не инициализирован"_cp);
        return false;
    }
    return RTLoadDBCfgINF(this, path, db) && DBInitTables(db, FILELog, RTErrorMessageProc);
}

void TConfigForm::RefreshView() {
    const HDBDatabase* db = tripplug::State().PluginDatabase;
    ui_->txtDBVer->setText(
        FromCp1251(db && db->ConfigId
                       ? host::Format("%08X (%s)", unsigned(db->ConfigId), db->ConfigTime.GetStr())
                       : std::string("<не загружена>"_cp)));
    ui_->list->SetRowCount(Contours.Count());
    ui_->lstCommands->SetRowCount(int(Rules.Commands.size()));
    ui_->lstWindows->SetRowCount(int(Rules.Maintenance.size()));
    updateContourButtons();
    updateRuleButtons();
}

bool TConfigForm::contourCellText(int row, int column, std::string& text) {
    const TW_Contour* c = Contours.ItemINT(row);
    if (!c) return false;
    text = TW_FieldText(column == kSensorColumn  ? c->Sensor
                        : column == kRelayColumn ? c->Rele.Sensor
                                                 : c->Prot.Sensor);
    return true;
}

void TConfigForm::updateContourButtons() {
    const int i = ui_->list->SelectedRow();
    const int n = Contours.Count();
    const bool holds = Contours.ItemINT(i) != nullptr;
    ui_->btnEdit->setEnabled(holds);
    ui_->btnDel->setEnabled(holds);
    ui_->btnDown->setEnabled(i < n - 1);
    ui_->btnUp->setEnabled(i > 0);
}

void TConfigForm::enableConfigDate() {
    const bool set = ui_->chCfgSet->isChecked();
    ui_->edtCfgDate->setEnabled(set);
    ui_->edtCfgTime->setEnabled(set);
}

void TConfigForm::addContourClick() {
    TW_Contour contour{};
    if (const TW_Contour* selected = Contours.ItemINT(ui_->list->SelectedRow())) {
        contour = *selected;
        contour.Used = 0;  // the copy starts switched off; its lines keep theirs
    }
    if (!TW_EditContour(contour, this)) return;
    Contours.Add(contour);
    RefreshView();
    ui_->list->selectRow(Contours.Count() - 1);
    updateContourButtons();
}

void TConfigForm::editContourClick() {
    TW_Contour* contour = Contours.ItemINT(ui_->list->SelectedRow());
    if (contour && TW_EditContour(*contour, this)) ui_->list->viewport()->update();
}

void TConfigForm::deleteContourClick() {
    const int row = ui_->list->SelectedRow();
    if (!Contours.ItemINT(row)) return;
    if (!host::GetInteraction().AskYesNo(this, "Удалить выбранный контур?"_cp, false)) return;
    Contours.DeleteNumINT(row);
    RefreshView();
    if (row < Contours.Count()) ui_->list->selectRow(row);
    updateContourButtons();
}

void TConfigForm::moveContourUpClick() {
    const int i = ui_->list->SelectedRow();
    if (!Contours.ItemINT(i) || i <= 0) return;
    Contours.Swap(i - 1, i);
    ui_->list->selectRow(i - 1);
    ui_->list->viewport()->update();
    updateContourButtons();
}

void TConfigForm::moveContourDownClick() {
    const int i = ui_->list->SelectedRow();
    if (!Contours.ItemINT(i) || i >= Contours.Count() - 1) return;
    Contours.Swap(i + 1, i);
    ui_->list->selectRow(i + 1);
    ui_->list->viewport()->update();
    updateContourButtons();
}

void TConfigForm::loadConfigurationClick() {
    std::string path;
    if (!host::GetInteraction().OpenFileName(this, Choice(StartLocal("Data"), kConfigFilter), path))
        return;
    if (LoadHostConfig(path.c_str()))
        CfgFileName = path;
    else
        RTErrorMessage(this, "Ошибка загрузки конфигурации\nФайл: %s\nОшибка: %s"_cp, path.c_str(),
                       GetIOErrorS_GUI(-2));
    RefreshView();
}

void TConfigForm::importContoursClick() {
    std::string path;
    if (!host::GetInteraction().OpenFileName(this, Choice(StartLocal("Data"), kContourFilter),
                                             path))
        return;
    if (!Contours.Load(path.c_str()))
        RTErrorMessage(this, "Ошибка загрузки данных\nФайл: %s\nОшибка: %s"_cp, path.c_str(),
                       GetIOErrorS_GUI(-2));
    RefreshView();
}

void TConfigForm::exportContoursClick() {
    std::string path;
    if (!host::GetInteraction().SaveFileName(this, Choice(StartLocal("Data"), kContourFilter),
                                             path))
        return;
    if (!Contours.Save(path.c_str()))
        RTErrorMessage(this, "Ошибка сохранения данных\nФайл: %s\nОшибка: %s"_cp, path.c_str(),
                       GetIOErrorS_GUI(-2));
}

void TConfigForm::PickFolder(QLineEdit* edit, const char* filter) {
    std::string path;
    if (!host::GetInteraction().SaveFileName(this, Choice(StartLocal(Text(edit)), filter), path))
        return;
    char folder[kMaxPath];
    FPath(folder, path.c_str());
    edit->setText(FromCp1251(StartRelative(folder)));
}

void TConfigForm::chooseValuesFolderClick() {
    std::string folder = StartLocal(Text(ui_->edtValPath));
    if (!host::HSelectDirectory(this, folder, 3)) return;
    if (folder.empty() || folder.back() != '/') folder += '/';
    ui_->edtValPath->setText(FromCp1251(StartRelative(folder)));
}

void TConfigForm::chooseBinaryFolderClick() {
    PickFolder(ui_->edtDir, "Файлы отчетов BIN|*.twr"_cp);
}

void TConfigForm::chooseTextFolderClick() {
    PickFolder(ui_->edtTXTDir, "Файлы отчетов TXT|*.txt"_cp);
}

void TConfigForm::chooseXlsFolderClick() {
    PickFolder(ui_->edtXLSDir, "Файлы отчетов XLS|*.xls"_cp);
}

void TConfigForm::chooseXlsTemplateClick() {
    char folder[kMaxPath];
    FPath(folder, Text(ui_->edtXLSTempl).c_str());
    std::string path;
    if (!host::GetInteraction().OpenFileName(
            this, Choice(StartLocal(folder), "Файлы шаблонов Excel|*.xls"_cp), path))
        return;
    ui_->edtXLSTempl->setText(FromCp1251(StartRelative(path)));
}

void TConfigForm::updateRuleButtons() {
    Ui::TConfigForm& u = *ui_;
    const bool command = RuleRow(u.lstCommands, Rules.Commands) >= 0;
    u.btnEditCommand->setEnabled(command);
    u.btnDelCommand->setEnabled(command);
    const bool window = RuleRow(u.lstWindows, Rules.Maintenance) >= 0;
    u.btnEditWindow->setEnabled(window);
    u.btnDelWindow->setEnabled(window);
}

bool TConfigForm::commandCellText(int row, int column, std::string& text) {
    if (row < 0 || row >= int(Rules.Commands.size())) return false;
    const TW_Command& c = Rules.Commands[row];
    text = column == kCommandLineColumn       ? c.Line
           : column == kCommandVariableColumn ? c.Variable
           : column == kCommandStateColumn    ? std::to_string(c.State)
                                              : std::to_string(c.Seconds);
    return true;
}

bool TConfigForm::windowCellText(int row, int column, std::string& text) {
    if (row < 0 || row >= int(Rules.Maintenance.size())) return false;
    const TW_MaintenanceWindow& w = Rules.Maintenance[row];
    text = column == kWindowLineColumn   ? w.Variable
           : column == kWindowFromColumn ? host::TimeText(w.From)
           : column == kWindowToColumn   ? host::TimeText(w.To)
                                         : w.Note;
    return true;
}

void TConfigForm::addCommandClick() {
    AddRule<TCommandEditForm>(this, ui_->lstCommands, Rules.Commands, TW_Command{}, Contours);
    updateRuleButtons();
}

void TConfigForm::editCommandClick() {
    const int row = RuleRow(ui_->lstCommands, Rules.Commands);
    if (row >= 0 && EditRule<TCommandEditForm>(this, Rules.Commands[row], Contours))
        ui_->lstCommands->viewport()->update();
}

void TConfigForm::deleteCommandClick() {
    DeleteRule(this, ui_->lstCommands, Rules.Commands, "Удалить выбранную команду?"_cp);
    updateRuleButtons();
}

void TConfigForm::addWindowClick() {
    // A new window starts as the dialog's day.
    TW_MaintenanceWindow window;
    const double day = std::floor(tripplug::State().DialogTime);
    window.From.SetDateTime(day);
    window.To.SetDateTime(day + 1);
    AddRule<TMaintenanceEditForm>(this, ui_->lstWindows, Rules.Maintenance, std::move(window),
                                  Contours);
    updateRuleButtons();
}

void TConfigForm::editWindowClick() {
    const int row = RuleRow(ui_->lstWindows, Rules.Maintenance);
    if (row >= 0 && EditRule<TMaintenanceEditForm>(this, Rules.Maintenance[row], Contours))
        ui_->lstWindows->viewport()->update();
}

void TConfigForm::deleteWindowClick() {
    DeleteRule(this, ui_->lstWindows, Rules.Maintenance, "Удалить выбранное окно обслуживания?"_cp);
    updateRuleButtons();
}
