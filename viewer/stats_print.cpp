#include "stats_print.h"

#include <QChart>
#include <QFont>
#include <QFontMetrics>
#include <QPainter>
#include <QPdfWriter>
#include <QTextOption>

#include <memory>

#include "stats_charts.h"
#include "stats_file.h"
#include "stats_table.h"
#include "tw_stats.h"
#include "ui/qt_text.h"

using host::ui::FromCp1251;

namespace {

// Column widths as shares of the page: the contour's name takes this, the
// figures share the rest.
constexpr double kNameShare = 0.15;

struct Table {
    const TW_Statistics& stats;
    QRectF page;
    double rowHeight;

    double ColumnX(int column) const {
        const int columns = int(TW_StatsColumns().size());
        if (column == 0) return page.left();
        const double rest = page.width() * (1 - kNameShare) / (columns - 1);
        return page.left() + page.width() * kNameShare + rest * (column - 1);
    }
    double ColumnWidth(int column) const {
        const int columns = int(TW_StatsColumns().size());
        return column + 1 < columns ? ColumnX(column + 1) - ColumnX(column)
                                    : page.right() - ColumnX(column);
    }
    void Row(QPainter& p, double y, int row, bool header) const {
        const int columns = int(TW_StatsColumns().size());
        for (int c = 0; c < columns; ++c) {
            std::string text;
            if (header)
                text = TW_StatsColumns()[std::size_t(c)];
            else
                TW_StatsCellText(stats, row, c, text);
            const QRectF cell(ColumnX(c), y, ColumnWidth(c), rowHeight);
            p.drawRect(cell);
            // A title breaks between words, or inside a word too long for
            // its column.
            QTextOption option(Qt::Alignment(c == 0 ? Qt::AlignLeft : Qt::AlignRight) |
                               Qt::AlignVCenter);
            option.setWrapMode(header ? QTextOption::WrapAtWordBoundaryOrAnywhere
                                      : QTextOption::NoWrap);
            p.drawText(cell.adjusted(3, 0, -3, 0), FromCp1251(text), option);
        }
    }
};

}  // namespace

bool TW_PaintStatistics(QPagedPaintDevice& device, const TW_Statistics& stats, QString& error) {
    QPainter painter;
    if (!painter.begin(&device)) {
        error = QString::fromUtf8("Нет доступа к устройству печати");
        return false;
    }
    const QRectF page(QPointF(0, 0), QSizeF(device.width(), device.height()));
    QFont font = painter.font();
    font.setPointSizeF(8);
    painter.setFont(font);
    const double line = QFontMetrics(font, &device).height();
    const Table table{stats, page, line * 1.6};

    QFont title = font;
    title.setPointSizeF(13);
    title.setBold(true);
    painter.setFont(title);
    const double titleHeight = QFontMetrics(title, &device).height() * 2.2;
    painter.drawText(
        QRectF(page.left(), page.top(), page.width(), titleHeight), Qt::AlignLeft | Qt::AlignTop,
        QString::fromUtf8("Показатели работы защиты: ") +
            FromCp1251(std::string(stats.Start.GetStr()) + " - " + stats.End.GetStr()));
    painter.setFont(font);

    // The titles in a smaller font, up to four lines of a wrapped title.
    QFont small = font;
    small.setPointSizeF(7);
    const double headerHeight = QFontMetrics(small, &device).height() * 4.4;
    const auto rows = [&](double top) {
        return int((page.bottom() - top - headerHeight) / table.rowHeight);
    };
    const auto pages =
        TW_TablePages(TW_StatsRowCount(stats), rows(page.top() + titleHeight), rows(page.top()));
    for (std::size_t k = 0; k < pages.size(); ++k) {
        if (k > 0) device.newPage();
        double y = k == 0 ? page.top() + titleHeight : page.top();
        Table header = table;
        header.rowHeight = headerHeight;
        painter.setFont(small);
        header.Row(painter, y, -1, true);
        painter.setFont(font);
        y += headerHeight;
        for (int r = pages[k].first; r < pages[k].second; ++r, y += table.rowHeight)
            table.Row(painter, y, r, false);
    }
    const std::unique_ptr<QChart> charts[] = {TW_MisoperationRateChart(stats),
                                              TW_ResponseTimeChart(stats, -1), TW_TrendChart(stats),
                                              TW_OperationClassChart(stats)};
    for (const auto& chart : charts) {
        if (!chart) continue;
        device.newPage();
        TW_PaintChart(painter, *chart, page);
    }
    painter.end();
    return true;
}

bool TW_WriteStatisticsPdf(const TW_Statistics& stats, const QString& path, QString& error) {
    QString paintError;
    const bool ok = TW_WritePdf(
        path, 150, [&](QPdfWriter& pdf) { return TW_PaintStatistics(pdf, stats, paintError); },
        error);
    if (!paintError.isEmpty()) error = paintError;
    return ok;
}
