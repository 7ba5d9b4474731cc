// The times file beside a report: writing it atomically, reading it with every
// count checked against the bytes that are there. Layout: TIMES_FORMAT.md.
#include "tw_times.h"

#include <cstring>

#include "common/cp1251.h"
#include "common/lasterror.h"
#include "tw_file.h"
#include "tw_sidefile.h"

using namespace host::literals;

namespace {

const TW_SideFormat kFormat = {
    TW_TimesMagic,
    TW_TimesVersion,
    TW_TimesEntrySize,
    "Неверный формат файла времен срабатывания!"_cp,
    "Файл времен срабатывания поврежден или обрезан!"_cp,
    "Неизвестная версия файла времен срабатывания: %u"_cp,
    "Неверный формат записи файла времен срабатывания!"_cp,
};

}  // namespace

std::string TW_TimesFileName(const char* reportPath) {
    return TW_SideFileName(reportPath, ".twt");
}

bool TW_WriteTimesFile(const char* path, const TW_File& report,
                       const std::vector<TW_IncidentTimes>& times) {
    return TW_WriteSideFile(path, kFormat, report.Start, report.End, report.RunTime, times.data(),
                            uint32_t(times.size()));
}

bool TW_ReadTimesFile(const char* path, TW_TimesHeader& header,
                      std::vector<TW_IncidentTimes>& times) {
    times.clear();
    header = TW_TimesHeader{};
    TW_SideHeader side;
    std::string in;
    if (!TW_ReadSideFile(path, kFormat, side, in)) return false;
    header = {side.Start, side.End, side.RunTime, side.Count};
    times.resize(side.Count);
    for (uint32_t i = 0; i < side.Count; ++i)
        std::memcpy(&times[i], in.data() + TW_SideHeaderSize + std::size_t(i) * side.EntrySize,
                    TW_TimesEntrySize);
    return true;
}

bool TW_TimesMatch(const TW_TimesHeader& header, const TW_File& report) {
    if (header.Count == uint32_t(report.Count()) && header.Start == report.Start &&
        header.End == report.End && header.RunTime == report.RunTime)
        return true;
    SetError(
        "Файл времен срабатывания не относится к отчету: в нем %u инцидентов за %s - %s "
        "(расчет %s), в отчете %d за %s - %s (расчет %s)"_cp,
        header.Count, header.Start.GetStr(), header.End.GetStr(), header.RunTime.GetStr(),
        report.Count(), report.Start.GetStr(), report.End.GetStr(), report.RunTime.GetStr());
    return false;
}
