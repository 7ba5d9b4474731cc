#include "Tw_contouredit.h"

#include <QComboBox>
#include <QPushButton>

#include <algorithm>

#include "common/cp1251.h"
#include "common/stringlist.h"
#include "contour_entries.h"
#include "plugin_state.h"
#include "runtime/rtlog.h"
#include "tw_contour.h"
#include "tw_strings.h"
#include "ui/qt_text.h"
#include "ui_Tw_contouredit.h"

using host::ui::FromCp1251;
using host::ui::ToCp1251;

namespace {

// A combo box's items as a host string list (text and object value).
class ComboList final : public host::StringList {
  public:
    explicit ComboList(QComboBox* combo) : combo_(combo) {}
    void Clear() override { combo_->clear(); }
    void Add(const char* text, intptr_t objectValue) override {
        combo_->addItem(FromCp1251(text ? text : ""), QVariant::fromValue<qlonglong>(objectValue));
    }

  private:
    QComboBox* combo_;
};

// Sets the text of an editable combo box without touching its list.
void SetText(QComboBox* combo, const std::string& text) {
    combo->setEditText(FromCp1251(text));
}

// Sets an up-down to a stored position; its range, as the form has it, grows to
// show a stored value outside it as it is.
void SetPosition(QSpinBox* upDown, int position) {
    upDown->setRange(std::min(upDown->minimum(), position), std::max(upDown->maximum(), position));
    upDown->setValue(position);
}

void FillLine(TContourEditForm& form, const TW_LineEntries& e, QCheckBox* use, QComboBox* sensor,
              QComboBox* state, QSpinBox* maxTime, QLineEdit* on, QLineEdit* off) {
    use->setChecked(e.used);
    form.FillVariableList(sensor);
    SetText(sensor, e.sensor);
    form.FillStateList(FromCp1251(e.sensor), state);
    SetText(state, e.state);
    SetPosition(maxTime, e.maxTime);
    on->setText(FromCp1251(e.onName));
    off->setText(FromCp1251(e.offName));
}

TW_LineEntries ReadLine(QCheckBox* use, QComboBox* sensor, QComboBox* state, QSpinBox* maxTime,
                        QLineEdit* on, QLineEdit* off) {
    TW_LineEntries e;
    e.used = use->isChecked();
    e.sensor = ToCp1251(sensor->currentText());
    e.state = ToCp1251(state->currentText());
    e.maxTime = maxTime->value();
    e.onName = ToCp1251(on->text());
    e.offName = ToCp1251(off->text());
    return e;
}

}  // namespace

TContourEditForm::TContourEditForm(QWidget* owner, TW_Contour* contour)
    : QDialog(owner), EditedContour(contour), ui_(std::make_unique<Ui::TContourEditForm>()) {
    ui_->setupUi(this);
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowSystemMenuHint |
                   Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    const TW_ContourEntries e = TW_EntriesOf(*contour);
    Ui::TContourEditForm& u = *ui_;
    u.chCUse->setChecked(e.used);
    FillVariableList(u.edtCSensor);
    SetText(u.edtCSensor, e.sensor);
    SetPosition(u.btnCInterval, e.interval);
    FillStateList(FromCp1251(e.sensor), u.edtCState);
    SetText(u.edtCState, e.state);
    u.edtStateName->setText(FromCp1251(e.stateName));
    u.edtCLimit->setText(FromCp1251(e.limit));
    ComboList valueTypes(u.cbCValueType);
    TWC_FillList(&valueTypes);
    u.cbCValueType->setCurrentIndex(e.valueType < u.cbCValueType->count() ? e.valueType : -1);
    FillLine(*this, e.rele, u.chRUse, u.edtRSensor, u.edtRState, u.btnRMaxTime, u.edtRONName,
             u.edtROFFName);
    FillLine(*this, e.prot, u.chPUse, u.edtPSensor, u.edtPState, u.btnPMaxTime, u.edtPONName,
             u.edtPOFFName);
    shown_ = Entries();

    connect(u.btnOK, &QPushButton::clicked, this, [this] { acceptContourClick(); });
    connect(u.btnClose, &QPushButton::clicked, this, [this] { reject(); });
    connect(u.edtCSensor, &QComboBox::activated, this, [this] { fillSensorStates(); });
    connect(u.edtRSensor, &QComboBox::activated, this, [this] { fillRelayStates(); });
    connect(u.edtPSensor, &QComboBox::activated, this, [this] { fillApparatusStates(); });
}

TContourEditForm::~TContourEditForm() = default;

void TContourEditForm::FillVariableList(QComboBox* list) {
    const QString text = list->currentText();
    list->clear();
    for (const auto& [name, index] : TW_VariableList(tripplug::State().PluginDatabase))
        list->addItem(FromCp1251(name), index);
    list->model()->sort(0);
    list->setEditText(text);
}

void TContourEditForm::FillStateList(const QString& name, QComboBox* list) {
    const QString text = list->currentText();
    list->clear();
    for (const std::string& item :
         TW_StateList(tripplug::State().PluginDatabase, ToCp1251(name).c_str()))
        list->addItem(FromCp1251(item));
    list->setEditText(text);  // the typed state stays
}

void TContourEditForm::fillSensorStates() {
    FillStateList(ui_->edtCSensor->currentText(), ui_->edtCState);
}

void TContourEditForm::fillRelayStates() {
    FillStateList(ui_->edtRSensor->currentText(), ui_->edtRState);
}

void TContourEditForm::fillApparatusStates() {
    FillStateList(ui_->edtPSensor->currentText(), ui_->edtPState);
}

TW_ContourEntries TContourEditForm::Entries() const {
    const Ui::TContourEditForm& u = *ui_;
    TW_ContourEntries e;
    e.used = u.chCUse->isChecked();
    e.sensor = ToCp1251(u.edtCSensor->currentText());
    e.interval = u.btnCInterval->value();
    e.state = ToCp1251(u.edtCState->currentText());
    e.stateName = ToCp1251(u.edtStateName->text());
    e.limit = ToCp1251(u.edtCLimit->text());
    e.valueType = u.cbCValueType->currentIndex();
    e.rele =
        ReadLine(u.chRUse, u.edtRSensor, u.edtRState, u.btnRMaxTime, u.edtRONName, u.edtROFFName);
    e.prot =
        ReadLine(u.chPUse, u.edtPSensor, u.edtPState, u.btnPMaxTime, u.edtPONName, u.edtPOFFName);
    return e;
}

void TContourEditForm::acceptContourClick() {
    // The entries go into a copy: a refused "Принять" followed by "Отмена"
    // leaves the contour as it was. What the user left untouched stays as the
    // contour holds it.
    TW_Contour edited = *EditedContour;
    const TW_ContourEntries entries = Entries();
    if (const char* message = TW_ReadEntries(entries, edited, &shown_)) {
        RTErrorMessage(this, "%s", message);
        return;
    }
    *EditedContour = edited;
    accept();
}

bool TW_EditContour(TW_Contour& contour, void* owner) {
    TContourEditForm form(static_cast<QWidget*>(owner), &contour);
    return form.exec() == QDialog::Accepted;
}
