// The same plant with its samples in day files and in PostgreSQL gives the same
// reports, exports and second-level report; a plant's own table is read in
// place through a view; failures of the database are the host's clear messages.
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <regex>
#include <sstream>
#include <string>

#include "archive/pg/pgconnection.h"
#include "pg_test_db.h"
#include "planted_operations.h"
#include "shell_output.h"
#include "test_env.h"

namespace fs = std::filesystem;

namespace {

using twtest::Bin;
using twtest::ExitCode;
using twtest::ReadText;

using twtest::FreshDatabase;

// Every report of a home as twdump shows it, less its file name and run time.
std::string Reports(const std::string& home) {
    std::string all;
    std::vector<fs::path> files;
    for (const auto& e : fs::directory_iterator(home + "Reports"))
        if (e.path().extension() == ".twr") files.push_back(e.path());
    std::sort(files.begin(), files.end());
    for (const auto& f : files) {
        EXPECT_EQ(ExitCode(Bin("twdump") + " '" + f.string() + "' >" + home + "dump.json"), 0);
        auto dump = nlohmann::json::parse(ReadText(home + "dump.json"));
        dump.erase("File");
        dump.erase("RunTime");
        all += f.filename().string() + " " + dump.dump() + "\n";
    }
    return all;
}

// Where two long texts first differ, for a readable failure.
std::string FirstDifference(const std::string& a, const std::string& b) {
    const auto d = std::mismatch(a.begin(), a.end(), b.begin(), b.end());
    const std::size_t at = std::size_t(d.first - a.begin());
    return "first difference at byte " + std::to_string(at) + ": \"" + a.substr(at, 80) +
           "\" / \"" + b.substr(at, 80) + "\"";
}

// A loopback port that takes connections (the kernel's backlog) and never
// answers them; closed with the object.
struct SilentServer {
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    int port = 0;
    SilentServer() {
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof a;
        if (::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 && ::listen(fd, 8) == 0 &&
            ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &size) == 0)
            port = ntohs(a.sin_port);
    }
    ~SilentServer() { ::close(fd); }
};

std::string Rthost(const std::string& home, const std::string& args) {
    const int rc =
        ExitCode(Bin("rthost") + " " + args + " >" + home + "out.txt 2>" + home + "err.txt");
    return std::to_string(rc) + " " + ReadText(home + "out.txt");
}

