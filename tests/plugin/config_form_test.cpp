// The settings dialog: the job's keys in and out, the contour list's buttons,
// and the host configuration loaded at dialog start.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <link.h>

#include <QApplication>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QDateEdit>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimeEdit>
#include <QTimer>
#include <QToolButton>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "common/cp1251.h"
#include "common/lasterror.h"
#include "common/paths.h"
#include "common/prtime.h"
#include "config/configitem.h"
#include "config/configtree.h"
#include "config/notifynode.h"
#include "plantdb/dbdatabase.h"
#include "plugin_state.h"
#include "scripted_interaction.h"
#include "runtime/interaction.h"
#include "runtime/rtlog.h"
#include "runtime/rtpmodule.h"
#include "test_env.h"
#include "tw_Config.h"
#include "ui/bklist.h"
#include "ui/qt_app.h"
#include "ui/qt_datetime.h"
#include "ui/qt_text.h"
#include "ui_Tw_commandedit.h"
#include "ui_Tw_maintenanceedit.h"
#include "ui_tw_Config.h"
#include "Tw_ruleedit.h"
#include "tw_oprules.h"

using namespace host::literals;
using host::ui::FromCp1251;

namespace {

class ConfigForm : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(host::ui::EnsureGuiApplication());
        tripplug::State().PluginDatabase = DBCreateDatabase();
        previous = host::SetInteraction(&answers);
    }
    void TearDown() override {
        host::SetInteraction(previous);
        HDBDestroy(tripplug::State().PluginDatabase);
    }
    static TW_Contour Contour(const char* sensor, bool relayUsed) {
        TW_Contour c{};
        c.Used = 1;
        std::strcpy(c.Sensor, sensor);
        c.Rele.Used = relayUsed;
        std::strcpy(c.Rele.Sensor, "R");
        return c;
    }
    twtest::ScriptedInteraction answers;
    host::Interaction* previous = nullptr;
    HConfigTree tree;
};

TEST_F(ConfigForm, AnEmptyJobShowsTheDefaultsAndSavingWritesEveryKey) {
    TConfigForm form(false, "Отключение оборудования"_cp);
    Ui::TConfigForm& u = *form.Form();
    EXPECT_EQ(u.grpSettings->title(), FromCp1251("Локальные: Отключение оборудования"_cp));
    form.LoadDialog(tree.Root());
    EXPECT_EQ(u.edtName->text(), QStringLiteral("Report"));
    for (QLineEdit* e : {u.edtValPath, u.edtDir, u.edtTXTDir, u.edtXLSDir})
        EXPECT_EQ(e->text(), QStringLiteral("Reports"));
    EXPECT_EQ(u.edtXLSTempl->text(), QStringLiteral("Templates\\Tripwatch.xls"));
    EXPECT_TRUE(u.chSaveBIN->isChecked() && u.chSaveVals->isChecked() &&
                u.chPrvManual->isChecked());
    EXPECT_FALSE(u.chSaveTXT->isChecked() || u.chSaveXLS->isChecked() || u.chPrint->isChecked() ||
                 u.chPreview->isChecked());
    EXPECT_TRUE(u.chCfgSet->isChecked());
    EXPECT_FALSE(u.chCfgNear->isChecked());
    EXPECT_TRUE(u.edtCfgDate->isEnabled());
    const double created = tripplug::State().DialogTime;
    EXPECT_EQ(u.edtCfgDate->date(), host::ui::DateOf(created));
    EXPECT_EQ(u.txtDBVer->text(), FromCp1251("<не загружена>"_cp));
    EXPECT_FALSE(u.btnEdit->isEnabled() || u.btnDel->isEnabled() || u.btnUp->isEnabled());

    u.chCfgNear->click();
    EXPECT_FALSE(u.edtCfgDate->isEnabled() || u.edtCfgTime->isEnabled());

    HConfigTree saved;
    form.SaveDialog(saved.Root());
    HConfigItem* n = saved.Root();
    for (const char* key : {"Sec0", "Sec1", "Sec2"})
        EXPECT_EQ(n->GetInt(key, -1), 100) << key;
    EXPECT_EQ(n->GetStr("CfgFile", "none"), std::string("none"));
    EXPECT_FALSE(n->GetBool("SaveTXT", true));
    EXPECT_FALSE(n->GetBool("SaveXLS", true));
    EXPECT_FALSE(n->GetBool("UseCfg", true));
    EXPECT_TRUE(n->GetBool("LoadCfg", false));
    EXPECT_EQ(n->GetStr("Name", ""), std::string("Report"));
    EXPECT_EQ(n->GetStr("XLSTempl", ""), std::string("Templates\\Tripwatch.xls"));
    EXPECT_NE(n->GetDate("CfgDate", -1), -1);
}

