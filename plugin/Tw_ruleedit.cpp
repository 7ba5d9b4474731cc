#include "Tw_ruleedit.h"

#include <QComboBox>
#include <QPushButton>

#include "contour_entries.h"
#include "plugin_state.h"
#include "runtime/rtlog.h"
#include "ui/qt_text.h"
#include "ui_Tw_commandedit.h"
#include "ui_Tw_maintenanceedit.h"

using host::ui::FromCp1251;
using host::ui::ToCp1251;

namespace {

// An editable list holding `items` and showing `text`.
void Fill(QComboBox* combo, const std::vector<std::string>& items, const std::string& text) {
    combo->clear();
    for (const std::string& item : items)
        combo->addItem(FromCp1251(item));
    combo->setEditText(FromCp1251(text));
}

const Qt::WindowFlags kEditorFlags = Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint |
                                     Qt::WindowSystemMenuHint | Qt::WindowTitleHint |
                                     Qt::WindowCloseButtonHint;

}  // namespace

TCommandEditForm::TCommandEditForm(QWidget* owner, TW_Command* command,
                                   std::vector<std::string> lines)
    : QDialog(owner),
      ui_(std::make_unique<Ui::TCommandEditForm>()),
      command_(command),
      lines_(std::move(lines)) {
    ui_->setupUi(this);
    setWindowFlags(kEditorFlags);
    Ui::TCommandEditForm& u = *ui_;
    const TW_CommandEntries e = TW_EntriesOf(*command);
    Fill(u.edtLine, lines_, e.line);
    std::vector<std::string> names;
    for (const auto& [name, index] : TW_VariableList(tripplug::State().PluginDatabase))
        names.push_back(name);
    Fill(u.edtVariable, names, e.variable);
    u.edtVariable->model()->sort(0);
    u.edtVariable->setEditText(FromCp1251(e.variable));
    fillCommandStates();
    u.edtState->setEditText(FromCp1251(e.state));
    u.btnSeconds->setValue(e.seconds);

    connect(u.btnOK, &QPushButton::clicked, this, [this] { acceptCommandClick(); });
    connect(u.btnClose, &QPushButton::clicked, this, [this] { reject(); });
    connect(u.edtVariable, &QComboBox::activated, this, [this] { fillCommandStates(); });
}

TCommandEditForm::~TCommandEditForm() = default;

void TCommandEditForm::fillCommandStates() {
    QComboBox* states = ui_->edtState;
    const QString typed = states->currentText();
    Fill(states,
         TW_StateList(tripplug::State().PluginDatabase,
                      ToCp1251(ui_->edtVariable->currentText()).c_str()),
         {});
    states->setEditText(typed);  // the typed state stays
}

void TCommandEditForm::acceptCommandClick() {
    const Ui::TCommandEditForm& u = *ui_;
    const TW_CommandEntries e{ToCp1251(u.edtLine->currentText()),
                              ToCp1251(u.edtVariable->currentText()),
                              ToCp1251(u.edtState->currentText()), u.btnSeconds->value()};
    const std::string problem =
        TW_ReadCommand(e, lines_, tripplug::State().PluginDatabase, *command_);
    if (!problem.empty()) {
        RTErrorMessage(this, "%s", problem.c_str());
        return;
    }
    accept();
}

TMaintenanceEditForm::TMaintenanceEditForm(QWidget* owner, TW_MaintenanceWindow* window,
                                           std::vector<std::string> lines)
    : QDialog(owner),
      ui_(std::make_unique<Ui::TMaintenanceEditForm>()),
      window_(window),
      lines_(std::move(lines)) {
    ui_->setupUi(this);
    setWindowFlags(kEditorFlags);
    Ui::TMaintenanceEditForm& u = *ui_;
    const TW_WindowEntries e = TW_EntriesOf(*window);
    std::vector<std::string> offered{kEveryLine};
    offered.insert(offered.end(), lines_.begin(), lines_.end());
    Fill(u.edtLine, offered, e.line);
    u.edtFrom->setText(FromCp1251(e.from));
    u.edtTo->setText(FromCp1251(e.to));
    u.edtNote->setText(FromCp1251(e.note));

    connect(u.btnOK, &QPushButton::clicked, this, [this] { acceptWindowClick(); });
    connect(u.btnClose, &QPushButton::clicked, this, [this] { reject(); });
}

TMaintenanceEditForm::~TMaintenanceEditForm() = default;

void TMaintenanceEditForm::acceptWindowClick() {
    const Ui::TMaintenanceEditForm& u = *ui_;
    const TW_WindowEntries e{ToCp1251(u.edtLine->currentText()), ToCp1251(u.edtFrom->text()),
                             ToCp1251(u.edtTo->text()), ToCp1251(u.edtNote->text())};
    const std::string problem = TW_ReadWindow(e, lines_, *window_);
    if (!problem.empty()) {
        RTErrorMessage(this, "%s", problem.c_str());
        return;
    }
    accept();
}
