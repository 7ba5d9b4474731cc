#include "configcatalog.h"

#include <algorithm>
#include <cstring>

#include "common/cp1251.h"
#include "common/lasterror.h"
#include "common/osfile.h"
#include "plantdb/dbdatabase.h"

using namespace host::literals;

namespace host {

std::string ConfigFolder(const char* home) {
    std::string p = home ? home : "";
    if (!p.empty() && p.back() != '/' && p.back() != '\\') p += '/';
    return p + "Config/";
}

bool ConfigCatalog::Load(const char* home) {
    files_.clear();
    const std::string folder = ConfigFolder(home);
    if (!IsDirectory(folder.c_str())) {
        SetError("%s \"%s\"", "Папка конфигураций не найдена:"_cp, folder.c_str());
        return false;
    }
    std::vector<std::string> names, unnamed;
    auto isConfig = [](const std::string& name) {
        return name.size() > 5 && name.compare(name.size() - 5, 5, ".rtdb") == 0;
    };
    ForEachDirEntry(
        folder.c_str(),
        [&](const char* name, bool isFolder) {
            if (!isFolder && isConfig(name)) names.push_back(name);
            return true;
        },
        &unnamed);
    // A configuration whose name cannot be told to the system would be left out.
    for (const std::string& name : unnamed)
        if (isConfig(name)) {
            SetError("%s \"%s%s\": %s", "Конфигурация"_cp, folder.c_str(), name.c_str(),
                     "имя файла не в UTF-8 или с буквами вне Windows-1251"_cp);
            return false;
        }
    std::sort(names.begin(), names.end());
    for (const auto& name : names) {
        ConfigFileInfo info;
        info.Path = folder + name;
        if (!DBReadConfigHeader(info.Path.c_str(), info.Id, info.Time)) return false;
        files_.push_back(info);
    }
    std::stable_sort(
        files_.begin(), files_.end(),
        [](const ConfigFileInfo& a, const ConfigFileInfo& b) { return a.Time < b.Time; });
    return true;
}

const ConfigFileInfo* ConfigCatalog::ValidAt(const PRTime& moment) const {
    const ConfigFileInfo* found = nullptr;
    for (const auto& f : files_)
        if (f.Time <= moment) found = &f;
    return found;
}

}  // namespace host