TEST_F(ConfigForm, TheListButtonsMoveAndDeleteContours) {
    TW_ContourArray set;
    set.Add(Contour("A", true));
    set.Add(Contour("B", false));
    set.Add(Contour("C", true));
    set.Save(tree.Root());
    TConfigForm form(true, "X");
    Ui::TConfigForm& u = *form.Form();
    form.LoadDialog(tree.Root());
    ASSERT_EQ(u.list->RowCount(), 3);
    EXPECT_TRUE(u.btnDown->isEnabled());  // nothing selected: enabled, does nothing
    u.btnDown->click();
    EXPECT_STREQ(form.Contours.ItemINT(0)->Sensor, "A");

    // A disabled relay line is gray in the relay column only.
    const QModelIndex relayB = u.list->model()->index(1, 1);
    EXPECT_EQ(u.list->model()->data(relayB, Qt::ForegroundRole).value<QColor>(),
              QColor(0x80, 0x80, 0x80));
    EXPECT_FALSE(u.list->model()->data(u.list->model()->index(1, 0), Qt::ForegroundRole).isValid());

    u.list->selectRow(0);
    form.updateContourButtons();
    EXPECT_FALSE(u.btnUp->isEnabled());
    u.btnUp->click();  // the first row cannot go up
    EXPECT_STREQ(form.Contours.ItemINT(0)->Sensor, "A");
    u.btnDown->click();
    EXPECT_STREQ(form.Contours.ItemINT(1)->Sensor, "A");
    EXPECT_EQ(u.list->SelectedRow(), 1);

    answers.yes = false;
    u.btnDel->click();
    EXPECT_EQ(form.Contours.Count(), 3);
    answers.yes = true;
    u.btnDel->click();
    ASSERT_EQ(answers.asked.size(), 2u);
    EXPECT_EQ(answers.asked[1], "Удалить выбранный контур?"_cp);
    ASSERT_EQ(form.Contours.Count(), 2);
    EXPECT_STREQ(form.Contours.ItemINT(1)->Sensor, "C");
    EXPECT_EQ(u.list->SelectedRow(), 1);  // the next contour moved into the row

    // Adding from a selected row starts the editor on a switched-off copy;
    // "Отмена" adds nothing.
    QTimer::singleShot(0, [] {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (w->isVisible() && w->objectName() == QStringLiteral("TContourEditForm")) {
                EXPECT_FALSE(w->findChild<QCheckBox*>(QStringLiteral("chCUse"))->isChecked());
                w->findChild<QPushButton*>(QStringLiteral("btnClose"))->click();
            }
    });
    u.btnAdd->click();
    EXPECT_EQ(form.Contours.Count(), 2);

    HConfigTree saved;
    form.SaveDialog(saved.Root());
    TW_ContourArray back;
    back.Load(saved.Root());
    ASSERT_EQ(back.Count(), 2);
    EXPECT_STREQ(back.ItemINT(0)->Sensor, "B");
}

