#include "day_outcomes.h"

#include <fcntl.h>
#include <algorithm>
#include <unistd.h>

#include "common/cp1251.h"
#include "common/lasterror.h"
#include "common/osfile.h"
#include "common/timetext.h"
#include "common/unique_handle.h"

namespace host {
namespace {

std::string StateFolder(const std::string& home) {
    return home.empty() || home.back() != '/' ? home + "/State/" : home + "State/";
}

std::string RecordOf(const std::string& home, const std::string& job) {
    return StateFolder(home) + job + ".days";
}

}  // namespace

bool AppendDayOutcome(const std::string& home, const std::string& job, long day,
                      const std::string& failure) {
    if (!MakeDirectories(StateFolder(home).c_str())) return false;
    std::string line =
        DayText(day) + (failure.empty() ? " ok" : " failed: " + Cp1251ToUtf8(failure));
    // One line, whatever the reason held.
    for (char& c : line)
        if (c == '\n' || c == '\r') c = ' ';
    line += '\n';
    // One write of a whole line: appends of two runs do not interleave.
    const UniqueFd fd(::open(OsPath(RecordOf(home, job).c_str()).c_str(),
                             O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644));
    if (!fd || ::write(fd.get(), line.data(), line.size()) != ssize_t(line.size()))
        return SetErrnoError();
    return true;
}

std::map<long, std::string> ReadDayOutcomes(const std::string& home, const std::string& job) {
    std::map<long, std::string> outcomes;
    std::string text;
    if (!ReadWholeFile(RecordOf(home, job).c_str(), text, std::size_t(16) << 20)) return outcomes;
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t eol = std::min(text.find('\n', at), text.size());
        const std::string line = text.substr(at, eol - at);
        at = eol + 1;
        long day = 0;
        if (line.size() < 13 || !ParseDayText(line.substr(0, 10).c_str(), day)) continue;
        if (line.compare(10, std::string::npos, " ok") == 0)
            outcomes[day].clear();
        else if (line.compare(10, 9, " failed: ") == 0 && line.size() > 19)
            outcomes[day] = Utf8ToCp1251Lossy(line.substr(19));
    }
    return outcomes;
}

}  // namespace host
