// Helpers shared by the tests: the scratch folder of the running test and a
// scoped time zone.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <string>

#include "common/prtime.h"

namespace twtest {

// The scratch folder of the running test (below TW_TEST_TMP, one folder a
// test case, so that cases run side by side never share one), created on
// first use, with a final '/'.
inline std::string TempDir() {
    const char* env = std::getenv("TW_TEST_TMP");
    std::string dir =
        env && *env ? env : (std::filesystem::temp_directory_path() / "tw-test").string();
    // Outside a case (a suite's set-up), the process's own folder: CTest runs
    // the cases of one suite in processes side by side.
    const auto* unit = ::testing::UnitTest::GetInstance();
    std::string name = "process-" + std::to_string(::getpid());
    if (const auto* info = unit->current_test_info())
        name = std::string(info->test_suite_name()) + "." + info->name();
    else if (const auto* suite = unit->current_test_suite())
        name = std::string(suite->name()) + "." + name;
    std::replace(name.begin(), name.end(), '/', '_');
    dir += "/" + name;
    std::filesystem::create_directories(dir);
    if (dir.back() != '/') dir += '/';
    return dir;
}

// A fresh empty sub-folder of the test's scratch folder, with a final '/'.
inline std::string ScratchDir(const std::string& name) {
    const std::string dir = TempDir() + name;
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    return dir.back() == '/' ? dir : dir + "/";
}

// Sets TZ for the life of the object and restores the previous zone.
class ScopedTimeZone {
  public:
    explicit ScopedTimeZone(const char* zone) {
        if (const char* old = std::getenv("TZ")) previous_ = old, had_ = true;
        setenv("TZ", zone, 1);
        tzset();
        host::ResetLocalTimeCache();
    }
    ~ScopedTimeZone() {
        if (had_)
            setenv("TZ", previous_.c_str(), 1);
        else
            unsetenv("TZ");
        tzset();
        host::ResetLocalTimeCache();
    }

  private:
    std::string previous_;
    bool had_ = false;
};

}  // namespace twtest
