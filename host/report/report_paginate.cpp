// HCustomReport::Layout: lays the bands' rows out on pages.
//
// For each band, in order: the headers that are not AtBottom are placed at the
// top of each page (those with AtRegularPage false on the band's first page
// only), the item rows follow while they fit above the page's footers (the
// AtBottom headers), and the footers are placed at the bottom of each page.
// A row taller than a whole page gets a page of its own and is clipped there.
// Header heights are measured once, from the texts the headers have when the
// layout begins; the texts pulled for each page (a page number, say) are fitted
// into those heights. The footers are filled after all pages are known, so that
// they can show the page count.
//
// The continuous layout (for a spreadsheet) never breaks a page: each band is
// one page of its headers, all its items and its footers below them, and the
// footers are pulled with the page number and count stand-ins.
#include <algorithm>

#include "report/report_layout.h"
#include "report/report_pages.h"
#include "report/report_text.h"

using namespace host::report;

namespace {

// Horizontal places of the columns of one row.
struct ColumnPlace {
    double left = 0;
    double width = 0;
};

std::vector<ColumnPlace> PlaceColumns(const HCustomReportColumns& cols, double left, double width) {
    const double kPointMm = 25.4 / 72.0;
    std::vector<ColumnPlace> places(std::size_t(cols.Count()));
    double used = 0, autoWeight = 0;
    for (int i = 0; i < cols.Count(); ++i) {
        const HCustomReportColumn* c = cols.GetItem(i);
        double w = 0;
        switch (c->WidthKind) {
            case hrwDefault:
                w = width * c->Width / 100.0;
                break;
            case hrwValue:
                w = c->Width * kPointMm;
                break;
            case hrwAuto:
                autoWeight += std::max(0.0, c->Width);
                break;
        }
        places[std::size_t(i)].width = std::max(0.0, w);
        used += places[std::size_t(i)].width;
    }
    const double rest = std::max(0.0, width - used);
    double x = left;
    for (int i = 0; i < cols.Count(); ++i) {
        const HCustomReportColumn* c = cols.GetItem(i);
        ColumnPlace& p = places[std::size_t(i)];
        if (c->WidthKind == hrwAuto) {
            const double weight = std::max(0.0, c->Width);
            p.width = autoWeight > 0 ? rest * weight / autoWeight : 0;
        }
        p.left = x;
        x += p.width;
    }
    return places;
}

double MinHeight(const HCustomReportColumn& c) {
    if (c.Height <= 0) return 0;
    return c.HeightUnit == hrmCharacters ? c.Height * LineHeightMm(c.Font) : c.Height;
}

// The cells of one row from the columns' current texts, and the row's height.
double MakeCells(const HCustomReportColumns& cols, const std::vector<ColumnPlace>& places,
                 std::vector<HReportCell>& cells) {
    cells.clear();
    cells.reserve(std::size_t(cols.Count()));
    double height = 0;
    for (int i = 0; i < cols.Count(); ++i) {
        const HCustomReportColumn* c = cols.GetItem(i);
        const ColumnPlace& p = places[std::size_t(i)];
        HReportCell cell;
        cell.Left = p.left;
        cell.Width = p.width;
        cell.Text = c->GetText();
        cell.Font = c->Font;
        cell.Alignment = c->Alignment;
        cell.WordWrap = c->WordWrap;
        cell.Bounds = c->Bounds;
        cell.Value = c->GetValue();
        cell.MinHeight = MinHeight(*c);
        const int lines =
            CountLines(cell.Text, cell.Font, p.width - 2 * kCellPaddingX, cell.WordWrap);
        const double h = std::max(lines * LineHeightMm(cell.Font), cell.MinHeight);
        height = std::max(height, h);
        cells.push_back(std::move(cell));
    }
    if (height <= 0 && cols.Count() > 0) {
        // A row of empty cells is one line of its first font high.
        height = LineHeightMm(cols.GetItem(0)->Font);
    }
    return height + 2 * kCellPaddingY;
}

// Calls the column handlers of a header (a page number, say).
void PullHeader(HCustomReportBand& header) {
    for (int i = 0; i < header.Columns.Count(); ++i) {
        HCustomReportColumn* c = header.Columns.GetItem(i);
        if (c->OnGetItemValue) c->OnGetItemValue(*c);
    }
}

struct HeaderPlan {
    HCustomReportBand* header;
    std::vector<ColumnPlace> places;
    double height;
};

}  // namespace

