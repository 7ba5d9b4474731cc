// The test programs run against the tests' cluster: the day files and PostgreSQL.
#include <gtest/gtest.h>

#include "common/lasterror.h"
#include "archive/archive_backends.h"
#include "archive/hourarchive.h"
#include "pg_test_db.h"

namespace twtest {

namespace {

ArchiveBackend PgBackend() {
    return {"PostgreSQL", [](const std::string& home, const std::string& tag) {
                const std::string conninfo = FreshDatabase("tw_" + tag);
                ASSERT_TRUE(host::WriteArchiveSettings(home.c_str(), conninfo, ""))
                    << GetIOErrorS_GUI(-2);
            }};
}

}  // namespace

const std::vector<ArchiveBackend>& ArchiveBackends() {
    static const std::vector<ArchiveBackend> backends{DayFileBackend(), PgBackend()};
    return backends;
}

}  // namespace twtest
