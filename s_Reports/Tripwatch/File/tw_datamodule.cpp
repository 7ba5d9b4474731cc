#include "tw_datamodule.h"

#include <ctime>

#include "common/cp1251.h"
#include "common/prtime.h"
#include "common/strutil.h"
#include "plantdb/dbdatabase.h"
#include "tw_fieldtext.h"
#include "tw_file.h"

using namespace host::literals;

namespace {

// One column as the form's resource describes it; unset properties keep the
// engine's defaults ("MS Sans Serif", height -11, regular, left, no wrap).
struct ColumnDef {
    double Width = 0;
    HReportWidthKind WidthKind = hrwDefault;
    HReportAlignment Alignment = hraLeft;
    bool WordWrap = false;
    unsigned Bounds = 0;
    const char* Text = "";
    int FontHeight = -11;
    bool Bold = false;
    double Height = 0;
    HReportHeightUnit HeightUnit = hrmMillimetres;
};

constexpr unsigned L = hrbLeft, T = hrbTop, R = hrbRight, B = hrbBottom;

// How a spreadsheet shows the incident's moments (with their date, so that a
// report of many days sorts and filters by them) and its value ("%3.3lf").
constexpr const char* kMomentFormat = "dd.mm.yyyy hh:mm:ss";
constexpr const char* kValueFormat = "0.000";

// A moment as a spreadsheet's date-time; a moment that was never set stays text.
void SetMoment(HCustomReportColumn& column, const PRTime& moment) {
    if (!moment.IsZero()) column.SetDateTime(moment.GetDateTime(), kMomentFormat);
}

// Band 0: one row per incident.
const ColumnDef kBand0Columns[] = {
    {.Width = 15, .WordWrap = true, .Bounds = L | R | B},   // 0 ObjectName
    {.Width = 5, .Alignment = hraCenter, .Bounds = R | B},  // 1 Start
    {.Width = 5, .Alignment = hraCenter, .Bounds = R | B},  // 2 End
    {.Width = 5, .Alignment = hraCenter, .Bounds = R | B},  // 3 Value
    {.Width = 10, .WordWrap = true, .Bounds = R | B},       // 4 SensorPlace
    {.Width = 8, .Bounds = R | B},                          // 5 Sensor
    {.Width = 5, .WordWrap = true, .Bounds = R | B},        // 6 Limit
    {.Width = 5, .WordWrap = true, .Bounds = R | B},        // 7 StateName
    {.Width = 5, .Bounds = R | B},                          // 8 Rele.Sensor
    {.Width = 7, .WordWrap = true, .Bounds = R | B},        // 9 relay outcome
    {.Width = 10, .WordWrap = true, .Bounds = R | B},       // 10 ProtObjectName
    {.Width = 5, .Bounds = R | B},                          // 11 Prot.Sensor
    {.Width = 5, .Bounds = R | B},                          // 12 apparatus outcome
    {.Width = 10, .Bounds = R | B, .Height = 2, .HeightUnit = hrmCharacters},  // 13 note
};

// Header 0: the title row.
const ColumnDef kHeader0[] = {
    {.Width = 60,
     .WidthKind = hrwAuto,
     .Text = "Срабатывание автоматической защиты"_cp,
     .FontHeight = -16,
     .Bold = true},
    {.Width = 200, .WidthKind = hrwValue, .Bounds = L | T, .Text = "A"},
    {.Width = 200, .WidthKind = hrwValue, .Bounds = L | T | R, .Text = "B"},
};

// Header 1: group captions.
const ColumnDef kHeader1[] = {
    {.Width = 15,
     .Alignment = hraCenter,
     .Bounds = L | T | R,
     .Text = "Объект контроля"_cp,
     .Bold = true},
    {.Width = 43, .Alignment = hraCenter, .Bounds = T | R | B, .Text = "Датчик"_cp, .Bold = true},
    {.Width = 12,
     .Alignment = hraCenter,
     .Bounds = T | R | B,
     .Text = "Выходное реле"_cp,
     .Bold = true},
    {.Width = 20,
     .Alignment = hraCenter,
     .Bounds = T | R | B,
     .Text = "Защищаемый аппарат"_cp,
     .Bold = true},
    {.Width = 10, .Alignment = hraCenter, .Bounds = T | R, .Text = "Примечание"_cp, .Bold = true},
};

// Header 2: captions under the groups ("cостоян." begins with a Latin c).
const ColumnDef kHeader2[] = {
    {.Width = 15, .Alignment = hraCenter, .Bounds = L | R, .Bold = true},
    {.Width = 15, .Alignment = hraCenter, .Bounds = R | B, .Text = "значение"_cp, .Bold = true},
    {.Width = 10, .Alignment = hraCenter, .Bounds = R, .Text = "место (объект)"_cp, .Bold = true},
    {.Width = 8, .Alignment = hraCenter, .Bounds = R, .Text = "наимен."_cp, .Bold = true},
    {.Width = 5, .Alignment = hraCenter, .Bounds = R, .Text = "порог"_cp, .Bold = true},
    {.Width = 5, .Alignment = hraCenter, .Bounds = R, .Text = "событие"_cp, .Bold = true},
    {.Width = 5, .Alignment = hraCenter, .Bounds = R, .Text = "наимен."_cp, .Bold = true},
    {.Width = 7, .Alignment = hraCenter, .Bounds = R, .Text = "cостоян."_cp, .Bold = true},
    {.Width = 10, .Alignment = hraCenter, .Bounds = R, .Text = "место (объект)"_cp, .Bold = true},
    {.Width = 5, .Alignment = hraCenter, .Bounds = R, .Text = "наимен."_cp, .Bold = true},
    {.Width = 5, .Alignment = hraCenter, .Bounds = R, .Text = "состоян."_cp, .Bold = true},
    {.Width = 10, .Bounds = R},
};

// Header 3: captions of the three value columns.
const ColumnDef kHeader3[] = {
    {.Width = 15, .Bounds = L | R | B},
    {.Width = 5, .Alignment = hraCenter, .Bounds = R | B, .Text = "начало"_cp, .Bold = true},
    {.Width = 5, .Alignment = hraCenter, .Bounds = R | B, .Text = "оконч."_cp, .Bold = true},
    {.Width = 5, .Alignment = hraCenter, .Bounds = R | B, .Text = "макс."_cp, .Bold = true},
    {.Width = 10, .Bounds = R | B},
    {.Width = 8, .Bounds = R | B},
    {.Width = 5, .Bounds = R | B},
    {.Width = 5, .Bounds = R | B},
    {.Width = 5, .Bounds = R | B},
    {.Width = 7, .Bounds = R | B},
    {.Width = 10, .Bounds = R | B},
    {.Width = 5, .Bounds = R | B},
    {.Width = 5, .Bounds = R | B},
    {.Width = 10, .Bounds = R | B},
};

// Header 4: the page footer (AtRegularPage, AtBottom).
const ColumnDef kHeader4[] = {
    {.Width = 90, .Bounds = T},
    {.Width = 10, .Alignment = hraRight, .Bounds = T, .Text = "Страница"_cp},
};

template <std::size_t N>
void AddColumns(HCustomReportColumns& columns, const ColumnDef (&defs)[N]) {
    for (const ColumnDef& d : defs) {
        HCustomReportColumn* c = columns.Add();
        c->Width = d.Width;
        c->WidthKind = d.WidthKind;
        c->Alignment = d.Alignment;
        c->WordWrap = d.WordWrap;
        c->Bounds = d.Bounds;
        c->SetText(d.Text);
        c->Font.Height = d.FontHeight;
        c->Font.Bold = d.Bold;
        c->Height = d.Height;
        c->HeightUnit = d.HeightUnit;
    }
}

template <std::size_t N>
HCustomReportBand* AddHeader(HCustomReportBand& band, const ColumnDef (&defs)[N]) {
    HCustomReportBand* header = band.Headers.Add();
    AddColumns(header->Columns, defs);
    return header;
}

}  // namespace

