#include "stats_sheet.h"

#include <algorithm>
#include <iterator>
#include <optional>
#include <utility>

#include "common/cp1251.h"
#include "common/strutil.h"
#include "operations_view.h"
#include "stats_table.h"
#include "tw_fieldtext.h"
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

CellFormat Header() {
    CellFormat header = Boxed();
    header.wrap = true;
    header.vAlign = host::xls::VAlign::Centre;
    return header;
}

void NumberOrBlank(host::xls::Sheet& sheet, uint32_t row, uint32_t col, bool known, double value,
                   const char* numberFormat) {
    if (known)
        sheet.SetNumber(row, col, value, Boxed(numberFormat));
    else
        sheet.SetBlank(row, col, Boxed());
}

// The number cells of a row after its label, in the table's column order,
// then the two counts without times.
void FigureCells(host::xls::Sheet& sheet, uint32_t row, const TW_StatsFigures& f) {
    const int counts[] = {f.Demands, f.Correct, f.Misoperations, f.Failed,
                          f.NotHeld, f.Slow,    f.NearMiss};
    uint32_t col = 1;
    for (const int n : counts)
        sheet.SetNumber(row, col++, n, Boxed("0"));
    NumberOrBlank(sheet, row, col++, f.Demands > 0, f.MisoperationRate(), "0.0%");
    for (const TW_TimeSummary* t : {&f.Relay, &f.Apparatus}) {
        NumberOrBlank(sheet, row, col++, t->Count > 0, t->Median, "0.0");
        NumberOrBlank(sheet, row, col++, t->Count > 0, t->Max, "0");
    }
    for (const int n : {f.FalseRelay, f.FalseApparatus, f.Commanded, f.Maintenance})
        NumberOrBlank(sheet, row, col++, f.OperationsKnown, n, "0");
    for (const std::optional<double>& share :
         {f.Dependability(), f.Security(), f.MisoperationRateAll()})
        NumberOrBlank(sheet, row, col++, share.has_value(), share.value_or(0), "0.0%");
    for (const TW_TimeSummary* t : {&f.Relay, &f.Apparatus})
        NumberOrBlank(sheet, row, col++, t->Count > 0, t->P90, "0");
    sheet.SetNumber(row, col++, f.SlowUnknown, Boxed("0"));
    sheet.SetNumber(row, col, f.NearMissUnknown, Boxed("0"));
}

std::string PeriodText(const TW_Statistics& stats) {
    return std::string(stats.Start.GetStr()) + " - " + stats.End.GetStr();
}

// A sheet of operations: its title row and, when `columns` are given, its
// header row, frozen and filtered over `rows` rows below it.
host::xls::Sheet OperationsSheet(const std::string& name, const std::string& title,
                                 const std::vector<std::string>& columns, uint32_t rows) {
    host::xls::Sheet sheet;
    sheet.name = host::Cp1251ToUtf16(name);
    sheet.SetText(0, 0, host::Cp1251ToUtf16(title), CellFormat{});
    sheet.page.fitToWidth = 1;
    if (columns.empty()) return sheet;
    for (std::size_t c = 0; c < columns.size(); ++c)
        sheet.SetText(kHeaderRow, uint32_t(c), host::Cp1251ToUtf16(columns[c]), Header());
    sheet.frozenRows = kHeaderRow + 1;
    sheet.autoFilter =
        host::xls::Range{kHeaderRow, kHeaderRow + rows, 0, uint32_t(columns.size() - 1)};
    sheet.page.repeatRows = std::make_pair(0u, kHeaderRow);
    return sheet;
}

}  // namespace

host::xls::Sheet TW_StatsSheet(const TW_Statistics& stats) {
    host::xls::Sheet sheet;
    sheet.name = host::Cp1251ToUtf16("Показатели"_cp);
    CellFormat title;
    sheet.SetText(0, 0, host::Cp1251ToUtf16("Показатели работы защиты: "_cp + PeriodText(stats)),
                  title);
    std::vector<std::string> columns = TW_StatsColumns();
    columns.push_back("Не сработали, без времен"_cp);
    columns.push_back("Верные, без времен"_cp);
    for (std::size_t c = 0; c < columns.size(); ++c) {
        sheet.SetText(kHeaderRow, uint32_t(c), host::Cp1251ToUtf16(columns[c]), Header());
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

std::vector<host::xls::Sheet> TW_OperationsSheets(const TW_Statistics& stats,
                                                  const std::string& unknownText) {
    const std::string name = "Срабатывания"_cp;
    const std::string title = "Срабатывания линий реле и агрегатов: "_cp + PeriodText(stats);
    if (!stats.OperationsKnown) {
        host::xls::Sheet sheet = OperationsSheet(name, title, {}, 0);
        sheet.SetText(kHeaderRow, 0, host::Cp1251ToUtf16(unknownText), CellFormat{});
        return {sheet};
    }
    const std::vector<std::string> columns{"Линия"_cp, "Роль"_cp,  "Контур"_cp,
                                           "Время"_cp, "Класс"_cp, "Начало инцидента"_cp};
    // Below the title and the header, as many as a sheet holds; the rest go on
    // in the next sheet.
    constexpr std::size_t kPerSheet = host::xls::kMaxRows - (kHeaderRow + 1);
    const std::vector<TW_Operation>& ops = stats.Operations;
    std::vector<host::xls::Sheet> sheets;
    for (std::size_t first = 0; first < ops.size() || sheets.empty(); first += kPerSheet) {
        const std::size_t count = std::min(kPerSheet, ops.size() - first);
        const std::string sheetName =
            sheets.empty() ? name : name + host::Format(" (%zu)", sheets.size() + 1);
        host::xls::Sheet sheet = OperationsSheet(sheetName, title, columns, uint32_t(count));
        const CellFormat text = Boxed(), moment = Boxed("dd.mm.yyyy hh:mm:ss");
        for (std::size_t i = 0; i < count; ++i) {
            const TW_Operation& op = ops[first + i];
            const uint32_t row = kHeaderRow + 1 + uint32_t(i);
            sheet.SetText(row, 0, host::Cp1251ToUtf16(TW_FieldText(op.Variable)), text);
            sheet.SetText(row, 1, host::Cp1251ToUtf16(TW_OpRoleTitle(op.Role)), text);
            sheet.SetText(row, 2, host::Cp1251ToUtf16(TW_FieldText(op.Sensor)), text);
            sheet.SetNumber(row, 3, op.Time.GetDT(), moment);
            sheet.SetText(row, 4, host::Cp1251ToUtf16(TW_OpClassTitle(op.Class)), text);
            if (op.Class == TW_OpDemand || op.Class == TW_OpShortDemand)
                sheet.SetNumber(row, 5, op.IncidentStart.GetDT(), moment);
            else
                sheet.SetBlank(row, 5, text);
        }
        const int widths[] = {20, 10, 20, 20, 16, 20};  // characters
        for (uint32_t col = 0; col < std::size(widths); ++col)
            sheet.columnWidths[col] = uint16_t(widths[col] * 256);
        sheets.push_back(std::move(sheet));
    }
    return sheets;
}

std::vector<host::xls::Sheet> TW_ReportExtraSheets(const TW_Statistics& stats,
                                                   const std::string& operationsUnknownText) {
    std::vector<host::xls::Sheet> sheets{TW_StatsSheet(stats)};
    for (host::xls::Sheet& s : TW_OperationsSheets(stats, operationsUnknownText))
        sheets.push_back(std::move(s));
    return sheets;
}
