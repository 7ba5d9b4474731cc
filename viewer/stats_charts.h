// The charts of the protection performance, drawn with Qt Charts from what
// stats_table.h chooses: the misoperation rate per contour, and the response
// times over the period with the window drawn in. The caller owns each chart;
// making one needs a QApplication.
#pragma once

#include <QSize>
#include <QString>
#include <QStringList>

#include <memory>

class QChart;
class QPainter;
class QRectF;
struct TW_Statistics;

// The worst contours by misoperation rate (at most `limit` bars).
std::unique_ptr<QChart> TW_MisoperationRateChart(const TW_Statistics& stats, int limit = 25);
// One contour's response times in seconds with its windows, or (contour < 0)
// every contour's as a percentage of its window, with the window (100 %) and
// the near-miss share drawn as lines.
std::unique_ptr<QChart> TW_ResponseTimeChart(const TW_Statistics& stats, int contour);

// The plant's misoperation rate and demands per week or month; null when the
// statistics have no trend step.
std::unique_ptr<QChart> TW_TrendChart(const TW_Statistics& stats);

// The operations without demand per contour, a stacked bar of their classes
// each (the contours with the most unexplained ones, at most `limit` bars); null
// when the operations are not known.
std::unique_ptr<QChart> TW_OperationClassChart(const TW_Statistics& stats, int limit = 25);

// Paints the chart into `target` of an open painter.
void TW_PaintChart(QPainter& painter, QChart& chart, const QRectF& target);

// Writes the chart as a PNG image of `size` pixels, or as a one-page PDF (A4,
// landscape). False with a message naming the file when it cannot be written;
// no partial file is left under the name.
bool TW_WriteChartPng(QChart& chart, const QString& path, QSize size, QString& error);
bool TW_WriteChartPdf(QChart& chart, const QString& path, QString& error);

// The charts of a period into `folder`: misoperation_rate, response_times,
// with a trend step trend, and with the operations known operation_classes,
// each as .pdf and .png. `written` gets the files made; false with the first
// failure's message (the others are still tried).
bool TW_WriteStatsCharts(const TW_Statistics& stats, const QString& folder, QStringList& written,
                         QString& error);
