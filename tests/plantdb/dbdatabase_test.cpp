#include <gtest/gtest.h>

#include <sqlite3.h>
#include <sys/stat.h>

#include <chrono>
#include <cstring>
#include <thread>

#include "common/cp1251.h"
#include "common/lasterror.h"
#include "plantdb/dbdatabase.h"
#include "data_files.h"

using namespace host::literals;

namespace {

// A small configuration: two state sets, two types, three variables.
void BuildSample(HDBDatabase& db, uint32_t id) {
    db.ConfigId = id;
    db.ConfigTime.Set(2024, 3, 1, 8, 30, 0);
    db.AddStateSet(1, "Дискретный"_cp, 0, 3);
    db.SetStateName(1, 0, "Норма"_cp);
    db.SetStateName(1, 1, "Сработал"_cp);
    db.SetStateName(1, 3, "Ошибка"_cp);
    db.AddStateSet(7, "Аналог", 10, 12);
    db.AddErrorState(3);
    db.AddErrorState(12);
    const int obj = db.AddObject("Блок 1"_cp);
    const int place = db.AddPlace("Щит А"_cp);
    const int disc = db.AddType("ТС"_cp, 1);
    const int anal = db.AddType("ТИ"_cp, 7);
    db.AddVariable("T1", uint16_t(anal), uint16_t(obj), uint16_t(place));
    db.AddVariable("Реле1"_cp, uint16_t(disc), uint16_t(obj));
    db.AddVariable("Bad", 5);  // a type index without a record
}

void Exec(const std::string& path, const std::string& sql) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK)
        << sqlite3_errmsg(db);
    sqlite3_close(db);
}

std::string LastError() {
    return GetIOErrorS_GUI(-2);
}

}  // namespace

TEST(ConfigDatabase, SavedConfigurationLoadsWithItsTablesAndStates) {
    const std::string dir = twtest::ScratchDir("roundtrip");
    const std::string path = dir + "plant.rtdb";
    {
        HDBDatabase db;
        BuildSample(db, 0xA1B2C3D4);
        ASSERT_TRUE(DBSaveDatabase(db, path.c_str())) << LastError();
    }
    HDBDatabase* db = DBCreateDatabase();
    ASSERT_NE(db, nullptr);
    EXPECT_EQ(db->ConfigId, 0u);
    ASSERT_TRUE(RTLoadDBCfgINF(nullptr, path.c_str(), db)) << LastError();
    EXPECT_EQ(db->ConfigId, 0xA1B2C3D4u);
    EXPECT_EQ(db->ConfigTime, PRTime().Set(2024, 3, 1, 8, 30, 0));

    const HDBTable* vars = db->GetTable(11);
    const HDBTable* types = db->GetTable(10);
    ASSERT_NE(vars, nullptr);
    ASSERT_NE(types, nullptr);
    EXPECT_EQ(db->GetTable(12), nullptr);
    ASSERT_EQ(vars->Count(), 3);
    EXPECT_EQ(vars->Item(3), nullptr);
    EXPECT_EQ(vars->Item(-1), nullptr);
    const auto* rele = vars->ItemAs<HDBVarRecord>(1);
    EXPECT_STREQ(rele->Name, "Реле1"_cp);
    EXPECT_EQ(rele->Type, 0);
    EXPECT_EQ(rele->Object, 0);
    EXPECT_EQ(rele->Place, kDBNoIndex);
    ASSERT_EQ(types->Count(), 2);
    EXPECT_EQ(types->ItemAs<HDBTypeRecord>(1)->StateSet, 7);
    EXPECT_EQ(types->Item(2), nullptr);
    EXPECT_EQ(db->FindVariable("Реле1"_cp), 1);
    EXPECT_EQ(db->FindVariable("реле1"_cp), -1);
    EXPECT_EQ(db->VariableStateSet(2), nullptr);
    EXPECT_EQ(db->Objects().at(0), "Блок 1"_cp);
    EXPECT_EQ(db->Places().at(0), "Щит А"_cp);

    // The state look-ups answer from the tables made current by DBInitTables.
    host::SetCurrentStateTables(nullptr);
    uint16_t lo = 99, hi = 99;
    EXPECT_EQ(DBStateRange(1, &lo, &hi), 0);
    EXPECT_EQ(DBIsErrorState(0, 3), 0);
    std::vector<std::string> logged;
    static std::vector<std::string>* sink;
    sink = &logged;
    ASSERT_NE(DBInitTables(
                  db, [](const char* t) { sink->push_back(t); }, nullptr),
              0);
    ASSERT_EQ(logged.size(), 1u);
    EXPECT_EQ(logged[0], "Конфигурация A1B2C3D4 (01.03.2024 08:30:00): переменных 3"_cp);
    EXPECT_NE(DBStateRange(7, &lo, &hi), 0);
    EXPECT_EQ(lo, 10);
    EXPECT_EQ(hi, 12);
    EXPECT_EQ(DBStateRange(2, lo, hi), 0);
    EXPECT_STREQ(DBVarState2Str(1, 1, 0), "Сработал"_cp);
    EXPECT_STREQ(DBVarState2Str(1, 2, 0), "");
    EXPECT_STREQ(DBVarState2Str(9, 1, 0), "");
    EXPECT_NE(DBIsErrorState(0, 3), 0);
    EXPECT_NE(DBIsErrorState(0, 12), 0);
    EXPECT_EQ(DBIsErrorState(0, 1), 0);

    uint32_t id = 0;
    PRTime t;
    ASSERT_TRUE(DBReadConfigHeader(path.c_str(), id, t));
    EXPECT_EQ(id, 0xA1B2C3D4u);
    EXPECT_EQ(t, db->ConfigTime);

    HDBDestroy(db);
    EXPECT_EQ(db, nullptr);
    HDBDestroy(db);  // null is accepted
    host::SetCurrentStateTables(nullptr);
}

