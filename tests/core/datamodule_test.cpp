// The incident report's layout, spreadsheet export and preview (TTW_DataModule,
// TW_File::ExportToXLS and Preview). Workbooks are read back with FreeXL, PDF
// files with pdftotext.
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <regex>
#include <string>

#include "common/cp1251.h"
#include "common/lasterror.h"
#include "common/paths.h"
#include "core_test_util.h"
#include "plantdb/dbdatabase.h"
#include "report/freexl_read.h"
#include "report/xls/workbook.h"
#include "runtime/rtlog.h"
#include "shell_output.h"
#include "tw_datamodule.h"
#include "tw_fieldtext.h"
#include "tw_file.h"

using namespace host::literals;

namespace {

std::string U8(const char* cp1251) {
    return host::Cp1251ToUtf8(cp1251);
}

TW_ContourLine Line(int n, uint8_t releUsed, uint8_t releResult, uint8_t protUsed,
                    uint8_t protResult, double value) {
    TW_ContourLine l;
    const std::string s = std::to_string(n);
    TW_SetField(l.ObjectName, ("Объект "_cp + s).c_str());
    TW_SetField(l.SensorPlace, ("Место "_cp + s).c_str());
    TW_SetField(l.ProtObjectName, ("Ячейка "_cp + s).c_str());
    TW_SetField(l.Contour.Sensor, ("S" + s).c_str());
    TW_SetField(l.Contour.Limit, ("> 10"));
    TW_SetField(l.Contour.StateName, "Авария"_cp);
    l.Contour.Rele.Used = releUsed;
    TW_SetField(l.Contour.Rele.Sensor, ("R" + s).c_str());
    TW_SetField(l.Contour.Rele.ONName, "Сработало"_cp);
    TW_SetField(l.Contour.Rele.OFFName, "Не сработало"_cp);
    l.Contour.Prot.Used = protUsed;
    TW_SetField(l.Contour.Prot.Sensor, ("P" + s).c_str());
    TW_SetField(l.Contour.Prot.ONName, "Отключен"_cp);
    TW_SetField(l.Contour.Prot.OFFName, "Не отключен"_cp);
    l.ReleResult = releResult;
    l.ProtResult = protResult;
    l.Value = value;
    l.Start.Set(2026, 3, 1, 10, n, 5);
    l.End.Set(2026, 3, 1, 11, n, 7);
    return l;
}

struct Report {
    TW_File file;
    Report() {
        file.Start.Set(2026, 3, 1);
        file.End.Set(2026, 3, 2);
        file.RunTime.Set(2026, 3, 2, 0, 5, 0);
    }
    void Add(const TW_ContourLine& l) { file.AddINT(&l); }
};

// The report's sheet: the title row, the header row, then one row per item.
constexpr unsigned kHeaderRow = 1, kFirstItemRow = 2;

using twtest::HavePoppler;
using twtest::Shell;

// The path of the PDF file a preview without a display wrote, from its log line.
std::string PreviewPdf(TW_File& file) {
    host::LogCapture log;
    EXPECT_TRUE(file.Preview());
    const std::string prefix = "Предварительный просмотр записан в файл: "_cp;
    if (log.lines.size() != 1 || log.lines[0].rfind(prefix, 0) != 0) {
        ADD_FAILURE() << "no preview line";
        return {};
    }
    return log.lines[0].substr(prefix.size());
}

}  // namespace

