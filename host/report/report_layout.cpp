#include "report/report_layout.h"

#include "report/report_pages.h"

HCustomReportColumn* HCustomReportColumns::GetItem(int index) const {
    if (index < 0 || index >= Count()) return nullptr;
    return items_[std::size_t(index)].get();
}

HCustomReportColumn* HCustomReportColumns::Add() {
    items_.push_back(std::make_unique<HCustomReportColumn>(band_, Count()));
    return items_.back().get();
}

HCustomReportBands::~HCustomReportBands() = default;

HCustomReportBand* HCustomReportBands::GetItem(int index) const {
    if (index < 0 || index >= Count()) return nullptr;
    return items_[std::size_t(index)].get();
}

HCustomReportBand* HCustomReportBands::Add() {
    items_.push_back(std::make_unique<HCustomReportBand>(report_, Count()));
    return items_.back().get();
}

HCustomReportBand::HCustomReportBand(HCustomReport* report, int index)
    : Columns(this), Headers(report), report_(report), index_(index) {}

HCustomReport::HCustomReport() : Bands(this) {}

HCustomReport::~HCustomReport() = default;
