// The contour editor: its lists from the host configuration, the reading of
// state fields, the checks of "Принять", and the dialog driven offscreen.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QPushButton>
#include <QTimer>
#include <memory>

#include "Tw_contouredit.h"
#include "common/cp1251.h"
#include "contour_entries.h"
#include "data/dbdatabase.h"
#include "plugin_state.h"
#include "scripted_interaction.h"
#include "runtime/interaction.h"
#include "tw_fieldtext.h"
#include "ui/qt_app.h"
#include "ui/qt_text.h"
#include "ui_Tw_contouredit.h"

using namespace host::literals;
using host::ui::FromCp1251;

namespace {

// A configuration: TS1 with states 0..2 named, Q1 whose type has no state set.
class Configured : public ::testing::Test {
  protected:
    void SetUp() override {
        db.ConfigId = 7;
        db.AddStateSet(3, "Датчик"_cp, 0, 2);
        db.SetStateName(3, 0, "Норма"_cp);
        db.SetStateName(3, 1, "Предупреждение"_cp);
        db.SetStateName(3, 2, "Авария"_cp);
        const int sensorType = db.AddType("Датчик"_cp, 3);
        const int bare = db.AddType("Без состояний"_cp, 99);
        db.AddVariable("TS1", uint16_t(sensorType));
        db.AddVariable("R1", uint16_t(sensorType));
        db.AddVariable("Q1", uint16_t(bare));
        host::SetCurrentStateTables(db.SharedStates());
        tripplug::State().PluginDatabase = &db;
    }
    void TearDown() override {
        tripplug::State().PluginDatabase = nullptr;
        host::SetCurrentStateTables(nullptr);
    }
    HDBDatabase db;
};

TEST(ContourEntries, StateFieldsReadTheFirstWordAsACodeUpTo15) {
    EXPECT_EQ(TW_ParseState("3 - Авария"_cp), 3);
    EXPECT_EQ(TW_ParseState("7"), 7);
    EXPECT_EQ(TW_ParseState("25"), 15);
    EXPECT_EQ(TW_ParseState("99999999999999999999"), 15);
    EXPECT_EQ(TW_ParseState("abc"), 0);
    EXPECT_EQ(TW_ParseState("-4"), 0);
    EXPECT_EQ(TW_ParseState("3x"), 0);
    EXPECT_EQ(TW_ParseState(""), 0xFFFF);
}

TEST_F(Configured, ListsOfferTheConfigurationsNamesAndStates) {
    const auto names = TW_VariableList(&db);
    ASSERT_EQ(names.size(), 3u);
    EXPECT_EQ(names[2], (std::pair<std::string, int>("Q1", 2)));
    const std::vector<std::string> states{"0 - Норма"_cp, "1 - Предупреждение"_cp, "2 - Авария"_cp};
    EXPECT_EQ(TW_StateList(&db, "TS1"), states);
    EXPECT_EQ(TW_StateList(&db, "Q1"),
              std::vector<std::string>{"<переменная не сконфигурирована>"_cp});
    EXPECT_EQ(TW_StateList(&db, "X9"), std::vector<std::string>{"<переменная не найдена>"_cp});
    EXPECT_TRUE(TW_StateList(&db, "").empty());
    db.ConfigId = 0;
    EXPECT_TRUE(TW_VariableList(&db).empty());
    EXPECT_EQ(TW_StateList(&db, "TS1"), std::vector<std::string>{"<конфигурация не загружена>"_cp});
}

TEST(ContourEntries, AcceptChecksEachLineInOrder) {
    TW_ContourEntries e;
    e.used = true;
    e.sensor = "TS1";
    e.state = "2 - Авария"_cp;
    e.interval = 30;
    e.rele = {false, "", "", 5, "", ""};  // a line not in use is stored as typed
    e.prot = {true, "Q1", "1", 10, "Отключен"_cp, "Включен"_cp};
    TW_Contour c{};
    ASSERT_EQ(TW_ReadEntries(e, c), nullptr);
    EXPECT_EQ(c.State, 2);
    EXPECT_EQ(c.Interval, 30u);
    EXPECT_EQ(c.Rele.State, 0xFFFF);
    EXPECT_EQ(c.Prot.MaxTime, 10u);
    EXPECT_EQ(TW_FieldText(c.Prot.OFFName), "Включен"_cp);

    struct Case {
        void (*change)(TW_ContourEntries&);
        const char* message;
    } cases[] = {
        {[](TW_ContourEntries& x) { x.state.clear(); }, "Неверный статус датчика"_cp},
        {[](TW_ContourEntries& x) { x.sensor.clear(); }, "Не задано имя датчика"_cp},
        {[](TW_ContourEntries& x) { x.rele = {true, "", "1", 1, "", ""}; },
         "Не задано имя реле"_cp},
        {[](TW_ContourEntries& x) { x.rele = {true, "R1", "", 1, "", ""}; },
         "Неверный статус реле"_cp},
        {[](TW_ContourEntries& x) { x.prot.sensor.clear(); }, "Не задано имя аппарата"_cp},
        {[](TW_ContourEntries& x) { x.prot.state.clear(); }, "Неверный статус аппарата"_cp},
    };
    for (const Case& k : cases) {
        TW_ContourEntries x = e;
        k.change(x);
        TW_Contour d{};
        const char* message = TW_ReadEntries(x, d);
        ASSERT_NE(message, nullptr);
        EXPECT_STREQ(message, k.message);
    }
    // Names are cut to 50 characters.
    e.sensor = std::string(60, 'N');
    ASSERT_EQ(TW_ReadEntries(e, c), nullptr);
    EXPECT_EQ(TW_FieldText(c.Sensor), std::string(50, 'N'));
}

TEST_F(Configured, TheDialogRefusesBadEntriesAndChangesTheContourOnlyWhenAccepted) {
    ASSERT_TRUE(host::ui::EnsureGuiApplication());
    twtest::ScriptedInteraction boxes;
    host::Interaction* previous = host::SetInteraction(&boxes);
    TW_Contour c{};
    c.Used = 1;
    std::strcpy(c.Sensor, "TS1");
    c.State = 2;
    c.Interval = 60;
    const TW_Contour original = c;
    {
        TContourEditForm form(nullptr, &c);
        Ui::TContourEditForm& u = *form.Form();
        EXPECT_EQ(u.edtCSensor->count(), 3);
        EXPECT_EQ(u.edtCSensor->itemText(0), QStringLiteral("Q1"));  // sorted by text
        EXPECT_EQ(u.edtCState->count(), 3);
        EXPECT_EQ(u.edtCState->currentText(), QStringLiteral("2"));
        EXPECT_EQ(u.btnCInterval->value(), 60);

        // Another name refills the states and keeps the typed state.
        u.edtCSensor->setCurrentIndex(u.edtCSensor->findText(QStringLiteral("Q1")));
        u.edtCState->setEditText(QStringLiteral("2"));
        form.edtCSensorClick();
        ASSERT_EQ(u.edtCState->count(), 1);
        EXPECT_EQ(u.edtCState->itemText(0), FromCp1251("<переменная не сконфигурирована>"_cp));
        EXPECT_EQ(u.edtCState->currentText(), QStringLiteral("2"));

        u.chRUse->setChecked(true);  // a relay in use without a name
        u.btnOK->click();
        ASSERT_EQ(boxes.errors.size(), 1u);
        EXPECT_EQ(boxes.errors[0], "Не задано имя реле"_cp);
        EXPECT_EQ(std::memcmp(&c, &original, sizeof c), 0);  // nothing written yet
        EXPECT_NE(form.result(), QDialog::Accepted);

        u.edtRSensor->setEditText(QStringLiteral("R1"));
        u.edtRState->setEditText(FromCp1251("1 - Предупреждение"_cp));
        u.btnOK->click();
        EXPECT_EQ(form.result(), QDialog::Accepted);
    }
    EXPECT_EQ(TW_FieldText(c.Sensor), "Q1");
    EXPECT_EQ(c.Rele.Used, 1);
    EXPECT_EQ(c.Rele.State, 1);

    // "Отмена" gives false and leaves the contour alone.
    const TW_Contour accepted = c;
    QTimer::singleShot(0, [] {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* dialog = qobject_cast<QDialog*>(w); dialog && dialog->isVisible())
                dialog->findChild<QPushButton*>(QStringLiteral("btnClose"))->click();
    });
    EXPECT_FALSE(c.Edit(nullptr));
    EXPECT_EQ(std::memcmp(&c, &accepted, sizeof c), 0);
    host::SetInteraction(previous);
}

}  // namespace
