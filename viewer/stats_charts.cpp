#include "stats_charts.h"

#include <QBarCategoryAxis>
#include <QBarSet>
#include <QChart>
#include <QDateTime>
#include <QDateTimeAxis>
#include <QDir>
#include <QFileInfo>
#include <QGraphicsScene>
#include <QHorizontalBarSeries>
#include <QHorizontalStackedBarSeries>
#include <QImage>
#include <QLineSeries>
#include <QPainter>
#include <QPdfWriter>
#include <QScatterSeries>
#include <QValueAxis>

#include <algorithm>

#include "stats_file.h"
#include "operations_view.h"
#include "stats_table.h"
#include "tw_stats.h"
#include "ui/qt_text.h"

using host::ui::FromCp1251;

namespace {

// The chart texts of this file are written in UTF-8.
QString Text(const char* utf8) {
    return QString::fromUtf8(utf8);
}

QDateTime Moment(int64_t t) {
    return QDateTime::fromSecsSinceEpoch(t);
}

QString PeriodText(const TW_Statistics& stats) {
    return FromCp1251(std::string(stats.Start.GetStr()) + " - " + stats.End.GetStr());
}

// A horizontal line across the period.
QLineSeries* Level(const QString& name, double value, const TW_Statistics& stats,
                   Qt::PenStyle style, const QColor& color) {
    auto* line = new QLineSeries;
    line->setName(name);
    line->append(double(Moment(stats.Start.GetTT()).toMSecsSinceEpoch()), value);
    line->append(double(Moment(stats.End.GetTT()).toMSecsSinceEpoch()), value);
    line->setPen(QPen(color, 1.5, style));
    return line;
}

// A window that steps where its setting changed, to the period's end.
QLineSeries* Steps(const QString& name, const std::vector<TW_WindowStep>& steps, bool apparatus,
                   double share, const TW_Statistics& stats, Qt::PenStyle style,
                   const QColor& color) {
    auto* line = new QLineSeries;
    line->setName(name);
    double previous = -1;
    bool first = true;
    for (const TW_WindowStep& s : steps) {
        if (s.Apparatus != apparatus) continue;
        // The first setting is drawn from the period's start.
        const int64_t from = first ? std::min<int64_t>(s.Time, stats.Start.GetTT()) : s.Time;
        first = false;
        const double x = double(Moment(from).toMSecsSinceEpoch());
        if (previous > 0) line->append(x, previous * share);
        previous = s.Seconds;
        if (s.Seconds > 0) line->append(x, s.Seconds * share);
    }
    if (previous > 0)
        line->append(double(Moment(stats.End.GetTT()).toMSecsSinceEpoch()), previous * share);
    line->setPen(QPen(color, 1.5, style));
    return line;
}

// A time axis over the period: a tick a day for a week or less, with the hour
// for a period of a day or two.
QDateTimeAxis* TimeAxis(int64_t from, int64_t to) {
    auto* axis = new QDateTimeAxis;
    const int64_t days = (to - from + 86399) / 86400;
    axis->setFormat(days <= 2 ? QStringLiteral("dd.MM HH:mm") : QStringLiteral("dd.MM.yyyy"));
    if (days >= 1 && days <= 7) axis->setTickCount(int(days) + 1);
    axis->setRange(Moment(from), Moment(std::max(to, from + 1)));
    return axis;
}

// A value axis from 0 with round ticks.
QValueAxis* ValueAxis(double top, const QString& title) {
    auto* axis = new QValueAxis;
    axis->setRange(0, top > 0 ? top * 1.05 : 1);
    axis->applyNiceNumbers();
    axis->setLabelFormat(QStringLiteral("%.0f"));
    axis->setTitleText(title);
    return axis;
}

bool Render(QChart& chart, QPaintDevice& device, const QRectF& target) {
    QPainter painter;
    if (!painter.begin(&device)) return false;
    painter.setRenderHint(QPainter::Antialiasing);
    TW_PaintChart(painter, chart, target);
    painter.end();
    return true;
}

}  // namespace

