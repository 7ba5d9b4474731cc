// Every modal interaction of the host (message boxes, yes/no questions, folder
// and file choosers) goes through one replaceable interface: a GUI installs its
// dialogs, tests install scripted answers, and the default (no display) answers
// without waiting: errors go to standard error, questions get their default
// answer and choosers are cancelled.
#pragma once

#include <string>

namespace host {

// What a file chooser shows: its title, the folder it starts in, the filter
// ("Text|*.ext|Text|*.*", several patterns of one entry joined by ';') and the
// extension added to a typed name without one. Texts are cp1251; null = none.
struct FileChoice {
    const char* caption = nullptr;
    const char* startFolder = nullptr;
    const char* filter = nullptr;
    const char* defaultExt = nullptr;
};

class Interaction {
  public:
    virtual ~Interaction() = default;
    // A modal error box; returns after it is closed. Text in cp1251.
    virtual void ErrorMessage(void* owner, const char* text) = 0;
    // A yes/no question; `defaultAnswer` is what a non-interactive host answers.
    virtual bool AskYesNo(void* owner, const char* text, bool defaultAnswer) = 0;
    // A folder chooser starting at `folder` (cp1251, in and out); false = cancelled.
    virtual bool SelectDirectory(void* owner, const char* caption, std::string& folder,
                                 int options) = 0;
    // File choosers (texts cp1251): the chosen path in `path`; false = cancelled.
    virtual bool OpenFileName(void* owner, const FileChoice& choice, std::string& path) = 0;
    virtual bool SaveFileName(void* owner, const FileChoice& choice, std::string& path) = 0;
};

// The folder chooser of the installed interaction over `owner`, starting at
// `folder` (cp1251, in and out); false when cancelled.
bool HSelectDirectory(void* owner, std::string& folder, int options);

// The interaction in use (the default when none was installed).
Interaction& GetInteraction();
// Installs `interaction` (not owned; null restores the default) and returns the
// one it replaces.
Interaction* SetInteraction(Interaction* interaction);

}  // namespace host
