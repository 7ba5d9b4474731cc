#include <gtest/gtest.h>

#include "common/cp1251.h"
#include "common/lasterror.h"
#include "common/timetext.h"
#include "csv/archive_csv.h"
#include "archive/data_home.h"

using namespace host::literals;
using twtest::At;

namespace {

std::string MakeHome(const char* name) {
    const std::string home = twtest::ScratchDir(name);
    twtest::WriteConfig(home, "a.rtdb", 1, PRTime().Set(2024, 3, 1), {"T1", "Реле,1"_cp, "P1"});
    return home;
}

// Every file of the archive folder with its bytes.
std::map<std::string, std::string> Snapshot(const std::string& home) {
    std::map<std::string, std::string> files;
    if (!std::filesystem::exists(home + "Archive")) return files;
    for (auto& e : std::filesystem::directory_iterator(home + "Archive"))
        files[e.path().filename().string()] = twtest::ReadFile(e.path().string());
    return files;
}

// `count` CSV lines of `name`, one a second from `from`.
std::string Lines(const char* name, int64_t from, int count) {
    std::string lines;
    for (int i = 0; i < count; ++i)
        lines += std::string(name) + "," + host::TimeText(time_t(from + i)) + ",0," +
                 std::to_string(i) + ".5\n";
    return lines;
}

// The export as one text.
bool Export(const std::string& home, int64_t from, int64_t to, const char* variable,
            std::string& out, int* rows = nullptr) {
    out.clear();
    return host::ExportCsv(
        home.c_str(), from, to, variable,
        [&](std::string_view piece) {
            out += piece;
            return true;
        },
        rows);
}

}  // namespace

TEST(ArchiveCsv, ImportThenExportGivesTheSameSamples) {
    const std::string home = MakeHome("roundtrip");
    const std::string csv = home + "in.csv";
    // Unsorted, over two days, with CR LF, a quoted name and awkward values.
    twtest::WriteFile(csv,
                      "variable,time,state,value\r\n"
                      "T1,2024-03-02 00:00:01,2,0.1\r\n"
                      "\"Реле,1\",2024-03-01 23:59:59,1,-1e-300\r\n"
                      "T1,2024-03-01 12:00:00,0,123456789.125\r\n"
                      "P1,2024-03-02 10:00:00,3,0\r\n"
                      "\r\n");
    host::ImportResult result;
    ASSERT_TRUE(host::ImportCsv(home.c_str(), csv.c_str(), &result)) << GetIOErrorS_GUI(-2);
    EXPECT_EQ(result.Rows, 4);
    EXPECT_EQ(result.DayFiles, 2);

    std::string out;
    int rows = 0;
    ASSERT_TRUE(Export(home, At(2024, 3, 1), At(2024, 3, 2, 23, 59, 59), nullptr, out, &rows));
    EXPECT_EQ(rows, 4);
    const std::string expected =
        "variable,time,state,value\n"
        "P1,2024-03-02 10:00:00+03:00,3,0\n"
        "T1,2024-03-01 12:00:00+03:00,0,123456789.125\n"
        "T1,2024-03-02 00:00:01+03:00,2,0.1\n"
        "\"Реле,1\",2024-03-01 23:59:59+03:00,1,-1e-300\n";
    EXPECT_EQ(out, expected);

    // The export imported again changes nothing; a later sample of the same
    // time replaces the archived one.
    const auto before = Snapshot(home);
    twtest::WriteFile(csv, out);
    ASSERT_TRUE(host::ImportCsv(home.c_str(), csv.c_str()));
    EXPECT_EQ(Snapshot(home), before);
    twtest::WriteFile(csv, "variable,time,state,value\nT1,2024-03-01 12:00:00,1,7\n");
    ASSERT_TRUE(host::ImportCsv(home.c_str(), csv.c_str()));
    ASSERT_TRUE(Export(home, At(2024, 3, 1, 12), At(2024, 3, 1, 12), "T1", out));
    EXPECT_EQ(out, "variable,time,state,value\nT1,2024-03-01 12:00:00+03:00,1,7\n");
}

