#include "stats_sheet.h"

#include <algorithm>

#include "common/cp1251.h"
#include "stats_table.h"
#include "tw_stats.h"

using namespace host::literals;

namespace {

using host::xls::CellFormat;

constexpr uint32_t kHeaderRow = 1;

CellFormat Boxed(const char* numberFormat = "") {
    CellFormat f;
    f.borders = host::xls::kBorderAll;
    f.numberFormat = host::Cp1251ToUtf16(numberFormat);
    return f;
}

// The number cells of a row after its label, in the table's column order,
// then the two counts without times.
void FigureCells(host::xls::Sheet& sheet, uint32_t row, const TW_StatsFigures& f) {
    const int counts[] = {f.Demands, f.Correct, f.Misoperations, f.Failed,
                          f.NotHeld, f.Slow,    f.NearMiss};
    uint32_t col = 1;
    for (const int n : counts)
        sheet.SetNumber(row, col++, n, Boxed("0"));
    if (f.Demands)
        sheet.SetNumber(row, col, f.MisoperationRate(), Boxed("0.0%"));
    else
        sheet.SetBlank(row, col, Boxed());
    ++col;
    for (const TW_TimeSummary* t : {&f.Relay, &f.Apparatus}) {
        if (t->Count) {
            sheet.SetNumber(row, col, t->Median, Boxed("0.0"));
            sheet.SetNumber(row, col + 1, t->Max, Boxed("0"));
        } else {
            sheet.SetBlank(row, col, Boxed());
            sheet.SetBlank(row, col + 1, Boxed());
        }
        col += 2;
    }
    sheet.SetNumber(row, col++, f.SlowUnknown, Boxed("0"));
    sheet.SetNumber(row, col, f.NearMissUnknown, Boxed("0"));
}

}  // namespace

host::xls::Sheet TW_StatsSheet(const TW_Statistics& stats) {
    host::xls::Sheet sheet;
    sheet.name = host::Cp1251ToUtf16("Показатели"_cp);
    CellFormat title;
    sheet.SetText(0, 0,
                  host::Cp1251ToUtf16(std::string("Показатели работы защиты: "_cp) +
                                      stats.Start.GetStr() + " - " + stats.End.GetStr()),
                  title);
    std::vector<std::string> columns = TW_StatsColumns();
    columns.push_back("Не сработали, без времен"_cp);
    columns.push_back("Верные, без времен"_cp);
    CellFormat header = Boxed();
    header.wrap = true;
    header.vAlign = host::xls::VAlign::Centre;
    for (std::size_t c = 0; c < columns.size(); ++c) {
        sheet.SetText(kHeaderRow, uint32_t(c), host::Cp1251ToUtf16(columns[c]), header);
        sheet.columnWidths[uint32_t(c)] = uint16_t(c == 0 ? 30 * 256 : 13 * 256);
    }
    const int rows = TW_StatsRowCount(stats);
    uint32_t longest = 0;
    for (int r = 0; r < rows; ++r) {
        const uint32_t row = kHeaderRow + 1 + uint32_t(r);
        std::string label;
        TW_StatsCellText(stats, r, 0, label);
        longest = std::max(longest, uint32_t(label.size()));
        sheet.SetText(row, 0, host::Cp1251ToUtf16(label), Boxed());
        FigureCells(sheet, row, *TW_StatsRowFigures(stats, r));
    }
    sheet.columnWidths[0] = uint16_t(std::clamp<uint32_t>(longest + 2, 12, 60) * 256);
    sheet.rowHeights[kHeaderRow] = 3 * 255;  // three lines of a wrapped title
    sheet.frozenRows = kHeaderRow + 1;
    sheet.autoFilter =
        host::xls::Range{kHeaderRow, kHeaderRow + uint32_t(rows), 0, uint32_t(columns.size() - 1)};
    sheet.page.repeatRows = std::make_pair(0u, kHeaderRow);
    sheet.page.fitToWidth = 1;
    return sheet;
}
