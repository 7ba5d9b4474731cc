#include "stats_table.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "common/cp1251.h"
#include "tw_stats.h"

using namespace host::literals;

namespace {

enum Column {
    kContour,
    kDemands,
    kCorrect,
    kMisoperations,
    kFailed,
    kNotHeld,
    kSlow,
    kNearMiss,
    kRate,
    kRelayMedian,
    kRelayMax,
    kApparatusMedian,
    kApparatusMax,
    kColumns
};

// A number in `format` with a decimal comma, as the plant's workstations write.
std::string CommaText(const char* format, double value) {
    char b[32];
    std::snprintf(b, sizeof b, format, value);
    std::string text = b;
    std::replace(text.begin(), text.end(), '.', ',');
    return text;
}

// "4", "4,5": seconds.
std::string SecondsText(double s) {
    return CommaText(s == std::floor(s) ? "%.0f" : "%.1f", s);
}

std::string CountText(int n, bool mayBeMore = false) {
    return std::to_string(n) + (mayBeMore ? "+" : "");
}

std::string TimeText(const TW_TimeSummary& t, bool median) {
    if (t.Count == 0) return {};
    return SecondsText(median ? t.Median : double(t.Max));
}

std::string FigureText(const TW_StatsFigures& f, int column) {
    switch (column) {
        case kDemands:
            return CountText(f.Demands);
        case kCorrect:
            return CountText(f.Correct);
        case kMisoperations:
            return CountText(f.Misoperations);
        case kFailed:
            return CountText(f.Failed);
        case kNotHeld:
            return CountText(f.NotHeld);
        case kSlow:
            return CountText(f.Slow, f.SlowUnknown > 0);
        case kNearMiss:
            return CountText(f.NearMiss, f.NearMissUnknown > 0);
        case kRate:
            return f.Demands ? CommaText("%.1f %%", 100.0 * f.MisoperationRate()) : std::string();
        case kRelayMedian:
            return TimeText(f.Relay, true);
        case kRelayMax:
            return TimeText(f.Relay, false);
        case kApparatusMedian:
            return TimeText(f.Apparatus, true);
        case kApparatusMax:
            return TimeText(f.Apparatus, false);
        default:
            return {};
    }
}

// The window a response is measured against: the line's MaxTime, or the
// excursion's length when it has none.
double WindowOf(const TW_IncidentPoint& p, bool apparatus) {
    const uint32_t w = apparatus ? p.ApparatusWindow : p.RelayWindow;
    if (w) return double(w);
    return double(p.End.GetTT() - p.Start.GetTT());
}

}  // namespace

const std::vector<std::string>& TW_StatsColumns() {
    static const std::vector<std::string> columns{
        "Контур"_cp,           "Вызовы"_cp,           "Верно"_cp,          "Несработки"_cp,
        "Не сработала"_cp,     "Не удержала"_cp,      "С опозданием"_cp,   "На грани"_cp,
        "Доля несработок"_cp,  "Реле: медиана, с"_cp, "Реле: макс., с"_cp, "Агрегат: медиана, с"_cp,
        "Агрегат: макс., с"_cp};
    return columns;
}

int TW_StatsRowCount(const TW_Statistics& stats) {
    return int(stats.Contours.size()) + 1;
}

const TW_StatsFigures* TW_StatsRowFigures(const TW_Statistics& stats, int row) {
    if (row < 0 || row > int(stats.Contours.size())) return nullptr;
    return row == int(stats.Contours.size()) ? &stats.Plant
                                             : &stats.Contours[std::size_t(row)].Total;
}

bool TW_StatsCellText(const TW_Statistics& stats, int row, int column, std::string& text) {
    const TW_StatsFigures* f = TW_StatsRowFigures(stats, row);
    if (!f || column < 0 || column >= kColumns) return false;
    if (column == kContour)
        text = row == int(stats.Contours.size()) ? "Все контуры"_cp
                                                 : stats.Contours[std::size_t(row)].Label;
    else
        text = FigureText(*f, column);
    return true;
}

std::vector<TW_RateBar> TW_RateBars(const TW_Statistics& stats, std::size_t limit) {
    std::vector<TW_RateBar> bars;
    for (std::size_t c = 0; c < stats.Contours.size(); ++c)
        if (stats.Contours[c].Total.Misoperations > 0)
            bars.push_back({int(c), stats.Contours[c].Total.MisoperationRate()});
    auto worse = [&](const TW_RateBar& a, const TW_RateBar& b) {
        if (a.Rate != b.Rate) return a.Rate > b.Rate;
        const int ma = stats.Contours[std::size_t(a.Contour)].Total.Misoperations;
        const int mb = stats.Contours[std::size_t(b.Contour)].Total.Misoperations;
        return ma != mb ? ma > mb : a.Contour < b.Contour;
    };
    std::sort(bars.begin(), bars.end(), worse);
    if (bars.size() > limit) bars.resize(limit);
    return bars;
}

TW_ResponseChartData TW_ResponseChart(const TW_Statistics& stats, int contour) {
    TW_ResponseChartData data;
    data.Percent = contour < 0;
    auto addContour = [&](const TW_ContourStats& c) {
        for (const TW_IncidentPoint& p : c.Series)
            for (const bool apparatus : {false, true}) {
                const bool used = apparatus ? p.ApparatusUsed : p.RelayUsed;
                const uint32_t response = apparatus ? p.ApparatusResponse : p.RelayResponse;
                if (!used || response == TW_NoTime) continue;
                double value = double(response);
                if (data.Percent) {
                    const double window = WindowOf(p, apparatus);
                    if (window <= 0) continue;
                    value = 100.0 * value / window;
                }
                data.Points.push_back({int64_t(p.Start.GetTT()), value, apparatus});
            }
    };
    if (contour < 0) {
        for (const TW_ContourStats& c : stats.Contours)
            addContour(c);
    } else if (std::size_t(contour) < stats.Contours.size()) {
        const TW_ContourStats& c = stats.Contours[std::size_t(contour)];
        addContour(c);
        // The windows as they were configured, a step wherever one changed.
        double last[2] = {-1, -1};
        for (const TW_IncidentPoint& p : c.Series)
            for (const bool apparatus : {false, true}) {
                if (!(apparatus ? p.ApparatusUsed : p.RelayUsed)) continue;
                const double w = apparatus ? p.ApparatusWindow : p.RelayWindow;
                if (w == last[apparatus]) continue;
                last[apparatus] = w;
                data.Windows.push_back({int64_t(p.Start.GetTT()), w, apparatus});
            }
    }
    std::stable_sort(data.Points.begin(), data.Points.end(),
                     [](const auto& a, const auto& b) { return a.Time < b.Time; });
    return data;
}

std::vector<std::pair<int, int>> TW_TablePages(int rows, int firstPage, int perPage) {
    std::vector<std::pair<int, int>> pages;
    firstPage = std::max(firstPage, 1);
    perPage = std::max(perPage, 1);
    for (int at = 0; at < rows;) {
        const int room = pages.empty() ? firstPage : perPage;
        const int next = rows - at > room ? at + room : rows;
        pages.emplace_back(at, next);
        at = next;
    }
    return pages;
}
