#include "svg_chart.h"

#include <algorithm>

#include "common/strutil.h"
#include "html.h"

namespace web {
namespace {

constexpr int kLabelWidth = 170, kBarsWidth = 520, kRow = 22, kTop = 34, kBottom = 30;
constexpr const char* kGreen = "#2e8b57";
constexpr const char* kRed = "#c0392b";
constexpr const char* kAmber = "#e0a020";
constexpr const char* kBlue = "#2f6db5";
constexpr const char* kGrey = "#9aa5b1";

// The frame of a chart with one row a contour: its size, title and legend.
std::string Open(int rows, const char* title,
                 std::initializer_list<std::pair<const char*, const char*>> legend) {
    const int width = kLabelWidth + kBarsWidth + 20;
    const int height = kTop + rows * kRow + kBottom;
    std::string svg = host::Format(
        "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"%d\" height=\"%d\" viewBox=\"0 0 %d "
        "%d\" font-family=\"sans-serif\" font-size=\"12\">\n<rect width=\"100%%\" "
        "height=\"100%%\" fill=\"#ffffff\"/>\n<text x=\"8\" y=\"18\" font-size=\"14\" "
        "font-weight=\"bold\">%s</text>\n",
        width, height, width, height, Escape(title).c_str());
    int x = kLabelWidth;
    for (const auto& [colour, name] : legend) {
        svg += host::Format(
            "<rect x=\"%d\" y=\"%d\" width=\"10\" height=\"10\" fill=\"%s\"/>"
            "<text x=\"%d\" y=\"%d\">%s</text>\n",
            x, height - 18, colour, x + 14, height - 9, Escape(name).c_str());
        x += 150;
    }
    return svg;
}

std::string Label(int row, const std::string& cp1251) {
    return host::Format("<text x=\"8\" y=\"%d\">", kTop + row * kRow + 15) + Text(cp1251) +
           "</text>\n";
}

std::string Bar(double x, int row, double width, const char* colour, int lane = 0, int lanes = 1) {
    const double h = (kRow - 6.0) / lanes;
    return host::Format(
        "<rect x=\"%.1f\" y=\"%.1f\" width=\"%.1f\" height=\"%.1f\" "
        "fill=\"%s\"/>\n",
        kLabelWidth + x, kTop + row * kRow + 3 + lane * h, std::max(width, 0.0), h, colour);
}

std::string Value(double x, int row, const std::string& text) {
    return host::Format("<text x=\"%.1f\" y=\"%d\" fill=\"#1d2733\">%s</text>\n",
                        kLabelWidth + x + 4, kTop + row * kRow + 15, Escape(text).c_str());
}

}  // namespace

std::string OutcomesChart(const TW_Statistics& stats) {
    const auto& cs = stats.Contours;
    int most = 1;
    for (const TW_ContourStats& c : cs)
        most = std::max(most, c.Total.Demands + c.Total.Unexplained());
    const double scale = (kBarsWidth - 60.0) / most;
    std::string svg = Open(int(cs.size()), "Вызовы и срабатывания по контурам",
                           {{kGreen, "верно"}, {kRed, "несработки"}, {kAmber, "без вызова"}});
    for (std::size_t i = 0; i < cs.size(); ++i) {
        const TW_StatsFigures& f = cs[i].Total;
        const int row = int(i);
        svg += Label(row, cs[i].Label);
        double x = 0;
        for (const auto& [count, colour] :
             {std::pair{f.Correct, kGreen}, std::pair{f.Misoperations, kRed},
              std::pair{f.Unexplained(), kAmber}}) {
            svg += Bar(x, row, count * scale, colour);
            x += count * scale;
        }
        svg += Value(x, row, host::Format("%d / %d", f.Misoperations, f.Demands));
    }
    return svg + "</svg>\n";
}

std::string TimesChart(const TW_Statistics& stats) {
    const auto& cs = stats.Contours;
    uint32_t most = 1;
    for (const TW_ContourStats& c : cs)
        most = std::max({most, c.Total.Relay.P90, c.Total.Apparatus.P90});
    const double scale = (kBarsWidth - 60.0) / most;
    std::string svg = Open(int(cs.size()), "Время срабатывания, с (медиана и 90%)",
                           {{kBlue, "реле"}, {kGrey, "агрегат"}});
    for (std::size_t i = 0; i < cs.size(); ++i) {
        const int row = int(i);
        svg += Label(row, cs[i].Label);
        int lane = 0;
        for (const auto& [times, colour] :
             {std::pair{&cs[i].Total.Relay, kBlue}, std::pair{&cs[i].Total.Apparatus, kGrey}}) {
            if (times->Count) {
                // The median as the bar, the 90th percentile as its whisker.
                svg += Bar(0, row, times->Median * scale, colour, lane, 2);
                svg += Bar(times->Median * scale, row, (times->P90 - times->Median) * scale,
                           "#d5dbe2", lane, 2);
            }
            ++lane;
        }
        const auto text = [](const TW_TimeSummary& t) {
            return t.Count ? host::Format("%g/%u", t.Median, t.P90) : std::string("—");
        };
        svg += Value(std::max(cs[i].Total.Relay.P90, cs[i].Total.Apparatus.P90) * scale, row,
                     text(cs[i].Total.Relay) + "  " + text(cs[i].Total.Apparatus));
    }
    return svg + "</svg>\n";
}

}  // namespace web
