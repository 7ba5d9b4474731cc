// The module's way to its dialogs: the dialog library (dialog_entry.h), loaded
// from the module's own folder when first needed and kept loaded.
#pragma once

#include "dialog_entry.h"

namespace tripplug {

struct DialogEntries {
    TripplugCreateDialogProc create;
    TripplugDialogNodeProc load, save;
    TripplugEditContourProc editContour;
};

// The entries, or null when the library cannot be loaded (said in the log and
// in an error box, once a call: a headless host has no dialogs to show).
const DialogEntries* Dialogs();

}  // namespace tripplug
