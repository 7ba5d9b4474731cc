// Peak memory of rthost's data commands as processes, a short range against a
// long one: the demo plant of 3 days and of 60, the export of 3 days and of 20,
// and (with TW_BENCH_PG) the import into PostgreSQL of one day's CSV and of
// four days' (over a million rows). Each command streams a day, or one
// variable, at a time, so the long range's peak must stay within 1.5 times the
// short one's. rthost is the one beside this program.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "bench_util.h"

namespace {

namespace fs = std::filesystem;

constexpr double kTargetRatio = 1.5;
const char* const kEnd = "2026-03-01";  // the demo's archive ends at this midnight

using twbench::Measured;
using twbench::RunProgram;

// Prints a pair of measurements and whether the long one stays in bounds.
void Compare(const char* what, const char* shortName, const Measured& a, const char* longName,
             const Measured& b) {
    if (!a.ok || !b.ok) {
        std::printf("%-28s failed\n", what);
        return;
    }
    const double ratio = double(b.peakKb) / double(a.peakKb);
    std::printf("%-28s %s %6.1f MB (%5.1f s), %s %6.1f MB (%5.1f s): %.2fx, target <= %.1f: %s\n",
                what, shortName, a.peakKb / 1024.0, a.seconds, longName, b.peakKb / 1024.0,
                b.seconds, ratio, kTargetRatio, ratio <= kTargetRatio ? "ok" : "MISSED");
}

std::string Beside(const char* name) {
    return (fs::read_symlink("/proc/self/exe").parent_path() / name).string();
}

}  // namespace

int main() {
    const std::string rthost = Beside("rthost");
    char pattern[] = "/tmp/tw-bench-memory.XXXXXX";
    if (!mkdtemp(pattern)) return 1;
    const fs::path dir = pattern;
    const std::string log = (dir / "log").string();
    const auto home = [&](const char* name) { return (dir / name).string(); };
    setenv("TZ", "Europe/Moscow", 1);

    std::printf("rthost's data commands, peak resident memory of the process\n");
    const Measured demo3 =
        RunProgram({rthost, "demo", home("d3"), "--days", "3", "--end", kEnd}, log);
    const Measured demo60 =
        RunProgram({rthost, "demo", home("d60"), "--days", "60", "--end", kEnd}, log);
    Compare("demo, day files", "3 days", demo3, "60 days", demo60);

    const auto exportDays = [&](const char* from, const std::string& out) {
        return RunProgram({rthost, "export", home("d60"), "--from", std::string(from) + " 00:00:00",
                           "--to", "2026-02-28 23:59:59", "-o", out},
                          log);
    };
    const Measured export3 = exportDays("2026-02-26", home("3.csv"));
    const Measured export20 = exportDays("2026-02-09", home("20.csv"));
    Compare("export, day files", "3 days", export3, "20 days", export20);
    fs::remove(home("20.csv"));

    const char* pg = std::getenv("TW_BENCH_PG");
    if (!pg || !*pg) {
        std::printf("import into PostgreSQL: skipped, TW_BENCH_PG names no server\n");
    } else {
        const Measured oneDay = exportDays("2026-02-28", home("1.csv"));
        const Measured fourDays = exportDays("2026-02-25", home("4.csv"));
        const Measured made = RunProgram(
            {rthost, "demo", home("pg"), "--days", "4", "--end", kEnd, "--archive", pg, "--force"},
            log);
        if (!oneDay.ok || !fourDays.ok || !made.ok) {
            std::printf("import into PostgreSQL: the CSV files or the home were not made\n");
        } else {
            const Measured import1 = RunProgram({rthost, "import", home("pg"), home("1.csv")}, log);
            const Measured import4 = RunProgram({rthost, "import", home("pg"), home("4.csv")}, log);
            std::ifstream in(log);
            std::string line;
            std::getline(in, line);
            std::printf("  %s\n", line.c_str());
            Compare("import, PostgreSQL", "1 day", import1, "4 days", import4);
        }
    }
    std::error_code ignored;
    fs::remove_all(dir, ignored);
    return 0;
}
