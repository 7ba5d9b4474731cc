#include "operation.h"

#include <unistd.h>

#include <csignal>
#include <cstdarg>
#include <cstdio>

#include "common/cp1251.h"
#include "common/strutil.h"

void HOperation::IncShow() {
    progress_ = 0;  // a new long step starts from nothing
    Show();
}

void HOperation::SetText(const char* format, ...) {
    if (!format) {
        text_.clear();
    } else {
        va_list args;
        va_start(args, format);
        text_ = host::FormatV(format, args);
        va_end(args);
    }
    Show();
}

void HOperation::SetProgress(int percent) {
    const int p = percent < 0 ? 0 : percent > 100 ? 100 : percent;
    if (p == progress_) return;
    progress_ = p;
    Show();
}

void HOperation::SetAbort(bool allow) {
    abortAllowed_ = allow;
    if (!allow) aborted_ = false;
}

void HOperation::RequestAbort() {
    if (abortAllowed_) aborted_ = true;
}

namespace {

class TerminalOperation final : public HOperation {
  public:
    TerminalOperation() : tty_(::isatty(STDERR_FILENO) == 1) {}
    void SetAbort(bool allow) override {
        HOperation::SetAbort(allow);
        InstallHandler(allow);
    }
    void Finish() {
        if (drawn_) std::fputs("\r\x1b[K", stderr);
        drawn_ = false;
    }

  protected:
    void Show() override {
        if (!tty_) return;
        constexpr int kWidth = 30;
        const int filled = progress_ * kWidth / 100;
        char bar[kWidth + 1];
        for (int i = 0; i < kWidth; ++i)
            bar[i] = i < filled ? '#' : '.';
        bar[kWidth] = '\0';
        const std::string text = host::Cp1251ToUtf8(text_);
        std::fprintf(stderr, "\r\x1b[K[%s] %3d%% %.60s", bar, progress_, text.c_str());
        std::fflush(stderr);
        drawn_ = true;
    }

  private:
    static void OnInterrupt(int) {
        HOperation* op = RTGetOperation();
        if (op && op->AbortOffered()) {
            op->RequestAbort();
        } else {
            std::signal(SIGINT, SIG_DFL);
            std::raise(SIGINT);
        }
    }
    void InstallHandler(bool on) {
        if (on == handlerInstalled_) return;
        std::signal(SIGINT, on ? &TerminalOperation::OnInterrupt : SIG_DFL);
        handlerInstalled_ = on;
    }

    bool tty_;
    bool drawn_ = false;
    bool handlerInstalled_ = false;
};

TerminalOperation& Terminal() {
    static TerminalOperation op;
    return op;
}
HOperation* installed = nullptr;
thread_local HOperation* threadOwn = nullptr;

}  // namespace

HOperation* RTGetOperation() {
    if (threadOwn) return threadOwn;
    return installed ? installed : &Terminal();
}

namespace host {
HOperation* SetOperation(HOperation* operation) {
    HOperation* previous = installed;
    installed = operation;
    return previous;
}
void FinishProgressLine() {
    Terminal().Finish();
}
ThreadOperationScope::ThreadOperationScope(HOperation* operation) : previous_(threadOwn) {
    threadOwn = operation;
}
ThreadOperationScope::~ThreadOperationScope() {
    threadOwn = previous_;
}
}  // namespace host
