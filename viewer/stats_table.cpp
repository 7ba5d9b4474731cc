#include "stats_table.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <map>
#include <optional>

#include "common/cp1251.h"
#include "tw_fieldtext.h"
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
    kFalseRelay,
    kFalseApparatus,
    kCommanded,
    kMaintenance,
    kDependability,
    kSecurity,
    kRateAll,
    kRelayP90,
    kApparatusP90,
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

std::string PercentText(double share) {
    return CommaText("%.1f %%", 100.0 * share);
}

std::string ShareText(const std::optional<double>& share) {
    return share ? PercentText(*share) : std::string();
}

// A count of operations: empty when they are not known.
std::string OperationCountText(const TW_StatsFigures& f, int n) {
    return f.OperationsKnown ? CountText(n) : std::string();
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
            return f.Demands ? PercentText(f.MisoperationRate()) : std::string();
        case kRelayMedian:
            return TimeText(f.Relay, true);
        case kRelayMax:
            return TimeText(f.Relay, false);
        case kApparatusMedian:
            return TimeText(f.Apparatus, true);
        case kApparatusMax:
            return TimeText(f.Apparatus, false);
        case kFalseRelay:
            return OperationCountText(f, f.FalseRelay);
        case kFalseApparatus:
            return OperationCountText(f, f.FalseApparatus);
        case kCommanded:
            return OperationCountText(f, f.Commanded);
        case kMaintenance:
            return OperationCountText(f, f.Maintenance);
        case kDependability:
            return ShareText(f.Dependability());
        case kSecurity:
            return ShareText(f.Security());
        case kRateAll:
            return ShareText(f.MisoperationRateAll());
        case kRelayP90:
            return f.Relay.Count ? SecondsText(f.Relay.P90) : std::string();
        case kApparatusP90:
            return f.Apparatus.Count ? SecondsText(f.Apparatus.P90) : std::string();
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
    static const std::vector<std::string> columns{"Контур"_cp,
                                                  "Вызовы"_cp,
                                                  "Верно"_cp,
                                                  "Несработки"_cp,
                                                  "Не сработала"_cp,
                                                  "Не удержала"_cp,
                                                  "С опозданием"_cp,
                                                  "На грани"_cp,
                                                  "Доля несработок"_cp,
                                                  "Реле: медиана, с"_cp,
                                                  "Реле: макс., с"_cp,
                                                  "Агрегат: медиана, с"_cp,
                                                  "Агрегат: макс., с"_cp,
                                                  "Ложные реле"_cp,
                                                  "Ложные агрегата"_cp,
                                                  "По команде"_cp,
                                                  "Обслуживание"_cp,
                                                  "Надежность срабатывания"_cp,
                                                  "Надежность несрабатывания"_cp,
                                                  "Доля несработок и ложных"_cp,
                                                  "Реле: P90, с"_cp,
                                                  "Агрегат: P90, с"_cp};
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

int TW_ClassBar::Total() const {
    int n = 0;
    for (const int c : Counts)
        n += c;
    return n;
}

std::vector<TW_ClassBar> TW_ClassBars(const TW_Statistics& stats, std::size_t limit) {
    std::vector<TW_ClassBar> bars;
    if (!stats.OperationsKnown) return bars;
    // Each operation counts for the contour it names, as in the figures.
    std::map<std::pair<std::string, uint16_t>, std::size_t> barOf;
    std::vector<TW_ClassBar> all(stats.Contours.size());
    for (std::size_t c = 0; c < stats.Contours.size(); ++c) {
        all[c].Contour = int(c);
        barOf[{stats.Contours[c].Sensor, stats.Contours[c].State}] = c;
    }
    for (const TW_Operation& op : stats.Operations) {
        if (op.Class == TW_OpDemand || op.Class >= TW_OpClassCount) continue;
        const auto it = barOf.find({TW_FieldText(op.Sensor), op.SensorState});
        if (it != barOf.end()) ++all[it->second].Counts[op.Class];
    }
    for (const TW_ClassBar& b : all)
        if (b.Total() > 0) bars.push_back(b);
    std::stable_sort(bars.begin(), bars.end(), [](const TW_ClassBar& a, const TW_ClassBar& b) {
        const int ua = a.Counts[TW_OpUnexplained], ub = b.Counts[TW_OpUnexplained];
        return ua != ub ? ua > ub : a.Total() > b.Total();
    });
    if (bars.size() > limit) bars.resize(limit);
    return bars;
}

namespace {

// Keeps, in each of `columns` equal spans of [start, end) and for each of the
// relay and the apparatus, the points of least and of greatest value, in
// time order; all of them when there are few.
void ThinPoints(std::vector<TW_ResponsePoint>& points, int64_t start, int64_t end,
                std::size_t columns) {
    if (columns == 0 || points.size() <= 4 * columns || end <= start) return;
    struct Extremes {
        std::size_t low = SIZE_MAX, high = SIZE_MAX;
    };
    std::vector<Extremes> kept(2 * columns);
    const double span = double(end - start);
    for (std::size_t i = 0; i < points.size(); ++i) {
        const TW_ResponsePoint& p = points[i];
        const double at = double(p.Time - start) / span * double(columns);
        const std::size_t column = std::min(columns - 1, std::size_t(std::max(0.0, at)));
        Extremes& e = kept[2 * column + (p.Apparatus ? 1 : 0)];
        if (e.low == SIZE_MAX || p.Value < points[e.low].Value) e.low = i;
        if (e.high == SIZE_MAX || p.Value > points[e.high].Value) e.high = i;
    }
    std::vector<bool> keep(points.size(), false);
    for (const Extremes& e : kept)
        if (e.low != SIZE_MAX) keep[e.low] = keep[e.high] = true;
    std::size_t out = 0;
    for (std::size_t i = 0; i < points.size(); ++i)
        if (keep[i]) points[out++] = points[i];
    points.resize(out);
}

}  // namespace

TW_ResponseChartData TW_ResponseChart(const TW_Statistics& stats, int contour,
                                      std::size_t columns) {
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
    ThinPoints(data.Points, stats.Start.GetTT(), stats.End.GetTT(), columns);
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
