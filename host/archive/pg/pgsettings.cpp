#include "archive/pg/pgsettings.h"

#include <algorithm>
#include <type_traits>

#include <nlohmann/json.hpp>

#include "archive/backends.h"
#include "archive/hourarchive.h"
#include "archive/pg/pghourarchive.h"
#include "common/cp1251.h"
#include "common/lasterror.h"
#include "common/osfile.h"

using namespace host::literals;

namespace host::pg {
namespace {

bool Damaged(const std::string& path, const std::string& why) {
    SetError("%s \"%s\" %s: %s", "Файл настроек архива"_cp, path.c_str(), "поврежден"_cp,
             why.c_str());
    return false;
}

// An optional whole number from..to under `key`; `value` keeps its default when
// the key is missing.
bool ReadWhole(const std::string& path, const nlohmann::json& doc, const char* key, int from,
               int to, int& value) {
    const auto it = doc.find(key);
    if (it == doc.end()) return true;
    if (!it->is_number_integer() || it->get<int64_t>() < from || it->get<int64_t>() > to)
        return Damaged(path, std::string("ключ \""_cp) + key +
                                 "\": " + "ожидается целое число от "_cp + std::to_string(from) +
                                 " до "_cp + std::to_string(to));
    value = it->get<int>();
    return true;
}

// How many connections a fetch may use, and how long a session waits (seconds,
// 0 for no limit, a day at most).
bool ReadNumbers(const std::string& path, const nlohmann::json& doc, ArchiveSettings& s) {
    return ReadWhole(path, doc, "Connections", 1, 8, s.connections) &&
           ReadWhole(path, doc, "ConnectTimeout", 0, 86400, s.timeouts.connect) &&
           ReadWhole(path, doc, "LockTimeout", 0, 86400, s.timeouts.lock) &&
           ReadWhole(path, doc, "StatementTimeout", 0, 86400, s.timeouts.statement);
}

}  // namespace

bool ReadSettings(const std::string& path, ArchiveSettings& settings) {
    std::string& conninfo = settings.conninfo;
    std::string& relation = settings.relation;
    std::string text;
    if (!ReadWholeFile(path.c_str(), text)) return false;
    const auto doc = nlohmann::json::parse(text, nullptr, false);
    if (!doc.is_object()) return Damaged(path, "ожидается объект JSON"_cp);
    const auto pg = doc.find("PostgreSQL");
    if (pg == doc.end() || !pg->is_string() || pg->get<std::string>().empty())
        return Damaged(path, "ключ \"PostgreSQL\": ожидается строка подключения"_cp);
    conninfo = pg->get<std::string>();
    const auto samples = doc.find("Samples");
    if (samples != doc.end() && !samples->is_string())
        return Damaged(path, "ключ \"Samples\": ожидается имя таблицы или представления"_cp);
    relation = samples != doc.end() ? samples->get<std::string>() : std::string();
    // Written into the queries as it stands: plain names only, schema.name at most.
    const bool plain = relation.find_first_not_of(
                           "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789_.") ==
                           std::string::npos &&
                       std::count(relation.begin(), relation.end(), '.') <= 1;
    if (!plain) return Damaged(path, "ключ \"Samples\": имя из латинских букв, цифр, _ и точки"_cp);
    return ReadNumbers(path, doc, settings);
}

}  // namespace host::pg

// The entry host_archive looks up when it loads this library.
extern "C" host::HourArchive* HostOpenPgArchive(const char* home) {
    static_assert(std::is_same_v<decltype(HostOpenPgArchive), host::archive::OpenPgEntry>);
    using namespace host;
    pg::ArchiveSettings settings;
    if (!pg::ReadSettings(ArchiveSettingsPath(home), settings)) return nullptr;
    auto archive = std::make_unique<PgHourArchive>();
    if (!archive->Open(settings.conninfo, settings.relation, settings.connections,
                       settings.timeouts))
        return nullptr;
    return archive.release();
}
