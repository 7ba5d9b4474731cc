// A report job as the host describes it to a report module, which writes the
// job's node from it (RTPWriteJobNodeProc, exported by the module beside
// QueryPackageInfo). The host says what a job should do; the module alone knows
// the keys, types and stored forms of its settings and contour set. Plain
// records: texts are zero-terminated cp1251, owned by the host for the call.
#pragma once

#include <cstdint>

class HConfigItem;

extern "C" {

// A flag or a date that a description may leave out: Given 0 writes no key, and
// the job takes the module's default. A text pointer that is null writes none.
struct RTPJobFlag {
    uint8_t Given;
    uint8_t Value;  // 0 or 1
};
struct RTPJobDate {
    uint8_t Given;
    double Value;  // platform date-time (days since 1899-12-30)
};

// The job's settings. Column widths of the settings dialog are the dialog's own
// and not described here.
struct RTPJobSettings {
    const char* Name;     // the stem of the report files' names
    RTPJobFlag LoadCfg;   // the dialog loads CfgFile when it opens
    const char* CfgFile;  // the host configuration file last loaded in the dialog
    RTPJobFlag UseCfg;    // request data with the configuration of CfgDate/CfgTime
    RTPJobDate CfgDate;   // its day
    RTPJobDate CfgTime;   // its time of day
    RTPJobFlag SaveVals;  // keep the requested values on disk ...
    const char* ValPath;  // ... in this folder
    RTPJobFlag SaveBIN;   // the binary report ...
    const char* ReportDir;
    RTPJobFlag SaveTXT;  // the text report ...
    const char* TXTDir;
    RTPJobFlag SaveXLS;  // the spreadsheet ...
    const char* XLSDir;
    const char* XLSTempl;  // ... and its template
    RTPJobFlag Print;
    RTPJobFlag Preview;
    RTPJobFlag PrvManual;
};

// The relay or the apparatus of a contour.
struct RTPJobLine {
    uint8_t Used;
    const char* Sensor;  // at most 50 characters; null: empty
    uint16_t State;      // the state that means "operated"
    uint32_t MaxTime;    // response window, seconds; 0 = the whole excursion
    const char* ONName;  // at most 250 characters each
    const char* OFFName;
};

struct RTPJobContour {
    uint8_t Used;
    const char* Sensor;     // at most 50 characters; null: empty
    uint32_t Interval;      // minimum excursion, seconds
    uint16_t State;         // the sensor's state of an excursion
    const char* StateName;  // at most 250 characters each
    const char* Limit;
    uint8_t ValueType;  // 0 maximum, 1 minimum
    RTPJobLine Rele;
    RTPJobLine Prot;
};

// A command that explains operations of a line: a sample of Variable in State
// at most Seconds before the line operated.
struct RTPJobCommand {
    const char* Line;
    const char* Variable;
    uint16_t State;
    uint32_t Seconds;
};

// A maintenance window [From, To) of a line ("*": every line); the moments as
// "YYYY-MM-DD HH:MM:SS" local time.
struct RTPJobMaintenance {
    const char* Variable;
    const char* From;
    const char* To;
    const char* Note;
};

struct RTPJob {
    int32_t Size;  // sizeof(RTPJob): a module refuses a record of another size
    RTPJobSettings Settings;
    int32_t ContourCount;
    const RTPJobContour* Contours;  // ContourCount of them, in the job's order
    int32_t CommandCount;           // 0 with the next 0: the job has neither list
    const RTPJobCommand* Commands;
    int32_t MaintenanceCount;
    const RTPJobMaintenance* Maintenance;
};

// Writes `job` into `node` (a new, empty job node): its given settings, then its
// contour set. True on success; false, with the reason in the host's last-error
// slot, for a record of another size or a text longer than its field, or when
// the node cannot be written. Nothing is thrown.
using RTPWriteJobNodeProc = bool (*)(HConfigItem* node, const RTPJob* job);
}
