#include "dialog_library.h"

#include <string>
#include <type_traits>

#include "common/cp1251.h"
#include "common/paths.h"
#include "runtime/rtlog.h"

using namespace host::literals;

namespace tripplug {

const DialogEntries* Dialogs() {
    static DialogEntries entries{};
    if (entries.editContour) return &entries;
    const std::string path =
        host::LibraryFolder(reinterpret_cast<const void*>(&Dialogs)) + "libTripplugDialogs.so";
    std::string why;
    auto find = [&](const char* name, auto& entry) {
        entry = reinterpret_cast<std::remove_reference_t<decltype(entry)>>(
            host::LibraryEntry(path, name, why));
        return entry != nullptr;
    };
    if (find("TripplugCreateDialog", entries.create) && find("TripplugLoadDialog", entries.load) &&
        find("TripplugSaveDialog", entries.save) &&
        find("TripplugEditContour", entries.editContour))
        return &entries;
    entries = {};
    RTErrorMessage(nullptr, "%s: %s", "Диалоги отчета недоступны"_cp,
                   host::Utf8ToCp1251Lossy(why).c_str());
    return nullptr;
}

}  // namespace tripplug
