// The web view's reading of what a request names: a path's segments, a query
// value, and a CSV table made JSON.
#include <gtest/gtest.h>

#include "csv_json.h"
#include "html.h"
#include "request_path.h"

namespace {

using Segments = std::vector<std::string>;

TEST(RequestPath, DecodesSegmentsAndRefusesWhatCouldLeadOut) {
    const std::string longPath = "/" + std::string(4096, 'a');
    const struct {
        std::string raw;
        std::optional<Segments> want;
    } cases[] = {
        {"/", Segments{}},
        {"/day/Daily/2026-12-08", Segments{"day", "Daily", "2026-12-08"}},
        {"/files/Daily/a%20b.twr", Segments{"files", "Daily", "a b.twr"}},
        {"/files/%D0%A1%D1%83%D1%82%D0%BA%D0%B8/x", Segments{"files", "Сутки", "x"}},
        {"/a+b/", Segments{"a+b"}},
        {"/.hidden", Segments{".hidden"}},
        {"/a..b", Segments{"a..b"}},
        {"", std::nullopt},
        {"day", std::nullopt},
        {"//etc/passwd", std::nullopt},
        {"/a//b", std::nullopt},
        {"/..", std::nullopt},
        {"/a/./b", std::nullopt},
        {"/a/%2e%2E/b", std::nullopt},
        {"/a/%2e", std::nullopt},
        {"/a%2Fb", std::nullopt},
        {"/a%5Cb", std::nullopt},
        {"/a%00b", std::nullopt},
        {"/a%0Ab", std::nullopt},
        {"/a%7f", std::nullopt},
        {"/a%", std::nullopt},
        {"/a%2", std::nullopt},
        {"/a%g0", std::nullopt},
        {longPath, std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.raw.substr(0, 40));
        EXPECT_EQ(web::SplitRequestPath(c.raw), c.want);
    }
    EXPECT_EQ(web::DecodeQueryValue("2026-12-08"), "2026-12-08");
    EXPECT_EQ(web::DecodeQueryValue("a+b%2Bc"), "a b+c");
    EXPECT_EQ(web::DecodeQueryValue("a%00"), std::nullopt);
}

TEST(RequestPath, EscapesAndEncodesWhatGoesIntoAPage) {
    EXPECT_EQ(web::Escape("<a href=\"x\">'&'</a>"),
              "&lt;a href=&quot;x&quot;&gt;&#39;&amp;&#39;&lt;/a&gt;");
    EXPECT_EQ(web::Text("\xD0\xE5\xEB\xE5 <1>"), "Реле &lt;1&gt;");
    EXPECT_EQ(web::UrlPart("Daily 08.twr/ä?&"), "Daily%2008.twr%2F%C3%A4%3F%26");
}

TEST(RequestPath, CsvRowsBecomeObjectsNamedByTheHeader) {
    const std::string csv =
        "sensor,demands,rate,note\n"
        "\"T1, \"\"north\"\"\",4,0.2500,\n"
        "12,0,,x\n";
    const auto j = web::CsvRowsAsJson(csv, {"sensor", "note"});
    EXPECT_EQ(j.dump(), R"([{"sensor":"T1, \"north\"","demands":4,"rate":0.25,"note":""},)"
                        R"({"sensor":"12","demands":0,"rate":null,"note":"x"}])");
    EXPECT_EQ(web::CsvRowsAsJson("", {}).dump(), "[]");
}

}  // namespace
