// TW_HostFillReporter: the incident computation's reports handed to the host's
// services: the host's progress indicator and idle period, its log and the
// process's run notes (host::CurrentRunNotes). Owns nothing; holds no state.
#pragma once

#include <string>

#include "tw_fillreporter.h"

class TW_HostFillReporter final : public TW_FillReporter {
  public:
    void ShowProgress() override;
    void SetProgress(int percent) override;
    void SetText(const char* text) override;
    void OfferAbort(bool allow) override;
    bool Aborted() override;
    bool PollDue() override;
    bool PollEverySample() const override;
    void Log(const std::string& line) override;
    void NoteContourWithoutData(const std::string& sensor) override;
    void NoteUnverifiedVerdict() override;
};
