#include "dbdatabase.h"

#include <algorithm>

#include <sqlite3.h>

#include <cstdio>
#include <cstring>
#include <mutex>
#include <utility>

#include "common/cp1251.h"
#include "common/lasterror.h"
#include "common/osfile.h"
#include "common/strutil.h"
#include "common/timetext.h"
#include "common/unique_handle.h"
#include "runtime/rtlog.h"

using namespace host::literals;

namespace {

constexpr int kSchemaVersion = 1;

const char* const kSchema = R"sql(
PRAGMA user_version = 1;
CREATE TABLE config(id INTEGER NOT NULL, time TEXT NOT NULL);
CREATE TABLE state_sets(code INTEGER PRIMARY KEY, name TEXT NOT NULL,
                        lowest INTEGER NOT NULL, highest INTEGER NOT NULL);
CREATE TABLE state_names(set_code INTEGER NOT NULL, state INTEGER NOT NULL, name TEXT NOT NULL,
                         PRIMARY KEY(set_code, state));
CREATE TABLE error_states(state INTEGER PRIMARY KEY);
CREATE TABLE objects(idx INTEGER PRIMARY KEY, name TEXT NOT NULL);
CREATE TABLE places(idx INTEGER PRIMARY KEY, name TEXT NOT NULL);
CREATE TABLE types(idx INTEGER PRIMARY KEY, name TEXT NOT NULL, state_set INTEGER NOT NULL);
CREATE TABLE variables(idx INTEGER PRIMARY KEY, name TEXT NOT NULL UNIQUE,
                       type INTEGER NOT NULL, object INTEGER, place INTEGER);
)sql";

// The process's current state tables.
std::mutex g_statesLock;
std::shared_ptr<const HDBStateTables> g_states;

std::shared_ptr<const HDBStateTables> CurrentStates() {
    std::lock_guard<std::mutex> lock(g_statesLock);
    return g_states;
}

void CopyName(char* dst, const std::string& src) {
    StrCpy(dst, src.c_str(), kDBNameSize);
}

// Owning SQLite handles.
using SqliteDb = host::UniqueHandle<sqlite3*, &sqlite3_close>;
using SqliteStmt = host::UniqueHandle<sqlite3_stmt*, &sqlite3_finalize>;

// How long a statement waits for a lock another program holds on the file
// (one writing a new configuration, say) before it fails.
constexpr int kBusyTimeoutMs = 10000;

// Opens an SQLite file by its file-system name; the handle (also on a failure,
// for its message) goes to `db`.
int OpenSqlite(const std::string& osPath, int flags, SqliteDb& db) {
    sqlite3* raw = nullptr;
    const int rc = sqlite3_open_v2(osPath.c_str(), &raw, flags, nullptr);
    db.reset(raw);
    if (rc == SQLITE_OK) sqlite3_busy_timeout(raw, kBusyTimeoutMs);
    return rc;
}

// A failed load: the reason, to be prefixed with the file name.
struct LoadError {
    std::string text;
};

// Reads the tables of a configuration file; a problem raises LoadError, which
// the loading functions below catch.
class Loader {
  public:
    explicit Loader(sqlite3* db) : db_(db) {}

    SqliteStmt Query(const char* sql) {
        sqlite3_stmt* raw = nullptr;
        const int rc = sqlite3_prepare_v2(db_, sql, -1, &raw, nullptr);
        SqliteStmt s(raw);
        if (rc != SQLITE_OK) Fail(sqlite3_errmsg(db_));
        return s;
    }
    bool Step(const SqliteStmt& s) {
        const int rc = sqlite3_step(s.get());
        if (rc == SQLITE_ROW) return true;
        if (rc == SQLITE_DONE) return false;
        Fail(sqlite3_errmsg(db_));
    }
    [[noreturn]] void Fail(const std::string& utf8Reason) {
        throw LoadError{host::Utf8ToCp1251Lossy(utf8Reason)};
    }
    [[noreturn]] void FailCp(const std::string& cpReason) { throw LoadError{cpReason}; }

