// TW_File: one report, a header (period, moment of computation, configuration,
// file name, spreadsheet template) and the ordered incident rows it owns by value
// (TW_ContourLine, 1880 bytes each). It is saved as a compressed ".twr" file and
// read back whole or by its header only. The response times of its incidents,
// when it has them, travel beside it in a file of their own (tw_times.h).
// Operations return false (or 0) on failure and leave the reason in the host's
// last-error slot.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "common/basearray.h"
#include "common/prtime.h"
#include "common/statstring.h"
#include "report/xls/workbook.h"
#include "tw_contourline.h"
#include "tw_times.h"

class HDBDatabase;
class HHourFile;
class TW_ContourArray;
class TW_FillReporter;
class TTW_DataModule;

// The first four bytes of a report file, "TWW" and 0x01, read as one number.
inline constexpr uint32_t TW_FileMagic = 0x01575754;
// The record size written into a report file.
inline constexpr uint32_t TW_RecordSize = sizeof(TW_ContourLine);
// Bytes of the file header: magic, record size, Start, End, RunTime, item count.
inline constexpr int TW_HeaderSize = 48;

class TW_File : public MyRefArray<TW_ContourLine> {
  public:
    // An empty report: no items, zero times, empty names, no configuration.
    TW_File();
    // Destroys the data module, if any, and every item.
    ~TW_File() override;
    TW_File(const TW_File&) = delete;
    TW_File& operator=(const TW_File&) = delete;

    // Remove every item (or one), and with it the response times.
    void DeleteAll() override;
    void DeleteNum(int index) override;

    // Creates the layout data module when there is none (the layout module
    // defines it, together with ExportToXLS, Preview and Print).
    void CreateData();

    // MakeFileName(FileName, base, ext); base and ext are kept for Save, which
    // moves on to the next free name when this one is taken meanwhile.
    void MakeFileName(const char* base, const char* ext);
    // The first unused name: base, " DD-MM-YYYY HH_MM-HH_MM" of Start (date, time)
    // and End (time), "." and ext (null = "twr"); " (1)", " (2)", ... before the
    // extension while the name is taken. Nothing is created: the writers publish
    // the finished file under the name without replacing any file. A long base
    // gives way to the period, the counter and the extension: the name stays
    // within 260 characters and the file's own name within the file system's 255
    // bytes.
    void MakeFileName(StatString<261>& out, const char* base, const char* ext);

    // Writes the report to FileName (DOSave). On failure no file is left under
    // FileName that was not there before, and the error number of the failed
    // step stays in the last-error slot. An empty report writes no file and
    // returns true.
    bool Save();
    // The writing step of Save: a hidden temporary file beside FileName, which
    // takes the name when complete. A FileName from MakeFileName replaces no file:
    // when taken meanwhile, the next free name is used and FileName follows it.
    // Any other FileName is replaced. The temporary file is removed on failure.
    bool DOSave();

    // Reads the header of a report file into Start, End and RunTime and returns
    // the stored item count; 0 on any failure (last error set, also for a file
    // that ends early) and for a sound header with the count 0 (last error
    // clear). Items and FileName are not touched. Only regular files are read.
    int32_t LoadHeader(const char* path);
    // Replaces header and items by those of the file and sets FileName to path.
    // False on failure (last error set); a failure after the header leaves no
    // items. A count whose items would take more than four times the bytes of
    // the stream is refused before any item is read; memory grows only with the
    // items actually read. The times file beside it (TW_TimesFileName) fills
    // Times; without one Times stays empty, and one that cannot be read or was
    // measured for another report leaves Times empty with the reason in
    // TimesProblem; the load itself still succeeds.
    bool Load(const char* path);

    // Writes Times into the times file beside FileName (TW_TimesFileName),
    // replacing a file of that name; `written`, when given, receives its name.
    // Nothing is written, and the result is true with an empty name, when the
    // report has no items or its Times are not one per item. False (last error
    // set) when the file cannot be written; no partial file is left.
    bool SaveTimes(StatString<261>* written = nullptr) const;