TTW_DataModule::TTW_DataModule() {
    // object TW_DataModule.report: HReport
    report.Tag = 2;
    report.Page.Orientation = poLandscape;
    report.Page.PageWidth = 210;
    report.Page.PageHeight = 297;
    report.Options = hrfPreviewFullscreen;
    report.PageCel.Bounds = 0;
    report.PageCel.MarginLeft = 5;
    report.PageCel.MarginTop = 20;
    report.PageCel.MarginRight = 5;
    report.PageCel.MarginBottom = 5;
    report.PrinterTitle = "HReport printing...";
    report.OnGetNamedValue = [this](const char* name, std::string& value) {
        reportGetNamedValue(name, value);
    };

    HCustomReportBand* band = report.Bands.Add();
    band->SetItemsCount(10);
    AddColumns(band->Columns, kBand0Columns);
    band->OnGetItemValue = [this](int item, HCustomReportColumn& column) {
        reportBands0GetItemValue(item, column);
    };
    AddHeader(*band, kHeader0);
    AddHeader(*band, kHeader1);
    AddHeader(*band, kHeader2);
    AddHeader(*band, kHeader3);
    HCustomReportBand* footer = AddHeader(*band, kHeader4);
    footer->AtRegularPage = true;
    footer->AtBottom = true;
    footer->Columns.GetItem(1)->OnGetItemValue = [this](HCustomReportColumn& column) {
        reportBands0Headers4Columns1GetItemValue(column);
    };
}