    long long Int(const SqliteStmt& s, int col, long long lo, long long hi, const char* table,
                  int row) {
        if (sqlite3_column_type(s.get(), col) != SQLITE_INTEGER)
            FailCp(host::Format("%s %s, %s %d: %s", "таблица"_cp, table, "строка"_cp, row + 1,
                                "ожидалось целое число"_cp));
        const long long v = sqlite3_column_int64(s.get(), col);
        if (v < lo || v > hi)
            FailCp(host::Format("%s %s, %s %d: %s %lld", "таблица"_cp, table, "строка"_cp, row + 1,
                                "недопустимое значение"_cp, v));
        return v;
    }
    std::string Text(const SqliteStmt& s, int col, bool isName, const char* table, int row) {
        const unsigned char* t = sqlite3_column_text(s.get(), col);
        std::string out;
        if (!t || !host::Utf8ToCp1251(reinterpret_cast<const char*>(t), out))
            FailCp(host::Format("%s %s, %s %d: %s", "таблица"_cp, table, "строка"_cp, row + 1,
                                "текст не в кодировке UTF-8 или без формы cp1251"_cp));
        if (isName && (out.empty() || out.size() >= std::size_t(kDBNameSize)))
            FailCp(host::Format("%s %s, %s %d: %s", "таблица"_cp, table, "строка"_cp, row + 1,
                                "имя пустое или длиннее 63 символов"_cp));
        return out;
    }

    // The id and time of the configuration: the first row of its table.
    void ConfigRow(const SqliteStmt& s, uint32_t& id, PRTime& time) {
        if (!Step(s)) FailCp("нет записи в таблице config"_cp);
        id = uint32_t(Int(s, 0, 1, 0xFFFFFFFFLL, "config", 0));
        const std::string text = Text(s, 1, false, "config", 0);
        if (!host::ParseTimeText(text.c_str(), time))
            FailCp(host::Format("%s \"%s\"", "неверное время конфигурации"_cp, text.c_str()));
    }

    void Load(HDBDatabase& out) {
        CheckVersion();
        LoadConfig(out);
        LoadStateSets(out);
        LoadStateNames(out);
        LoadErrorStates(out);
        LoadNames("objects", [&](const char* n) { out.AddObject(n); });
        LoadNames("places", [&](const char* n) { out.AddPlace(n); });
        LoadTypes(out);
        LoadVariables(out);
    }

  private:
    void CheckVersion() {
        const SqliteStmt s = Query("PRAGMA user_version");
        if (!Step(s) || sqlite3_column_int(s.get(), 0) != kSchemaVersion)
            FailCp(host::Format("%s %d", "неизвестная версия схемы"_cp,
                                s ? sqlite3_column_int(s.get(), 0) : -1));
    }

    void LoadConfig(HDBDatabase& out) {
        const SqliteStmt s = Query("SELECT id, time FROM config");
        ConfigRow(s, out.ConfigId, out.ConfigTime);
        if (Step(s)) FailCp("в таблице config больше одной записи"_cp);
    }

    void LoadStateSets(HDBDatabase& out) {
        const SqliteStmt s =
            Query("SELECT code, name, lowest, highest FROM state_sets ORDER BY code");
        for (int row = 0; Step(s); ++row) {
            const auto code = uint16_t(Int(s, 0, 0, 65535, "state_sets", row));
            const std::string name = Text(s, 1, false, "state_sets", row);
            out.AddStateSet(code, name.c_str(), uint16_t(Int(s, 2, 0, 65535, "state_sets", row)),
                            uint16_t(Int(s, 3, 0, 65535, "state_sets", row)));
        }
    }

    void LoadStateNames(HDBDatabase& out) {
        const SqliteStmt s =
            Query("SELECT set_code, state, name FROM state_names ORDER BY set_code, state");
        for (int row = 0; Step(s); ++row) {
            const auto code = uint16_t(Int(s, 0, 0, 65535, "state_names", row));
            const auto state = uint16_t(Int(s, 1, 0, 65535, "state_names", row));
            if (!out.States().Sets.count(code))
                FailCp(host::Format("%s state_names, %s %d: %s %u", "таблица"_cp, "строка"_cp,
                                    row + 1, "нет набора состояний"_cp, unsigned(code)));
            out.SetStateName(code, state, Text(s, 2, false, "state_names", row).c_str());
        }
    }