TEST(ArchiveCsv, BadLinesRefuseTheWholeFileAndLeaveTheArchiveUnchanged) {
    const std::string home = MakeHome("refused");
    const std::string csv = home + "in.csv";
    twtest::WriteFile(csv, "variable,time,state,value\nT1,2024-03-01 12:00:00,0,1\n");
    ASSERT_TRUE(host::ImportCsv(home.c_str(), csv.c_str()));
    const auto before = Snapshot(home);
    ASSERT_EQ(before.count("2024-03-01.rta"), 1u);

    auto refused = [&](const std::string& body, const std::string& message) {
        twtest::WriteFile(csv, body);
        EXPECT_FALSE(host::ImportCsv(home.c_str(), csv.c_str())) << body;
        EXPECT_EQ(std::string(GetIOErrorS_GUI(-2)), "Файл \""_cp + csv + "\", " + message);
        EXPECT_EQ(Snapshot(home), before);
    };
    const std::string good = "variable,time,state,value\nT1,2024-03-02 12:00:00,0,1\n";
    refused(good + "T9,2024-03-02 12:00:01,0,1\n", "строка 3: неизвестная переменная \"T9\""_cp);
    refused(good + "T1,2024-03-02 25:00:00,0,1\n",
            "строка 3: неверное время \"2024-03-02 25:00:00\""_cp);
    refused(good + "T1,02.03.2024 12:00:00,0,1\n",
            "строка 3: неверное время \"02.03.2024 12:00:00\""_cp);
    refused(good + "T1,2024-03-02 12:00:01,4,1\n",
            "строка 3: состояние 4 вне диапазона переменной \"T1\" (0..3)"_cp);
    refused(good + "T1,2024-03-02 12:00:01,-1,1\n", "строка 3: неверное состояние \"-1\""_cp);
    refused(good + "T1,2024-03-02 12:00:01,0,1,5\n",
            "строка 3: ожидались 4 поля: переменная, время, состояние, значение"_cp);
    refused(good + "T1,2024-03-02 12:00:01,0,abc\n", "строка 3: неверное значение \"abc\""_cp);
    refused(good + "T1,2024-02-29 12:00:00,0,1\n",
            "строка 3: нет конфигурации на 29.02.2024 12:00:00"_cp);
    using namespace std::string_literals;
    for (const std::string& name : {"T1\0junk"s, "T1\x01"s, "T\t1"s, "T1\x7f"s})
        refused(good + name + ",2024-03-02 12:00:01,0,1\n",
                "строка 3: в имени переменной управляющий символ"_cp);
    refused("name,time,state,value\n", "строка 1: ожидался заголовок variable,time,state,value"_cp);
    // A bad line after more lines than the archive is handed at once.
    refused(good + Lines("T1", At(2024, 3, 2), 70000) + "T9,2024-03-02 12:00:01,0,1\n",
            "строка 70003: неизвестная переменная \"T9\""_cp);
}

// A large export is written in pieces of about a megabyte, never held whole,
// and the pieces together are the whole export.
TEST(ArchiveCsv, ALargeExportIsWrittenInPieces) {
    const std::string home = MakeHome("pieces");
    const std::string csv = home + "in.csv";
    twtest::WriteFile(csv, "variable,time,state,value\n" + Lines("T1", At(2024, 3, 1), 40000) +
                               Lines("P1", At(2024, 3, 1), 10));
    ASSERT_TRUE(host::ImportCsv(home.c_str(), csv.c_str())) << GetIOErrorS_GUI(-2);
    std::vector<std::size_t> pieces;
    std::string text;
    int rows = 0;
    ASSERT_TRUE(host::ExportCsv(
        home.c_str(), At(2024, 3, 1), At(2024, 3, 2), nullptr,
        [&](std::string_view piece) {
            pieces.push_back(piece.size());
            text += piece;
            return true;
        },
        &rows));
    EXPECT_EQ(rows, 40010);
    EXPECT_GE(pieces.size(), 2u);
    for (std::size_t size : pieces)
        EXPECT_LE(size, (std::size_t(1) << 20) + 100);
    EXPECT_EQ(text.substr(0, 61),
              "variable,time,state,value\nP1,2024-03-01 00:00:00+03:00,0,0.5\n");
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 40011);
    // A piece the output refuses ends the export with a failure.
    int calls = 0;
    EXPECT_FALSE(host::ExportCsv(home.c_str(), At(2024, 3, 1), At(2024, 3, 2), nullptr,
                                 [&](std::string_view) { return ++calls < 0; }));
    EXPECT_EQ(calls, 1);
}

