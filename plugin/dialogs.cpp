// Operations 8 to 11 of the descriptor: the settings dialog of a report job.
// The host creates it (global or local mode), fills it from the job node, shows
// it, writes it back when the user accepts, and frees it.
#include "report_tripwatch.h"
#include "tw_Config.h"

namespace {
TConfigForm* Form(QDialog* dialog) {
    return static_cast<TConfigForm*>(dialog);
}
}  // namespace

QDialog* ReportTripwatch::CreateGlobalDialog() {
    return new TConfigForm(true, Name);
}

QDialog* ReportTripwatch::CreateLocalDialog() {
    return new TConfigForm(false, Name);
}

void ReportTripwatch::LoadDialog(QDialog* dialog, HConfigItem* settings) {
    if (dialog && settings) Form(dialog)->LoadDialog(settings);
}

void ReportTripwatch::SaveDialog(QDialog* dialog, HConfigItem* settings) {
    if (dialog && settings) Form(dialog)->SaveDialog(settings);
}