    void LoadErrorStates(HDBDatabase& out) {
        const SqliteStmt s = Query("SELECT state FROM error_states");
        for (int row = 0; Step(s); ++row)
            out.AddErrorState(uint16_t(Int(s, 0, 0, 65535, "error_states", row)));
    }

    template <typename F>
    void LoadNames(const char* table, F add) {
        const SqliteStmt s =
            Query((std::string("SELECT idx, name FROM ") + table + " ORDER BY idx").c_str());
        for (int row = 0; Step(s); ++row) {
            Int(s, 0, row, row, table, row);
            if (row >= 65535) FailCp(host::Format("%s %s", "слишком много строк в"_cp, table));
            add(Text(s, 1, false, table, row).c_str());
        }
    }

    void LoadTypes(HDBDatabase& out) {
        const SqliteStmt s = Query("SELECT idx, name, state_set FROM types ORDER BY idx");
        for (int row = 0; Step(s); ++row) {
            Int(s, 0, row, row, "types", row);
            out.AddType(Text(s, 1, true, "types", row).c_str(),
                        uint16_t(Int(s, 2, 0, 65535, "types", row)));
            if (row >= 65535) FailCp("слишком много типов"_cp);
        }
    }

    void LoadVariables(HDBDatabase& out) {
        // The records' room at once: a plant's thousands of them are not copied
        // over and over as they come.
        const SqliteStmt count = Query("SELECT count(*) FROM variables");
        if (Step(count))
            out.ReserveVariables(
                int(std::clamp<sqlite3_int64>(sqlite3_column_int64(count.get(), 0), 0, 1 << 20)));
        const SqliteStmt s =
            Query("SELECT idx, name, type, object, place FROM variables ORDER BY idx");
        for (int row = 0; Step(s); ++row) {
            Int(s, 0, row, row, "variables", row);
            const std::string name = Text(s, 1, true, "variables", row);
            const auto type = uint16_t(Int(s, 2, 0, 65535, "variables", row));
            auto optIndex = [&](int col) -> uint16_t {
                if (sqlite3_column_type(s.get(), col) == SQLITE_NULL) return kDBNoIndex;
                return uint16_t(Int(s, col, 0, 65535, "variables", row));
            };
            const uint16_t object = optIndex(3);
            const uint16_t place = optIndex(4);
            if (out.FindVariable(name.c_str()) >= 0)
                FailCp(host::Format("%s \"%s\"", "повторяется переменная"_cp, name.c_str()));
            out.AddVariable(name.c_str(), type, object, place);
        }
    }

    sqlite3* db_;
};

bool OpenReadOnly(const char* path, SqliteDb& db) {
    if (!host::FileExists(path)) {
        SetError("%s \"%s\": %s", "Конфигурация"_cp, path, "файл не найден"_cp);
        return false;
    }
    if (OpenSqlite(host::OsPath(path), SQLITE_OPEN_READONLY, db) != SQLITE_OK) {
        SetError("%s \"%s\": %s", "Конфигурация"_cp, path,
                 host::Utf8ToCp1251Lossy(db ? sqlite3_errmsg(db.get()) : "").c_str());
        return false;
    }
    return true;
}

// Writes the rows of a configuration into an open SQLite file in one
// transaction; after the first failure nothing more is tried, and the reason
// stays with the connection (sqlite3_errmsg).
class Writer {
  public:
    explicit Writer(sqlite3* db) : db_(db) {}
    bool ok() const { return ok_; }

