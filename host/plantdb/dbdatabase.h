// HDBDatabase: a host configuration, loaded from an SQLite ".rtdb" file (schema in
// SCHEMA.md): its id and time, the variables with their type, object and place,
// the variable types with their state set, the state sets with their range and
// state names, and the error states. Tables are found by code (11 variables,
// 10 variable types) and hold fixed-size records reached by index.
//
// State look-ups (DBIsErrorState, DBStateRange, DBVarState2Str) take no database:
// they consult the process's current state tables, which are those of the
// configuration most recently made current by DBInitTables or fetched by
// GrabReportValues. Before either, no state set is known and no state is an error.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "common/prtime.h"

inline constexpr int kDBTableVariables = 11;
inline constexpr int kDBTableTypes = 10;
inline constexpr int kDBNameSize = 64;  // names keep at most 63 characters

// A record of table 11.
struct HDBVarRecord {
    char Name[kDBNameSize];  // zero-terminated, cp1251
    uint16_t Type;           // index into table 10
    uint16_t Object;         // index into the object names (0xFFFF = none)
    uint16_t Place;          // index into the place names (0xFFFF = none)
    uint16_t Reserved;
};
static_assert(sizeof(HDBVarRecord) == 72);
static_assert(offsetof(HDBVarRecord, Name) == 0);
static_assert(offsetof(HDBVarRecord, Type) == 64);
static_assert(offsetof(HDBVarRecord, Object) == 66);
static_assert(offsetof(HDBVarRecord, Place) == 68);
static_assert(offsetof(HDBVarRecord, Reserved) == 70);

// A record of table 10.
struct HDBTypeRecord {
    char Name[kDBNameSize];  // zero-terminated, cp1251
    uint16_t StateSet;       // code of the type's state set
    uint16_t Reserved;
};
static_assert(sizeof(HDBTypeRecord) == 68);
static_assert(offsetof(HDBTypeRecord, Name) == 0);
static_assert(offsetof(HDBTypeRecord, StateSet) == 64);
static_assert(offsetof(HDBTypeRecord, Reserved) == 66);

inline constexpr uint16_t kDBNoIndex = 0xFFFF;

// A table of fixed-size records; owned by its database.
class HDBTable {
  public:
    HDBTable(int code, std::size_t recordSize) : code_(code), recordSize_(recordSize) {}
    int Code() const { return code_; }
    int Count() const { return int(bytes_.size() / recordSize_); }
    // The record at an index, or null out of range.
    const void* Item(int index) const {
        return index >= 0 && index < Count() ? bytes_.data() + std::size_t(index) * recordSize_
                                             : nullptr;
    }
    template <typename T>
    const T* ItemAs(int index) const {
        return static_cast<const T*>(Item(index));
    }
    void Append(const void* record) {
        const auto* b = static_cast<const std::byte*>(record);
        bytes_.insert(bytes_.end(), b, b + recordSize_);
    }
    void Clear() { bytes_.clear(); }
    void Reserve(int records) { bytes_.reserve(std::size_t(records) * recordSize_); }

  private:
    int code_;
    std::size_t recordSize_;
    std::vector<std::byte> bytes_;
};

// A state set: its range and the names of its states.
struct HDBStateSet {
    uint16_t Code = 0;
    std::string Name;  // cp1251
    uint16_t Lowest = 0;
    uint16_t Highest = 0;
    std::map<uint16_t, std::string> StateNames;  // cp1251
};

// The state tables of one configuration, shared with the process's current tables.
struct HDBStateTables {
    std::map<uint16_t, HDBStateSet> Sets;
    std::vector<bool> ErrorStates = std::vector<bool>(65536, false);
};

class HDBDatabase {
  public:
    HDBDatabase();
    ~HDBDatabase();
    HDBDatabase(const HDBDatabase&) = delete;
    HDBDatabase& operator=(const HDBDatabase&) = delete;

    uint32_t ConfigId = 0;  // 0 = no configuration loaded
    PRTime ConfigTime;

    // The table of that code (11 variables, 10 types), owned by the database;
    // null for another code.
    const HDBTable* GetTable(int code) const;

