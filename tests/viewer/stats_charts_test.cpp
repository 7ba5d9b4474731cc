// The statistics' charts and their print as files: what batch writes beside
// stats.csv and what the window writes as PDF.
#include <gtest/gtest.h>

#include <QImage>

#include <cstring>
#include <filesystem>

#include "common/cp1251.h"
#include "shell_output.h"
#include "stats_charts.h"
#include "stats_print.h"
#include "test_env.h"
#include "tw_stats.h"
#include "ui/qt_app.h"
#include "viewer_test_util.h"

namespace {

// Two weeks of a plant of three contours, a few incidents a day; with the
// operations, an unexplained and a commanded one of each contour's relay.
TW_Statistics Plant(TW_StatsStep step, bool operations = false) {
    TW_StatsBuilder builder({.NearMissShare = 0.8, .Step = step});
    for (int c = 0; operations && c < 3; ++c)
        for (const uint8_t cls : {TW_OpUnexplained, TW_OpCommanded}) {
            TW_Operation op;
            std::snprintf(op.Sensor, sizeof op.Sensor, "U%d.Sensor", c);
            std::snprintf(op.Variable, sizeof op.Variable, "U%d.Relay", c);
            op.Class = cls;
            op.Time.Set(2026, 11, 3 + c, 12, 0, 0);
            builder.Add({op});
        }
    builder.SetOperationsKnown(operations);
    for (int day = 1; day <= 14; ++day)
        for (int c = 0; c < 3; ++c) {
            TW_ContourLine l =
                twview_test::Incident(true, (day + c) % 4 ? 0x10 : 0x00, true, 0x10, day);
            std::snprintf(l.Contour.Sensor, sizeof l.Contour.Sensor, "U%d.Sensor", c);
            l.Contour.Rele.MaxTime = 10;
            l.Contour.Prot.MaxTime = 30;
            l.Start.Set(2026, 11, day, 8 + c, 0, 0);
            l.End.Set(2026, 11, day, 8 + c, 2, 0);
            const TW_IncidentTimes t{{uint32_t(day % 12), TW_NoTime}, {uint32_t(3 * c), TW_NoTime}};
            builder.Add(l, &t);
        }
    return builder.Finish(PRTime().Set(2026, 11, 1), PRTime().Set(2026, 11, 15));
}

std::string Pages(const std::string& pdf) {
    const std::string info = twtest::Shell("pdfinfo '" + pdf + "' | grep '^Pages:'");
    return info.substr(info.find_first_of("0123456789"));
}

TEST(StatsCharts, AreWrittenAsPdfAndPngAndPrintedAfterTheTable) {
    ASSERT_TRUE(host::ui::EnsureGuiApplication());
    const std::string dir = twtest::ScratchDir("charts");
    QStringList written;
    QString error;
    ASSERT_TRUE(TW_WriteStatsCharts(Plant(TW_StatsStep::Week, true), QString::fromUtf8(dir.c_str()),
                                    written, error))
        << error.toStdString();
    QStringList names;
    for (const QString& f : written)
        names << QString::fromStdString(std::filesystem::path(f.toStdString()).filename().string());
    EXPECT_EQ(
        names,
        (QStringList{QStringLiteral("misoperation_rate.pdf"),
                     QStringLiteral("misoperation_rate.png"), QStringLiteral("response_times.pdf"),
                     QStringLiteral("response_times.png"), QStringLiteral("trend.pdf"),
                     QStringLiteral("trend.png"), QStringLiteral("operation_classes.pdf"),
                     QStringLiteral("operation_classes.png")}));
    for (const char* png :
         {"misoperation_rate.png", "response_times.png", "trend.png", "operation_classes.png"}) {
        const QImage image(QString::fromUtf8((dir + png).c_str()));
        ASSERT_EQ(image.size(), QSize(1200, 700)) << png;
        int inked = 0;  // a drawn chart, not a blank page
        for (int y = 0; y < image.height(); y += 4)
            for (int x = 0; x < image.width(); x += 4)
                inked += image.pixel(x, y) != qRgb(255, 255, 255);
        EXPECT_GT(inked, 500) << png;
    }
    EXPECT_EQ(Pages(dir + "trend.pdf"), "1\n");

    // The print: the table, then the rate and the response-time charts, and
    // with the operations known their classes.
    ASSERT_TRUE(TW_WriteStatisticsPdf(Plant(TW_StatsStep::None),
                                      QString::fromUtf8((dir + "stats.pdf").c_str()), error));
    EXPECT_EQ(Pages(dir + "stats.pdf"), "3\n");
    ASSERT_TRUE(TW_WriteStatisticsPdf(Plant(TW_StatsStep::None, true),
                                      QString::fromUtf8((dir + "stats.pdf").c_str()), error));
    EXPECT_EQ(Pages(dir + "stats.pdf"), "4\n");

    // A folder that is not there: nothing written, the file named.
    const std::string missing = dir + "no/such";
    written.clear();
    EXPECT_FALSE(TW_WriteStatsCharts(Plant(TW_StatsStep::None), QString::fromUtf8(missing.c_str()),
                                     written, error));
    EXPECT_TRUE(written.isEmpty());
    EXPECT_TRUE(error.startsWith(
        QString::fromUtf8(("Файл не записан: " + missing + "/misoperation_rate.pdf: ").c_str())))
        << error.toStdString();
    EXPECT_FALSE(TW_WriteStatisticsPdf(Plant(TW_StatsStep::None),
                                       QString::fromUtf8((missing + "/s.pdf").c_str()), error));
    EXPECT_FALSE(std::filesystem::exists(missing));
}

}  // namespace