void TW_PaintChart(QPainter& painter, QChart& chart, const QRectF& target) {
    QGraphicsScene scene;
    scene.addItem(&chart);
    chart.resize(target.size());
    scene.render(&painter, target, chart.rect());
    scene.removeItem(&chart);
}

namespace {
// The contours' names on the left of a horizontal bar chart, small enough
// that a contour's name fits beside a chart of half a window.
void AttachContourAxis(QChart& chart, QAbstractSeries& series, const QStringList& labels) {
    auto* names = new QBarCategoryAxis;
    names->append(labels);
    QFont small = names->labelsFont();
    small.setPointSizeF(7);
    names->setLabelsFont(small);
    names->setTruncateLabels(false);
    chart.addAxis(names, Qt::AlignLeft);
    series.attachAxis(names);
}
}  // namespace

std::unique_ptr<QChart> TW_MisoperationRateChart(const TW_Statistics& stats, int limit) {
    auto chart = std::make_unique<QChart>();
    const std::vector<TW_RateBar> bars = TW_RateBars(stats, std::size_t(std::max(limit, 1)));
    chart->setTitle(Text("Доля несработок по контурам, ") + PeriodText(stats));
    auto* set = new QBarSet(Text("Несработки от вызовов, %"));
    QStringList labels;
    // The worst at the top: a horizontal bar chart draws its first category lowest.
    for (auto it = bars.rbegin(); it != bars.rend(); ++it) {
        *set << 100.0 * it->Rate;
        labels << FromCp1251(stats.Contours[std::size_t(it->Contour)].Label);
    }
    auto* series = new QHorizontalBarSeries;
    series->append(set);
    chart->addSeries(series);
    AttachContourAxis(*chart, *series, labels);
    auto* rate = new QValueAxis;
    rate->setRange(0, 100);
    rate->setLabelFormat(QStringLiteral("%d %"));
    chart->addAxis(rate, Qt::AlignBottom);
    series->attachAxis(rate);
    if (bars.empty()) chart->setTitle(chart->title() + Text(": несработок нет"));
    chart->legend()->setVisible(false);
    return chart;
}

std::unique_ptr<QChart> TW_OperationClassChart(const TW_Statistics& stats, int limit) {
    if (!stats.OperationsKnown) return nullptr;
    auto chart = std::make_unique<QChart>();
    const std::vector<TW_ClassBar> bars = TW_ClassBars(stats, std::size_t(std::max(limit, 1)));
    chart->setTitle(Text("Срабатывания без вызова по контурам, ") + PeriodText(stats));
    auto* series = new QHorizontalStackedBarSeries;
    // Demand has no set: TW_ClassBars leaves the operations on demand out. The
    // unexplained come first, at the base of each bar.
    const std::pair<uint8_t, QColor> classes[] = {{TW_OpUnexplained, QColor(0xd6, 0x27, 0x28)},
                                                  {TW_OpShortDemand, QColor(0xff, 0x7f, 0x0e)},
                                                  {TW_OpByRelay, QColor(0x1f, 0x77, 0xb4)},
                                                  {TW_OpCommanded, QColor(0x2c, 0xa0, 0x2c)},
                                                  {TW_OpMaintenance, QColor(0x7f, 0x7f, 0x7f)}};
    QStringList labels;
    for (const auto& [cls, color] : classes) {
        auto* set = new QBarSet(FromCp1251(TW_OpClassTitle(cls)));
        set->setColor(color);
        // The most unexplained at the top: a horizontal bar chart draws its
        // first category lowest.
        for (auto it = bars.rbegin(); it != bars.rend(); ++it)
            *set << it->Counts[cls];
        series->append(set);
    }
    for (auto it = bars.rbegin(); it != bars.rend(); ++it)
        labels << FromCp1251(stats.Contours[std::size_t(it->Contour)].Label);
    chart->addSeries(series);
    AttachContourAxis(*chart, *series, labels);
    int most = 0;
    for (const TW_ClassBar& b : bars)
        most = std::max(most, b.Total());
    // A tick for every whole count when there are few.
    auto* count = ValueAxis(most, Text("срабатываний"));
    if (most <= 10) {
        count->setRange(0, std::max(most, 1));
        count->setTickCount(std::max(most, 1) + 1);
    }
    chart->addAxis(count, Qt::AlignBottom);
    series->attachAxis(count);
    if (bars.empty()) chart->setTitle(chart->title() + Text(": срабатываний без вызова нет"));
    chart->legend()->setAlignment(Qt::AlignBottom);
    return chart;
}