TEST_F(ConfigForm, AWrongValueShowsItsDefaultAndIsNamedInAnErrorBox) {
    tree.Root()->SetInt("Count", 1);
    HConfigItem* item = tree.Root()->GetChild("Item0");
    item->SetBool("Used", true);
    item->SetInt("Prot/MaxTime", -1);
    tree.Root()->SetStr("SaveBIN", "false");
    tree.Root()->GetChild("Commands")->SetInt("Count", 1);
    TConfigForm form(false, "X");
    form.LoadDialog(tree.Root());
    ASSERT_EQ(form.Contours.Count(), 1);
    EXPECT_EQ(form.Contours.ItemINT(0)->Used, 1);
    EXPECT_EQ(form.Contours.ItemINT(0)->Prot.MaxTime, 10u);
    EXPECT_TRUE(form.Form()->chSaveBIN->isChecked());
    const std::string head = "Ошибка в настройках задания\n"_cp;
    const std::string tail = "\nНеверные значения заменены значениями по умолчанию"_cp;
    EXPECT_EQ(
        answers.errors,
        (std::vector<std::string>{
            head +
                "Настройки, узел Item0, ключ \"Prot/MaxTime\": ожидается целое число от 0 "
                "до 4294967295, записано -1"_cp +
                tail,
            head +
                "Настройки, ключ \"SaveBIN\": ожидается флаг (true, false, 1 или 0), "
                "записано \"false\""_cp +
                tail,
            head + "Настройки, узел Commands, ключ \"Count\": записано 1, но узла Item0 нет"_cp +
                tail}));
}

TEST_F(ConfigForm, TheStoredConfigurationIsLoadedOnceAtDialogStart) {
    const std::string dir = twtest::ScratchDir("config-form");
    HDBDatabase source;
    source.ConfigId = 0x1234ABCD;
    source.ConfigTime.Set(2026, 12, 1, 8, 30, 0);
    source.AddStateSet(1, "S", 0, 1);
    source.AddType("T", 1);
    source.AddVariable("TS1", 0);
    ASSERT_TRUE(DBSaveDatabase(source, (dir + "plant.rtdb").c_str()));
    // A relative path is the home's (the start folder), not the process's.
    ASSERT_TRUE(host::SetStartupDir(dir.c_str()));
    tree.Root()->SetStr("CfgFile", "plant.rtdb");
    {
        TConfigForm form(false, "X");
        form.LoadDialog(tree.Root());
        EXPECT_EQ(form.Form()->txtDBVer->text(), QStringLiteral("1234ABCD (01.12.2026 08:30:00)"));
        EXPECT_TRUE(form.CfgFileName.empty());  // the stored path is not taken over
    }
    // Already loaded: a later dialog does not load the stored file again.
    tree.Root()->SetStr("CfgFile", (dir + "missing.rtdb").c_str());
    host::LogCapture log;
    TConfigForm again(false, "X");
    again.LoadDialog(tree.Root());
    EXPECT_TRUE(log.lines.empty());
    EXPECT_EQ(tripplug::State().PluginDatabase->ConfigId, 0x1234ABCDu);

    // Nothing loaded and a file that cannot be read: one log line, no box.
    tripplug::State().PluginDatabase->Clear();
    TConfigForm third(false, "X");
    third.LoadDialog(tree.Root());
    ASSERT_EQ(log.lines.size(), 1u);
    EXPECT_EQ(log.lines[0].rfind("Ошибка загрузки конфигурации\nФайл: "_cp + dir, 0), 0u);
    EXPECT_TRUE(answers.errors.empty());
}

}  // namespace

