// The keys of a report job's settings, in one table: for each its name, type,
// range, the default the run takes and the one the settings dialog shows where
// the two differ. The run, the settings dialog and the job writer read and
// write a job node only through it. The contour set's keys ("Count", "Item%d"
// and those below) are TW_ContourArray's.
#pragma once

#include <cstdint>
#include <span>
#include <string>

class HConfigCheck;
class HConfigItem;

namespace tripplug {

// In table order, which is also the order in which a job is written.
enum class JobKey : uint8_t {
    Name,
    LoadCfg,
    CfgFile,
    UseCfg,
    CfgDate,
    CfgTime,
    SaveVals,
    ValPath,
    SaveBIN,
    ReportDir,
    SaveTXT,
    TXTDir,
    SaveXLS,
    XLSDir,
    XLSTempl,
    Print,
    Preview,
    PrvManual,
    Sec,  // one key per column of the dialog's contour list
};

// Whose defaults a read takes.
enum class JobSide : uint8_t { Run, Dialog };

struct JobDefault {
    enum Kind : uint8_t {
        NotRead,  // that side never reads the key
        Fixed,    // `flag` or `text`
        Moment,   // a date: the moment the reader is given (the run's start, the dialog's)
        Current,  // an integer: the value the reader is given (a column's width now)
    };
    Kind kind = NotRead;
    bool flag = false;
    const char* text = nullptr;  // cp1251
};

struct JobKeyEntry {
    enum Type : uint8_t { Flag, Integer, Date, Text };
    JobKey key;
    const char* name;  // a format with the column index for Sec ("Sec%d")
    Type type;
    int64_t min = 0, max = 0;  // Integer: the range of a stored value
    // Text: characters the run refuses in the value, and what it expects instead
    // (cp1251); null when any text will do.
    const char* forbidden = nullptr;
    const char* expected = nullptr;
    JobDefault run{};
    // Where it differs from the run's; left NotRead, the run's (the dialog reads
    // every key).
    JobDefault dialog{};
};

// Every key, in table order (entry i is JobKey i).
std::span<const JobKeyEntry> JobKeys();
const JobKeyEntry& Entry(JobKey key);
// The key's name; for Sec the one of list column `column`.
std::string JobKeyName(JobKey key, int column = 0);

// Checked reads (data/configcheck.h) of one job node with one side's defaults:
// a missing key gives the default, a wrong value the default and a record in
// the check. Each read is for a key of its type that the side reads.
class JobReader {
  public:
    JobReader(HConfigItem& node, HConfigCheck& check, JobSide side)
        : node_(node), check_(check), side_(side) {}

    bool Flag(JobKey key);
    // On the run's side a text holding a forbidden character is refused too.
    std::string Text(JobKey key);
    // `moment` is the default of a date.
    double Date(JobKey key, double moment);
    // "Sec%d" of list column `column`; `current` is its default.
    int32_t ColumnWidth(int column, int32_t current);

  private:
    const JobDefault& Default(JobKey key) const;
    HConfigItem& node_;
    HConfigCheck& check_;
    JobSide side_;
};

// Writes of a key of that type; they never fail.
void WriteFlag(HConfigItem& node, JobKey key, bool value);
void WriteText(HConfigItem& node, JobKey key, const char* value);
void WriteDate(HConfigItem& node, JobKey key, double value);
void WriteColumnWidth(HConfigItem& node, int column, int32_t width);

}  // namespace tripplug