TEST(PgArchive, TheSamePlantInDayFilesAndInPostgreSqlGivesTheSameResults) {
    const std::string files = twtest::ScratchDir("files"), pg = twtest::ScratchDir("pg");
    const std::string conninfo = FreshDatabase("twsame");
    const std::string demo = " --days 3 --end 2026-11-21 --seed 7 --background 50";
    ASSERT_EQ(ExitCode(Bin("rthost") + " demo " + files + demo + " >/dev/null"), 0);
    ASSERT_EQ(
        ExitCode(Bin("rthost") + " demo " + pg + demo + " --archive '" + conninfo + "' >/dev/null"),
        0);
    // A variable busier than one run of the PostgreSQL fetch holds.
    std::ofstream busy(files + "busy.csv");
    busy << "variable,time,state,value\n";
    for (int s = 0; s < 86400; s += 5)
        busy << "U1.P01.Sensor,2026-11-19 " << s / 36000 << s / 3600 % 10 << ":" << s / 600 % 6
             << s / 60 % 10 << ":" << s % 60 / 10 << s % 10 << "," << s / 5 % 3 << "," << s
             << ".5\n";
    busy.close();
    for (const std::string& home : {files, pg}) {
        EXPECT_EQ(ExitCode(Bin("rthost") + " import " + home + " " + files + "busy.csv >/dev/null"),
                  0);
        const std::string out =
            Rthost(home, "run " + home + " --job Daily --from 2026-11-19 --to 2026-11-20");
        EXPECT_EQ(out.substr(0, 2), "0 ") << out << ReadText(home + "err.txt");
        EXPECT_NE(out.find("2 day(s), 0 failed"), std::string::npos) << out;
    }
    const std::string reports = Reports(files);
    EXPECT_TRUE(Reports(pg) == reports) << FirstDifference(Reports(pg), reports);
    // The planted operations, after the busy day has run its course: its
    // excursions explain the operations of that contour as demands.
    twtest::ExpectPlantedOperations(pg, "2026-11-20 01:00:00");
    EXPECT_NE(reports.find("\"Items\":[{"), std::string::npos);
    // The values the runs kept: every sample fetched, the same from both.
    for (const auto& e : fs::directory_iterator(files + "Values")) {
        const std::string kept = ReadText(e.path().string());
        const std::string other = ReadText(pg + "Values/" + e.path().filename().string());
        EXPECT_TRUE(other == kept) << e.path() << FirstDifference(other, kept);
        EXPECT_NE(kept.find("U1.P01.Sensor,2026-11-19 23:59:55,2,86395.5\n"), std::string::npos);
    }

    const std::string exportArgs = " --from \"2026-11-18 00:00:00\" --to \"2026-11-21 00:00:00\"";
    auto exported = [&](const std::string& home) {
        return Rthost(home, "export " + home + exportArgs);
    };
    EXPECT_TRUE(exported(pg) == exported(files)) << FirstDifference(exported(pg), exported(files));
    EXPECT_GT(exported(files).size(), 10000u);

    auto batch = [&](const std::string& home) {
        ExitCode(Bin("Tripview") + " --batch --path " + home +
                 "Reports --from 2026-11-19 --to 2026-11-21 >" + home + "batch.txt 2>&1");
        return std::regex_replace(ReadText(home + "batch.txt"), std::regex(home), "HOME/");
    };
    EXPECT_EQ(batch(pg), batch(files));

    // One CSV imported into either archive gives the same exports.
    // More rows than one batch of the import, a time given twice across them:
    // the later wins.
    const std::string csv = files + "change.csv";
    std::ofstream change(csv);
    change << "variable,time,state,value\n"
              "U1.P01.Sensor,2026-11-19 12:00:00,2,101.5\n"
              "U1.P01.Sensor,2026-11-19 12:05:00,0,55\n"
              "U1.P02.Sensor,2026-11-20 01:00:00,0,49.25\n";
    for (int s = 0; s < 70000; ++s)
        change << "U1.P03.Sensor,2026-11-19 " << s / 36000 << s / 3600 % 10 << ":" << s / 600 % 6
               << s / 60 % 10 << ":" << s % 60 / 10 << s % 10 << ",0," << s << "\n";
    change << "U1.P01.Sensor,2026-11-19 12:05:00,0,56\n";
    change.close();
    for (const std::string& home : {files, pg}) {
        EXPECT_EQ(
            ExitCode(Bin("rthost") + " import " + home + " " + csv + " 2>" + home + "import.txt"),
            0);
        EXPECT_EQ(ReadText(home + "import.txt"),
                  home == pg ? "Imported 70004 samples into 70003 row(s)\n"
                             : "Imported 70004 samples into 2 day file(s)\n");
    }
    EXPECT_TRUE(exported(pg) == exported(files)) << FirstDifference(exported(pg), exported(files));
    EXPECT_NE(exported(pg).find("U1.P01.Sensor,2026-11-19 12:05:00+03:00,0,56\n"),
              std::string::npos);
}

// The demo into a samples table: again over its own samples, never over a
// plant's (what an import wrote) unless forced.
TEST(PgArchive, TheDemoReplacesOnlyItsOwnSamples) {
    const std::string conninfo = FreshDatabase("twdemo");
    const std::string demo =
        " --days 1 --end 2026-11-21 --seed 3 --background 10 --archive '" + conninfo + "'";
    struct Step {
        const char* what;
        std::string args, exit, error;
    };
    const std::string home = twtest::ScratchDir("demo-again");
    const Step steps[] = {
        {"first", "demo " + home + "a" + demo, "0 ", ""},
        {"again", "demo " + home + "b" + demo, "0 ", ""},
        {"a plant's own", "import " + home + "a " + home + "own.csv", "0 ", ""},
        {"refused", "demo " + home + "c" + demo, "1 ",
         "rthost demo: Архив PostgreSQL: the samples table holds samples that the demo did not "
         "write (a plant's own?); --force replaces those of the demo's days\n"},
        {"forced", "demo " + home + "d" + demo + " --force", "0 ", ""},
    };
    std::ofstream(home + "own.csv") << "variable,time,state,value\nU1.P01.Sensor,2026-11-25 "
                                       "12:00:00,1,2\n";
    for (const Step& s : steps) {
        EXPECT_EQ(Rthost(home, s.args).substr(0, 2), s.exit)
            << s.what << ReadText(home + "err.txt");
        if (!s.error.empty()) {
            EXPECT_EQ(ReadText(home + "err.txt"), s.error) << s.what;
        }
    }
    host::pg::Connection c;
    ASSERT_TRUE(c.Open(conninfo)) << c.Error();
    host::pg::Result r;
    ASSERT_TRUE(c.Exec("SELECT count(*) FROM tripwatch.samples WHERE time >= '2026-11-22'", &r,
                       PGRES_TUPLES_OK));
    EXPECT_EQ(r.Text(0, 0), "1");
}

