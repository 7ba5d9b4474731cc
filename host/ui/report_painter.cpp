#include "ui/report_painter.h"

#include <QFont>
#include <QFontMetricsF>
#include <QGlyphRun>
#include <QHash>
#include <QRawFont>
#include <QLineF>
#include <QList>
#include <QTransform>

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

// Texts are laid out glyph by glyph from the font's character map: the
// system's texts (cp1251: Latin and Cyrillic) need no complex shaping, and
// this is several times faster than the full text layout for thousands of
// cells. Runs are cached, since texts repeat a lot (outcome names, captions).
struct PaintFont {
    QFont font;
    QRawFont raw;
    std::unique_ptr<QFontMetricsF> metrics;
    struct Run {
        QGlyphRun glyphs;
        double advance = 0;
    };
    QHash<QString, Run> runs;

    const Run& Layout(const QString& s) {
        auto it = runs.constFind(s);
        if (it != runs.constEnd()) return *it;
        Run run;
        const QList<quint32> indexes = raw.glyphIndexesForString(s);
        const QList<QPointF> advances = raw.advancesForGlyphIndexes(indexes);
        QList<QPointF> positions;
        positions.reserve(indexes.size());
        double x = 0;
        for (const QPointF& a : advances) {
            positions.append(QPointF(x, 0));
            x += a.x();
        }
        run.glyphs.setRawFont(raw);
        run.glyphs.setGlyphIndexes(indexes);
        run.glyphs.setPositions(positions);
        run.advance = x;
        if (runs.size() >= 8192) runs.clear();
        return *runs.insert(s, run);
    }
};

class FontCache {
  public:
    explicit FontCache(double k) : k_(k) {}
    PaintFont& Get(const HReportFont& f) {
        const auto key = std::make_tuple(f.Name, std::abs(f.Height), f.Bold);
        auto it = fonts_.find(key);
        if (it != fonts_.end()) return it->second;
        PaintFont& pf = fonts_[key];
        pf.font = QFont(FromCp1251(f.Name));
        pf.font.setStyleHint(QFont::SansSerif);
        pf.font.setPixelSize(std::max(1, int(std::lround(host::report::FontSizeMm(f) * k_))));
        pf.font.setBold(f.Bold);
        pf.metrics = std::make_unique<QFontMetricsF>(pf.font);
        pf.raw = QRawFont::fromFont(pf.font);
        return pf;
    }

  private:
    double k_;
    std::map<std::tuple<std::string, int, bool>, PaintFont> fonts_;
};

// The drawn edges of a cell, collected so that a page's lines are drawn at once.
void AddBounds(QList<QLineF>& lines, const QRectF& r, unsigned bounds) {
    if (bounds & hrbLeft) lines.append(QLineF(r.topLeft(), r.bottomLeft()));
    if (bounds & hrbTop) lines.append(QLineF(r.topLeft(), r.topRight()));
    if (bounds & hrbRight) lines.append(QLineF(r.topRight(), r.bottomRight()));
    if (bounds & hrbBottom) lines.append(QLineF(r.bottomLeft(), r.bottomRight()));
}

void DrawCellText(QPainter& p, const HReportCell& c, const QRectF& cell, double k,
                  FontCache& fonts) {
    if (c.Text.empty()) return;
    const double innerMm = c.Width - 2 * kCellPaddingX;
    const auto lines = host::report::BreakLines(c.Text, c.Font, innerMm, c.WordWrap);
    if (lines.empty()) return;
    PaintFont& pf = fonts.Get(c.Font);
    const double lineH = host::report::LineHeightMm(c.Font) * k;
    const double inner = std::max(0.0, innerMm * k);
    const double block = lineH * double(lines.size());
    // Vertically centred; a block taller than the cell starts at its top.
    double y = cell.top() + std::max(kCellPaddingY * k, (cell.height() - block) / 2);
    const double ascentShift = (lineH - pf.metrics->height()) / 2 + pf.metrics->ascent();
    // Only a block taller than its cell needs clipping; lines wider than the
    // box are squeezed below.
    const bool clip = y + block > cell.bottom() + 0.5;
    if (clip) {
        p.save();
        p.setClipRect(cell);
    }
    for (std::string_view line : lines) {
        const PaintFont::Run& run = pf.Layout(FromCp1251(line));
        const double advance = run.advance;
        const double width = std::min(advance, inner);
        double x = cell.left() + kCellPaddingX * k;
        if (c.Alignment == hraCenter) x += (inner - width) / 2;
        if (c.Alignment == hraRight) x += inner - width;
        if (advance > inner && advance > 0) {
            const QTransform saved = p.transform();
            p.translate(x, y + ascentShift);
            p.scale(inner / advance, 1.0);
            p.drawGlyphRun(QPointF(0, 0), run.glyphs);
            p.setTransform(saved);
        } else {
            p.drawGlyphRun(QPointF(x, y + ascentShift), run.glyphs);
        }
        y += lineH;
    }
    if (clip) p.restore();
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
    QList<QLineF> lines;
    const HReportPageCel& pc = doc.PageCel;
    AddBounds(lines,
              QRectF(pc.MarginLeft * k, pc.MarginTop * k,
                     (doc.PageWidth - pc.MarginLeft - pc.MarginRight) * k,
                     (doc.PageHeight - pc.MarginTop - pc.MarginBottom) * k),
              pc.Bounds);
    for (const HReportRow& row : doc.Pages[index].Rows) {
        for (const HReportCell& c : row.Cells) {
            const QRectF cell(c.Left * k, row.Top * k, c.Width * k, row.Height * k);
            DrawCellText(painter, c, cell, k, fonts);
            AddBounds(lines, cell, c.Bounds);
        }
    }
    painter.drawLines(lines);
}

}  // namespace host::ui
