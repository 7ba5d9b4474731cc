#include "job_dialog.h"

#include <QDialog>
#include <memory>

#include "qt_app.h"
#include "qt_interaction.h"
#include "runtime/interaction.h"
#include "runtime/rtpmodule.h"

extern "C" __attribute__((visibility("default"))) bool HostUi_HasDisplay() {
    return host::ui::HasDisplay();
}

extern "C" __attribute__((visibility("default"))) int HostUi_EditJob(RTPModule* module, bool global,
                                                                     HConfigItem* node) {
    if (!host::ui::EnsureGuiApplication()) return -2;
    host::ui::QtInteraction dialogs;
    // The host's own questions come back on every way out.
    struct Restore {
        host::Interaction* previous;
        ~Restore() { host::SetInteraction(previous); }
    } restore{host::SetInteraction(&dialogs)};
    std::unique_ptr<QDialog> dialog(global ? module->CreateGlobalDialog()
                                           : module->CreateLocalDialog());
    if (!dialog) return -1;
    module->LoadDialog(dialog.get(), node);
    if (dialog->exec() != QDialog::Accepted) return 0;
    module->SaveDialog(dialog.get(), node);
    return 1;
}