// What an interrupted writer leaves is cleared by the next opening: a journal
// is completed, its writers' temporary files removed, other files kept; a
// damaged journal or zone file stops the opening with its name.
TEST(ArchiveCsv, OpeningClearsLeftoversAndNamesDamagedJournalOrZone) {
    const std::string home = MakeHome("leftovers");
    const std::string csv = home + "in.csv";
    twtest::WriteFile(csv, "variable,time,state,value\nT1,2024-03-01 12:00:00,0,1\n");
    ASSERT_TRUE(host::ImportCsv(home.c_str(), csv.c_str()));
    const std::string folder = home + "Archive/";
    const auto clean = Snapshot(home);
    struct Case {
        const char* file;
        std::string text;
        std::string error;  // empty: the opening succeeds
    };
    const std::string journal =
        "Журнал архива \""_cp + folder + "JOURNAL\" поврежден: изменение архива не завершено"_cp;
    const Case cases[] = {
        {"JOURNAL", "RTHA journal 1\n2024-03-01.rta.tmpAbC123 2024-03-01.rta\nend\n", ""},
        {"2024-03-05.rta.tmpAbC123", "partial", ""},
        {"ZONE.tmpAbC123", "zone", ""},
        {"JOURNAL.tmpAbC123", "RTHA", ""},
        {"JOURNAL", "RTHA journal 1\n2024-03-01.rta.tmpAbC123 2024-03-01.rta\n", journal},
        {"JOURNAL", "RTHA journal 1\n../Config/a.rtdb.tmpAbC123 ../Config/a.rtdb\nend\n", journal},
        {"ZONE", "zone Europe/Moscow\n",
         "Файл архива \""_cp + folder + "ZONE\" поврежден: неверная запись часового пояса"_cp},
    };
    std::string out;
    for (const Case& c : cases) {
        const std::string before = twtest::ReadFile(folder + "ZONE");
        twtest::WriteFile(folder + c.file, c.text);
        twtest::WriteFile(folder + "notes.tmpAbC123", "kept");
        const bool opened = Export(home, 0, At(2030, 1, 1), nullptr, out);
        EXPECT_EQ(opened ? std::string() : std::string(GetIOErrorS_GUI(-2)), c.error) << c.file;
        EXPECT_EQ(std::filesystem::exists(folder + c.file), !c.error.empty()) << c.file;
        std::filesystem::remove(folder + c.file);
        twtest::WriteFile(folder + "ZONE", before);
        EXPECT_EQ(twtest::ReadFile(folder + "notes.tmpAbC123"), "kept");
        std::filesystem::remove(folder + "notes.tmpAbC123");
        EXPECT_EQ(Snapshot(home), clean) << c.file;
    }
}

// Across both clock changes an export imported again gives the same samples:
// the two passes of the repeated hour stay apart by their offsets; a time
// without one there is the first pass, and counted.
TEST(ArchiveCsv, TheRepeatedHourKeepsBothPassesThroughExportAndImport) {
    twtest::ScopedTimeZone zone("Europe/Berlin");
    const std::string exported =
        "variable,time,state,value\n"
        "T1,2026-03-29 01:59:59+01:00,1,1\n"
        "T1,2026-03-29 03:00:00+02:00,0,2\n"
        "T1,2026-10-25 02:10:07+02:00,1,3\n"
        "T1,2026-10-25 02:50:00+02:00,0,4\n"
        "T1,2026-10-25 02:05:00+01:00,1,5\n"
        "T1,2026-10-25 02:10:07+01:00,0,6\n"
        "T1,2026-10-25 03:00:00+01:00,2,7\n";
    // The same samples as another writer might give them: unsorted, in UTC,
    // one in the skipped hour's offset.
    const std::string given =
        "variable,time,state,value\n"
        "T1,2026-10-25 01:10:07Z,0,6\n"
        "T1,2026-03-29 00:59:59Z,1,1\n"
        "T1,2026-03-29 02:00:00+01:00,0,2\n"
        "T1,2026-10-25 02:50:00+02:00,0,4\n"
        "T1,2026-10-25 02:05:00+01:00,1,5\n"
        "T1,2026-10-25 02:10:07+02:00,1,3\n"
        "T1,2026-10-25 03:00:00+01:00,2,7\n";
    for (const std::string& csv : {given, exported}) {
        const std::string home = twtest::ScratchDir(csv == given ? "given" : "again");
        twtest::WriteConfig(home, "a.rtdb", 1, PRTime().Set(2026, 1, 1), {"T1"});
        twtest::WriteFile(home + "in.csv", csv);
        host::ImportResult result;
        ASSERT_TRUE(host::ImportCsv(home.c_str(), (home + "in.csv").c_str(), &result))
            << GetIOErrorS_GUI(-2);
        EXPECT_EQ(result.FirstPass, 0);
        std::string out;
        ASSERT_TRUE(Export(home, At(2026, 3, 28), At(2026, 10, 26), nullptr, out));
        EXPECT_EQ(out, exported);
    }
    const std::string home = twtest::ScratchDir("local");
    twtest::WriteConfig(home, "a.rtdb", 1, PRTime().Set(2026, 1, 1), {"T1"});
    twtest::WriteFile(home + "in.csv",
                      "variable,time,state,value\nT1,2026-10-25 02:30:00,1,1\n"
                      "T1,2026-10-25 03:30:00,0,1\n");
    host::ImportResult result;
    ASSERT_TRUE(host::ImportCsv(home.c_str(), (home + "in.csv").c_str(), &result));
    EXPECT_EQ(result.FirstPass, 1);
    std::string out;
    ASSERT_TRUE(Export(home, At(2026, 10, 25), At(2026, 10, 26), nullptr, out));
    EXPECT_EQ(out,
              "variable,time,state,value\nT1,2026-10-25 02:30:00+02:00,1,1\n"
              "T1,2026-10-25 03:30:00+01:00,0,1\n");
}
