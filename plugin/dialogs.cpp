// Operations 8 to 11 of the descriptor: the settings dialog of a report job,
// and the contour editor the host may call. The host creates the dialog
// (global or local mode), fills it from the job node, shows it, writes it back
// when the user accepts, and frees it. The forms live in the dialog library,
// loaded on the first of these calls.
#include "dialog_library.h"
#include "report_tripwatch.h"
#include "tw_contour.h"

using tripplug::Dialogs;

QDialog* ReportTripwatch::CreateGlobalDialog() {
    const tripplug::DialogEntries* d = Dialogs();
    return d ? d->create(true, Name) : nullptr;
}

QDialog* ReportTripwatch::CreateLocalDialog() {
    const tripplug::DialogEntries* d = Dialogs();
    return d ? d->create(false, Name) : nullptr;
}

void ReportTripwatch::LoadDialog(QDialog* dialog, HConfigItem* settings) {
    if (const tripplug::DialogEntries* d = dialog ? Dialogs() : nullptr) d->load(dialog, settings);
}

void ReportTripwatch::SaveDialog(QDialog* dialog, HConfigItem* settings) {
    if (const tripplug::DialogEntries* d = dialog ? Dialogs() : nullptr) d->save(dialog, settings);
}

bool TW_Contour::Edit(void* owner) {
    const tripplug::DialogEntries* d = Dialogs();
    return d && d->editContour(this, owner);
}