    void Exec(const char* sql) {
        if (ok_) ok_ = sqlite3_exec(db_, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
    }
    // One statement; `bind(statement)` gives its parameters.
    template <typename Bind>
    void Insert(const char* sql, const Bind& bind) {
        if (!ok_) return;
        sqlite3_stmt* raw = nullptr;
        ok_ = sqlite3_prepare_v2(db_, sql, -1, &raw, nullptr) == SQLITE_OK;
        const SqliteStmt s(raw);
        if (!ok_) return;
        bind(s.get());
        ok_ = sqlite3_step(s.get()) == SQLITE_DONE;
    }

  private:
    sqlite3* db_;
    bool ok_ = true;
};

// A cp1251 text as the UTF-8 parameter `col`.
void BindText(sqlite3_stmt* st, int col, const std::string& cp) {
    const std::string u = host::Cp1251ToUtf8(cp);
    sqlite3_bind_text(st, col, u.c_str(), int(u.size()), SQLITE_TRANSIENT);
}

void InsertConfig(Writer& w, const HDBDatabase& database) {
    w.Insert("INSERT INTO config VALUES(?, ?)", [&](sqlite3_stmt* st) {
        sqlite3_bind_int64(st, 1, database.ConfigId);
        BindText(st, 2, host::TimeText(database.ConfigTime));
    });
}

// The state sets with their state names, and the error states.
void InsertStates(Writer& w, const HDBStateTables& states) {
    for (const auto& entry : states.Sets) {
        // Named copies: a lambda may not capture a structured binding (C++17).
        const auto code = entry.first;
        const auto& set = entry.second;
        w.Insert("INSERT INTO state_sets VALUES(?, ?, ?, ?)", [&](sqlite3_stmt* st) {
            sqlite3_bind_int(st, 1, code);
            BindText(st, 2, set.Name);
            sqlite3_bind_int(st, 3, set.Lowest);
            sqlite3_bind_int(st, 4, set.Highest);
        });
        for (const auto& stateName : set.StateNames)
            w.Insert("INSERT INTO state_names VALUES(?, ?, ?)", [&](sqlite3_stmt* st) {
                sqlite3_bind_int(st, 1, code);
                sqlite3_bind_int(st, 2, stateName.first);
                BindText(st, 3, stateName.second);
            });
    }
    for (int s = 0; s < 65536; ++s)
        if (states.ErrorStates[std::size_t(s)])
            w.Insert("INSERT INTO error_states VALUES(?)",
                     [&](sqlite3_stmt* st) { sqlite3_bind_int(st, 1, s); });
}

// The object or place names, by index.
void InsertNames(Writer& w, const char* sql, const std::vector<std::string>& list) {
    for (std::size_t i = 0; i < list.size(); ++i)
        w.Insert(sql, [&](sqlite3_stmt* st) {
            sqlite3_bind_int64(st, 1, (long long)i);
            BindText(st, 2, list[i]);
        });
}

void InsertTypes(Writer& w, const HDBTable& types) {
    for (int i = 0; i < types.Count(); ++i)
        w.Insert("INSERT INTO types VALUES(?, ?, ?)", [&](sqlite3_stmt* st) {
            const auto* r = types.ItemAs<HDBTypeRecord>(i);
            sqlite3_bind_int(st, 1, i);
            BindText(st, 2, r->Name);
            sqlite3_bind_int(st, 3, r->StateSet);
        });
}

void InsertVariables(Writer& w, const HDBTable& vars) {
    for (int i = 0; i < vars.Count(); ++i)
        w.Insert("INSERT INTO variables VALUES(?, ?, ?, ?, ?)", [&](sqlite3_stmt* st) {
            const auto* r = vars.ItemAs<HDBVarRecord>(i);
            sqlite3_bind_int(st, 1, i);
            BindText(st, 2, r->Name);
            sqlite3_bind_int(st, 3, r->Type);
            if (r->Object != kDBNoIndex) sqlite3_bind_int(st, 4, r->Object);
            if (r->Place != kDBNoIndex) sqlite3_bind_int(st, 5, r->Place);
        });
}

// The schema and every row, committed; false when any statement failed.
bool WriteTables(sqlite3* db, const HDBDatabase& database) {
    Writer w(db);
    w.Exec("BEGIN");
    w.Exec(kSchema);
    InsertConfig(w, database);
    InsertStates(w, database.States());
    InsertNames(w, "INSERT INTO objects VALUES(?, ?)", database.Objects());
    InsertNames(w, "INSERT INTO places VALUES(?, ?)", database.Places());
    InsertTypes(w, *database.GetTable(kDBTableTypes));
    InsertVariables(w, *database.GetTable(kDBTableVariables));
    w.Exec("COMMIT");
    return w.ok();
}

// Writes the database into the empty file `osTemp`; false (last error naming
// `file`, the configuration's cp1251 path) on failure.
bool WriteDatabaseFile(const std::string& osTemp, const HDBDatabase& database, const char* file) {
    SqliteDb db;
    if (OpenSqlite(osTemp, SQLITE_OPEN_READWRITE, db) == SQLITE_OK &&
        WriteTables(db.get(), database))
        return true;
    SetError("%s \"%s\" %s: %s", "Конфигурация"_cp, file, "не записана"_cp,
             host::Utf8ToCp1251Lossy(db ? sqlite3_errmsg(db.get()) : "").c_str());
    return false;
}

}  // namespace

