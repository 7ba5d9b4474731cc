// The contour editor: its lists from the host configuration, the reading of
// state fields, the checks of "Принять", and the dialog driven offscreen.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QPushButton>
#include <QTimer>
#include <fstream>
#include <memory>
#include <sstream>

#include "Tw_contouredit.h"
#include "common/cp1251.h"
#include "contour_entries.h"
#include "config/configtree.h"
#include "plantdb/dbdatabase.h"
#include "shell/demo_plant.h"
#include "plugin_state.h"
#include "report_tripwatch.h"
#include "scripted_interaction.h"
#include "runtime/interaction.h"
#include "test_env.h"
#include "tw_contourarray.h"
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

TEST(ContourEntries, StateFieldsReadTheFirstWordAsASixteenBitCode) {
    const std::pair<const char*, uint16_t> cases[] = {
        {"3 - Авария"_cp, 3},
        {"7", 7},
        {"25", 25},
        {"65534", 65534},
        {"65535", 0xFFFF},
        {"70000", 0xFFFF},
        {"99999999999999999999", 0xFFFF},
        {"abc", 0xFFFF},
        {"-4", 0xFFFF},
        {"3x", 0xFFFF},
        {"", 0xFFFF},
    };
    for (const auto& [text, code] : cases)
        EXPECT_EQ(TW_ParseState(text), code) << text;
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
    e.prot = {true, "Q1", "300", 10, "Отключен"_cp, "Включен"_cp};
    TW_Contour c{};
    ASSERT_EQ(TW_ReadEntries(e, c), nullptr);
    EXPECT_EQ(c.State, 2);
    EXPECT_EQ(c.Interval, 30u);
    EXPECT_EQ(c.Rele.State, 0xFFFF);
    EXPECT_EQ(c.Prot.State, 300);
    EXPECT_EQ(c.Prot.MaxTime, 10u);
    EXPECT_EQ(TW_FieldText(c.Prot.OFFName), "Включен"_cp);

    struct Case {
        void (*change)(TW_ContourEntries&);
        const char* message;
    } cases[] = {
        {[](TW_ContourEntries& x) { x.state.clear(); }, "Неверный статус датчика"_cp},
        {[](TW_ContourEntries& x) { x.state = "70000"; }, "Неверный статус датчика"_cp},
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
        form.fillSensorStates();
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
    EXPECT_FALSE(TW_EditContour(c, nullptr));
    EXPECT_EQ(std::memcmp(&c, &accepted, sizeof c), 0);
    host::SetInteraction(previous);
}

// A contour in use on the configuration's variables, with a window for each line.
TW_Contour Watched() {
    TW_Contour c{};
    c.Used = 1;
    std::strcpy(c.Sensor, "TS1");
    c.State = 2;
    c.Interval = 60;
    c.Rele.Used = c.Prot.Used = 1;
    std::strcpy(c.Rele.Sensor, "R1");
    std::strcpy(c.Prot.Sensor, "Q1");
    c.Rele.State = c.Prot.State = 1;
    c.Rele.MaxTime = 10;
    c.Prot.MaxTime = 20;
    std::strcpy(c.Prot.ONName, "Отключен"_cp);
    return c;
}

bool Accept(TContourEditForm& form) {
    form.Form()->btnOK->click();
    return form.result() == QDialog::Accepted;
}

// "Принять" on an untouched dialog leaves the contour byte for byte as it was,
// also where a stored value lies outside what the form's controls offer.
TEST_F(Configured, AcceptingAnUntouchedContourKeepsEveryField) {
    ASSERT_TRUE(host::ui::EnsureGuiApplication());
    twtest::ScopedInteraction boxes;
    const struct {
        const char* what;
        void (*set)(TW_Contour&);
    } cases[] = {
        {"windows of the whole excursion",
         [](TW_Contour& c) { c.Rele.MaxTime = c.Prot.MaxTime = 0; }},
        {"long windows", [](TW_Contour& c) { c.Rele.MaxTime = 7200, c.Prot.MaxTime = 0xFFFFFFFF; }},
        {"no interval", [](TW_Contour& c) { c.Interval = 0; }},
        {"a day's interval", [](TW_Contour& c) { c.Interval = 86400; }},
        {"codes above 15",
         [](TW_Contour& c) { c.State = 20, c.Rele.State = 300, c.Prot.State = 65534; }},
        {"an unused line without a state",
         [](TW_Contour& c) { c.Prot.Used = 0, c.Prot.State = 0xFFFF; }},
        {"a value type the list lacks", [](TW_Contour& c) { c.ValueType = 2; }},
        {"enable bytes other than 1", [](TW_Contour& c) { c.Used = 2, c.Rele.Used = 255; }},
        {"texts at their limits",
         [](TW_Contour& c) {
             std::memset(c.Sensor, 'S', 50);
             std::memset(c.Limit, 'L', 250);
             std::strcpy(c.StateName, "\x98\t\xC0 ");  // a byte without a character, a tab
         }},
    };
    for (const auto& k : cases) {
        TW_Contour c = Watched();
        k.set(c);
        const TW_Contour stored = c;
        TContourEditForm form(nullptr, &c);
        EXPECT_TRUE(Accept(form)) << k.what;
        EXPECT_EQ(std::memcmp(&c, &stored, sizeof c), 0) << k.what;
    }
    EXPECT_TRUE(boxes.answers.errors.empty());
}

// The up-downs show stored times as they are, a window of 0 as no limit; a
// field the user changes is the only one written.
TEST_F(Configured, TheUpDownsShowStoredTimesAndOnlyAChangedFieldIsWritten) {
    ASSERT_TRUE(host::ui::EnsureGuiApplication());
    TW_Contour c = Watched();
    c.Interval = 86400;
    c.Rele.MaxTime = 0;
    c.Prot.MaxTime = 0xFFFFFFFF;
    c.State = 20;
    TW_Contour expected = c;
    TContourEditForm form(nullptr, &c);
    Ui::TContourEditForm& u = *form.Form();
    EXPECT_EQ(u.btnCInterval->value(), 86400);
    EXPECT_EQ(u.btnRMaxTime->text(), FromCp1251("0 - без ограничения"_cp));
    EXPECT_EQ(u.edtCState->currentText(), QStringLiteral("20"));
    u.btnRMaxTime->setValue(30);
    u.edtPState->setEditText(QStringLiteral("25"));
    ASSERT_TRUE(Accept(form));
    expected.Rele.MaxTime = 30;
    expected.Prot.State = 25;
    EXPECT_EQ(std::memcmp(&c, &expected, sizeof c), 0);
}

std::string FileText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// Every contour of the demo job opened and accepted in the editor, and the set
// saved into the job again: the job file is the same byte for byte.
TEST_F(Configured, OpeningAndAcceptingEachContourOfTheDemoJobLeavesItsFileAsItWas) {
    ASSERT_TRUE(host::ui::EnsureGuiApplication());
    const std::string home = twtest::ScratchDir("demo-job");
    host::DemoOptions options;
    options.Days = 1;
    options.BackgroundVariables = 0;
    options.Today = 1796720400;  // 2026-12-08, a fixed day
    host::DemoSummary demo;
    ASSERT_TRUE(host::MakeDemoPlant(home.c_str(), options, &WriteJobNode, demo));
    ASSERT_TRUE(RTLoadDBCfgINF(nullptr, demo.ConfigPath.c_str(), &db));
    ASSERT_TRUE(DBInitTables(&db, nullptr, nullptr));

    HConfigTree job;
    ASSERT_TRUE(job.Load(demo.JobPath.c_str()));
    TW_ContourArray set;
    set.Load(job.Root());
    ASSERT_EQ(set.Count(), demo.Contours);
    for (int i = 0; i < set.Count(); ++i) {
        TContourEditForm form(nullptr, set.ItemINT(i));
        ASSERT_GT(form.Form()->edtRState->count(), 0);  // the configuration's states are offered
        EXPECT_TRUE(Accept(form)) << i;
    }
    set.Save(job.Root());
    const std::string saved = home + "Daily-saved.json";
    ASSERT_TRUE(job.SaveAs(saved.c_str()));
    EXPECT_EQ(FileText(saved), FileText(demo.JobPath));
}

}  // namespace