TEST(ReportSheet, EveryCellByTheColumnRulesWithItsType) {
    const std::string dir = twtest::ScratchDir("sheet");
    Report r;
    r.Add(Line(1, 1, 0x10, 1, 0x10, 3.14159));  // both lines operated
    r.Add(Line(2, 1, 0x11, 1, 0x12, 12345.6));  // neither clean
    r.Add(Line(3, 0, 0x10, 0, 0x10, -0.5));     // neither line in use
    r.Add(Line(4, 1, 0x00, 1, 0x02, 7));
    ASSERT_TRUE(r.file.ExportToXLS((dir + "Отчет"_cp).c_str()));
    const std::string path = dir + U8("Отчет 01-03-2026 00_00-00_00.xls"_cp);
    const twtest::XlsCells x = twtest::ReadXls(path);
    ASSERT_TRUE(x.ok) << path;
    EXPECT_EQ(x.sheets, 1u);
    EXPECT_EQ(x.name, U8("Отчет"_cp));

    // Title row: the title, the creation and print dates, the period, each on
    // the columns nearest its place on the page.
    EXPECT_EQ(x.At(0, 0), U8("Срабатывание автоматической защиты"_cp));
    EXPECT_TRUE(std::regex_match(
        x.At(0, 7),
        std::regex(U8("Дата создания: 02.03.2026 00:05:00\nДата печати: "
                      "[0-3][0-9]\\.[01][0-9]\\.20[0-9]{2} [0-2][0-9]:[0-5][0-9]:[0-5][0-9]"_cp))))
        << x.At(0, 7);
    EXPECT_EQ(x.At(0, 11), U8("Начало: 01.03.2026 00:00:00\nКонец: 02.03.2026 00:00:00"_cp));
    // One header row: each column's captions from headers 1 to 3.
    const char* captions[14] = {"Объект контроля"_cp,
                                "Датчик: значение, начало"_cp,
                                "Датчик: значение, оконч."_cp,
                                "Датчик: значение, макс."_cp,
                                "Датчик: место (объект)"_cp,
                                "Датчик: наимен."_cp,
                                "Датчик: порог"_cp,
                                "Датчик: событие"_cp,
                                "Выходное реле: наимен."_cp,
                                "Выходное реле: cостоян."_cp,
                                "Защищаемый аппарат: место (объект)"_cp,
                                "Защищаемый аппарат: наимен."_cp,
                                "Защищаемый аппарат: состоян."_cp,
                                "Примечание"_cp};
    for (unsigned c = 0; c < 14; ++c)
        EXPECT_EQ(x.At(kHeaderRow, c), U8(captions[c])) << "column " << c;

    // Item rows, cell by cell with the type FreeXL reads: texts, the moments
    // as date-times with their day, the value as a number.
    constexpr int T = FREEXL_CELL_TEXT, D = FREEXL_CELL_DATETIME, N = FREEXL_CELL_DOUBLE,
                  E = FREEXL_CELL_NULL;
    const int types[4][14] = {{T, D, D, N, T, T, T, T, T, T, T, T, T, E},
                              {T, D, D, N, T, T, T, T, T, T, T, T, T, E},
                              {T, D, D, N, T, T, T, T, E, E, E, E, E, E},
                              {T, D, D, N, T, T, T, T, T, T, T, T, T, E}};
    const char* rows[4][14] = {
        {"Объект 1"_cp, "2026-03-01 10:01:05", "2026-03-01 11:01:07", "3.14159", "Место 1"_cp, "S1",
         "> 10", "Авария"_cp, "R1", "Сработало"_cp, "Ячейка 1"_cp, "P1", "Отключен"_cp, ""},
        {"Объект 2"_cp, "2026-03-01 10:02:05", "2026-03-01 11:02:07", "12345.6", "Место 2"_cp, "S2",
         "> 10", "Авария"_cp, "R2", "Не сработало"_cp, "Ячейка 2"_cp, "P2", "Не отключен"_cp, ""},
        {"Объект 3"_cp, "2026-03-01 10:03:05", "2026-03-01 11:03:07", "-0.5", "Место 3"_cp, "S3",
         "> 10", "Авария"_cp, "", "", "", "", "", ""},
        {"Объект 4"_cp, "2026-03-01 10:04:05", "2026-03-01 11:04:07", "7", "Место 4"_cp, "S4",
         "> 10", "Авария"_cp, "R4", "Не сработало"_cp, "Ячейка 4"_cp, "P4", "Не отключен"_cp, ""},
    };
    for (unsigned i = 0; i < 4; ++i)
        for (unsigned c = 0; c < 14; ++c) {
            EXPECT_EQ(x.At(kFirstItemRow + i, c), U8(rows[i][c]))
                << "item " << i << " column " << c;
            EXPECT_EQ(x.TypeAt(kFirstItemRow + i, c), types[i][c])
                << "item " << i << " column " << c;
        }
    // Nothing below the items: the page number is in the printed footer.
    EXPECT_EQ(x.rows, kFirstItemRow + 4);
}