// The samples table partitioned by month as ARCHIVE.md makes it: the demo and
// an import write each row into its month and vacuum only the months they
// changed, a run reads it as the day files, and a sample outside every month
// fails its import with nothing written.
TEST(PgArchive, ATablePartitionedByMonthTakesEachSampleIntoItsMonth) {
    const std::string files = twtest::ScratchDir("month-files"), pg = twtest::ScratchDir("month");
    const std::string conninfo = FreshDatabase("twmonth");
    host::pg::Connection c;
    ASSERT_TRUE(c.Open(conninfo)) << c.Error();
    ASSERT_TRUE(
        c.Exec("CREATE SCHEMA tripwatch; CREATE TABLE tripwatch.samples (variable text NOT NULL, "
               "time timestamptz NOT NULL, state integer NOT NULL CHECK (state BETWEEN 0 AND "
               "65535), value double precision NOT NULL, PRIMARY KEY (variable, time) INCLUDE "
               "(state, value)) PARTITION BY RANGE (time);"
               "CREATE TABLE tripwatch.samples_2026_10 PARTITION OF tripwatch.samples FOR VALUES "
               "FROM ('2026-10-01 00:00+03') TO ('2026-11-01 00:00+03');"
               "CREATE TABLE tripwatch.samples_2026_11 PARTITION OF tripwatch.samples FOR VALUES "
               "FROM ('2026-11-01 00:00+03') TO ('2026-12-01 00:00+03');"
               "CREATE TABLE tripwatch.samples_2026_12 PARTITION OF tripwatch.samples FOR VALUES "
               "FROM ('2026-12-01 00:00+03') TO ('2027-01-01 00:00+03')"))
        << c.Error();
    const std::string demo = " --days 2 --end 2026-11-21 --seed 3 --background 10";
    ASSERT_EQ(ExitCode(Bin("rthost") + " demo " + files + demo + " >/dev/null"), 0);
    ASSERT_EQ(
        ExitCode(Bin("rthost") + " demo " + pg + demo + " --archive '" + conninfo + "' >/dev/null"),
        0);
    // Each month's rows, and its rows as its last VACUUM (ANALYZE) counted them
    // (-1: never vacuumed nor analyzed).
    const auto months = [&] {
        host::pg::Result r;
        EXPECT_TRUE(
            c.Exec("SELECT string_agg(c.relname || ' ' || (SELECT count(*) FROM "
                   "tripwatch.samples s WHERE s.tableoid = c.oid) || ' ' || c.reltuples, "
                   "', ' ORDER BY c.relname) FROM pg_class c JOIN pg_inherits i ON "
                   "i.inhrelid = c.oid WHERE i.inhparent = 'tripwatch.samples'::regclass",
                   &r, PGRES_TUPLES_OK))
            << c.Error();
        return r.Text(0, 0);
    };
    host::pg::Result count;
    ASSERT_TRUE(c.Exec("SELECT count(*) FROM tripwatch.samples", &count, PGRES_TUPLES_OK));
    const std::string n = count.Text(0, 0), n1 = std::to_string(std::stol(n) + 1);
    EXPECT_EQ(months(),
              "samples_2026_10 0 -1, samples_2026_11 " + n + " " + n + ", samples_2026_12 0 -1");
    const struct {
        const char* rows;
        const char* exit;
        std::string error, after;
    } imports[] = {
        {"U1.P01.Sensor,2026-11-30 23:59:59,1,2\nU1.P01.Sensor,2026-12-01 00:00:00,0,3\n", "0 ", "",
         "samples_2026_10 0 -1, samples_2026_11 " + n1 + " " + n1 + ", samples_2026_12 1 1"},
        {"U1.P01.Sensor,2026-12-02 00:00:00,0,4\nU1.P01.Sensor,2027-01-01 00:00:00,0,5\n", "1 ",
         "rthost import: Архив PostgreSQL: ERROR:  no partition of relation \"samples\" found "
         "for row\n",
         "samples_2026_10 0 -1, samples_2026_11 " + n1 + " " + n1 + ", samples_2026_12 1 1"},
    };
    for (const auto& i : imports) {
        std::ofstream(pg + "one.csv") << "variable,time,state,value\n" << i.rows;
        EXPECT_EQ(Rthost(pg, "import " + pg + " " + pg + "one.csv").substr(0, 2), i.exit) << i.rows;
        EXPECT_EQ(ReadText(pg + "err.txt").substr(0, i.error.size()), i.error) << i.rows;
        EXPECT_EQ(months(), i.after) << i.rows;
    }
    for (const std::string& home : {files, pg})
        EXPECT_EQ(
            Rthost(home, "run " + home + " --job Daily --end \"2026-11-21 00:00\"").substr(0, 2),
            "0 ")
            << ReadText(home + "err.txt");
    EXPECT_TRUE(Reports(pg) == Reports(files)) << FirstDifference(Reports(pg), Reports(files));
}

