// The wizard window driven as a user would, offscreen.
#include <gtest/gtest.h>

#include <QAction>
#include <QChart>
#include <QChartView>
#include <QApplication>
#include <QDateEdit>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStackedWidget>
#include <QTimeEdit>
#include <filesystem>

#include "common/cp1251.h"
#include "test_env.h"
#include "ui/bklist.h"
#include "ui/logcombobox.h"
#include "ui/qt_app.h"
#include "ui/qt_text.h"
#include "ui_ws_Main.h"
#include "viewer_test_util.h"
#include "ws_Main.h"

using namespace host::literals;
using host::ui::FromCp1251;

namespace {

TEST(WizardWindow, LeadsFromThePeriodToTheNonOperationsAndKeepsItsSettings) {
    ASSERT_TRUE(host::ui::EnsureGuiApplication());
    const std::string dir = twtest::ScratchDir("window");
    const std::string settings = dir + "Tripview.hcfg", log = dir + "Tripview.log";
    PRTime d5, d6, d7;
    d5.Set(2026, 12, 5, 0, 0, 0);
    d6.Set(2026, 12, 6, 0, 0, 0);
    d7.Set(2026, 12, 7, 0, 0, 0);
    ASSERT_TRUE(twview_test::SaveReport(dir + "a.twr", d5, d6,
                                        {twview_test::Incident(true, 0, false, 0, 1),
                                         twview_test::Incident(true, 0x10, false, 0, 2)}));
    ASSERT_TRUE(twview_test::SaveReport(dir + "b.twr", d6, d7,
                                        {twview_test::Incident(false, 0, true, 0x11, 3)}));
    twview_test::WriteText(dir + "bad.twr", "not a report");
    {
        TWSMainForm window(settings, log);
        Ui::TWSMainForm& ui = *window.Form();
        window.show();
        // First start: no folder, all pickers at the date-time 0.
        EXPECT_TRUE(ui.edtPath->text().isEmpty());
        EXPECT_EQ(ui.txtPeriod->text(), FromCp1251("Неверный интервал рассчета"_cp));
        EXPECT_FALSE(ui.btnNext1->isEnabled());

        ui.edtPath->setText(QString::fromUtf8(dir.c_str()));
        ui.dtStart->setDate(QDate(2026, 12, 5));
        ui.dtEnd->setDate(QDate(2026, 12, 8));
        ui.tmEnd->setTime(QTime(1, 0));
        EXPECT_EQ(ui.txtPeriod->text(), FromCp1251("Дней: 3, Часов: 1 "_cp));
        ASSERT_TRUE(ui.btnNext1->isEnabled());

        ui.btnNext1->click();
        EXPECT_EQ(ui.pages->currentIndex(), kReportsPage);
        EXPECT_EQ(ui.list->RowCount(), 2);
        EXPECT_TRUE(ui.btnNext2->isEnabled());
        EXPECT_EQ(ui.txtFullPeriod->text(),
                  FromCp1251("Рассчетный период: 05-12-2026 - 08-12-2026"_cp));
        ui.list->SetSectionWidth(0, 333);
        EXPECT_TRUE(ui.txtNotes->isVisible());
        EXPECT_EQ(ui.txtNotes->text(), FromCp1251("Ошибка чтения отчета "_cp + dir +
                                                  "bad.twr: " + "Неверный формат файла!"_cp));

        ui.btnNext2->click();
        EXPECT_EQ(ui.pages->currentIndex(), kResultPage);
        EXPECT_EQ(ui.listRep->RowCount(), 2);
        // Beside the list, the statistics: the one contour of the reports, then
        // the plant; its charts drawn.
        EXPECT_EQ(ui.listStats->RowCount(), 2);
        EXPECT_EQ(
            window.findChild<QChartView*>(QStringLiteral("rateChart"))->chart()->series().size(),
            1);
        EXPECT_FALSE(window.findChild<QChartView*>(QStringLiteral("trendChart"))->isVisible());
        window.enableExportItems();
        EXPECT_TRUE(window.ExportAction(TW_ExportItem::Text)->isEnabled());
        EXPECT_FALSE(window.ExportAction(TW_ExportItem::Xls)->isEnabled());  // no template yet
        EXPECT_TRUE(window.ExportAction(TW_ExportItem::Print)->isEnabled());
        ui.edtTemplate->setText(QStringLiteral("/tmp/t.xls"));
        window.enableExportItems();
        EXPECT_TRUE(window.ExportAction(TW_ExportItem::Xls)->isEnabled());

        ui.btnPrev3->click();  // leaving page 3 keeps the template
        EXPECT_EQ(ui.pages->currentIndex(), kReportsPage);
        EXPECT_EQ(ui.list->RowCount(), 2);  // searched again
        EXPECT_EQ(ui.cbLog->currentText(),
                  FromCp1251("За заданный промежуток найдено 2 отчетов."_cp));
        ui.btnPrev2->click();
        EXPECT_EQ(ui.pages->currentIndex(), kSourcePage);
        window.close();
    }
    EXPECT_TRUE(std::filesystem::exists(settings));
    TWSMainForm again(settings, log);
    Ui::TWSMainForm& ui = *again.Form();
    again.show();
    EXPECT_EQ(ui.edtPath->text(), QString::fromUtf8(dir.c_str()));
    EXPECT_EQ(ui.dtEnd->date(), QDate(2026, 12, 8));
    EXPECT_EQ(ui.tmEnd->time(), QTime(1, 0));
    EXPECT_TRUE(ui.btnNext1->isEnabled());
    ui.btnNext1->click();
    EXPECT_EQ(ui.list->SectionWidth(0), 333);
    ui.btnNext2->click();
    EXPECT_EQ(ui.edtTemplate->text(), QStringLiteral("/tmp/t.xls"));
    again.close();
}

}  // namespace
