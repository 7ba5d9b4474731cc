#include "rtlog.h"

#include <cstdarg>
#include <cstdio>
#include <ctime>
#include <mutex>

#include "common/cp1251.h"
#include "common/osfile.h"
#include "common/prtime.h"
#include "common/strutil.h"
#include "interaction.h"
#include "operation.h"

namespace {
struct LogState {
    std::mutex mutex;
    host::UniqueFile file;
    bool console = true;
    host::LogCapture* capture = nullptr;
    host::LogListener listener;
};
LogState& State() {
    static LogState s;
    return s;
}

void WriteLine(const std::string& line) {
    LogState& s = State();
    std::lock_guard<std::mutex> lock(s.mutex);
    if (s.capture) s.capture->lines.push_back(line);
    const std::string utf8 = host::Cp1251ToUtf8(line);
    if (s.console) {
        host::FinishProgressLine();  // a log line never lands on the progress bar's line
        std::fprintf(stderr, "%s\n", utf8.c_str());
        std::fflush(stderr);
    }
    if (s.file) {
        const PRTime now = PRTime::Now();
        std::fprintf(s.file.get(), "%s %s\n", now.GetStr(nullptr, 0, "%Y-%m-%d %H:%M:%S"),
                     utf8.c_str());
        std::fflush(s.file.get());
    }
    if (s.listener) s.listener(line);
}
}  // namespace

void RTLog(const char* format, ...) {
    va_list args;
    va_start(args, format);
    const std::string line = host::FormatV(format ? format : "", args);
    va_end(args);
    WriteLine(line);
}

void RTLogR(const char* text) {
    WriteLine(text ? text : "");
}

void RTErrorMessage(void* owner, const char* format, ...) {
    va_list args;
    va_start(args, format);
    const std::string text = host::FormatV(format ? format : "", args);
    va_end(args);
    WriteLine(text);
    host::GetInteraction().ErrorMessage(owner, text.c_str());
}

namespace host {

bool SetLogFile(const char* path) {
    LogState& s = State();
    std::lock_guard<std::mutex> lock(s.mutex);
    s.file.reset();
    if (!path || !*path) return true;
    char folder[261];
    StrCpy(folder, path, sizeof folder);
    for (int i = int(std::string(folder).size()) - 1; i >= 0; --i) {
        if (folder[i] == '/') {
            folder[i] = '\0';
            if (i > 0) MakeDirectories(folder);
            break;
        }
    }
    s.file = OpenFile(path, "a");
    return bool(s.file);
}

void SetLogConsole(bool console) {
    LogState& s = State();
    std::lock_guard<std::mutex> lock(s.mutex);
    s.console = console;
}

void SetLogListener(LogListener listener) {
    LogState& s = State();
    std::lock_guard<std::mutex> lock(s.mutex);
    s.listener = std::move(listener);
}

LogCapture::LogCapture() {
    LogState& s = State();
    std::lock_guard<std::mutex> lock(s.mutex);
    previous_ = s.capture;
    s.capture = this;
}

LogCapture::~LogCapture() {
    LogState& s = State();
    std::lock_guard<std::mutex> lock(s.mutex);
    s.capture = previous_;
}

}  // namespace host