// The view of the README over a plant's own table, and what the database can
// refuse: each a clear message and a failed run without a report.
TEST(PgArchive, APlantsOwnTableIsReadThroughAViewAndFailuresAreClear) {
    const std::string files = twtest::ScratchDir("own-files"), own = twtest::ScratchDir("own");
    const std::string conninfo = FreshDatabase("twown");
    const std::string demo = " --days 2 --end 2026-11-21 --seed 3 --background 10";
    ASSERT_EQ(ExitCode(Bin("rthost") + " demo " + files + demo + " >/dev/null"), 0);
    ASSERT_EQ(ExitCode(Bin("rthost") + " demo " + own + demo + " --archive '" + conninfo +
                       "' >/dev/null"),
              0);
    host::pg::Connection c;
    ASSERT_TRUE(c.Open(conninfo)) << c.Error();
    // The plant's history under its own names and types, and the view.
    ASSERT_TRUE(
        c.Exec("CREATE SCHEMA plant; CREATE TABLE plant.history (tag varchar(64), ts "
               "timestamptz, code smallint, reading double precision); CREATE UNIQUE INDEX "
               "history_period ON plant.history (tag, ts) INCLUDE (code, reading)"))
        << c.Error();
    ASSERT_TRUE(
        c.Exec("INSERT INTO plant.history SELECT variable, time, state, value FROM "
               "tripwatch.samples; DELETE FROM tripwatch.samples"))
        << c.Error();
    ASSERT_TRUE(
        c.Exec("CREATE VIEW plant.tw_samples AS SELECT tag::text AS variable, ts AS time, "
               "code::integer AS state, reading AS value FROM plant.history"))
        << c.Error();
    std::ofstream(own + "Archive.json")
        << "{\"PostgreSQL\": \"" << conninfo << "\", \"Samples\": \"plant.tw_samples\"}\n";
    for (const std::string& home : {files, own})
        EXPECT_EQ(
            Rthost(home, "run " + home + " --job Daily --end \"2026-11-21 00:00\"").substr(0, 2),
            "0 ")
            << ReadText(home + "err.txt");
    EXPECT_TRUE(Reports(own) == Reports(files)) << FirstDifference(Reports(own), Reports(files));
    // Read only: an import is refused.
    std::ofstream(own + "one.csv") << "variable,time,state,value\nU1.P01.Sensor,2026-11-20 "
                                      "12:00:00,0,1\n";
    EXPECT_EQ(Rthost(own, "import " + own + " " + own + "one.csv").substr(0, 2), "1 ");
    EXPECT_EQ(ReadText(own + "err.txt"),
              "rthost import: Архив PostgreSQL \"plant.tw_samples\" только для чтения: значения "
              "установки читаются через представление\n");

    struct Failure {
        const char* what;
        std::string settings, sql, message, after = "";
    };
    const std::string unreachable = "host=/no/such/folder user=tripwatch dbname=x";
    const SilentServer silent;
    ASSERT_NE(silent.port, 0);
    const std::string view = "\", \"Samples\": \"plant.tw_samples\"";
    const Failure failures[] = {
        {"no server", "{\"PostgreSQL\": \"" + unreachable + "\"}", "",
         "failed: Архив PostgreSQL: connection to server on socket "
         "\"/no/such/folder/.s.PGSQL.5432\" failed: No such file or directory"},
        {"other schema version", "{\"PostgreSQL\": \"" + conninfo + "\"}",
         "UPDATE tripwatch.meta SET value = '9' WHERE key = 'schema_version'",
         "failed: Архив PostgreSQL: the archive schema is of version 9, this program reads "
         "version 1"},
        {"connection lost in the middle",
         "{\"PostgreSQL\": \"" + conninfo + "\", \"Samples\": \"plant.dying\"}",
         "CREATE VIEW plant.dying AS SELECT * FROM plant.tw_samples WHERE CASE WHEN time >= "
         "'2026-11-20 12:00+03' THEN pg_terminate_backend(pg_backend_pid()) ELSE true END",
         "terminating connection due to administrator command"},
        {"two samples at one time",
         "{\"PostgreSQL\": \"" + conninfo + "\", \"Samples\": \"plant.doubled\"}",
         "CREATE VIEW plant.doubled AS SELECT * FROM plant.tw_samples UNION ALL SELECT * FROM "
         "plant.tw_samples WHERE variable = 'U1.P02.Sensor'",
         "failed: Архив PostgreSQL: the server sent two samples of U1.P02.Sensor at one time or "
         "out "
         "of time order"},
        {"state outside its set",
         "{\"PostgreSQL\": \"" + conninfo + "\", \"Samples\": \"plant.tw_samples\"}",
         "INSERT INTO plant.history VALUES ('U1.P01.Sensor', '2026-11-20 08:00:00+03', 9, 1)",
         "failed: У переменной \"U1.P01.Sensor\" состояние вне ее набора на 20.11.2026 08:00:00: "
         "9 (0..3)"},
        {"login refused", "{\"PostgreSQL\": \"" + conninfo + " user=reader\"}",
         "CREATE ROLE reader NOLOGIN", "failed: Архив PostgreSQL: connection to server on socket"},
        {"settings damaged", "{\"PostgreSQL\": 5}", "",
         "failed: Файл настроек архива \"" + own +
             "Archive.json\" поврежден: ключ \"PostgreSQL\": ожидается строка подключения"},
        {"connections out of range", "{\"PostgreSQL\": \"" + conninfo + "\", \"Connections\": 9}",
         "",
         "failed: Файл настроек архива \"" + own +
             "Archive.json\" поврежден: ключ \"Connections\": ожидается целое число от 1 до 8"},
        // Waits that end: a server that never answers, a table locked by
        // another session, a statement that does not end.
        {"a server that does not answer",
         "{\"PostgreSQL\": \"host=127.0.0.1 port=" + std::to_string(silent.port) +
             " dbname=x\", \"ConnectTimeout\": 2}",
         "", "failed: Архив PostgreSQL: connection to server at \"127.0.0.1\""},
        {"a locked table", "{\"PostgreSQL\": \"" + conninfo + view + ", \"LockTimeout\": 1}",
         "BEGIN; LOCK TABLE plant.history IN ACCESS EXCLUSIVE MODE",
         "failed: Архив PostgreSQL: ERROR:  canceling statement due to lock timeout", "ROLLBACK"},
        {"a statement that does not end",
         "{\"PostgreSQL\": \"" + conninfo +
             "\", \"Samples\": \"plant.slow\", \"StatementTimeout\": 1}",
         "CREATE VIEW plant.slow AS SELECT t.* FROM plant.tw_samples t, (SELECT pg_sleep(30)) w",
         "canceling statement due to statement timeout"},
        {"a timeout out of range", "{\"PostgreSQL\": \"" + conninfo + "\", \"LockTimeout\": -1}",
         "",
         "failed: Файл настроек архива \"" + own +
             "Archive.json\" поврежден: ключ \"LockTimeout\": ожидается целое число от 0 до "
             "86400"},
        // What a view can give that no archive holds: the run refuses it,
        // naming the variable and the moment.
        {"other types", "{\"PostgreSQL\": \"" + conninfo + "\", \"Samples\": \"plant.typed\"}",
         "CREATE VIEW plant.typed AS SELECT variable, time::timestamp AS time, state, "
         "value::bigint AS value FROM plant.tw_samples",
         "failed: Архив PostgreSQL: plant.typed does not give the samples' types: variable text, "
         "time timestamp with time zone, state integer, value double precision"},
        {"a state of more than 16 bits",
         "{\"PostgreSQL\": \"" + conninfo + "\", \"Samples\": \"plant.wide\"}",
         "CREATE VIEW plant.wide AS SELECT variable, time, state + 70000 AS state, value FROM "
         "plant.tw_samples",
         "failed: Архив PostgreSQL: state 7000"},
        {"a value that is no number",
         "{\"PostgreSQL\": \"" + conninfo + "\", \"Samples\": \"plant.nan\"}",
         "CREATE VIEW plant.nan AS SELECT variable, time, state, 'NaN'::float8 AS value FROM "
         "plant.tw_samples",
         "is not a finite number"},
    };
    // Under faketime the server's and libpq's timers follow a clock that each
    // process starts anew: the waits are left to the passes on the real clock.
    const bool fakedClock = std::getenv("FAKETIME") != nullptr;
    for (const Failure& f : failures) {
        const std::string_view what = f.what;
        if (fakedClock && (what == "a server that does not answer" || what == "a locked table" ||
                           what == "a statement that does not end"))
            continue;
        std::ofstream(own + "Archive.json") << f.settings;
        if (!f.sql.empty()) {
            EXPECT_TRUE(c.Exec(f.sql)) << c.Error();
        }
        fs::remove_all(own + "Reports");
        const std::string out =
            Rthost(own, "run " + own + " --job Daily --end \"2026-11-21 00:00\"");
        EXPECT_EQ(out.substr(0, 2), "1 ") << f.what << out;
        EXPECT_NE(out.find(f.message), std::string::npos) << f.what << "\n" << out;
        EXPECT_FALSE(fs::exists(own + "Reports") && !fs::is_empty(own + "Reports")) << f.what;
        if (!f.after.empty()) {
            EXPECT_TRUE(c.Exec(f.after)) << c.Error();
        }
    }
    // The export checks as the run does, and refuses names that cp1251, the
    // host's encoding of names, cannot hold rather than merge them.
    ASSERT_TRUE(
        c.Exec("CREATE VIEW plant.emoji AS SELECT * FROM plant.tw_samples UNION ALL SELECT "
               "'Т\U0001F600' || n, time, state, value FROM plant.tw_samples, (VALUES (1), (2)) "
               "AS v(n) WHERE variable = 'U1.P01.Sensor'"))
        << c.Error();
    const std::string exportDay = " --from '2026-11-20 00:00:00' --to '2026-11-20 23:59:59'";
    std::ofstream(own + "Archive.json")
        << "{\"PostgreSQL\": \"" << conninfo << "\", \"Samples\": \"plant.emoji\"}";
    EXPECT_EQ(Rthost(own, "export " + own + exportDay).substr(0, 2), "1 ");
    EXPECT_EQ(ReadText(own + "err.txt"),
              "rthost export: Архив PostgreSQL: имя переменной \"Т<U+1F600>1\" не "
              "записывается в cp1251, кодировке имен хоста\n");
    for (const char* view : {"typed", "wide", "nan"}) {
        std::ofstream(own + "Archive.json")
            << "{\"PostgreSQL\": \"" << conninfo << "\", \"Samples\": \"plant." << view << "\"}";
        EXPECT_EQ(Rthost(own, "export " + own + exportDay).substr(0, 2), "1 ") << view;
        EXPECT_NE(ReadText(own + "err.txt").find("rthost export: Архив PostgreSQL: "),
                  std::string::npos)
            << view << ReadText(own + "err.txt");
    }
    // Samples finer than a second keep their order: two in one second are
    // both taken, and the report is that of the whole seconds.
    ASSERT_TRUE(c.Exec("DELETE FROM plant.history WHERE code = 9")) << c.Error();
    ASSERT_TRUE(
        c.Exec("CREATE VIEW plant.fine AS SELECT * FROM plant.tw_samples UNION ALL SELECT "
               "variable, time + interval '0.5 second', state, value FROM "
               "plant.tw_samples WHERE variable = 'U1.P02.Sensor'"))
        << c.Error();
    std::ofstream(own + "Archive.json")
        << "{\"PostgreSQL\": \"" << conninfo << "\", \"Samples\": \"plant.fine\"}";
    fs::remove_all(own + "Reports");
    EXPECT_EQ(Rthost(own, "run " + own + " --job Daily --end \"2026-11-21 00:00\"").substr(0, 2),
              "0 ")
        << ReadText(own + "err.txt");
    EXPECT_TRUE(Reports(own) == Reports(files)) << FirstDifference(Reports(own), Reports(files));
}

}  // namespace
