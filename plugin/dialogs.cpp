// Operations 8 to 11 of the descriptor: the settings dialog. This build has no
// settings dialog; the host gets no dialog and the job settings stay as stored
// (jobs are edited as JSON files under HOME/Jobs/).
#include "report_tripwatch.h"

QDialog* ReportTripwatch::CreateGlobalDialog() {
    return nullptr;
}

QDialog* ReportTripwatch::CreateLocalDialog() {
    return nullptr;
}

void ReportTripwatch::LoadDialog(QDialog*, HConfigItem*) {}

void ReportTripwatch::SaveDialog(QDialog*, HConfigItem*) {}