TEST(ReportSheet, TemplateNamedValues) {
    const std::string dir = twtest::ScratchDir("template");
    host::SetStartupDir(dir.c_str());
    std::filesystem::create_directories(dir + "Templates");
    host::xls::Workbook t;
    t.sheets.emplace_back();
    const char16_t* markers[] = {u"#{RunDateTime}", u"#{Start}",   u"#{End}",
                                 u"#{CFGId}",       u"#{CFGTime}", u"#{Other} #{start}"};
    for (uint32_t i = 0; i < 6; ++i)
        t.sheets[0].SetText(i, 1, markers[i]);
    std::string error;
    ASSERT_TRUE(host::xls::SaveWorkbook(t, dir + "Templates/Tripwatch.xls", &error)) << error;

    Report r;
    r.Add(Line(1, 1, 0x10, 1, 0x10, 1));
    r.file.Template.Set("Templates\\Tripwatch.xls");
    ASSERT_TRUE(r.file.ExportToXLS(dir.c_str()));
    twtest::XlsCells x = twtest::ReadXls(dir + " 01-03-2026 00_00-00_00.xls");
    ASSERT_TRUE(x.ok);
    EXPECT_EQ(x.At(0, 1), "02.03.2026 00:05:00");
    EXPECT_EQ(x.At(1, 1), "01.03.2026 00:00:00");
    EXPECT_EQ(x.At(2, 1), "02.03.2026 00:00:00");
    EXPECT_EQ(x.At(3, 1), U8("<неизвестно>"_cp));
    EXPECT_EQ(x.At(4, 1), U8("<неизвестно>"_cp));
    EXPECT_EQ(x.At(5, 1), "#{Other} #{start}");
    EXPECT_EQ(x.At(6, 0), U8("Срабатывание автоматической защиты"_cp));

    HDBDatabase db;
    db.ConfigId = 0xABC;
    db.ConfigTime.Set(2026, 1, 15, 8, 30, 0);
    r.file.Config = &db;
    ASSERT_TRUE(r.file.ExportToXLS(dir.c_str()));
    x = twtest::ReadXls(dir + " 01-03-2026 00_00-00_00 (1).xls");
    EXPECT_EQ(x.At(3, 1), "00000ABC");
    EXPECT_EQ(x.At(4, 1), "15.01.2026 08:30:00");
}

TEST(ReportSheet, SameBaseTwiceAndMissingTemplate) {
    const std::string dir = twtest::ScratchDir("twice");
    host::SetStartupDir(dir.c_str());
    Report r;
    r.file.FileName.Set((dir + "a.twr").c_str());
    r.file.Template.Set("Templates/Tripwatch.xls");
    host::LogCapture log;
    ASSERT_TRUE(r.file.ExportToXLS(nullptr));  // the folder of FileName
    ASSERT_TRUE(r.file.ExportToXLS(nullptr));
    EXPECT_TRUE(std::filesystem::exists(dir + " 01-03-2026 00_00-00_00.xls"));
    EXPECT_TRUE(std::filesystem::exists(dir + " 01-03-2026 00_00-00_00 (1).xls"));
    ASSERT_EQ(log.lines.size(), 2u);
    EXPECT_EQ(log.lines[0], "Шаблон не найден: "_cp + dir + "Templates/Tripwatch.xls");
    // No items: the title and the header row alone.
    const twtest::XlsCells x = twtest::ReadXls(dir + " 01-03-2026 00_00-00_00 (1).xls");
    EXPECT_EQ(x.At(kHeaderRow, 0), U8("Объект контроля"_cp));
    EXPECT_EQ(x.At(kHeaderRow, 13), U8("Примечание"_cp));
    EXPECT_EQ(x.rows, 2u);
}

TEST(ReportSheet, ExportFailureIsReported) {
    const std::string dir = twtest::ScratchDir("failure");
    Report r;
    host::ClearError();
    EXPECT_FALSE(r.file.ExportToXLS((dir + "missing/folder/x").c_str()));
    EXPECT_NE(GetIOErrorN(), 0u);
    EXPECT_TRUE(std::filesystem::is_empty(dir));
}

