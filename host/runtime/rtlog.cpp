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

// The lines as UTF-8 onto `out`, each after `prefix`, converted a piece at a
// time: a day's thousands of lines pass through one small buffer rather than
// a copy of them all.
void WriteConverted(std::span<const std::string_view> lines, std::string_view prefix, FILE* out) {
    constexpr std::size_t kPiece = 32 * 1024;
    std::string piece;
    piece.reserve(kPiece + 1024);
    for (std::string_view line : lines) {
        host::AppendCp1251AsUtf8(piece.append(prefix), line).push_back('\n');
        if (piece.size() < kPiece) continue;
        std::fwrite(piece.data(), 1, piece.size(), out);
        piece.clear();
    }
    std::fwrite(piece.data(), 1, piece.size(), out);
    std::fflush(out);
}

// Lines written under one lock with one time stamp, a write a piece to each place;
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
    if (s.console) {
        host::FinishProgressLine();  // a log line never lands on the progress bar's line
        WriteConverted(lines, host::WritesToJournal(2) ? priority : "", stderr);
    }
    if (s.file) WriteConverted(lines, stamp, s.file.get());
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