TTW_DataModule::~TTW_DataModule() = default;

void TTW_DataModule::Prepare(TW_File* file) {
    File = file;
    PRTime printed;
    printed.Set(time(nullptr));
    report.SetTemplate(file->Template.c_str());
    HCustomReportBand* band = report.Bands.GetItem(0);
    band->SetItemsCount(file->Count());
    HCustomReportBand* title = band->Headers.GetItem(0);
    title->Columns.GetItem(1)->SetText(
        Message("Дата создания: %s\nДата печати: %s"_cp, file->RunTime.GetStr(), printed.GetStr()));
    title->Columns.GetItem(2)->SetText(
        Message("Начало: %s\nКонец: %s"_cp, file->Start.GetStr(), file->End.GetStr()));
}

void TTW_DataModule::reportGetNamedValue(const char* name, std::string& value) {
    if (!File || !name) return;
    const std::string n = name;
    if (n == "RunDateTime") {
        value = File->RunTime.GetStr();
    } else if (n == "Start") {
        value = File->Start.GetStr();
    } else if (n == "End") {
        value = File->End.GetStr();
    } else if (n == "CFGId") {
        value = File->Config ? host::Format("%08X", File->Config->ConfigId) : "<неизвестно>"_cp;
    } else if (n == "CFGTime") {
        value = File->Config ? File->Config->ConfigTime.GetStr() : "<неизвестно>"_cp;
    }
}

void TTW_DataModule::reportBands0GetItemValue(int item, HCustomReportColumn& column) {
    const TW_ContourLine* line = File ? File->ItemINT(item) : nullptr;
    if (!line) return;
    const TW_Contour& c = line->Contour;
    switch (column.GetIndex()) {
        case 0:
            column.SetText(TW_FieldText(line->ObjectName));
            break;
        case 1:
            column.SetText(line->Start.GetStr(nullptr, 0, "%H:%M:%S"));
            SetMoment(column, line->Start);
            break;
        case 2:
            column.SetText(line->End.GetStr(nullptr, 0, "%H:%M:%S"));
            SetMoment(column, line->End);
            break;
        case 3:
            column.SetText(host::Format("%3.3lf", line->Value));
            column.SetNumber(line->Value, kValueFormat);
            break;
        case 4:
            column.SetText(TW_FieldText(line->SensorPlace));
            break;
        case 5:
            column.SetText(TW_FieldText(c.Sensor));
            break;
        case 6:
            column.SetText(TW_FieldText(c.Limit));
            break;
        case 7:
            column.SetText(TW_FieldText(c.StateName));
            break;
        case 8:
            if (c.Rele.Used) column.SetText(TW_FieldText(c.Rele.Sensor));
            break;
        case 9:
            if (c.Rele.Used)
                column.SetText(
                    TW_FieldText(line->ReleResult == TW_Operated ? c.Rele.ONName : c.Rele.OFFName));
            break;
        case 10:
            if (c.Prot.Used) column.SetText(TW_FieldText(line->ProtObjectName));
            break;
        case 11:
            if (c.Prot.Used) column.SetText(TW_FieldText(c.Prot.Sensor));
            break;
        case 12:
            if (c.Prot.Used)
                column.SetText(
                    TW_FieldText(line->ProtResult == TW_Operated ? c.Prot.ONName : c.Prot.OFFName));
            break;
        default:
            break;  // 13: the note column stays blank
    }
}

void TTW_DataModule::reportBands0Headers4Columns1GetItemValue(HCustomReportColumn& column) {
    column.SetText(
        Message("Страница: %d/%d"_cp, report.GetCurrentPage() + 1, report.GetPagesCount()));
}
