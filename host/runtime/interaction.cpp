#include "interaction.h"

#include <cstdio>

#include "common/cp1251.h"

using namespace host::literals;

namespace host {

namespace {
class DefaultInteraction final : public Interaction {
  public:
    void ErrorMessage(void*, const char*) override {
        // The text is already in the log, which reaches the console.
    }
    bool AskYesNo(void*, const char*, bool defaultAnswer) override { return defaultAnswer; }
    bool SelectDirectory(void*, const char*, std::string&, int) override { return false; }
    bool OpenFileName(void*, const FileChoice&, std::string&) override { return false; }
    bool SaveFileName(void*, const FileChoice&, std::string&) override { return false; }
};

DefaultInteraction defaultInteraction;
Interaction* current = nullptr;
}  // namespace

bool HSelectDirectory(void* owner, std::string& folder, int options) {
    return GetInteraction().SelectDirectory(owner, "Выбор каталога"_cp, folder, options);
}

Interaction& GetInteraction() {
    return current ? *current : defaultInteraction;
}

Interaction* SetInteraction(Interaction* interaction) {
    Interaction* previous = current;
    current = interaction;
    return previous;
}

}  // namespace host
