#include <nlohmann/json.hpp>

#include "archive/backends.h"
#include "archive/hourarchive.h"
#include "common/cp1251.h"
#include "common/lasterror.h"
#include "common/osfile.h"
#include "common/paths.h"

using namespace host::literals;

namespace host {

std::string ArchiveSettingsPath(const char* home) {
    std::string path = home ? home : "";
    if (!path.empty() && path.back() != '/') path += '/';
    return path + "Archive.json";
}

std::unique_ptr<HourArchive> OpenHourArchive(const char* home) {
    if (!FileExists(ArchiveSettingsPath(home).c_str())) return archive::OpenDayFiles(home);
    // Only a home that names a database loads libpq and what it brings.
    const std::string library =
        LibraryFolder(reinterpret_cast<const void*>(&OpenHourArchive)) + archive::kPgLibrary;
    std::string why;
    auto* open =
        reinterpret_cast<archive::OpenPgEntry*>(LibraryEntry(library, archive::kPgEntry, why));
    if (!open) {
        SetError("%s: %s", "Архив PostgreSQL недоступен"_cp, why.c_str());
        return nullptr;
    }
    return std::unique_ptr<HourArchive>(open(home));
}

bool WriteArchiveSettings(const char* home, const std::string& conninfo,
                          const std::string& relation) {
    nlohmann::json doc = {{"PostgreSQL", conninfo}};
    if (!relation.empty()) doc["Samples"] = relation;
    return WriteFileAtomically(ArchiveSettingsPath(home).c_str(), doc.dump(2) + "\n");
}

}  // namespace host
