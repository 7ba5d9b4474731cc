#include "rtlog.h"

#include <algorithm>
#include <cstdarg>
#include <span>
#include <string_view>
#include <vector>
#include <cstdio>
#include <ctime>
#include <mutex>

#include "common/cp1251.h"
#include "common/osfile.h"
#include "common/prtime.h"
#include "common/strutil.h"
#include "interaction.h"
#include "journal.h"
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

// Lines written under one lock with one time stamp, one write to each place;
// on the console each with the journal's `priority` when a service's journal
// is the console.
void WriteLines(std::span<const std::string_view> lines,
                const char* priority = host::kJournalInfo) {
    LogState& s = State();
    std::lock_guard<std::mutex> lock(s.mutex);
    for (std::string_view line : lines) {
        if (s.capture) s.capture->lines.emplace_back(line);
        if (s.listener) s.listener(line);
    }
    const std::string stamp =
        s.file ? std::string(PRTime::Now().GetStr(nullptr, 0, "%Y-%m-%d %H:%M:%S")) + ' ' : "";
    std::string console, file;
    const char* prefix = s.console && host::WritesToJournal(2) ? priority : "";
    for (std::string_view line : lines) {
        if (s.console) host::AppendCp1251AsUtf8(console.append(prefix), line).push_back('\n');
        if (s.file) host::AppendCp1251AsUtf8(file.append(stamp), line).push_back('\n');
    }
    if (s.console) {
        host::FinishProgressLine();  // a log line never lands on the progress bar's line
        std::fwrite(console.data(), 1, console.size(), stderr);
        std::fflush(stderr);
    }
    if (s.file) {
        std::fwrite(file.data(), 1, file.size(), s.file.get());
        std::fflush(s.file.get());
    }
}

void WriteLine(std::string_view line, const char* priority = host::kJournalInfo) {
    WriteLines(std::span<const std::string_view>(&line, 1), priority);
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

void RTLogLines(std::string_view lines) {
    std::vector<std::string_view> each;
    for (std::size_t from = 0; from < lines.size();) {
        const std::size_t eol = std::min(lines.find('\n', from), lines.size());
        each.push_back(lines.substr(from, eol - from));
        from = eol + 1;
    }
    if (!each.empty()) WriteLines(each);
}

void RTErrorMessage(void* owner, const char* format, ...) {
    va_list args;
    va_start(args, format);
    const std::string text = host::FormatV(format ? format : "", args);
    va_end(args);
    WriteLine(text, host::kJournalError);
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