std::unique_ptr<QChart> TW_ResponseTimeChart(const TW_Statistics& stats, int contour) {
    auto chart = std::make_unique<QChart>();
    const TW_ResponseChartData data = TW_ResponseChart(stats, contour);
    const bool one = contour >= 0 && std::size_t(contour) < stats.Contours.size();
    chart->setTitle(
        (one ? Text("Время срабатывания: ") + FromCp1251(stats.Contours[std::size_t(contour)].Label)
             : Text("Время срабатывания всех контуров, % окна")) +
        QStringLiteral(", ") + PeriodText(stats));
    auto* relay = new QScatterSeries;
    relay->setName(Text("Реле"));
    relay->setMarkerSize(7);
    auto* apparatus = new QScatterSeries;
    apparatus->setName(Text("Агрегат"));
    apparatus->setMarkerSize(7);
    apparatus->setMarkerShape(QScatterSeries::MarkerShapeRectangle);
    double top = 0;
    for (const TW_ResponsePoint& p : data.Points) {
        (p.Apparatus ? apparatus : relay)
            ->append(double(Moment(p.Time).toMSecsSinceEpoch()), p.Value);
        top = std::max(top, p.Value);
    }
    std::vector<QAbstractSeries*> series{relay, apparatus};
    const double share = stats.Settings.NearMissShare;
    if (data.Percent) {
        series.push_back(Level(Text("Окно"), 100, stats, Qt::SolidLine, Qt::red));
        series.push_back(Level(Text("На грани"), 100 * share, stats, Qt::DashLine, Qt::darkYellow));
        top = std::max(top, 100.0);
    } else {
        for (const bool app : {false, true}) {
            const QString name = app ? Text("Окно агрегата") : Text("Окно реле");
            series.push_back(Steps(name, data.Windows, app, 1, stats, Qt::SolidLine,
                                   app ? Qt::darkRed : Qt::red));
        }
        for (const TW_WindowStep& w : data.Windows)
            top = std::max(top, w.Seconds);
    }
    auto* when = TimeAxis(stats.Start.GetTT(), stats.End.GetTT());
    auto* value = ValueAxis(top, data.Percent ? Text("% окна") : Text("с"));
    chart->addAxis(when, Qt::AlignBottom);
    chart->addAxis(value, Qt::AlignLeft);
    for (QAbstractSeries* s : series) {
        chart->addSeries(s);
        s->attachAxis(when);
        s->attachAxis(value);
    }
    return chart;
}

namespace {

// The steps of a trend: from the first step's start to the period's end.
QDateTimeAxis* QDateTimeAxisOver(const TW_Statistics& stats) {
    auto* axis = new QDateTimeAxis;
    axis->setFormat(QStringLiteral("dd.MM.yyyy"));
    axis->setRange(Moment(stats.StepStarts.front().GetTT()),
                   Moment(std::max(stats.StepStarts.back().GetTT(), stats.End.GetTT())));
    return axis;
}

}  // namespace

