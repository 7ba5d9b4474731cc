// The template reader (FreeXL) on our own workbooks and on files that are not
// workbooks at all, and the #{Name} markers.
#include "host/report/xls/template_reader.h"

#include "host/report/xls/cfb_writer.h"
#include "host/report/xls/workbook.h"
#include "report/xls_test_util.h"
#include "test_env.h"

#include <map>
#include <random>

namespace {

using namespace xls_test;
using host::xls::TemplateCell;
using host::xls::TemplateSheet;
namespace fs = std::filesystem;

class Template : public ScratchFolderTest {
  protected:
    // A template as a user would make it: captions with markers, numbers, a date.
    std::string WriteTemplate() {
        host::xls::Workbook book;
        host::xls::Sheet& s = book.sheets.emplace_back();
        s.name = u"Шаблон";
        s.SetText(0, 1, u"Отчет за #{Date}");
        s.SetText(2, 0, u"Контур");
        s.SetNumber(2, 2, 3);
        s.SetNumber(3, 2, 0.1);
        s.SetNumber(4, 2, -2.5);
        s.SetNumber(5, 2, 1e20);
        s.SetNumber(6, 3, 46000, {-1, {}, {}, false, 0, u"dd.mm.yyyy"});
        s.SetBlank(7, 4, {-1, {}, {}, false, host::xls::kBorderAll, {}});
        const std::string path = dir_ / "template.xls";
        std::string error;
        EXPECT_TRUE(host::xls::SaveWorkbook(book, path, &error)) << error;
        return path;
    }

