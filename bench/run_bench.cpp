// One daily report run end to end, as the host drives it: a plant of 10,000
// variables and 1,000 contours with two archived days, the module loaded with
// dlopen, Run called with the job's node. The time is split by the run's own
// log lines: fetching the hour data, computing the incidents, and each output.
// The run is measured with the host's 24-hour look-back before the day and
// without it, alternately, best of three each.
#include <dlfcn.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "common/cp1251.h"
#include "common/osfile.h"
#include "common/paths.h"
#include "data/archivefile.h"
#include "data/archivefolder.h"
#include "data/configcatalog.h"
#include "data/configtree.h"
#include "data/dbdatabase.h"
#include "runtime/rtpmodule.h"
#include "runtime/runtime.h"
#include "tw_contourarray.h"

using namespace host::literals;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int kContours = 1000;
constexpr int kVariables = 10000;
constexpr time_t kDay = 1796590800;  // 2026-12-07 00:00:00 Moscow

std::string Name(int v) {
    char b[32];
    std::snprintf(b, sizeof b, "P%05d", v);
    return b;
}

// Samples of one variable over the day: runs of `inState` alternating with
// runs of another state, `count` samples in all.
std::vector<host::archive::Sample> Samples(std::mt19937& rng, time_t day, int count,
                                           uint16_t inState, int runIn, int runOut) {
    std::vector<host::archive::Sample> s;
    std::uniform_real_distribution<double> value(0, 100);
    const int step = 86400 / (count + 1);
    uint16_t state = 0;
    int left = runOut;
    for (int i = 0; i < count; ++i) {
        if (left-- <= 0) {
            state = state == inState ? 0 : inState;
            left = state == inState ? runIn : runOut;
        }
        s.push_back({int64_t(day + (i + 1) * step), state, value(rng)});
    }
    return s;
}

bool MakePlant(const std::string& home) {
    HDBDatabase db;
    db.AddStateSet(1, "Состояния"_cp, 0, 3);
    db.AddErrorState(3);
    const int type = db.AddType("Сигнал"_cp, 1);
    for (int o = 0; o < 10; ++o)
        db.AddObject(("Объект "_cp + std::to_string(o + 1)).c_str());
    for (int v = 0; v < kVariables; ++v)
        db.AddVariable(Name(v).c_str(), uint16_t(type), uint16_t(v % 10), uint16_t(v % 10));
    db.ConfigId = 1;
    db.ConfigTime.Set(kDay - 7 * 86400);
    if (!host::MakeDirectories(host::ConfigFolder(home.c_str()).c_str())) return false;
    if (!DBSaveDatabase(db, (host::ConfigFolder(home.c_str()) + "bench.rtdb").c_str()))
        return false;

    std::mt19937 rng(11);
    if (!host::MakeDirectories(host::archive::ArchiveFolder(home.c_str()).c_str())) return false;
    for (const time_t begin : {kDay - 86400, kDay}) {  // the day and the one before it
        std::vector<host::archive::VariableSamples> vars;
        for (int c = 0; c < kContours; ++c) {
            vars.push_back({Name(3 * c), Samples(rng, begin, 300, 2, 3, 25)});     // ~11 excursions
            vars.push_back({Name(3 * c + 1), Samples(rng, begin, 400, 1, 2, 2)});  // a busy relay
            vars.push_back({Name(3 * c + 2), Samples(rng, begin, 200, 1, 5, 5)});
        }
        for (int v = 3 * kContours; v < kVariables; ++v)
            vars.push_back({Name(v), Samples(rng, begin, 100, 0, 1, 1)});
        const host::archive::Day day = host::archive::DayOf(begin + 3600);
        const std::string bytes = host::archive::EncodeDayFile(day, std::move(vars));
        if (!host::WriteFileAtomically(host::archive::DayFilePath(home.c_str(), day).c_str(),
                                       bytes))
            return false;
    }

    TW_ContourArray contours;
    for (int c = 0; c < kContours; ++c) {
        TW_Contour k{};
        k.Used = 1;
        std::strcpy(k.Sensor, Name(3 * c).c_str());
        k.State = 2;
        k.Interval = 60;
        k.Rele.Used = 1;
        std::strcpy(k.Rele.Sensor, Name(3 * c + 1).c_str());
        k.Rele.State = 1;
        k.Rele.MaxTime = 600;
        k.Prot.Used = 1;
        std::strcpy(k.Prot.Sensor, Name(3 * c + 2).c_str());
        k.Prot.State = 1;
        contours.Add(k);
    }
    HConfigTree job;
    contours.Save(job.Root());
    job.Root()->SetBool("UseCfg", false);
    if (!host::MakeDirectories((home + "Jobs").c_str())) return false;
    return job.SaveAs((home + "Jobs/Bench.json").c_str());
}

