#include "tw_hostfillreporter.h"

#include "runtime/runtime.h"
#include "tw_file.h"

void TW_HostFillReporter::ShowProgress() {
    RTGetOperation()->IncShow();
}

void TW_HostFillReporter::SetProgress(int percent) {
    RTGetOperation()->SetProgress(percent);
}

void TW_HostFillReporter::SetText(const char* text) {
    if (text)
        RTGetOperation()->SetText("%s", text);
    else
        RTGetOperation()->SetText(nullptr);
}

void TW_HostFillReporter::OfferAbort(bool allow) {
    RTGetOperation()->SetAbort(allow);
}

bool TW_HostFillReporter::Aborted() {
    return RTGetOperation()->isAborted();
}

bool TW_HostFillReporter::PollDue() {
    return PRPeriodEnd(RTGetIdlePeriod(), 1) != 0;
}

bool TW_HostFillReporter::PollEverySample() const {
    return host::IdlePeriodLength().count() == 0;
}

void TW_HostFillReporter::Log(const std::string& line) {
    RTLogR(line.c_str());
}

void TW_HostFillReporter::NoteContourWithoutData(const std::string& sensor) {
    host::CurrentRunNotes().AddContourWithoutData(sensor);
}

void TW_HostFillReporter::NoteUnverifiedVerdict() {
    host::CurrentRunNotes().AddUnverifiedVerdict();
}

bool TW_File::Fill(HHourFile& hourFile, TW_ContourArray& contours) {
    TW_HostFillReporter host;
    return Fill(hourFile, contours, host);
}
