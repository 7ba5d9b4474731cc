// A period's fetch from PostgreSQL over one or several connections gives every
// variable's samples in order, runs split where they are long; connections are
// kept between archives of a process, replaced when the server has closed them,
// never pile up, and stay the parent's across fork().
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <functional>
#include <fstream>
#include <string>
#include <vector>

#include "common/lasterror.h"
#include "archive/hourarchive.h"
#include "archive/pg/pgconnection.h"
#include "pg_test_db.h"
#include "test_env.h"

namespace {

using host::archive::Sample;

constexpr int64_t kFrom = 1'790'000'000, kEnd = kFrom + 86'400;

// What a fetch handed on, a name's runs joined.
struct Recorder : host::HourArchive::FetchSink {
    std::vector<std::vector<Sample>> got;
    std::vector<int> order;  // the names of the runs, in turn
    bool Take(int name, std::span<const Sample> s) override {
        if (got.size() <= std::size_t(name)) got.resize(std::size_t(name) + 1);
        got[std::size_t(name)].insert(got[std::size_t(name)].end(), s.begin(), s.end());
        order.push_back(name);
        return true;
    }
};

std::string Home(const std::string& tag, const std::string& conninfo, int connections) {
    const std::string home = twtest::ScratchDir("pgfetch-" + tag);
    std::ofstream(home + "Archive.json")
        << "{\"PostgreSQL\": \"" << conninfo << "\", \"Connections\": " << connections << "}\n";
    return home;
}

// The client backends of the database other than the caller's, as "{pid,...}".
std::string Backends(host::pg::Connection& c) {
    host::pg::Result r;
    EXPECT_TRUE(
        c.Exec("SELECT array_agg(pid ORDER BY pid) FROM pg_stat_activity WHERE datname "
               "= current_database() AND pid <> pg_backend_pid()",
               &r, PGRES_TUPLES_OK))
        << c.Error();
    return r.Text(0, 0);
}

// Backends() once `done` holds for it, or after five seconds (a backend told
// to end takes a moment to go).
std::string BackendsOnce(host::pg::Connection& c,
                         const std::function<bool(const std::string&)>& done) {
    std::string now = Backends(c);
    for (int i = 0; i < 100 && !done(now); ++i) {
        usleep(50'000);
        now = Backends(c);
    }
    return now;
}

TEST(PgFetch, EveryConnectionCountGivesTheSameSamplesInOrder) {
    const std::string conninfo = twtest::FreshDatabase("twfetch");
    // Names in request order: a long one (three runs), one without samples,
    // one only carried in, and short ones after them.
    const std::vector<std::string> names = {"Z.long", "A.none", "M.old", "B.1", "B.2", "B.3"};
    std::vector<std::vector<Sample>> want(names.size());
    std::vector<host::NamedSample> stored;
    auto add = [&](std::size_t v, int64_t t, bool wanted) {
        const Sample s{t, uint16_t(t % 3), double(t % 1000) / 8};
        stored.push_back({names[v], s});
        if (wanted) want[v].push_back(s);
    };
    add(0, kFrom - 7'200, false);  // before the one carried in
    add(0, kFrom - 60, true);      // carried in
    for (int64_t t = kFrom; t < kFrom + 40'000; ++t)
        add(0, t, true);
    add(0, kEnd, false);  // the next period's
    add(2, kFrom - 100, true);
    for (std::size_t v = 3; v < names.size(); ++v)
        for (int64_t t = kFrom + int64_t(v); t < kEnd; t += 3'600)
            add(v, t, true);
    {
        const std::string home = Home("store", conninfo, 1);
        const auto archive = host::OpenHourArchive(home.c_str());
        ASSERT_TRUE(archive) << GetIOErrorS_GUI(-2);
        ASSERT_TRUE(archive->Store(stored, nullptr)) << GetIOErrorS_GUI(-2);
    }
    for (const int connections : {1, 2, 3, 8}) {
        const std::string home = Home(std::to_string(connections), conninfo, connections);
        const auto archive = host::OpenHourArchive(home.c_str());
        ASSERT_TRUE(archive) << GetIOErrorS_GUI(-2);
        Recorder r;
        ASSERT_TRUE(archive->Fetch(names, kFrom, kEnd, r)) << GetIOErrorS_GUI(-2);
        r.got.resize(names.size());
        for (std::size_t v = 0; v < names.size(); ++v)
            EXPECT_TRUE(r.got[v] == want[v]) << connections << " connections, " << names[v];
        EXPECT_TRUE(std::is_sorted(r.order.begin(), r.order.end())) << connections;
        EXPECT_EQ(std::count(r.order.begin(), r.order.end(), 0), 3) << connections;
    }
}

TEST(PgFetch, ConnectionsAreKeptReplacedWhenClosedAndNeverPileUp) {
    const std::string conninfo = twtest::FreshDatabase("twpool");
    const std::string home = Home("pool", conninfo, 2);
    const std::vector<std::string> names = {"A", "B", "C"};
    {
        const auto archive = host::OpenHourArchive(home.c_str());
        ASSERT_TRUE(archive) << GetIOErrorS_GUI(-2);
        ASSERT_TRUE(archive->Store({{"A", {kFrom, 1, 1}}, {"C", {kFrom + 1, 2, 2}}}, nullptr))
            << GetIOErrorS_GUI(-2);
    }
    host::pg::Connection watcher;
    ASSERT_TRUE(watcher.Open(conninfo)) << watcher.Error();
    for (int round = 0; round < 4; ++round) {
        if (round == 2) {  // a server restart or an idle timeout, as the archive sees it
            ASSERT_TRUE(
                watcher.Exec("SELECT pg_terminate_backend(pid) FROM pg_stat_activity "
                             "WHERE datname = current_database() AND pid <> "
                             "pg_backend_pid()",
                             nullptr, PGRES_TUPLES_OK))
                << watcher.Error();
        }
        const auto archive = host::OpenHourArchive(home.c_str());
        ASSERT_TRUE(archive) << round << ": " << GetIOErrorS_GUI(-2);
        Recorder r;
        ASSERT_TRUE(archive->Fetch(names, kFrom, kEnd, r)) << round << ": " << GetIOErrorS_GUI(-2);
        ASSERT_EQ(r.got.size(), 3u) << round;
        EXPECT_EQ(r.got[0].size() + r.got[2].size(), 2u) << round;
        auto atMostTwo = [](const std::string& b) {
            return std::count(b.begin(), b.end(), ',') <= 1;
        };
        EXPECT_TRUE(atMostTwo(BackendsOnce(watcher, atMostTwo))) << round;
    }
    // A child of fork() that reads the archive never talks through the
    // sessions its parent kept (their sockets are shared): at most its own
    // sessions show its query, and they end with it.
    const pid_t child = fork();
    if (child == 0) {
        const auto archive = host::OpenHourArchive(home.c_str());
        Recorder r;
        std::exit(archive && archive->Fetch({"A", "C"}, kFrom, kEnd, r) ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    host::pg::Result r;
    for (int i = 0; i < 100; ++i, usleep(50'000))
        if (!watcher.Exec("SELECT count(*) FROM pg_stat_activity WHERE query LIKE "
                          "'%ARRAY[''C'']%' AND pid <> pg_backend_pid()",
                          &r, PGRES_TUPLES_OK) ||
            r.Text(0, 0) == "0")
            break;
    EXPECT_EQ(r.Text(0, 0), "0") << watcher.Error();
}

}  // namespace
