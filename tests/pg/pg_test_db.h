// The tests' own PostgreSQL cluster (started by the CTest fixture, its state
// folder in TW_PG_STATE) and fresh databases in it.
#pragma once

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <regex>
#include <string>

#include "archive/pg/pgconnection.h"

namespace twtest {

inline std::string ClusterConnInfo() {
    const char* state = std::getenv("TW_PG_STATE");
    std::ifstream in(std::string(state ? state : "") + "/conninfo");
    std::string line;
    std::getline(in, line);
    return line;
}

// A fresh database of the cluster, of this process alone (CTest runs the
// cases side by side); its connection string.
inline std::string FreshDatabase(const std::string& base) {
    const std::string name = base + "_" + std::to_string(::getpid());
    host::pg::Connection c;
    EXPECT_TRUE(c.Open(ClusterConnInfo())) << c.Error();
    c.Exec("DROP DATABASE IF EXISTS " + name);
    EXPECT_TRUE(c.Exec("CREATE DATABASE " + name)) << c.Error();
    return std::regex_replace(ClusterConnInfo(), std::regex("dbname=\\w+"), "dbname=" + name);
}

}  // namespace twtest
