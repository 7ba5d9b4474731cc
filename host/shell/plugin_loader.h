// Loads a report module (a shared library exporting QueryPackageInfo, and
// WriteJobNode when it writes jobs for the host), checks its descriptor and owns
// both. The library stays loaded while the object lives.
#pragma once

#include <memory>
#include <string>

#include "runtime/rtpjob.h"
#include "runtime/rtpmodule.h"

namespace host {

class LoadedPlugin {
  public:
    // Loads the library at `path` (UTF-8 file name). Null with a readable reason
    // in *error when it cannot be loaded, has no entry or gives no valid descriptor.
    static std::unique_ptr<LoadedPlugin> Load(const std::string& path, std::string* error);
    ~LoadedPlugin();
    LoadedPlugin(const LoadedPlugin&) = delete;
    LoadedPlugin& operator=(const LoadedPlugin&) = delete;

    RTPModule& Module() { return *module_; }
    // The module's job writer (runtime/rtpjob.h), valid while the object lives;
    // null when the module exports none.
    RTPWriteJobNodeProc WriteJobNode() const { return writeJobNode_; }

  private:
    LoadedPlugin(void* handle, RTPModule* module, RTPWriteJobNodeProc writeJobNode)
        : handle_(handle), module_(module), writeJobNode_(writeJobNode) {}
    void* handle_;
    RTPModule* module_;
    RTPWriteJobNodeProc writeJobNode_;
};

// The path of a library rthost loads (`file`, "libTripweb.so"): beside the
// running program, or, for an installed one, in the library folder of its prefix.
std::string DefaultModulePath(const char* file);
// The report module's: DefaultModulePath("libTripplug.so").
std::string DefaultPluginPath();

// The host's information record handed to the module's Init (not owned:
// `context` and what `getConfigOwner` returns must outlive the module's use).
RTPInfo MakeHostInfo(RTPHostContext* context, RTPGetConfigOwnerProc getConfigOwner);

}  // namespace host