class HReportPaginator {
  public:
    // `onItem`, when set, takes the item rows that would go on the pages.
    HReportPaginator(HCustomReport& r, bool continuous,
                     std::function<void(HReportRow&&)> onItem = nullptr)
        : report_(r), continuous_(continuous), onItem_(std::move(onItem)) {}

    HReportDocument Run();

  private:
    void LayBand(HCustomReportBand& band);
    void StartPage(HCustomReportBand& band, bool firstOfBand);
    void PlaceHeader(const HeaderPlan& plan, double top, HReportRowKind kind,
                     std::vector<HReportRow>& rows);

    HCustomReport& report_;
    const bool continuous_;
    const std::function<void(HReportRow&&)> onItem_;
    HReportDocument doc_;
    double contentLeft_ = 0, contentWidth_ = 0, contentTop_ = 0, contentBottom_ = 0;
    std::vector<HeaderPlan> top_, bottom_;
    double y_ = 0;      // where the next item row goes on the current page
    double limit_ = 0;  // where the footers of the current page begin
    bool pageHasItems_ = false;
    // Pages on which each band's footers still have to be placed.
    struct FooterJob {
        int page;
        const std::vector<HeaderPlan>* plans;
        bool firstOfBand;
        double top = 0;  // continuous layout: below the band's last row
    };
    std::vector<std::vector<HeaderPlan>> footerPlans_;
    std::vector<FooterJob> footerJobs_;
};

HReportDocument HReportPaginator::Run() {
    const HReportPageSize& ps = report_.Page;
    const HReportPageCel& pc = report_.PageCel;
    doc_.PageWidth = ps.OrientedWidth();
    doc_.PageHeight = ps.OrientedHeight();
    doc_.Orientation = ps.Orientation;
    doc_.PageCel = pc;
    doc_.Title = report_.PrinterTitle;
    doc_.Options = report_.Options;
    contentLeft_ = pc.MarginLeft;
    contentWidth_ = std::max(1.0, doc_.PageWidth - pc.MarginLeft - pc.MarginRight);
    contentTop_ = pc.MarginTop;
    contentBottom_ = std::max(contentTop_ + 1, doc_.PageHeight - pc.MarginBottom);

    report_.pagesCount_ = 0;
    report_.currentPage_ = 0;
    footerPlans_.reserve(std::size_t(report_.Bands.Count()));
    for (int b = 0; b < report_.Bands.Count(); ++b)
        LayBand(*report_.Bands.GetItem(b));
    if (doc_.Pages.empty()) doc_.Pages.emplace_back();

    // Footers, now that the page count is known.
    report_.pagesCount_ = continuous_ ? kPageCountStandIn : int(doc_.Pages.size());
    for (const FooterJob& job : footerJobs_) {
        report_.currentPage_ = continuous_ ? kPageNumberStandIn - 1 : job.page;
        std::vector<HReportRow>& rows = doc_.Pages[std::size_t(job.page)].Rows;
        double h = 0;
        for (const HeaderPlan& p : *job.plans)
            if (job.firstOfBand || p.header->AtRegularPage) h += p.height;
        double top = continuous_ ? job.top : contentBottom_ - h;
        for (const HeaderPlan& p : *job.plans) {
            if (!job.firstOfBand && !p.header->AtRegularPage) continue;
            PullHeader(*p.header);
            PlaceHeader(p, top, HReportRowKind::Footer, rows);
            top += p.height;
        }
    }
    report_.currentPage_ = 0;
    if (continuous_) report_.pagesCount_ = int(doc_.Pages.size());
    return std::move(doc_);
}

void HReportPaginator::PlaceHeader(const HeaderPlan& plan, double top, HReportRowKind kind,
                                   std::vector<HReportRow>& rows) {
    HReportRow row;
    row.Top = top;
    row.Height = plan.height;
    row.Kind = kind;
    row.Source = plan.header->GetIndex();
    row.EveryPage = plan.header->AtRegularPage;
    MakeCells(plan.header->Columns, plan.places, row.Cells);
    rows.push_back(std::move(row));
}

