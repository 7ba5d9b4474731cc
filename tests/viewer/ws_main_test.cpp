// The wizard window driven as a user would, offscreen.
#include <gtest/gtest.h>

#include <QAction>
#include <QChart>
#include <QChartView>
#include <QApplication>
#include <QComboBox>
#include <QDateEdit>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStackedWidget>
#include <QTabWidget>
#include <QTimeEdit>
#include <cstring>
#include <filesystem>

#include "common/cp1251.h"
#include "test_env.h"
#include "ui/bklist.h"
#include "ui/logcombobox.h"
#include "ui/qt_app.h"
#include "ui/qt_text.h"
#include "tw_opsfile.h"
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
    // The operations of both days: one on demand (not listed), one unexplained,
    // one commanded.
    const auto op = [](const char* variable, uint8_t cls, const PRTime& day, int hour) {
        TW_Operation o;
        std::strcpy(o.Variable, variable);
        std::strcpy(o.Sensor, "TS1");
        o.Class = cls;
        o.Time = day;
        o.Time.Hour = hour;
        return o;
    };
    ASSERT_TRUE(TW_WriteOpsFile((dir + "a.two").c_str(), d5, d6, d6,
                                {op("R1", TW_OpDemand, d5, 8), op("Q1", TW_OpUnexplained, d5, 9)}));
    ASSERT_TRUE(
        TW_WriteOpsFile((dir + "b.two").c_str(), d6, d7, d7, {op("R1", TW_OpCommanded, d6, 10)}));
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
        // Beside the list, the statistics: the one contour of the reports, the
        // contour of the operations, then the plant; its charts drawn.
        EXPECT_EQ(ui.listStats->RowCount(), 3);
        EXPECT_EQ(
            window.findChild<QChartView*>(QStringLiteral("rateChart"))->chart()->series().size(),
            1);
        EXPECT_FALSE(window.findChild<QChartView*>(QStringLiteral("trendChart"))->isVisible());
        EXPECT_FALSE(window.findChild<QChartView*>(QStringLiteral("classChart"))->isHidden());
        // And the operations without demand, all or the unexplained alone.
        EXPECT_EQ(ui.tabsResult->tabText(2), FromCp1251("Срабатывания без вызова"_cp));
        EXPECT_TRUE(ui.txtOpsUnknown->isHidden());
        ASSERT_EQ(ui.listOps->RowCount(), 2);
        const QStringList first{QStringLiteral("TS1"), QStringLiteral("Q1"), FromCp1251("реле"_cp),
                                QStringLiteral("05.12.2026 09:00:00"),
                                FromCp1251("необъясненное"_cp)};
        for (int c = 0; c < int(first.size()); ++c)
            EXPECT_EQ(ui.listOps->model()->index(0, c).data().toString(), first[c]) << c;
        ui.cbOpsClass->setCurrentIndex(1);
        EXPECT_EQ(ui.listOps->RowCount(), 1);
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
    std::filesystem::remove(dir + "b.two");
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
    // A day without its operations file: the operations are unknown, in words.
    EXPECT_EQ(ui.txtOpsUnknown->text(),
              FromCp1251("Срабатывания неизвестны: у 1 отчетов нет файла срабатываний"_cp));
    EXPECT_TRUE(ui.listOps->isHidden());
    EXPECT_TRUE(again.findChild<QChartView*>(QStringLiteral("classChart"))->isHidden());
    again.close();
}

}  // namespace