namespace {

TEST_F(ConfigForm, FileButtonsLoadImportExportAndPickFoldersRelativeToTheStart) {
    const std::string dir = twtest::ScratchDir("config-form-files");
    const std::string start = GetStartupDir();
    HDBDatabase source;
    source.ConfigId = 0x42;
    source.ConfigTime.Set(2026, 12, 2, 0, 0, 0);
    source.AddStateSet(1, "S", 0, 1);
    source.AddType("T", 1);
    source.AddVariable("TS1", 0);
    ASSERT_TRUE(DBSaveDatabase(source, (dir + "plant.rtdb").c_str()));
    TConfigForm form(false, "X");
    Ui::TConfigForm& u = *form.Form();
    form.LoadDialog(tree.Root());

    answers.file = dir + "missing.rtdb";
    u.btnLoadCfg->click();
    ASSERT_EQ(answers.errors.size(), 1u);
    EXPECT_EQ(answers.errors[0].rfind(
                  "Ошибка загрузки конфигурации\nФайл: "_cp + dir + "missing.rtdb\nОшибка: "_cp, 0),
              0u);
    EXPECT_TRUE(form.CfgFileName.empty());
    answers.file = dir + "plant.rtdb";
    u.btnLoadCfg->click();
    EXPECT_EQ(answers.errors.size(), 1u);
    EXPECT_EQ(form.CfgFileName, dir + "plant.rtdb");
    EXPECT_EQ(u.txtDBVer->text().left(9), QStringLiteral("00000042 "));
    EXPECT_EQ(answers.fileCaptions.back(), "Выберите файл..."_cp);
    EXPECT_EQ(answers.fileFilters.back(), "Файлы конфигураций (RTDB, RDB)|*.rtdb;*.rdb"_cp);
    EXPECT_EQ(answers.fileExtensions.back(), "rtdb");

    // Export, then import the set again; a damaged file is refused with its message.
    form.Contours.Add(TW_Contour{});
    std::strcpy(form.Contours.ItemINT(0)->Sensor, "TS9");
    answers.file = dir + "set.ws";
    u.btnSave->click();
    EXPECT_EQ(answers.fileExtensions.back(), "ws");  // a name typed without one gets ".ws"
    form.Contours.DeleteAll();
    u.btnLoad->click();
    EXPECT_EQ(answers.fileExtensions.back(), "ws");
    ASSERT_EQ(form.Contours.Count(), 1);
    EXPECT_STREQ(form.Contours.ItemINT(0)->Sensor, "TS9");
    EXPECT_EQ(u.list->RowCount(), 1);
    answers.file = dir + "folder-not-a-file/x.ws";
    u.btnSave->click();
    EXPECT_EQ(answers.errors.back().rfind("Ошибка сохранения данных\nФайл: "_cp, 0), 0u);

    // Folders and the template are shown relative to the start folder; the
    // values folder is chosen as a folder.
    answers.folder = start + "Out/Values";
    u.btnValPath->click();
    ASSERT_EQ(answers.folderStarts.size(), 1u);
    EXPECT_EQ(answers.folderStarts[0], (std::pair<std::string, int>(start + "Reports", 3)));
    EXPECT_EQ(u.edtValPath->text(), QStringLiteral("Out/Values/"));
    EXPECT_EQ(u.edtDir->text(), QStringLiteral("Reports"));
    answers.file = start + "Out/Bin/day.twr";
    u.btnRepDir->click();
    EXPECT_EQ(u.edtDir->text(), QStringLiteral("Out/Bin/"));
    answers.file = "/elsewhere/t.txt";
    u.btnTXTDir->click();
    EXPECT_EQ(u.edtTXTDir->text(), QStringLiteral("/elsewhere/"));
    answers.file = start + "Templates/Plant.xls";
    u.btnXLSTempl->click();
    EXPECT_EQ(u.edtXLSTempl->text(), QStringLiteral("Templates/Plant.xls"));
    EXPECT_EQ(answers.fileExtensions.back(), "xls");
}

}  // namespace

namespace {

// Runs `answer` on the editor `Form` once its modal loop has started.
template <class Form, class Answer>
void AnswerEditor(Answer answer) {
    QTimer::singleShot(0, [answer] {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* form = dynamic_cast<Form*>(w); form && form->isVisible()) answer(*form);
    });
}

