// The engine's text-measuring model. It is deliberately simple and does not
// depend on installed fonts, so pagination is the same on every machine:
//   - a font's size (em) is |Height| pixels at 96 dpi, in millimetres;
//   - every character is as wide as the average character: 0.55 em, bold 0.6 em;
//   - a line is 1.25 em high.
// Whoever paints the pages fits each line into the box this model gives it.
#pragma once

#include <string_view>
#include <vector>

#include "report/report_types.h"

namespace host::report {

inline constexpr double kMmPerPixel = 25.4 / 96.0;
// Space kept between a cell's edges and its text.
inline constexpr double kCellPaddingX = 0.5;
inline constexpr double kCellPaddingY = 0.5;

double FontSizeMm(const HReportFont& font);
double CharWidthMm(const HReportFont& font);
double LineHeightMm(const HReportFont& font);

// The lines of `text` in a box `widthMm` wide. "\n" always begins a new line;
// with `wrap`, lines are also broken at spaces (a word longer than the box is
// cut), otherwise longer lines stay whole and are clipped when painted. An empty
// text has no lines. The views point into `text`.
std::vector<std::string_view> BreakLines(std::string_view text, const HReportFont& font,
                                         double widthMm, bool wrap);

// Number of lines BreakLines would give, without building them.
int CountLines(std::string_view text, const HReportFont& font, double widthMm, bool wrap);

}  // namespace host::report
