// The demo plant's planted operations (demo-incidents.json) against the
// operations files of a home's reports: each one found exactly once, with its
// class, and nothing else found.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <nlohmann/json.hpp>
#include <string>
#include <utility>

#include "shell_output.h"

namespace twtest {

// Checks every operation planted at or after `from` ("YYYY-MM-DD HH:MM:SS")
// against the ".two" files in HOME/Reports; returns how many of each class
// were found.
inline std::map<std::string, int> ExpectPlantedOperations(const std::string& home,
                                                          const std::string& from) {
    std::map<std::pair<std::string, std::string>, std::string> found;
    for (const auto& entry : std::filesystem::directory_iterator(home + "Reports")) {
        if (entry.path().extension() != ".two") continue;
        const std::string out = home + "ops.json";
        EXPECT_EQ(ExitCode(Bin("twdump") + " '" + entry.path().string() + "' >" + out), 0);
        const auto dump = nlohmann::json::parse(ReadText(out));
        for (const auto& op : dump["Operations"]) {
            const auto key =
                std::make_pair(op["Variable"].get<std::string>(), op["Time"].get<std::string>());
            if (key.second < from) continue;
            EXPECT_EQ(found.count(key), 0u) << "found twice: " << key.first << " " << key.second;
            found[key] = op["Class"];
        }
    }
    std::map<std::string, int> classes;
    const auto planted = nlohmann::json::parse(ReadText(home + "demo-incidents.json"));
    for (const auto& op : planted["operations"]) {
        if (op["time"].get<std::string>() < from) continue;
        const auto key =
            std::make_pair(op["variable"].get<std::string>(), op["time"].get<std::string>());
        const auto it = found.find(key);
        if (it == found.end()) {
            ADD_FAILURE() << "not found: " << key.first << " " << key.second;
            continue;
        }
        EXPECT_EQ(it->second, op["class"].get<std::string>()) << key.first << " " << key.second;
        ++classes[it->second];
        found.erase(it);
    }
    for (const auto& [key, cls] : found)
        ADD_FAILURE() << "not planted: " << key.first << " " << key.second << " " << cls;
    return classes;
}

}  // namespace twtest