    // Reading fails with a message naming the file.
    void ExpectRejected(const std::string& path, const std::string& reason = {}) {
        TemplateSheet sheet;
        sheet.cells.push_back({});
        std::string error;
        EXPECT_FALSE(host::xls::ReadTemplate(path, &sheet, &error));
        EXPECT_NE(error.find("'" + path + "'"), std::string::npos) << error;
        if (!reason.empty()) {
            EXPECT_NE(error.find(reason), std::string::npos) << error;
        }
        EXPECT_TRUE(sheet.cells.empty());
    }
};

TEST_F(Template, ReadsCellsOfTheFirstSheet) {
    const std::string path = WriteTemplate();
    TemplateSheet sheet;
    std::string error;
    ASSERT_TRUE(host::xls::ReadTemplate(path, &sheet, &error)) << error;
    EXPECT_EQ(sheet.name, "Шаблон");
    EXPECT_EQ(sheet.rows, 8u);
    EXPECT_EQ(sheet.cols, 5u);
    using K = TemplateCell::Kind;
    const std::vector<std::tuple<uint32_t, uint32_t, K, std::string>> expected = {
        {0, 1, K::Text, "Отчет за #{Date}"},
        {2, 0, K::Text, "Контур"},
        {2, 2, K::Number, "3"},
        {3, 2, K::Number, "0.1"},
        {4, 2, K::Number, "-2.5"},
        {5, 2, K::Number, "1e+20"},
        {6, 3, K::Date, "2025-12-09"}};
    ASSERT_EQ(sheet.cells.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        const auto& [row, col, kind, text] = expected[i];
        EXPECT_EQ(sheet.cells[i].row, row) << i;
        EXPECT_EQ(sheet.cells[i].col, col) << i;
        EXPECT_EQ(sheet.cells[i].kind, kind) << i;
        EXPECT_EQ(sheet.cells[i].text, text) << i;
    }
}

TEST_F(Template, FilesThatAreNotWorkbooksAreRejected) {
    ExpectRejected((dir_ / "missing.xls").string(), "does not exist");
    ExpectRejected(dir_.string(), "not a regular file");        // a folder
    ASSERT_EQ(::mkfifo((dir_ / "fifo.xls").c_str(), 0600), 0);  // would wait for a writer
    ExpectRejected((dir_ / "fifo.xls").string(), "not a regular file");
    WriteFile(dir_ / "empty.xls", {});
    ExpectRejected((dir_ / "empty.xls").string());
    const std::string text = "Контур;начало;конец\n1;2;3\n";
    WriteFile(dir_ / "csv.xls", Bytes(text.begin(), text.end()));
    ExpectRejected((dir_ / "csv.xls").string(), "not an Excel 97-2003");
    // A sound container whose Workbook stream is not BIFF.
    Bytes junk(6000);
    std::mt19937 rng(7);
    for (auto& b : junk)
        b = uint8_t(rng());
    WriteFile(dir_ / "junk.xls", host::xls::BuildCompoundFile(junk));
    ExpectRejected((dir_ / "junk.xls").string());
}

// Truncations, byte flips and random files: every outcome is a clean result,
// and a failure names the file. (Run under the sanitizer build to catch what
// does not crash outright.)
TEST_F(Template, DamagedFilesNeverCrashTheReader) {
    const Bytes good = ReadFile(WriteTemplate());
    const std::string path = dir_ / "damaged.xls";
    auto attempt = [&](const Bytes& bytes) {
        WriteFile(path, bytes);
        TemplateSheet sheet;
        std::string error;
        if (!host::xls::ReadTemplate(path, &sheet, &error)) {
            EXPECT_NE(error.find(path), std::string::npos) << error;
        }
    };
    for (std::size_t n = 0; n < good.size(); n += n < 600 ? 37 : 509) {
        SCOPED_TRACE("truncated to " + std::to_string(n));
        attempt(Bytes(good.begin(), good.begin() + n));
    }
    std::mt19937 rng(2024);
    for (int i = 0; i < 300; ++i) {
        Bytes bytes = good;
        const int flips = 1 + int(rng() % 8);
        for (int k = 0; k < flips; ++k)
            bytes[rng() % bytes.size()] = uint8_t(rng());
        SCOPED_TRACE("mutation " + std::to_string(i));
        attempt(bytes);
    }
    // Random bytes, half of them behind a valid header so that the FAT and
    // directory code gets to work on them.
    for (int i = 0; i < 50; ++i) {
        Bytes bytes(512 + rng() % 5000);
        for (auto& b : bytes)
            b = uint8_t(rng());
        if (i % 2) std::copy(good.begin(), good.begin() + 512, bytes.begin());
        SCOPED_TRACE("random " + std::to_string(i));
        attempt(bytes);
    }
}

TEST(Markers, KnownNamesAreReplacedOthersStayAsTyped) {
    const std::map<std::string, std::string> values = {
        {"Date", "07.12.2026"}, {"Name", "Подстанция #{Date}"}, {"_x1", "X"}};
    const host::xls::NameResolver resolve =
        [&](std::string_view name) -> std::optional<std::string> {
        const auto it = values.find(std::string(name));
        if (it == values.end()) return std::nullopt;
        return it->second;
    };
    auto replace = [&](std::string_view text) { return host::xls::ReplaceMarkers(text, resolve); };
    EXPECT_EQ(replace("Отчет за #{Date}"), "Отчет за 07.12.2026");
    EXPECT_EQ(replace("#{Date}#{_x1}#{Date}"), "07.12.2026X07.12.2026");
    EXPECT_EQ(replace("#{Name}"), "Подстанция #{Date}") << "values are not expanded again";
    EXPECT_EQ(replace("#{date} #{Unknown}"), "#{date} #{Unknown}") << "case matters";
    for (const char* literal : {"#{", "#{}", "#{ Date}", "#{Date", "#{1x}", "{Date}", "#Date",
                                "# {Date}", "#{Da-te}", "50#", "100%", ""})
        EXPECT_EQ(replace(literal), literal);
    EXPECT_EQ(replace("##{Date}}"), "#07.12.2026}");

    EXPECT_EQ(host::xls::FindMarkers("#{A} и #{B1} #{A} #{ C} #{Д}"),
              (std::vector<std::string>{"A", "B1", "A"}));
}

}  // namespace
