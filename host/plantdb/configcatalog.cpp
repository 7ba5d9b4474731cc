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
    std::vector<std::string> names;
    ForEachDirEntry(folder.c_str(), [&](const char* name, bool isFolder) {
        const std::size_t n = std::strlen(name);
        if (!isFolder && n > 5 && std::strcmp(name + n - 5, ".rtdb") == 0) names.push_back(name);
        return true;
    });
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
