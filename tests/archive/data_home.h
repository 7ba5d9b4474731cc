// A small host home for the archive tests: configurations and archive files.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/prtime.h"
#include "archive/dayfile/archivefile.h"
#include "archive/dayfile/archivefolder.h"
#include "plantdb/dbdatabase.h"
#include "data_files.h"

namespace twtest {

inline int64_t At(int y, int mo, int d, int h = 0, int mi = 0, int s = 0) {
    return int64_t(PRTime().Set(y, mo, d, h, mi, s).GetTT());
}

// A configuration with the given variables (state set 1: states 0..3, 3 is an
// error state); objects "Блок 1", "Блок 2", place "Щит".
inline void WriteConfig(const std::string& home, const char* file, uint32_t id, const PRTime& time,
                        const std::vector<std::string>& variables) {
    HDBDatabase db;
    db.ConfigId = id;
    db.ConfigTime = time;
    db.AddStateSet(1, "ТС", 0, 3);
    db.AddErrorState(3);
    db.AddObject("\xc1\xeb\xee\xea 1");  // "Блок 1" in cp1251
    db.AddObject("\xc1\xeb\xee\xea 2");
    db.AddPlace("\xd9\xe8\xf2");
    db.AddType("TS", 1);
    for (std::size_t i = 0; i < variables.size(); ++i)
        db.AddVariable(variables[i].c_str(), 0, uint16_t(i % 2), i == 0 ? 0 : kDBNoIndex);
    std::filesystem::create_directories(home + "Config");
    ASSERT_TRUE(DBSaveDatabase(db, (home + "Config/" + file).c_str()));
}

// Writes samples into the day files of the archive (replacing those days).
inline void WriteArchive(const std::string& home,
                         const std::vector<host::archive::VariableSamples>& vars) {
    std::map<int64_t, std::map<std::string, std::vector<host::archive::Sample>>> byDay;
    std::map<int64_t, host::archive::Day> days;
    for (const auto& v : vars)
        for (const auto& s : v.Samples) {
            const auto d = host::archive::DayOf(s.Time);
            days[d.Begin] = d;
            byDay[d.Begin][v.Name].push_back(s);
        }
    std::vector<std::pair<host::archive::Day, std::string>> files;
    for (auto& [begin, m] : byDay) {
        std::vector<host::archive::VariableSamples> list;
        for (auto& [n, s] : m)
            list.push_back({n, s});
        files.emplace_back(days[begin], host::archive::EncodeDayFile(days[begin], list));
    }
    std::filesystem::create_directories(home + "Archive");
    ASSERT_TRUE(host::archive::ReplaceDayFiles(home.c_str(), files));
}

}  // namespace twtest
