#include "archive/archive_backends.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "common/lasterror.h"
#include "archive/hourarchive.h"

namespace twtest {

void StoreSamples(const std::string& home,
                  const std::vector<host::archive::VariableSamples>& vars) {
    std::vector<host::NamedSample> samples;
    for (const auto& v : vars)
        for (const auto& s : v.Samples)
            samples.push_back({v.Name, s});
    const auto archive = host::OpenHourArchive(home.c_str());
    ASSERT_NE(archive, nullptr) << GetIOErrorS_GUI(-2);
    ASSERT_TRUE(archive->Store(samples, nullptr)) << GetIOErrorS_GUI(-2);
}

ArchiveBackend DayFileBackend() {
    return {"DayFiles", [](const std::string& home, const std::string&) {
                std::filesystem::create_directories(home + "Archive");
            }};
}

}  // namespace twtest
