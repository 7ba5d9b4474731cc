// The report engine's layout model: a report (HCustomReport, HReport) holds
// bands; a band holds the columns of its item rows, its item count and its
// headers; a header is a band whose single row is printed at the top of pages
// (or at the bottom, AtBottom) instead of once per item. Cell texts are pulled
// through handlers while the report is laid out: the report's named values, the
// band's item cells, and a column's own handler for header cells such as a page
// number.
//
// Objects own their children (collections hold them by unique_ptr); pointers
// returned by GetItem and Add stay valid until the collection is destroyed.
// Texts are cp1251.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "report/report_pages.h"
#include "report/report_types.h"
#include "report/xls/workbook.h"

class HCustomReport;
class HCustomReportBand;
class HCustomReportColumn;

// One column of a row: its geometry, look and current text.
class HCustomReportColumn {
  public:
    explicit HCustomReportColumn(HCustomReportBand* band, int index) : band_(band), index_(index) {}

    double Width = 0;  // read by WidthKind
    HReportWidthKind WidthKind = hrwDefault;
    double Height = 0;  // minimum height of the row, read by HeightUnit; 0 = none
    HReportHeightUnit HeightUnit = hrmMillimetres;
    HReportAlignment Alignment = hraLeft;
    bool WordWrap = false;  // break lines at spaces to fit the width ("\n" always breaks)
    unsigned Bounds = 0;    // HReportBound set
    HReportFont Font;

    // Called each time this column's cell is produced (after the band's item
    // handler, for item rows); the handler sets the text with SetText.
    std::function<void(HCustomReportColumn& column)> OnGetItemValue;

    // Sets the text; the cell is a text again (SetText clears a value).
    void SetText(const char* text) {
        text_ = text ? text : "";
        value_ = {};
    }
    void SetText(std::string text) {
        text_ = std::move(text);
        value_ = {};
    }
    const std::string& GetText() const { return text_; }
    // How a spreadsheet holds the cell, beside its text: call after SetText.
    // `format` is the spreadsheet's display format (empty: general).
    void SetNumber(double value, std::string format = {}) {
        value_ = {HReportValue::Number, value, std::move(format)};
    }
    void SetDateTime(double platformDateTime, std::string format) {
        value_ = {HReportValue::DateTime, platformDateTime, std::move(format)};
    }
    void SetValue(HReportValue value) { value_ = std::move(value); }
    const HReportValue& GetValue() const { return value_; }
    // Position of the column within its row, from 0.
    int GetIndex() const { return index_; }
    HCustomReportBand* GetBand() const { return band_; }

  private:
    HCustomReportBand* band_;
    int index_;
    std::string text_;
    HReportValue value_;
};

// The columns of one row, in order.
class HCustomReportColumns {
  public:
    explicit HCustomReportColumns(HCustomReportBand* band) : band_(band) {}
    // The column at `index`, or null when there is none.
    HCustomReportColumn* GetItem(int index) const;
    int Count() const { return int(items_.size()); }
    // Appends a column and returns it.
    HCustomReportColumn* Add();

  private:
    HCustomReportBand* band_;
    std::vector<std::unique_ptr<HCustomReportColumn>> items_;
};

// An ordered collection of bands, or of one band's headers.
class HCustomReportBands {
  public:
    explicit HCustomReportBands(HCustomReport* report) : report_(report) {}
    ~HCustomReportBands();
    // The band (or header) at `index`, or null when there is none.
    HCustomReportBand* GetItem(int index) const;
    int Count() const { return int(items_.size()); }
    // Appends a band and returns it.
    HCustomReportBand* Add();

  private:
    HCustomReport* report_;
    std::vector<std::unique_ptr<HCustomReportBand>> items_;
};

class HCustomReportBand {
  public:
    HCustomReportBand(HCustomReport* report, int index);

    HCustomReportColumns Columns;
    HCustomReportBands Headers;  // rows printed on pages of this band; empty for a header

    // Placement of a header: AtRegularPage false prints it on the band's first
    // page only (true: on every page); AtBottom puts it at the foot of the page
    // (a page footer) instead of above the item rows.
    bool AtRegularPage = true;
    bool AtBottom = false;

    // Called for every column of every item row before the row is measured; the
    // handler sets the column's text with SetText. Each row starts from the
    // texts the columns had when the layout began.
    std::function<void(int item, HCustomReportColumn& column)> OnGetItemValue;

    void SetItemsCount(int count) { itemsCount_ = count < 0 ? 0 : count; }
    int GetItemsCount() const { return itemsCount_; }
    int GetIndex() const { return index_; }
    HCustomReport* GetReport() const { return report_; }

  private:
    HCustomReport* report_;
    int index_;
    int itemsCount_ = 0;
};

// The report engine. Failures return false and leave the reason in the host's
// last-error slot.
class HCustomReport {
  public:
    HCustomReport();
    virtual ~HCustomReport();
    HCustomReport(const HCustomReport&) = delete;
    HCustomReport& operator=(const HCustomReport&) = delete;

    int Tag = 0;
    HReportPageSize Page;
    HReportPageCel PageCel;
    unsigned Options = 0;  // HReportOption set
    std::string PrinterTitle = "HReport printing...";
    HCustomReportBands Bands;

    // Asked for every named value a spreadsheet template refers to. `value`
    // comes in as the marker itself; a handler that does not know the name
    // leaves it, so the template keeps the marker as typed.
    std::function<void(const char* name, std::string& value)> OnGetNamedValue;

    // The spreadsheet template of Export (".xls"); relative paths are taken from
    // the start folder; empty = none.
    void SetTemplate(const std::string& path) { template_ = path; }
    const std::string& GetTemplate() const { return template_; }

    // Sheets that Export writes after the report's own; their names must differ
    // from the report's ("Отчет", "Отчет (2)", ...). Empty = none.
    std::vector<host::xls::Sheet> ExtraSheets;

    // Lays the report out into pages, pulling every text through the handlers.
    HReportDocument Layout();
    // Lays the report out as one endless page per band, for a spreadsheet: the
    // band's headers once at the top, every item row, then its footers once,
    // pulled with the page number and count stand-ins of report_pages.h.
    HReportDocument LayoutContinuous();
    // The same, with each item row handed to `onItem` as it is laid out instead
    // of kept in the document, so that a report of any length is never held.
    HReportDocument LayoutContinuous(const std::function<void(HReportRow&&)>& onItem);

    // Writes the report as an Excel 97-2003 workbook (the template's first sheet
    // above it, when there is one; the sheet's form is described in
    // report/report_xls.h). False (last error set) when the file cannot be
    // written.
    bool Export(const char* fileName);
    // Shows the pages in the print preview (without a display: writes them to a
    // PDF file and logs its path). False (last error set) when it cannot.
    bool Preview();
    // Prints the pages through the print dialog. False (last error set) when the
    // pages cannot be printed; a cancelled dialog is not a failure.
    bool Print();
    // Writes the pages as a PDF file. False (last error set) when it cannot.
    bool ExportPdf(const char* fileName);

    // Pages of the layout being produced (or last produced); 0 before any.
    int GetPagesCount() const { return pagesCount_; }
    // Index of the page being produced, from 0.
    int GetCurrentPage() const { return currentPage_; }

  private:
    friend class HReportPaginator;
    std::string template_;
    int pagesCount_ = 0;
    int currentPage_ = 0;
};

class HReport : public HCustomReport {};