struct Figures {
    double whole = 0;
    std::vector<std::pair<std::string, double>> steps;  // label, milliseconds
};

// One run of the job, its steps timed by the run's own log lines. False when the
// run failed (said on the console).
bool Measure(RTPModule& module, HConfigItem* job, Figures& out) {
    std::vector<std::pair<std::string, Clock::time_point>> marks;
    host::SetLogListener([&](const std::string& line) { marks.emplace_back(line, Clock::now()); });
    const auto start = Clock::now();
    const char* error = module.Run(job);
    const auto finish = Clock::now();
    host::SetLogListener(nullptr);
    if (error) {
        std::printf("the run failed: %s\n", host::Cp1251ToUtf8(error).c_str());
        return false;
    }
    auto ms = [](Clock::time_point a, Clock::time_point b) {
        return std::chrono::duration<double, std::milli>(b - a).count();
    };
    const std::pair<const char*, const char*> steps[] = {
        {"TW: Запрос данных", "fetching the hour data"},
        {"TW: Расcчет значений", "computing the incidents"},
        {"TW: Сохранение бинарного", "binary report (.twr)"},
        {"TW: Сохранение текстового", "text report (.txt)"},
        {"TW: Сохранение отчета XLS", "spreadsheet report (.xls)"},
    };
    for (const auto& [prefix, label] : steps) {
        const std::string cp = host::Utf8ToCp1251Lossy(prefix);
        for (std::size_t i = 0; i < marks.size(); ++i) {
            if (marks[i].first.rfind(cp, 0) != 0) continue;
            // A step lasts from its line to the next progress line; the exports
            // log lines of their own inside their step.
            auto stepEnd = finish;
            for (std::size_t j = i + 1; j < marks.size(); ++j)
                if (marks[j].first.rfind("TW: ", 0) == 0) {
                    stepEnd = marks[j].second;
                    break;
                }
            out.steps.emplace_back(label, ms(marks[i].second, stepEnd));
            break;
        }
    }
    out.whole = ms(start, finish);
    return true;
}

}  // namespace

int main() {
    setenv("TZ", "Europe/Moscow", 1);
    tzset();
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    const std::string home = (std::filesystem::temp_directory_path() / "tw-run-bench/").string();
    std::filesystem::remove_all(home);
    std::filesystem::create_directories(home);
    std::printf("building a plant of %d variables and %d contours in %s...\n", kVariables,
                kContours, home.c_str());
    if (!MakePlant(home)) {
        std::printf("cannot build the plant: %s\n",
                    host::Cp1251ToUtf8(GetIOErrorS_GUI(-2)).c_str());
        return 1;
    }

    char exe[4096];
    const ssize_t n = readlink("/proc/self/exe", exe, sizeof exe - 1);
    std::string dir(exe, std::size_t(n > 0 ? n : 0));
    dir.erase(dir.rfind('/') + 1);
    void* lib = dlopen((dir + "libTripplug.so").c_str(), RTLD_NOW);
    auto query =
        lib ? reinterpret_cast<QueryPackageInfoProc>(dlsym(lib, "QueryPackageInfo")) : nullptr;
    if (!query) {
        std::printf("cannot load the module: %s\n", dlerror());
        return 1;
    }
    auto* module = static_cast<RTPModule*>(query(0));

    RTInitialize(home.c_str(), nullptr);
    host::SetLogConsole(false);
    RTPHostContext context;
    std::strcpy(context.Home, home.c_str());
    PRTime end;
    end.Set(kDay + 86400);
    context.PeriodEnd = end;
    context.PeriodStart.Set(kDay);
    RTPInfo info{};
    info.Context = &context;
    module->Init(&info);
    module->ReportTime = end;

    HConfigTree job;
    job.Load((home + "Jobs/Bench.json").c_str(), true);
    Figures best[2];
    for (int round = 0; round < 3; ++round) {
        for (int with = 0; with < 2; ++with) {
            context.LookBack = with ? kDefaultLookBack : 0;
            Figures f;
            if (!Measure(*module, job.Root(), f)) return 1;
            if (round == 0 || f.whole < best[with].whole) best[with] = f;
        }
    }
    module->Done();
    ::operator delete(static_cast<HPackageInfo*>(module));
    for (int with = 0; with < 2; ++with) {
        std::printf("%s:\n", with ? "with the 24-hour look-back" : "without a look-back");
        for (const auto& [label, ms] : best[with].steps)
            std::printf("  %-28s %8.1f ms\n", label.c_str(), ms);
        std::printf("  whole run: %.1f ms (target < 2000 ms)\n", best[with].whole);
    }
    std::printf("whole run with the look-back / without: %.2fx (target <= 1.30x)\n",
                best[1].whole / best[0].whole);
    std::filesystem::remove_all(home);
    return 0;
}
