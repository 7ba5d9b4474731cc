// The process-wide progress indicator. Long loops call IncShow at their start,
// set a percentage per step, and touch the text and the abort request only when
// the idle period has elapsed. The default indicator draws a progress bar on a
// terminal (nothing when standard error is not a terminal) and turns Ctrl-C into
// an abort request while aborting is offered. A GUI installs its own window.
#pragma once

#include <atomic>
#include <string>

class HOperation {
  public:
    HOperation() = default;
    virtual ~HOperation() = default;
    HOperation(const HOperation&) = delete;
    HOperation& operator=(const HOperation&) = delete;

    // Makes the indicator visible for a long step.
    virtual void IncShow();
    // Shows the formatted text (cp1251); null clears it.
    void SetText(const char* format, ...) __attribute__((format(printf, 2, 3)));
    // Shows the progress value, clamped to 0..100.
    virtual void SetProgress(int percent);
    // Offers (true) or withdraws (false) a way to abort; withdrawing also
    // forgets an abort request.
    virtual void SetAbort(bool allow);
    // True once the user asked to abort.
    virtual bool isAborted() { return aborted_.load(); }
    // The user's abort request (Ctrl-C, a Cancel button); ignored unless offered.
    void RequestAbort();
    // Forgets an abort request; the host calls it before each run.
    void ClearAbort() { aborted_ = false; }

    const std::string& Text() const { return text_; }
    int Progress() const { return progress_; }
    bool AbortOffered() const { return abortAllowed_.load(); }

  protected:
    // Draws the current state; called after every change.
    virtual void Show() {}

    std::string text_;
    int progress_ = 0;
    std::atomic<bool> abortAllowed_{false};
    std::atomic<bool> aborted_{false};
};

// Clears the indicator's text when it goes out of scope, on every way out of a
// long step.
class HOperationTextScope {
  public:
    explicit HOperationTextScope(HOperation* op) : op_(op) {}
    ~HOperationTextScope() { op_->SetText(nullptr); }
    HOperationTextScope(const HOperationTextScope&) = delete;
    HOperationTextScope& operator=(const HOperationTextScope&) = delete;

  private:
    HOperation* op_;
};

// The host's progress indicator (the terminal one unless another was installed,
// or the calling thread's own, see host::ThreadOperationScope).
HOperation* RTGetOperation();

namespace host {
// Installs an indicator (not owned; null restores the default); returns the previous one.
HOperation* SetOperation(HOperation* operation);
// Ends the terminal bar's line, so that the next console line starts clean.
void FinishProgressLine();

// While alive, RTGetOperation on the calling thread gives `operation` (not
// owned): work on a thread of its own (a server's request) keeps its progress
// and abort state apart from the process's indicator and from other threads.
class ThreadOperationScope {
  public:
    explicit ThreadOperationScope(HOperation* operation);
    ~ThreadOperationScope();
    ThreadOperationScope(const ThreadOperationScope&) = delete;
    ThreadOperationScope& operator=(const ThreadOperationScope&) = delete;

  private:
    HOperation* previous_;
};
}  // namespace host
