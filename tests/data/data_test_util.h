// Helpers shared by the host data tests: the scratch folder of the test.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace twtest {

// A fresh folder below TW_TEST_TMP (created, emptied first).
inline std::string ScratchDir(const std::string& name) {
    const char* base = std::getenv("TW_TEST_TMP");
    std::filesystem::path p = std::filesystem::path(base ? base : "/tmp/tw-data-test") / name;
    std::filesystem::remove_all(p);
    std::filesystem::create_directories(p);
    return p.string();
}

inline std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

inline void WriteFile(const std::string& path, const std::string& data) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << data;
}

}  // namespace twtest
