#include "plugin_loader.h"

#include <dlfcn.h>
#include <unistd.h>

#include <cstring>
#include <new>

#include "common/paths.h"

namespace host {

namespace {
// The descriptor size this host understands: the module layout, packed.
constexpr int32_t kDescriptorSize = int32_t(3 * sizeof(void*) + 33);
constexpr int32_t kReportPackage = 2;
constexpr int32_t kReportModule = 4;
}  // namespace

std::unique_ptr<LoadedPlugin> LoadedPlugin::Load(const std::string& path, std::string* error) {
    void* handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        const char* why = ::dlerror();
        *error = "cannot load " + path + ": " + (why ? why : "unknown reason");
        return nullptr;
    }
    auto query = reinterpret_cast<QueryPackageInfoProc>(::dlsym(handle, "QueryPackageInfo"));
    if (!query) {
        *error = path + " exports no QueryPackageInfo";
        ::dlclose(handle);
        return nullptr;
    }
    HPackageInfo* info = query(0);
    if (!info) {
        *error = path + ": QueryPackageInfo returned no descriptor";
        ::dlclose(handle);
        return nullptr;
    }
    if (info->InfoSize != kDescriptorSize || info->PackageKind != kReportPackage ||
        static_cast<RTPModule*>(info)->ModuleKind != kReportModule) {
        *error = path + ": not a report module this host understands (descriptor size " +
                 std::to_string(info->InfoSize) + ", kind " + std::to_string(info->PackageKind) +
                 ")";
        ::operator delete(info);
        ::dlclose(handle);
        return nullptr;
    }
    auto writeJobNode = reinterpret_cast<RTPWriteJobNodeProc>(::dlsym(handle, "WriteJobNode"));
    return std::unique_ptr<LoadedPlugin>(
        new LoadedPlugin(handle, static_cast<RTPModule*>(info), writeJobNode));
}

LoadedPlugin::~LoadedPlugin() {
    ::operator delete(static_cast<HPackageInfo*>(module_));
    ::dlclose(handle_);
}

std::string DefaultModulePath(const char* file) {
    return ProgramLibraryPath(file);
}

std::string DefaultPluginPath() {
    return DefaultModulePath("libTripplug.so");
}

RTPInfo MakeHostInfo(RTPHostContext* context, RTPGetConfigOwnerProc getConfigOwner) {
    RTPInfo info{};
    info.Size = int32_t(sizeof info);
    info.Version = 1;
    std::strcpy(info.HostName, "rthost");
    info.GetConfigOwner = getConfigOwner;
    info.Context = context;
    return info;
}

}  // namespace host