    // Building a configuration (demo, import tools, tests). Names are cp1251 and
    // cut to 63 characters. Each returns the new entry's index.
    int AddObject(const char* name);
    int AddPlace(const char* name);
    int AddType(const char* name, uint16_t stateSet);
    int AddVariable(const char* name, uint16_t type, uint16_t object = kDBNoIndex,
                    uint16_t place = kDBNoIndex);
    // Room for `count` variables in all, so that adding them copies nothing.
    void ReserveVariables(int count) { variables_.Reserve(count); }
    void AddStateSet(uint16_t code, const char* name, uint16_t lowest, uint16_t highest);
    void SetStateName(uint16_t setCode, uint16_t state, const char* name);
    void AddErrorState(uint16_t state);
    // Empties everything and sets ConfigId to 0.
    void Clear();

    const std::vector<std::string>& Objects() const { return objects_; }
    const std::vector<std::string>& Places() const { return places_; }
    const HDBStateTables& States() const { return *states_; }
    std::shared_ptr<const HDBStateTables> SharedStates() const { return states_; }
    // The index of a variable by name (exact bytes), or -1. Built by DBInitTables
    // and by loading; adding variables keeps it current.
    int FindVariable(const char* name) const;
    // The state set of a variable index (through its type), or null.
    const HDBStateSet* VariableStateSet(int variable) const;

    // Exchanges the whole contents of two databases.
    void Swap(HDBDatabase& other);

  private:
    HDBTable variables_{kDBTableVariables, sizeof(HDBVarRecord)};
    HDBTable types_{kDBTableTypes, sizeof(HDBTypeRecord)};
    std::vector<std::string> objects_;
    std::vector<std::string> places_;
    std::shared_ptr<HDBStateTables> states_;
    std::map<std::string, int> byName_;
};

// Log and error procedures handed to DBInitTables (texts cp1251).
using DBLogProc = void (*)(const char* text);
using DBErrorProc = void (*)(const char* text);
// Ready-made procedures: FILELog writes the text to the host log,
// RTErrorMessageProc shows it in an error box (and logs it).
void FILELog(const char* text);
void RTErrorMessageProc(const char* text);

// A new empty database, owned by the caller (free with HDBDestroy).
HDBDatabase* DBCreateDatabase();
// Destroys the database and sets the pointer to null; null is accepted.
void HDBDestroy(HDBDatabase*& database);
// Loads the ".rtdb" file into the database. True when loaded; on failure false,
// the database unchanged and the last error a text naming the file. `window` is
// the owner for messages (unused: failures are reported through the last error).
bool RTLoadDBCfgINF(void* window, const char* path, HDBDatabase* database);
// Checks the loaded tables and makes the database's state tables the process's
// current ones. Nonzero when built; a problem goes to `errorProc` (when given)
// and to the last error, a summary line to `logProc` (when given).
int DBInitTables(HDBDatabase* database, DBLogProc logProc, DBErrorProc errorProc);
// Writes the database as a ".rtdb" file, atomically. False (last error set) on failure.
bool DBSaveDatabase(const HDBDatabase& database, const char* path);
// Reads only the id and time of a ".rtdb" file; false (last error set) on failure.
bool DBReadConfigHeader(const char* path, uint32_t& configId, PRTime& configTime);

// Nonzero when the current state tables class the state as an error state. The
// first argument is reserved (0).
int DBIsErrorState(int reserved, uint16_t state);
// Nonzero when the state set is known, with its lowest and highest state codes.
int DBStateRange(uint16_t setCode, uint16_t* lowest, uint16_t* highest);
int DBStateRange(uint16_t setCode, uint16_t& lowest, uint16_t& highest);
// The name of a state of a set (cp1251); "" when the set or the state is unknown.
// The text lives in a per-thread ring of buffers. The third argument is reserved (0).
const char* DBVarState2Str(uint16_t setCode, uint16_t state, int reserved);

namespace host {
// Makes these state tables the process's current ones (null: none).
void SetCurrentStateTables(std::shared_ptr<const HDBStateTables> tables);
}  // namespace host