    // The response times of item `index`, or null when the report has none.
    const TW_IncidentTimes* TimesOf(int index) const {
        if (Times.size() != std::size_t(Count()) || index < 0 || index >= Count()) return nullptr;
        return &Times[std::size_t(index)];
    }

    // Replaces the items by the incidents of the hour data for the used contours,
    // with its progress, log lines and run notes through `reporter` (not owned).
    // True when every used contour was processed; false (last error set: a
    // missing variable, no data, or 1223 when the user aborted) with the rows
    // found before the failure.
    bool Fill(HHourFile& hourFile, TW_ContourArray& contours, TW_FillReporter& reporter);
    // The same through the host's services (TW_HostFillReporter).
    bool Fill(HHourFile& hourFile, TW_ContourArray& contours);

    // Writes the report as a text file named by MakeFileName(base, "txt"); a null
    // base means the folder of FileName. False (last error set) when the file
    // cannot be created, written or closed; no file is left under its name then.
    // `written`, when given, receives the name written or attempted.
    bool ExportToText(const char* base, StatString<261>* written = nullptr);

    // The layout module (tw_datamodule.h, tw_fileexport.cpp) defines these.
    // Writes the report as an Excel 97-2003 workbook named by
    // MakeFileName(base, "xls") (a null base means the folder of FileName), with
    // the spreadsheet template above it. False (last error set) when the file
    // cannot be written; no file is left under its name then. `written`, when
    // given, receives the name written or attempted.
    bool ExportToXLS(const char* base, StatString<261>* written = nullptr);
    // Shows the report in the print preview (without a display: writes a PDF file
    // and logs its path). False (last error set) when it cannot.
    bool Preview();
    // Prints the report through the print dialog. False (last error set) when it
    // cannot; a cancelled dialog is not a failure.
    bool Print();

    TTW_DataModule* DataModule = nullptr;  // owned; created by CreateData
    PRTime Start;                          // start of the report period
    PRTime End;                            // end of the report period
    PRTime RunTime;                        // when the report was computed
    StatString<261> FileName;              // full path of the report file
    StatString<261> Template;              // spreadsheet template path
    // Sheets ExportToXLS writes after the report's own (e.g. the statistics).
    std::vector<host::xls::Sheet> ExtraSheets;
    HDBDatabase* Config = nullptr;  // configuration of the report; not owned, may be null
    // Response times, one per item in item order (Fill and Load keep them so);
    // empty when the report has none. Items appended otherwise are without
    // times: TimesOf then gives null for every item.
    std::vector<TW_IncidentTimes> Times;
    // Why the last Load took no times from a times file that was there (cp1251,
    // without the path); empty otherwise.
    std::string TimesProblem;

  protected:
    // Set by CreateData together with DataModule: destroys the data module.
    void (*DataModuleDeleter)(TTW_DataModule*) = nullptr;

  private:
    // Reads the times file beside FileName into Times (see Load).
    void LoadTimes();

    // Fills a temporary file (its file-system name) with the content of the file
    // `name`; false (last error set) on failure.
    using FileWriter = std::function<bool(const std::string& osTemp, const char* name)>;
    // Writes a new file under the first free name of MakeFileName, into `out`:
    // `write` fills a temporary file beside it, which then takes the name without
    // replacing a file; a name taken meanwhile gives way to the next. False (last
    // error set) on failure, with no file left.
    bool WriteNewFile(StatString<261>& out, const char* base, const char* ext,
                      const FileWriter& write);
    // Sets `out` to the first name of MakeFileName that is free, from counter
    // `from` on, and returns its counter; -1 when there is none.
    int FreeName(StatString<261>& out, const char* base, const char* ext, int from) const;

    // The name that MakeFileName(base, ext) gave FileName, with its base and
    // extension; reserved_ is empty when FileName was set otherwise.
    StatString<261> reserved_;
    std::string reservedBase_;
    std::optional<std::string> reservedExt_;
};
