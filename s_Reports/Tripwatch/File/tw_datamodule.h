// TTW_DataModule: the layout of a report (TW_File) for the report engine, and
// the handlers that fill its cells. The report creates it on first use
// (CreateData) and owns it; Prepare runs before every export, preview or print.
#pragma once

#include <string>

#include "report/report_layout.h"

class TW_File;

class TTW_DataModule {
  public:
    // Builds `report` with the layout of the incident report (the form's resource).
    TTW_DataModule();
    virtual ~TTW_DataModule();
    TTW_DataModule(const TTW_DataModule&) = delete;
    TTW_DataModule& operator=(const TTW_DataModule&) = delete;

    HReport report;
    TW_File* File = nullptr;  // the report being produced; not owned

    // Points the layout at `file`: template, item count, the creation and print
    // dates and the period in the title row.
    void Prepare(TW_File* file);

    // Named values of the spreadsheet template: RunDateTime, Start, End, CFGId,
    // CFGTime; any other name leaves `value` unchanged.
    void reportGetNamedValue(const char* name, std::string& value);
    // The cells of incident row `item`; the start, end and value are also given
    // as a date-time and a number for the spreadsheet. An index outside the
    // report sets nothing.
    void reportBands0GetItemValue(int item, HCustomReportColumn& column);
    // The page footer: "Страница: n/N".
    void reportBands0Headers4Columns1GetItemValue(HCustomReportColumn& column);
};
