#include "ui/report_painter.h"

#include <QFont>
#include <QFontMetricsF>

#include <cmath>
#include <map>
#include <memory>
#include <tuple>

#include "report/report_text.h"
#include "ui/qt_text.h"

namespace host::ui {

namespace {

using host::report::kCellPaddingX;
using host::report::kCellPaddingY;

struct PaintFont {
    QFont font;
    std::unique_ptr<QFontMetricsF> metrics;
};

class FontCache {
  public:
    explicit FontCache(double k) : k_(k) {}
    const PaintFont& Get(const HReportFont& f) {
        const auto key = std::make_tuple(f.Name, std::abs(f.Height), f.Bold);
        auto it = fonts_.find(key);
        if (it != fonts_.end()) return it->second;
        PaintFont& pf = fonts_[key];
        pf.font = QFont(FromCp1251(f.Name));
        pf.font.setStyleHint(QFont::SansSerif);
        pf.font.setPixelSize(std::max(1, int(std::lround(host::report::FontSizeMm(f) * k_))));
        pf.font.setBold(f.Bold);
        pf.metrics = std::make_unique<QFontMetricsF>(pf.font);
        return pf;
    }

  private:
    double k_;
    std::map<std::tuple<std::string, int, bool>, PaintFont> fonts_;
};

void DrawBounds(QPainter& p, const QRectF& r, unsigned bounds) {
    if (bounds & hrbLeft) p.drawLine(r.topLeft(), r.bottomLeft());
    if (bounds & hrbTop) p.drawLine(r.topLeft(), r.topRight());
    if (bounds & hrbRight) p.drawLine(r.topRight(), r.bottomRight());
    if (bounds & hrbBottom) p.drawLine(r.bottomLeft(), r.bottomRight());
}

void DrawCellText(QPainter& p, const HReportCell& c, const QRectF& cell, double k,
                  FontCache& fonts) {
    if (c.Text.empty()) return;
    const double innerMm = c.Width - 2 * kCellPaddingX;
    const auto lines = host::report::BreakLines(c.Text, c.Font, innerMm, c.WordWrap);
    if (lines.empty()) return;
    const PaintFont& pf = fonts.Get(c.Font);
    p.setFont(pf.font);
    const double lineH = host::report::LineHeightMm(c.Font) * k;
    const double inner = std::max(0.0, innerMm * k);
    const double block = lineH * double(lines.size());
    // Vertically centred; a block taller than the cell starts at its top.
    double y = cell.top() + std::max(kCellPaddingY * k, (cell.height() - block) / 2);
    const double ascentShift = (lineH - pf.metrics->height()) / 2 + pf.metrics->ascent();
    p.save();
    p.setClipRect(cell);
    for (std::string_view line : lines) {
        const QString s = FromCp1251(line);
        const double advance = pf.metrics->horizontalAdvance(s);
        const double width = std::min(advance, inner);
        double x = cell.left() + kCellPaddingX * k;
        if (c.Alignment == hraCenter) x += (inner - width) / 2;
        if (c.Alignment == hraRight) x += inner - width;
        if (advance > inner && advance > 0) {
            p.save();
            p.translate(x, y + ascentShift);
            p.scale(inner / advance, 1.0);
            p.drawText(QPointF(0, 0), s);
            p.restore();
        } else {
            p.drawText(QPointF(x, y + ascentShift), s);
        }
        y += lineH;
    }
    p.restore();
}

}  // namespace

void PaintReportPage(QPainter& painter, const HReportDocument& doc, std::size_t index,
                     double pixelsPerMm) {
    if (index >= doc.Pages.size()) return;
    const double k = pixelsPerMm;
    FontCache fonts(k);
    QPen pen(Qt::black);
    pen.setWidthF(std::max(1.0, 0.2 * k));
    painter.setPen(pen);
    const HReportPageCel& pc = doc.PageCel;
    DrawBounds(painter,
               QRectF(pc.MarginLeft * k, pc.MarginTop * k,
                      (doc.PageWidth - pc.MarginLeft - pc.MarginRight) * k,
                      (doc.PageHeight - pc.MarginTop - pc.MarginBottom) * k),
               pc.Bounds);
    for (const HReportRow& row : doc.Pages[index].Rows) {
        for (const HReportCell& c : row.Cells) {
            const QRectF cell(c.Left * k, row.Top * k, c.Width * k, row.Height * k);
            DrawCellText(painter, c, cell, k, fonts);
            DrawBounds(painter, cell, c.Bounds);
        }
    }
}

}  // namespace host::ui
