// Helpers shared by the tests: the scratch folder of the running test and a
// scoped time zone.
#pragma once

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <string>

#include "common/prtime.h"

namespace twtest {

// The scratch folder of this test binary (created on first use), with a final '/'.
inline std::string TempDir() {
    const char* env = std::getenv("TW_TEST_TMP");
    std::string dir =
        env && *env ? env : (std::filesystem::temp_directory_path() / "tw-test").string();
    std::filesystem::create_directories(dir);
    if (dir.back() != '/') dir += '/';
    return dir;
}

// A fresh empty sub-folder of the scratch folder.
inline std::string FreshDir(const std::string& name) {
    const std::string dir = TempDir() + name;
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    return dir + "/";
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
