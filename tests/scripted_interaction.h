// The host's modal interactions answered by a test: error boxes and questions
// are remembered, questions get `yes`, folder and file choosers give `folder`
// and `file` (an empty one cancels) and remember what they were shown.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "runtime/interaction.h"

namespace twtest {

class ScriptedInteraction : public host::Interaction {
  public:
    bool yes = true;
    std::string folder;  // the folder chooser's answer; empty = cancelled
    std::string file;    // the file choosers' answer; empty = cancelled
    std::vector<std::string> errors, asked;
    std::vector<std::pair<std::string, int>> folderStarts;  // start folder, options
    std::vector<std::string> fileCaptions, fileFilters, fileExtensions;

    void ErrorMessage(void*, const char* text) override { errors.push_back(text); }
    bool AskYesNo(void*, const char* text, bool) override {
        asked.push_back(text);
        return yes;
    }
    bool SelectDirectory(void*, const char*, std::string& f, int options) override {
        folderStarts.emplace_back(f, options);
        if (folder.empty()) return false;
        f = folder;
        return true;
    }
    bool OpenFileName(void*, const host::FileChoice& c, std::string& path) override {
        return Choose(c, path);
    }
    bool SaveFileName(void*, const host::FileChoice& c, std::string& path) override {
        return Choose(c, path);
    }

  private:
    bool Choose(const host::FileChoice& c, std::string& path) {
        fileCaptions.push_back(c.caption ? c.caption : "");
        fileFilters.push_back(c.filter ? c.filter : "");
        fileExtensions.push_back(c.defaultExt ? c.defaultExt : "");
        if (file.empty()) return false;
        path = file;
        return true;
    }
};

// Installs a ScriptedInteraction for the life of the object.
class ScopedInteraction {
  public:
    ScopedInteraction() : previous_(host::SetInteraction(&answers)) {}
    ~ScopedInteraction() { host::SetInteraction(previous_); }
    ScopedInteraction(const ScopedInteraction&) = delete;
    ScopedInteraction& operator=(const ScopedInteraction&) = delete;
    ScriptedInteraction answers;

  private:
    host::Interaction* previous_;
};

}  // namespace twtest
