// The host log: one line per event. Lines are cp1251 texts; the log writes them
// as UTF-8 to the console (standard error) and, when a log file is set, to the
// file with a time stamp. When the console is a service's journal, each line
// there starts with its priority: "<3>" for an error message, "<6>" for the
// rest. Tests install a capture to see the exact lines.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

// One formatted line appended to the host log (printf rules, cp1251).
void RTLog(const char* format, ...) __attribute__((format(printf, 1, 2)));
// The same for a ready text.
void RTLogR(const char* text);
// Several ready lines, each ended by a newline (the last one may lack it),
// logged under one time stamp and written together: a day's worth of events
// costs a write every 32 KB, not one a line.
void RTLogLines(std::string_view lines);
// A modal error message box over `owner` (through the host's interaction
// interface); returns after it is closed. The text is also logged.
void RTErrorMessage(void* owner, const char* format, ...) __attribute__((format(printf, 2, 3)));

namespace host {

// Where log lines go. The file gets "YYYY-MM-DD HH:MM:SS text"; the console the
// text alone (off when `console` is false). An empty path closes the file.
// Returns false (last error set) when the file cannot be opened for appending.
bool SetLogFile(const char* path);
void SetLogConsole(bool console);

// While alive, every log line (cp1251, as logged) is also kept in `lines`.
class LogCapture {
  public:
    LogCapture();
    ~LogCapture();
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;
    std::vector<std::string> lines;

  private:
    LogCapture* previous_;
};

// A listener that sees every line as it is logged (e.g. a log window).
using LogListener = std::function<void(std::string_view cp1251Line)>;
void SetLogListener(LogListener listener);

}  // namespace host
