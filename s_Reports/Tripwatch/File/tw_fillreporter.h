// TW_FillReporter: what the incident computation (TW_File::Fill) reports through,
// given by its caller: the progress indicator and the user's abort request, the
// log and the notes for the run's summary. Fill owns nothing of it and none of
// its calls can fail; TW_HostFillReporter (tw_hostfillreporter.h) hands every
// call to the host's services.
#pragma once

#include <string>

class TW_FillReporter {
  public:
    TW_FillReporter() = default;
    virtual ~TW_FillReporter() = default;
    TW_FillReporter(const TW_FillReporter&) = delete;
    TW_FillReporter& operator=(const TW_FillReporter&) = delete;

    // A long step begins: the indicator is shown, from nothing.
    virtual void ShowProgress() = 0;
    // The step's progress (0..100).
    virtual void SetProgress(int percent) = 0;
    // The progress text (cp1251); null clears it.
    virtual void SetText(const char* text) = 0;
    // Offers (true) or withdraws (false) a way to abort; withdrawing also
    // forgets an abort request.
    virtual void OfferAbort(bool allow) = 0;
    // True once the user asked to abort.
    virtual bool Aborted() = 0;
    // True when the text is due to be updated and the abort request looked at
    // (the idle period has elapsed; the next one starts with this call).
    virtual bool PollDue() = 0;
    // True when a sensor's scan asks PollDue at every sample instead of every
    // 64th: a poll then costs nothing (an idle period of 0).
    virtual bool PollEverySample() const = 0;

    // One log line (cp1251).
    virtual void Log(const std::string& line) = 0;
    // A used contour (its sensor's name, cp1251) whose variables, some or all,
    // have no sample in the period.
    virtual void NoteContourWithoutData(const std::string& sensor) = 0;
    // A relay or apparatus verdict that rests on no sample of the look-back or
    // the period.
    virtual void NoteUnverifiedVerdict() = 0;
};
