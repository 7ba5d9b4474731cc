#include "dialog_library.h"

#include <dlfcn.h>

#include <string>

#include "common/cp1251.h"
#include "common/paths.h"
#include "runtime/rtlog.h"

using namespace host::literals;

namespace tripplug {

namespace {

template <class T>
bool Find(void* library, const char* name, T& entry) {
    entry = reinterpret_cast<T>(dlsym(library, name));
    return entry != nullptr;
}

}  // namespace

const DialogEntries* Dialogs() {
    static DialogEntries entries{};
    static bool loaded = false;
    if (loaded) return &entries;
    const std::string path =
        host::LibraryFolder(reinterpret_cast<const void*>(&Dialogs)) + "libTripplugDialogs.so";
    void* library = dlopen(path.c_str(), RTLD_NOW);
    if (library && Find(library, "TripplugCreateDialog", entries.create) &&
        Find(library, "TripplugLoadDialog", entries.load) &&
        Find(library, "TripplugSaveDialog", entries.save) &&
        Find(library, "TripplugEditContour", entries.editContour)) {
        loaded = true;
        return &entries;
    }
    const char* why = dlerror();
    RTErrorMessage(nullptr, "%s: %s", "Диалоги отчета недоступны"_cp,
                   host::Utf8ToCp1251Lossy(why ? why : path.c_str()).c_str());
    if (library) dlclose(library);
    return nullptr;
}

}  // namespace tripplug