TEST(ConfigDatabase, LoadFailuresNameTheFileAndKeepTheDatabase) {
    const std::string dir = twtest::ScratchDir("failures");
    HDBDatabase db;
    BuildSample(db, 42);
    const std::string good = dir + "good.rtdb";
    ASSERT_TRUE(DBSaveDatabase(db, good.c_str()));
    HDBDatabase target;
    ASSERT_TRUE(RTLoadDBCfgINF(nullptr, good.c_str(), &target));

    auto refused = [&](const std::string& path, const std::string& expected) {
        EXPECT_FALSE(RTLoadDBCfgINF(nullptr, path.c_str(), &target)) << path;
        EXPECT_EQ(LastError(), expected);
        EXPECT_EQ(target.ConfigId, 42u);
        EXPECT_EQ(target.GetTable(11)->Count(), 3);
    };

    const std::string missing = dir + "none.rtdb";
    refused(missing, "Конфигурация \""_cp + missing + "\": файл не найден"_cp);

    const std::string garbage = dir + "garbage.rtdb";
    twtest::WriteFile(garbage, std::string(4096, 'x'));
    refused(garbage, "Конфигурация \""_cp + garbage + "\": file is not a database");

    const std::string empty = dir + "empty.rtdb";
    Exec(empty, "CREATE TABLE t(x)");
    refused(empty, "Конфигурация \""_cp + empty + "\": неизвестная версия схемы 0"_cp);

    // Copies of the good file, each damaged by one statement.
    struct Damage {
        const char* file;
        const char* sql;
        const char* error;  // after the quoted file name
    };
    const Damage damages[] = {
        {"notable.rtdb", "DROP TABLE variables", "\": no such table: variables"},
        {"badtime.rtdb", "UPDATE config SET time = '2024-02-30 10:00:00'",
         "\": неверное время конфигурации \"2024-02-30 10:00:00\""_cp},
        {"gap.rtdb", "UPDATE variables SET idx = 7 WHERE idx = 2",
         "\": таблица variables, строка 3: недопустимое значение 7"_cp},
        {"wide.rtdb", "UPDATE variables SET type = 70000 WHERE idx = 0",
         "\": таблица variables, строка 1: недопустимое значение 70000"_cp},
        {"zero.rtdb", "UPDATE config SET id = 0",
         "\": таблица config, строка 1: недопустимое значение 0"_cp},
    };
    for (const Damage& d : damages) {
        const std::string path = dir + d.file;
        std::filesystem::copy_file(good, path);
        Exec(path, d.sql);
        refused(path, "Конфигурация \""_cp + path + d.error);
    }

    EXPECT_FALSE(RTLoadDBCfgINF(nullptr, good.c_str(), nullptr));
    EXPECT_EQ(DBInitTables(nullptr, nullptr, nullptr), 0);
    HDBDatabase none;
    EXPECT_EQ(DBInitTables(&none, nullptr, nullptr), 0);
    EXPECT_EQ(LastError(), "Конфигурация не загружена"_cp);
}

// Another program's lock is waited for; a saved file keeps its permission bits.
TEST(ConfigDatabase, ALockIsWaitedForAndASaveKeepsThePermissions) {
    const std::string dir = twtest::ScratchDir("lock");
    HDBDatabase db;
    BuildSample(db, 42);
    const std::string path = dir + "cfg.rtdb";
    ASSERT_TRUE(DBSaveDatabase(db, path.c_str()));
    ASSERT_EQ(::chmod(path.c_str(), 0600), 0);
    ASSERT_TRUE(DBSaveDatabase(db, path.c_str())) << LastError();
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);

    sqlite3* other = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &other), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(other, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
    std::thread release([other] {
        std::this_thread::sleep_for(std::chrono::milliseconds(1500));
        sqlite3_exec(other, "COMMIT", nullptr, nullptr, nullptr);
    });
    HDBDatabase loaded;
    EXPECT_TRUE(RTLoadDBCfgINF(nullptr, path.c_str(), &loaded)) << LastError();
    release.join();
    sqlite3_close(other);
    EXPECT_EQ(loaded.ConfigId, 42u);
}
