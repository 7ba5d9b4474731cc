// The incident computation on one day of a busy plant: 2,000,000 samples, 1,000
// contours, about 50,000 incidents, relays that toggle all day. Prints, in one
// run: our Fill, the literal rules (every relay search from the first sample),
// a plain pass over the sensors' samples (the memory bound), and an SQLite
// query with window functions that finds the same excursions.
#include "bench_util.h"
#include "sqlite_excursions.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <random>
#include <string>

#include "../tests/fill/literal_fill.h"
#include "hourfile/hourfile.h"
#include "runtime/runtime.h"
#include "tw_contourarray.h"
#include "tw_file.h"

namespace {

using namespace twbench;

constexpr int kContours = 1000;
constexpr int kSensorSamples = 600;
constexpr int kRelaySamples = 900;
constexpr int kApparatusSamples = 500;
constexpr time_t kBase = 1796590800;  // 2026-12-07 00:00:00 Moscow

struct Plant {
    HHourFile file;
    TW_ContourArray contours;
    std::vector<twbench::ExcursionSample> rows;  // for SQLite
};

void AddVar(Plant& p, int id, int count, std::mt19937& rng, int stateA, int stateB, int runA,
            int runB) {
    HHourVar v{};
    std::snprintf(v.Name, sizeof v.Name, "V%05d", id);
    v.Descriptor = {0, 0};
    v.first = p.file.Samples.Count();
    long t = 0;
    int state = stateB;
    int left = 0;
    std::uniform_int_distribution<int> step(1, 86400 / count * 2 - 1);
    std::uniform_real_distribution<double> value(0, 100);
    for (int i = 0; i < count; ++i) {
        // Strictly increasing and inside the day, with room left for the rest.
        t = std::min<long>(t + step(rng), 86399 - (count - 1 - i));
        if (left-- <= 0) {
            state = state == stateA ? stateB : stateA;
            left = state == stateA ? runA : runB;
        }
        HHourSample s{};
        s.Value = value(rng);
        s.Time.Set(kBase + t);
        s.State = uint16_t(state);
        p.file.Samples.Add(s);
        p.rows.push_back({id, t, state, s.Value});
    }
    v.last = p.file.Samples.Count() - 1;
    p.file.Variables.Add(v);
}

std::unique_ptr<Plant> MakePlant() {
    auto p = std::make_unique<Plant>();
    std::mt19937 rng(7);
    HHourFile::AddName(p->file.ObjectNames, "Obj");
    HHourFile::AddName(p->file.PlaceNames, "Place");
    p->file.Samples.Reserve(kContours * (kSensorSamples + kRelaySamples + kApparatusSamples));
    for (int c = 0; c < kContours; ++c) {
        AddVar(*p, 3 * c, kSensorSamples, rng, 5, 0, 5, 6);     // ~55 excursions
        AddVar(*p, 3 * c + 1, kRelaySamples, rng, 1, 0, 1, 1);  // toggles all day
        AddVar(*p, 3 * c + 2, kApparatusSamples, rng, 2, 0, 3, 3);
        TW_Contour k{};
        k.Used = 1;
        std::snprintf(k.Sensor, sizeof k.Sensor, "V%05d", 3 * c);
        k.State = 5;
        k.Interval = 60;
        k.Rele.Used = 1;
        std::snprintf(k.Rele.Sensor, sizeof k.Rele.Sensor, "V%05d", 3 * c + 1);
        k.Rele.State = 1;
        k.Rele.MaxTime = 120;
        k.Prot.Used = 1;
        std::snprintf(k.Prot.Sensor, sizeof k.Prot.Sensor, "V%05d", 3 * c + 2);
        k.Prot.State = 2;
        p->contours.Add(k);
    }
    return p;
}

double PlainPass(const Plant& p, double& checksum) {
    const auto a = Clock::now();
    HHourVarBounds vars(p.file);
    double sum = 0;
    for (int c = 0; c < p.contours.Count(); ++c) {
        const HHourVar* v = vars.LocateVar(p.contours.ItemINT(c)->Sensor);
        for (int i = v->first; i <= v->last; ++i) {
            const HHourSample* s = p.file.Sample(i);
            sum += s->Value + s->State + s->Time.Second;
        }
    }
    checksum = sum;
    return Seconds(a, Clock::now());
}

// Appending as many empty rows as Fill produced: the cost of the output alone
// (1880 bytes a row, fresh memory), which no scan can avoid.
double WriteRows(int rows) {
    const auto a = Clock::now();
    TW_File f;
    const TW_ContourLine row{};
    for (int i = 0; i < rows; ++i)
        f.Add(row);
    return Seconds(a, Clock::now());
}

}  // namespace