TEST_F(ConfigForm, CommandsAndWindowsAreCheckedInTheirEditorsAndSavedWithTheJob) {
    HDBDatabase& db = *tripplug::State().PluginDatabase;
    db.ConfigId = 1;
    db.AddStateSet(1, "S", 0, 3);
    db.AddVariable("Q1.CMD", uint16_t(db.AddType("T", 1)));
    TW_ContourArray set;
    set.Add(Contour("A", true));  // relay "R"
    set.Save(tree.Root());
    TConfigForm form(false, "X");
    Ui::TConfigForm& u = *form.Form();
    form.LoadDialog(tree.Root());
    EXPECT_EQ(u.pgJob->tabText(1), FromCp1251("Команды и обслуживание"_cp));

    AnswerEditor<TCommandEditForm>([this](TCommandEditForm& f) {
        Ui::TCommandEditForm& c = *f.Form();
        EXPECT_EQ(c.edtLine->itemText(0), QStringLiteral("R"));
        c.edtLine->setEditText(QStringLiteral("R"));
        c.edtVariable->setEditText(QStringLiteral("X9"));
        c.btnOK->click();
        EXPECT_EQ(answers.errors,
                  std::vector<std::string>{"Переменная \"X9\" не найдена в конфигурации"_cp});
        c.edtVariable->setEditText(QStringLiteral("Q1.CMD"));
        c.edtState->setEditText(QStringLiteral("2"));
        c.btnSeconds->setValue(30);
        c.btnOK->click();
        if (f.isVisible()) f.reject();  // refused: fail below rather than wait
    });
    u.btnAddCommand->click();
    AnswerEditor<TMaintenanceEditForm>([this](TMaintenanceEditForm& f) {
        Ui::TMaintenanceEditForm& m = *f.Form();
        m.edtLine->setEditText(QStringLiteral("*"));
        m.edtFrom->setText(QStringLiteral("2026-12-06 08:00:00"));
        m.edtTo->setText(QStringLiteral("2026-12-06 08:00:00"));
        m.btnOK->click();
        EXPECT_EQ(answers.errors.back(), "Окно обслуживания должно кончаться позже начала"_cp);
        m.edtTo->setText(QStringLiteral("2026-12-06 09:30:00"));
        m.edtNote->setText(FromCp1251("Ремонт"_cp));
        m.btnOK->click();
        if (f.isVisible()) f.reject();
    });
    u.btnAddWindow->click();
    EXPECT_EQ(answers.errors.size(), 2u);
    ASSERT_EQ(u.lstCommands->RowCount(), 1);
    EXPECT_EQ(u.lstWindows->model()->data(u.lstWindows->model()->index(0, 2)),
              QStringLiteral("2026-12-06 09:30:00"));
    EXPECT_TRUE(u.btnEditCommand->isEnabled() && u.btnDelWindow->isEnabled());

    HConfigTree saved;
    form.SaveDialog(saved.Root());
    TW_OperationRules back;
    ASSERT_TRUE(TW_LoadOperationRules(*saved.Root(), back)) << GetIOErrorS_GUI(-2);
    ASSERT_EQ(back.Commands.size(), 1u);
    ASSERT_EQ(back.Maintenance.size(), 1u);
    const TW_Command& c = back.Commands[0];
    EXPECT_EQ(c.Line + "/" + c.Variable, "R/Q1.CMD");
    EXPECT_EQ(c.State, 2);
    EXPECT_EQ(c.Seconds, 30u);
    const TW_MaintenanceWindow& w = back.Maintenance[0];
    EXPECT_EQ(w.Variable, "*");
    EXPECT_EQ(w.From.Hour, 8);
    EXPECT_EQ(w.To.Minute, 30);
    EXPECT_EQ(w.Note, "Ремонт"_cp);

    // A command whose relay left the contours is gray; a window for every line is not.
    form.Contours.DeleteAll();
    EXPECT_TRUE(u.lstCommands->model()
                    ->data(u.lstCommands->model()->index(0, 0), Qt::ForegroundRole)
                    .isValid());
    EXPECT_FALSE(u.lstWindows->model()
                     ->data(u.lstWindows->model()->index(0, 0), Qt::ForegroundRole)
                     .isValid());
}

}  // namespace