HDBDatabase::HDBDatabase() : states_(std::make_shared<HDBStateTables>()) {}
HDBDatabase::~HDBDatabase() = default;

const HDBTable* HDBDatabase::GetTable(int code) const {
    if (code == kDBTableVariables) return &variables_;
    if (code == kDBTableTypes) return &types_;
    return nullptr;
}

int HDBDatabase::AddObject(const char* name) {
    objects_.emplace_back(name ? name : "");
    return int(objects_.size()) - 1;
}

int HDBDatabase::AddPlace(const char* name) {
    places_.emplace_back(name ? name : "");
    return int(places_.size()) - 1;
}

int HDBDatabase::AddType(const char* name, uint16_t stateSet) {
    HDBTypeRecord r{};
    CopyName(r.Name, name ? name : "");
    r.StateSet = stateSet;
    types_.Append(&r);
    return types_.Count() - 1;
}

int HDBDatabase::AddVariable(const char* name, uint16_t type, uint16_t object, uint16_t place) {
    HDBVarRecord r{};
    CopyName(r.Name, name ? name : "");
    r.Type = type;
    r.Object = object;
    r.Place = place;
    variables_.Append(&r);
    const int index = variables_.Count() - 1;
    byName_.emplace(r.Name, index);
    return index;
}

void HDBDatabase::AddStateSet(uint16_t code, const char* name, uint16_t lowest, uint16_t highest) {
    HDBStateSet& s = states_->Sets[code];
    s.Code = code;
    s.Name = name ? name : "";
    s.Lowest = lowest;
    s.Highest = highest;
}

void HDBDatabase::SetStateName(uint16_t setCode, uint16_t state, const char* name) {
    states_->Sets[setCode].StateNames[state] = name ? name : "";
}

void HDBDatabase::AddErrorState(uint16_t state) {
    states_->ErrorStates[state] = true;
}

void HDBDatabase::Clear() {
    HDBDatabase empty;
    Swap(empty);
    ConfigId = 0;
}

int HDBDatabase::FindVariable(const char* name) const {
    auto it = byName_.find(name ? name : "");
    return it == byName_.end() ? -1 : it->second;
}

const HDBStateSet* HDBDatabase::VariableStateSet(int variable) const {
    const auto* v = variables_.ItemAs<HDBVarRecord>(variable);
    if (!v) return nullptr;
    const auto* t = types_.ItemAs<HDBTypeRecord>(v->Type);
    if (!t) return nullptr;
    auto it = states_->Sets.find(t->StateSet);
    return it == states_->Sets.end() ? nullptr : &it->second;
}

void HDBDatabase::Swap(HDBDatabase& o) {
    std::swap(ConfigId, o.ConfigId);
    std::swap(ConfigTime, o.ConfigTime);
    std::swap(variables_, o.variables_);
    std::swap(types_, o.types_);
    std::swap(objects_, o.objects_);
    std::swap(places_, o.places_);
    std::swap(states_, o.states_);
    std::swap(byName_, o.byName_);
}

void FILELog(const char* text) {
    RTLogR(text);
}
void RTErrorMessageProc(const char* text) {
    RTErrorMessage(nullptr, "%s", text ? text : "");
}