int main(int argc, char** argv) {
    // "--fill-only [runs]" measures Fill alone (for profilers).
    const bool fillOnly = argc > 1 && std::strcmp(argv[1], "--fill-only") == 0;
    const int runs = fillOnly && argc > 2 ? std::max(1, std::atoi(argv[2])) : 3;
    setenv("TZ", "Europe/Moscow", 1);
    tzset();
    host::SetLogConsole(false);
    std::printf("building a day of %d samples for %d contours...\n",
                kContours * (kSensorSamples + kRelaySamples + kApparatusSamples), kContours);
    auto plant = MakePlant();

    TW_File report;
    report.Start.Set(time_t(kBase));
    report.End.Set(time_t(kBase + 86400));
    // Best of three runs of each measured step.
    double fill = 1e9;
    for (int run = 0; run < runs; ++run) {
        const auto a = Clock::now();
        report.Fill(plant->file, plant->contours);
        fill = std::min(fill, Seconds(a, Clock::now()));
    }
    if (fillOnly) {
        std::printf("Fill: %.1f ms, %d incidents\n", fill * 1e3, report.Count());
        return 0;
    }

    std::vector<TW_ContourLine> literalRows;
    auto a = Clock::now();
    twtest::LiteralFill(literalRows, plant->file, plant->contours);
    const double literal = Seconds(a, Clock::now());
    bool same = int(literalRows.size()) == report.Count();
    for (int i = 0; same && i < report.Count(); ++i)
        same = std::memcmp(report.ItemINT(i), &literalRows[std::size_t(i)],
                           sizeof(TW_ContourLine)) == 0;

    double checksum = 0;
    double plain = 1e9;
    for (int run = 0; run < 3; ++run)
        plain = std::min(plain, PlainPass(*plant, checksum));
    double rowsOnly = 1e9;
    for (int run = 0; run < 3; ++run)
        rowsOnly = std::min(rowsOnly, WriteRows(report.Count()));
    long sqlFound = 0;
    std::vector<twbench::ExcursionContour> sensors;
    for (int c = 0; c < kContours; ++c)
        sensors.push_back({3 * c, 5, 60});
    const double sql = twbench::SqliteExcursionQuery(plant->rows, sensors, sqlFound);

    std::printf("incidents: %d (literal rules: %zu, rows identical: %s; SQLite found %ld)\n",
                report.Count(), literalRows.size(), same ? "yes" : "NO", sqlFound);
    std::printf("Fill:            %8.1f ms\n", fill * 1e3);
    std::printf("literal rules:   %8.1f ms  (%.1f x Fill)\n", literal * 1e3, literal / fill);
    std::printf("plain pass:      %8.1f ms  (Fill = %.2f x plain pass)\n", plain * 1e3,
                fill / plain);
    std::printf("rows written:    %8.1f ms  (the output alone: %d rows of 1880 bytes)\n",
                rowsOnly * 1e3, report.Count());
    std::printf("Fill less output: %7.1f ms  (= %.2f x plain pass)\n", (fill - rowsOnly) * 1e3,
                (fill - rowsOnly) / plain);
    std::printf(
        "pass + rows:     %8.1f ms  (reading the sensors and writing the rows; Fill = "
        "%.2f x)\n",
        (plain + rowsOnly) * 1e3, fill / (plain + rowsOnly));
    std::printf("SQLite window:   %8.1f ms  (%.1f x Fill)\n", sql * 1e3, sql / fill);
    std::printf("(checksum %.0f)\n", checksum);
    return same ? 0 : 1;
}
