// Paints laid-out report pages with QPainter. Every cell's text is broken into
// the lines the engine's text model gives; a line that the real font draws
// wider than its box is squeezed horizontally to fit, so what is painted keeps
// the engine's page breaks and row heights.
#pragma once

#include <QPainter>

#include "report/report_pages.h"

namespace host::ui {

// Paints page `index` of `doc`; the painter's origin is the paper's top-left
// corner and `pixelsPerMm` its device resolution.
void PaintReportPage(QPainter& painter, const HReportDocument& doc, std::size_t index,
                     double pixelsPerMm);

}  // namespace host::ui