HDBDatabase* DBCreateDatabase() {
    return new HDBDatabase();
}

void HDBDestroy(HDBDatabase*& database) {
    delete database;
    database = nullptr;
}

bool RTLoadDBCfgINF(void* /*window*/, const char* path, HDBDatabase* database) {
    const char* file = path ? path : "";
    if (!database) {
        SetError("%s \"%s\": %s", "Конфигурация"_cp, file, "нет объекта базы"_cp);
        return false;
    }
    SqliteDb db;
    if (!OpenReadOnly(file, db)) return false;
    HDBDatabase loaded;
    try {
        Loader(db.get()).Load(loaded);
    } catch (const LoadError& e) {
        SetError("%s \"%s\": %s", "Конфигурация"_cp, file, e.text.c_str());
        return false;
    }
    database->Swap(loaded);
    return true;
}

int DBInitTables(HDBDatabase* database, DBLogProc logProc, DBErrorProc errorProc) {
    if (!database || database->ConfigId == 0) {
        const char* text = "Конфигурация не загружена"_cp;
        SetError("%s", text);
        if (errorProc) errorProc(text);
        return 0;
    }
    host::SetCurrentStateTables(database->SharedStates());
    if (logProc) {
        const HDBTable* vars = database->GetTable(kDBTableVariables);
        logProc(Message("%s %08X (%s): %s %d", "Конфигурация"_cp, database->ConfigId,
                        database->ConfigTime.GetStr(), "переменных"_cp, vars->Count()));
    }
    return 1;
}

bool DBReadConfigHeader(const char* path, uint32_t& configId, PRTime& configTime) {
    const char* file = path ? path : "";
    SqliteDb db;
    if (!OpenReadOnly(file, db)) return false;
    try {
        Loader l(db.get());
        uint32_t id = 0;
        PRTime t;
        l.ConfigRow(l.Query("SELECT id, time FROM config"), id, t);
        configId = id;
        configTime = t;
    } catch (const LoadError& e) {
        SetError("%s \"%s\": %s", "Конфигурация"_cp, file, e.text.c_str());
        return false;
    }
    return true;
}

bool DBSaveDatabase(const HDBDatabase& database, const char* path) {
    const char* file = path ? path : "";
    // Written beside under a temporary name (removed on every way out but the
    // last), then put in the file's place with its permission bits.
    host::PendingFile temp(host::OsPath(file));
    return temp.ok() && WriteDatabaseFile(temp.path(), database, file) &&
           temp.Replace(host::OsPath(file));
}

int DBIsErrorState(int /*reserved*/, uint16_t state) {
    const auto tables = CurrentStates();
    return tables && tables->ErrorStates[state] ? 1 : 0;
}

int DBStateRange(uint16_t setCode, uint16_t* lowest, uint16_t* highest) {
    const auto tables = CurrentStates();
    if (!tables) return 0;
    auto it = tables->Sets.find(setCode);
    if (it == tables->Sets.end()) return 0;
    if (lowest) *lowest = it->second.Lowest;
    if (highest) *highest = it->second.Highest;
    return 1;
}

int DBStateRange(uint16_t setCode, uint16_t& lowest, uint16_t& highest) {
    return DBStateRange(setCode, &lowest, &highest);
}

const char* DBVarState2Str(uint16_t setCode, uint16_t state, int /*reserved*/) {
    constexpr int kSlots = 8;
    thread_local std::string ring[kSlots];
    thread_local int next = 0;
    std::string& out = ring[next];
    next = (next + 1) % kSlots;
    out.clear();
    const auto tables = CurrentStates();
    if (tables) {
        auto it = tables->Sets.find(setCode);
        if (it != tables->Sets.end()) {
            auto n = it->second.StateNames.find(state);
            if (n != it->second.StateNames.end()) out = n->second;
        }
    }
    return out.c_str();
}

namespace host {
void SetCurrentStateTables(std::shared_ptr<const HDBStateTables> tables) {
    std::lock_guard<std::mutex> lock(g_statesLock);
    g_states = std::move(tables);
}
}  // namespace host
