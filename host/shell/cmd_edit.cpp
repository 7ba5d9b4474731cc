#include "cmd_edit.h"

#include <cstdio>
#include <exception>
#include <memory>

#include "common/cp1251.h"
#include "common/lasterror.h"
#include "common/osfile.h"
#include "common/paths.h"
#include "common/strutil.h"
#include "home_start.h"
#include "config/configtree.h"
#include "plugin_loader.h"
#include "runtime/runtime.h"
#include "ui/job_dialog.h"

namespace {

struct EditArgs {
    std::string home;
    std::string job = "Daily";
    std::string plugin;
    bool global = false;
};

RTPConfigOwner* NoConfigOwner(void*) {
    static RTPConfigOwner owner;
    return &owner;
}

// The host's window library, loaded for the dialog alone (kept for the
// process): rthost itself loads no window toolkit. Null, the reason printed,
// when it cannot be loaded.
void* UiEntry(const char* name) {
    std::string why;
    void* entry = host::LibraryEntry(host::ProgramLibraryPath("libhost_ui.so"), name, why);
    if (!entry) std::fprintf(stderr, "rthost edit: cannot load the dialogs: %s\n", why.c_str());
    return entry;
}

// Shows the dialog for the job; 0 saved or cancelled, 1 the job file could
// not be written, 2 nothing could be shown.
int EditJob(const EditArgs& args) {
    const std::string home = host::Utf8ToCp1251Lossy(args.home);
    if (!host::IsDirectory(home.c_str())) {
        std::fprintf(stderr, "rthost edit: no home folder %s\n", args.home.c_str());
        return 2;
    }
    const auto hasDisplay = reinterpret_cast<HostUi_HasDisplayProc>(UiEntry("HostUi_HasDisplay"));
    const auto editJob = reinterpret_cast<HostUi_EditJobProc>(UiEntry("HostUi_EditJob"));
    if (!hasDisplay || !editJob) return 2;
    if (!hasDisplay()) {
        std::fprintf(stderr, "rthost edit: the settings dialog needs a display\n");
        return 2;
    }
    if (!host::StartInHome(home)) {
        std::fprintf(stderr, "rthost edit: %s\n", host::Cp1251ToUtf8(GetIOErrorS_GUI(-2)).c_str());
        return 1;
    }
    struct RuntimeScope {
        ~RuntimeScope() { RTShutdown(); }
    } runtime;  // the log file is closed on every way out
    char jobPath[kMaxPath];
    MakeStartLocalPath(jobPath, ("Jobs/" + host::Utf8ToCp1251Lossy(args.job) + ".json").c_str());
    HConfigTree tree;  // a new job starts from an empty node
    if (!tree.Load(jobPath)) {
        std::fprintf(stderr, "rthost edit: %s\n", host::Cp1251ToUtf8(GetIOErrorS_GUI(-2)).c_str());
        return 2;
    }
    std::string error;
    const std::string path = args.plugin.empty() ? host::DefaultPluginPath() : args.plugin;
    auto loaded = host::LoadedPlugin::Load(path, &error);
    if (!loaded) {
        std::fprintf(stderr, "rthost edit: %s\n", error.c_str());
        return 2;
    }
    RTPHostContext context{};
    StrCpy(context.Home, GetStartupDir(), sizeof context.Home);
    const RTPInfo info = host::MakeHostInfo(&context, &NoConfigOwner);
    RTPModule& module = loaded->Module();
    module.Init(&info);
    int code = 0;
    // The module's operations may raise (a damaged contour set in the job); the
    // job file is then left as it was.
    try {
        const int shown = editJob(&module, args.global, tree.Root());
        if (shown == -2) {
            std::fprintf(stderr, "rthost edit: %s\n",
                         host::Cp1251ToUtf8(GetIOErrorS_GUI(-2)).c_str());
            code = 2;
        } else if (shown == -1) {
            std::fprintf(stderr, "rthost edit: the module has no settings dialog\n");
            code = 2;
        } else if (shown == 1) {
            char folder[kMaxPath];
            host::MakeDirectories(FPath(folder, jobPath));
            if (tree.SaveAs(jobPath)) {
                std::printf("saved %s\n", host::Cp1251ToUtf8(jobPath).c_str());
            } else {
                std::fprintf(stderr, "rthost edit: %s\n",
                             host::Cp1251ToUtf8(GetIOErrorS_GUI(-2)).c_str());
                code = 1;
            }
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "rthost edit: %s\n", host::Cp1251ToUtf8(e.what()).c_str());
        code = 1;
    }
    module.Done();
    return code;
}

}  // namespace

void AddEditCommand(CLI::App& app, int& exitCode) {
    auto args = std::make_shared<EditArgs>();
    CLI::App* cmd = app.add_subcommand("edit", "Edit a report job in the module's settings dialog");
    cmd->add_option("home", args->home, "The host's home folder")->required();
    cmd->add_option("--job", args->job, "Job name (HOME/Jobs/NAME.json; a new name makes a job)");
    cmd->add_flag("--global", args->global, "Open the dialog in global mode");
    cmd->add_option("--plugin", args->plugin,
                    "Path of the report module (default: the one installed with rthost)");
    cmd->callback([args, &exitCode] { exitCode = EditJob(*args); });
}