namespace {

TEST_F(ConfigForm, AlertChannelsAreCheckedOnOkAndSavedWithTheJob) {
    tree.Root()->GetChild("Notify")->SetStr("Webhook", "https://hooks.example/a");
    TConfigForm form(false, "X");
    Ui::TConfigForm& u = *form.Form();
    form.LoadDialog(tree.Root());
    EXPECT_EQ(u.edtWebhook->text(), QStringLiteral("https://hooks.example/a"));
    EXPECT_TRUE(u.edtMailTo->text().isEmpty() && u.edtSmtp->text().isEmpty());

    struct Case {
        const char *webhook, *to, *from, *smtp;
        const char* error;  // after "Настройки, узел Notify"; empty: accepted
    };
    const Case cases[] = {
        {"ftp://x", "", "", "",
         ", ключ \"Webhook\": ожидается адрес http:// или https://, "
         "записано \"ftp://x\""},
        {"", "a@x.example", "tw@x.example", "",
         "/Mail, ключ \"Smtp\": ожидается адрес smtp:// или smtps://, записано \"\""},
        {"", "", "tw@x.example", "smtp://m",
         "/Mail, ключ \"To\": ожидается один или несколько адресов через запятую, записано \"\""},
        {"http://h.example/x", "a@x.example, b@x.example", "tw@x.example", "smtps://u:p@m.example",
         ""},
    };
    for (const Case& c : cases) {
        u.edtWebhook->setText(QString::fromUtf8(c.webhook));
        u.edtMailTo->setText(QString::fromUtf8(c.to));
        u.edtMailFrom->setText(QString::fromUtf8(c.from));
        u.edtSmtp->setText(QString::fromUtf8(c.smtp));
        u.pgJob->setCurrentWidget(u.tabSettings);
        form.setResult(QDialog::Rejected);
        answers.errors.clear();
        u.hostButtons->button(QDialogButtonBox::Ok)->click();
        if (*c.error) {
            EXPECT_EQ(answers.errors,
                      std::vector<std::string>{
                          "Ошибка в настройках оповещений\nНастройки, узел Notify"_cp +
                          host::Utf8ToCp1251Lossy(c.error)})
                << c.webhook;
            EXPECT_EQ(form.result(), QDialog::Rejected) << c.webhook;
            EXPECT_EQ(u.pgJob->currentWidget(), u.tabNotify);
        } else {
            EXPECT_TRUE(answers.errors.empty());
            EXPECT_EQ(form.result(), QDialog::Accepted);
        }
    }
    HConfigTree saved;
    form.SaveDialog(saved.Root());
    host::NotifySettings back;
    ASSERT_TRUE(host::ReadNotifySettings(*saved.Root(), back));
    EXPECT_EQ(back.webhook, "http://h.example/x");
    EXPECT_EQ(back.mailTo, "a@x.example, b@x.example");
    EXPECT_EQ(back.mailFrom, "tw@x.example");
    EXPECT_EQ(back.smtp, "smtps://u:p@m.example");

    // A job that never had alerts gets no node for them.
    TConfigForm plain(false, "X");
    HConfigTree none, written;
    plain.LoadDialog(none.Root());
    plain.SaveDialog(written.Root());
    EXPECT_EQ(written.Root()->FindChild("Notify"), nullptr);
}

}  // namespace

namespace {

bool Loaded(const char* file) {
    struct Search {
        const char* file;
        bool found;
    } search{file, false};
    dl_iterate_phdr(
        [](dl_phdr_info* info, std::size_t, void* data) {
            auto* s = static_cast<Search*>(data);
            const std::string name = info->dlpi_name ? info->dlpi_name : "";
            if (name.size() >= std::strlen(s->file) &&
                name.compare(name.size() - std::strlen(s->file), std::string::npos, s->file) == 0)
                s->found = true;
            return 0;
        },
        &search);
    return search.found;
}

// The module shows its forms through the dialog library, which it loads from
// its own folder only when a dialog is first asked for: a run loads no window
// toolkit.
TEST_F(ConfigForm, TheModuleLoadsItsFormsWhenADialogIsFirstAskedFor) {
    const std::string bin = std::getenv("TW_BIN_DIR");
    void* library = dlopen((bin + "/libTripplug.so").c_str(), RTLD_NOW);
    ASSERT_NE(library, nullptr) << dlerror();
    auto query = reinterpret_cast<QueryPackageInfoProc>(dlsym(library, "QueryPackageInfo"));
    ASSERT_NE(query, nullptr);
    auto* module = static_cast<RTPModule*>(query(0));
    EXPECT_FALSE(Loaded("libTripplugDialogs.so"));
    {
        std::unique_ptr<QDialog> dialog(module->CreateLocalDialog());
        ASSERT_NE(dialog, nullptr);
        EXPECT_TRUE(Loaded("libTripplugDialogs.so"));
        tree.Root()->SetStr("Name", "Daily");
        module->LoadDialog(dialog.get(), tree.Root());
        HConfigTree saved;
        module->SaveDialog(dialog.get(), saved.Root());
        EXPECT_STREQ(saved.Root()->GetStr("Name", ""), "Daily");
        EXPECT_EQ(saved.Root()->GetInt("Sec0", -1), 100);
    }
    ::operator delete(static_cast<HPackageInfo*>(module));
}

}  // namespace
