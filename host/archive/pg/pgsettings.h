// HOME/Archive.json: the settings that move a home's hour archive into a
// PostgreSQL database (ARCHIVE.md): the database's libpq connection string or
// URI, the relation the samples are read from and the connections a fetch uses.
#pragma once

#include <string>

#include "archive/pg/pgconnection.h"

namespace host::pg {

// The connections a PostgreSQL fetch uses at once unless "Connections" says.
inline constexpr int kDefaultFetchConnections = 2;

struct ArchiveSettings {
    std::string conninfo, relation;
    int connections = kDefaultFetchConnections;
    Timeouts timeouts;  // "ConnectTimeout", "LockTimeout", "StatementTimeout"
};

// Reads the settings file at `path`; false (last error set, naming the file)
// when it cannot be read or is not such a settings object.
bool ReadSettings(const std::string& path, ArchiveSettings& settings);

}  // namespace host::pg
