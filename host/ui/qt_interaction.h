// The host's modal interactions as Qt dialogs: message boxes, yes/no questions,
// folder and file choosers. A GUI program installs it with host::SetInteraction.
#pragma once

#include <QString>

#include "runtime/interaction.h"

namespace host::ui {

class QtInteraction final : public Interaction {
  public:
    // `owner` is a QWidget* (or null): the dialog's parent.
    void ErrorMessage(void* owner, const char* text) override;
    bool AskYesNo(void* owner, const char* text, bool defaultAnswer) override;
    bool SelectDirectory(void* owner, const char* caption, std::string& folder,
                         int options) override;
    bool OpenFileName(void* owner, const FileChoice& choice, std::string& path) override;
    bool SaveFileName(void* owner, const FileChoice& choice, std::string& path) override;
};

// The Qt file-dialog filter of a host filter "Text|*.ext|Text|*.*".
QString DialogFilter(const char* hostFilter);

}  // namespace host::ui
