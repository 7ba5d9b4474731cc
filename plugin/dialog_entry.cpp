// The dialog library's entries over the forms.
#include "dialog_entry.h"

#include "Tw_contouredit.h"
#include "tw_Config.h"

QDialog* TripplugCreateDialog(bool global, const char* reportName) {
    return new TConfigForm(global, reportName);
}

void TripplugLoadDialog(QDialog* dialog, HConfigItem* settings) {
    if (dialog && settings) static_cast<TConfigForm*>(dialog)->LoadDialog(settings);
}

void TripplugSaveDialog(QDialog* dialog, HConfigItem* settings) {
    if (dialog && settings) static_cast<TConfigForm*>(dialog)->SaveDialog(settings);
}

bool TripplugEditContour(TW_Contour* contour, void* owner) {
    return contour && TW_EditContour(*contour, owner);
}