// A second-level report longer than a sheet (65,536 rows): the items go on in
// a second sheet that begins with the header row; every item is there once.
TEST(ReportSheet, ReportLongerThanASheetGoesOnInTheNext) {
    const std::string dir = twtest::ScratchDir("long");
    Report r;
    constexpr int kItems = 65600;
    for (int i = 0; i < kItems; ++i) {
        TW_ContourLine l = Line(i % 60, 1, 0x00, 0, 0, i);  // the value tells the items apart
        // FreeXL turns each date-time cell into text slowly (some 50 us), so
        // these items have no moments.
        l.Start = l.End = PRTime{};
        r.Add(l);
    }
    ASSERT_TRUE(r.file.ExportToXLS(dir.c_str()));
    const std::string path = dir + " 01-03-2026 00_00-00_00.xls";
    const twtest::XlsCells first = twtest::ReadXls(path, 0), second = twtest::ReadXls(path, 1);
    ASSERT_TRUE(first.ok && second.ok);
    EXPECT_EQ(first.sheets, 2u);
    EXPECT_EQ(second.name, U8("Отчет (2)"_cp));
    EXPECT_EQ(first.rows, 65536u);
    const unsigned onFirst = 65536 - kFirstItemRow;
    EXPECT_EQ(second.rows, 1 + kItems - onFirst);
    EXPECT_EQ(second.At(0, 0), U8("Объект контроля"_cp));
    EXPECT_EQ(second.At(0, 13), U8("Примечание"_cp));
    int missing = 0;
    for (int i = 0; i < kItems; ++i) {
        const bool one = unsigned(i) < onFirst;
        const unsigned row = one ? kFirstItemRow + unsigned(i) : 1 + unsigned(i) - onFirst;
        const twtest::XlsCells& s = one ? first : second;
        missing +=
            s.At(row, 3) != std::to_string(i) || s.At(row, 5) != "S" + std::to_string(i % 60);
    }
    EXPECT_EQ(missing, 0);
}

TEST(ReportHandlers, UnknownNamesAndIndexesSetNothing) {
    Report r;
    r.Add(Line(1, 1, 0x10, 1, 0x10, 1));
    r.file.CreateData();
    TTW_DataModule& m = *r.file.DataModule;
    m.Prepare(&r.file);
    EXPECT_EQ(m.report.Tag, 2);
    EXPECT_EQ(m.report.Bands.GetItem(0)->GetItemsCount(), 1);
    std::string value = "kept";
    m.reportGetNamedValue("start", value);
    EXPECT_EQ(value, "kept");
    HCustomReportColumn* c = m.report.Bands.GetItem(0)->Columns.GetItem(0);
    c->SetText("old");
    m.reportBands0GetItemValue(1, *c);
    m.reportBands0GetItemValue(-1, *c);
    EXPECT_EQ(c->GetText(), "old");
    c->SetText("");
}

TEST(ReportPreview, EmptyReportAndFivePages) {
    if (!HavePoppler()) GTEST_SKIP() << "pdftotext is not installed";
    const std::string dir = twtest::ScratchDir("preview");
    host::SetStartupDir(dir.c_str());
    Report r;
    std::string pdf = PreviewPdf(r.file);
    ASSERT_FALSE(pdf.empty());
    std::string text = Shell("pdftotext -layout '" + pdf + "' -");
    for (const char* s : {"Срабатывание автоматической защиты"_cp, "Объект контроля"_cp,
                          "Защищаемый аппарат"_cp, "значение"_cp, "макс."_cp, "Страница: 1/1"_cp})
        EXPECT_NE(text.find(U8(s)), std::string::npos) << U8(s) << "\n" << text;

    // As many items as fill five pages.
    r.file.CreateData();
    const TW_ContourLine l = Line(1, 1, 0x10, 1, 0x10, 1);
    int pages = 1;
    while (pages <= 5) {
        r.Add(l);
        r.file.DataModule->Prepare(&r.file);
        pages = int(r.file.DataModule->report.Layout().Pages.size());
    }
    r.file.DeleteNum(r.file.Count() - 1);
    pdf = PreviewPdf(r.file);
    ASSERT_FALSE(pdf.empty());
    EXPECT_NE(Shell("pdfinfo '" + pdf + "'").find("Pages:           5\n"), std::string::npos);
    for (int p = 1; p <= 5; ++p) {
        text = Shell("pdftotext -layout -f " + std::to_string(p) + " -l " + std::to_string(p) +
                     " '" + pdf + "' -");
        EXPECT_NE(text.find(U8(("Страница: "_cp + std::to_string(p) + "/5").c_str())),
                  std::string::npos)
            << text;
    }
}