void HReportPaginator::StartPage(HCustomReportBand& band, bool firstOfBand) {
    (void)band;
    const int page = int(doc_.Pages.size());
    doc_.Pages.emplace_back();
    report_.currentPage_ = page;
    report_.pagesCount_ = page + 1;
    std::vector<HReportRow>& rows = doc_.Pages.back().Rows;
    y_ = contentTop_;
    for (const HeaderPlan& p : top_) {
        if (!firstOfBand && !p.header->AtRegularPage) continue;
        PullHeader(*p.header);
        PlaceHeader(p, y_, HReportRowKind::Header, rows);
        y_ += p.height;
    }
    double footer = 0;
    for (const HeaderPlan& p : bottom_)
        if (firstOfBand || p.header->AtRegularPage) footer += p.height;
    limit_ = contentBottom_ - footer;
    pageHasItems_ = false;
    footerJobs_.push_back({page, &footerPlans_.back(), firstOfBand});
}

void HReportPaginator::LayBand(HCustomReportBand& band) {
    top_.clear();
    bottom_.clear();
    for (int h = 0; h < band.Headers.Count(); ++h) {
        HCustomReportBand* header = band.Headers.GetItem(h);
        HeaderPlan plan{header, PlaceColumns(header->Columns, contentLeft_, contentWidth_), 0};
        PullHeader(*header);
        std::vector<HReportCell> scratch;
        plan.height = MakeCells(header->Columns, plan.places, scratch);
        (header->AtBottom ? bottom_ : top_).push_back(std::move(plan));
    }
    footerPlans_.push_back(bottom_);

    const std::vector<ColumnPlace> places = PlaceColumns(band.Columns, contentLeft_, contentWidth_);
    if (band.GetIndex() == 0)
        for (const ColumnPlace& p : places)
            doc_.ItemColumns.push_back({p.left, p.width});
    // Each row starts from the texts (and values) the columns have now.
    std::vector<std::pair<std::string, HReportValue>> initial;
    for (int i = 0; i < band.Columns.Count(); ++i)
        initial.emplace_back(band.Columns.GetItem(i)->GetText(),
                             band.Columns.GetItem(i)->GetValue());

    StartPage(band, true);
    std::vector<HReportCell> cells;
    for (int item = 0; item < band.GetItemsCount(); ++item) {
        for (int i = 0; i < band.Columns.Count(); ++i) {
            HCustomReportColumn* c = band.Columns.GetItem(i);
            c->SetText(initial[std::size_t(i)].first);
            c->SetValue(initial[std::size_t(i)].second);
            if (band.OnGetItemValue) band.OnGetItemValue(item, *c);
            if (c->OnGetItemValue) c->OnGetItemValue(*c);
        }
        const double h = MakeCells(band.Columns, places, cells);
        if (!continuous_ && y_ + h > limit_ + 1e-9 && pageHasItems_) StartPage(band, false);
        HReportRow row;
        row.Top = y_;
        row.Height = h;
        row.Kind = HReportRowKind::Item;
        row.Source = item;
        row.Cells = std::move(cells);
        cells = {};
        if (onItem_)
            onItem_(std::move(row));
        else
            doc_.Pages.back().Rows.push_back(std::move(row));
        y_ += h;
        pageHasItems_ = true;
    }
    if (continuous_) footerJobs_.back().top = y_;
    for (int i = 0; i < band.Columns.Count(); ++i) {
        band.Columns.GetItem(i)->SetText(initial[std::size_t(i)].first);
        band.Columns.GetItem(i)->SetValue(initial[std::size_t(i)].second);
    }
}

HReportDocument HCustomReport::Layout() {
    HReportPaginator paginator(*this, false);
    return paginator.Run();
}

HReportDocument HCustomReport::LayoutContinuous() {
    HReportPaginator paginator(*this, true);
    return paginator.Run();
}

HReportDocument HCustomReport::LayoutContinuous(const std::function<void(HReportRow&&)>& onItem) {
    HReportPaginator paginator(*this, true, onItem);
    return paginator.Run();
}
