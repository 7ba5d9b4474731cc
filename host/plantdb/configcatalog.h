// The configurations of the home folder, HOME/Config/*.rtdb, each with its
// configuration time; the configuration valid at a moment is the newest whose
// time is not later than the moment (equal times: the later file name).
#pragma once

#include <string>
#include <vector>

#include "common/prtime.h"

namespace host {

struct ConfigFileInfo {
    std::string Path;  // cp1251
    uint32_t Id = 0;
    PRTime Time;
};

class ConfigCatalog {
  public:
    // Reads the id and time of every ".rtdb" file in HOME/Config/. False (last
    // error naming the folder or the file) when the folder is missing or a file
    // cannot be read as a configuration.
    bool Load(const char* home);
    // The configuration valid at the moment, or null (none is that old).
    const ConfigFileInfo* ValidAt(const PRTime& moment) const;
    const std::vector<ConfigFileInfo>& Files() const { return files_; }

  private:
    std::vector<ConfigFileInfo> files_;  // by time, then by name
};

// HOME/Config/ (ending in '/').
std::string ConfigFolder(const char* home);

}  // namespace host