std::unique_ptr<QChart> TW_TrendChart(const TW_Statistics& stats) {
    if (stats.StepStarts.empty()) return nullptr;
    auto chart = std::make_unique<QChart>();
    const bool weeks = stats.Settings.Step == TW_StatsStep::Week;
    chart->setTitle((weeks ? Text("Несработки по неделям, ") : Text("Несработки по месяцам, ")) +
                    PeriodText(stats));
    auto* rate = new QLineSeries;
    rate->setName(Text("Доля несработок, %"));
    rate->setPointsVisible(true);
    auto* demands = new QLineSeries;
    demands->setName(Text("Вызовы"));
    demands->setPointsVisible(true);
    double most = 1;
    for (std::size_t i = 0; i < stats.StepStarts.size() && i < stats.PlantSteps.size(); ++i) {
        const double x = double(Moment(stats.StepStarts[i].GetTT()).toMSecsSinceEpoch());
        rate->append(x, 100.0 * stats.PlantSteps[i].MisoperationRate());
        demands->append(x, stats.PlantSteps[i].Demands);
        most = std::max(most, double(stats.PlantSteps[i].Demands));
    }
    auto* when = QDateTimeAxisOver(stats);
    auto* percent = new QValueAxis;
    percent->setRange(0, 100);
    percent->setLabelFormat(QStringLiteral("%.0f"));
    percent->setTitleText(Text("% вызовов"));
    auto* count = ValueAxis(most, Text("вызовов"));
    chart->addAxis(when, Qt::AlignBottom);
    chart->addAxis(percent, Qt::AlignLeft);
    chart->addAxis(count, Qt::AlignRight);
    chart->addSeries(rate);
    rate->attachAxis(when);
    rate->attachAxis(percent);
    chart->addSeries(demands);
    demands->attachAxis(when);
    demands->attachAxis(count);
    return chart;
}

bool TW_WriteChartPng(QChart& chart, const QString& path, QSize size, QString& error) {
    return TW_WriteWholeFile(
        path,
        [&](QIODevice& file) {
            QImage image(size, QImage::Format_ARGB32);
            image.fill(Qt::white);
            return Render(chart, image, QRectF(QPointF(0, 0), QSizeF(size))) &&
                   image.save(&file, "PNG");
        },
        error);
}

bool TW_WriteChartPdf(QChart& chart, const QString& path, QString& error) {
    return TW_WritePdf(
        path, 96,
        [&](QPdfWriter& pdf) {
            pdf.setTitle(chart.title());
            const QRect page = pdf.pageLayout().paintRectPixels(pdf.resolution());
            return Render(chart, pdf, QRectF(QPointF(0, 0), QSizeF(page.size())));
        },
        error);
}

bool TW_WriteStatsCharts(const TW_Statistics& stats, const QString& folder, QStringList& written,
                         QString& error) {
    bool ok = true;
    const QDir dir(folder);
    auto keep = [&](bool done, const QString& path, const QString& failure) {
        if (done)
            written << path;
        else if (ok)
            error = failure, ok = false;
        else
            ok = false;
    };
    const std::pair<QString, std::unique_ptr<QChart>> charts[] = {
        {QStringLiteral("misoperation_rate"), TW_MisoperationRateChart(stats)},
        {QStringLiteral("response_times"), TW_ResponseTimeChart(stats, -1)},
        {QStringLiteral("trend"), TW_TrendChart(stats)},
        {QStringLiteral("operation_classes"), TW_OperationClassChart(stats)}};
    for (const auto& [name, chart] : charts) {
        if (!chart) continue;
        QString failure;
        const QString pdf = dir.filePath(name + QStringLiteral(".pdf"));
        keep(TW_WriteChartPdf(*chart, pdf, failure), pdf, failure);
        const QString png = dir.filePath(name + QStringLiteral(".png"));
        keep(TW_WriteChartPng(*chart, png, QSize(1200, 700), failure), png, failure);
    }
    return ok;
}
