// Times files (.twt): the reader alone, and the load of a report that has the
// input beside it as its times file.
#include "fuzz_input.h"
#include "tw_file.h"

namespace {

// A report of two items beside the input, written once: the seeds of
// fuzz/corpus/times were measured for it.
const char* Report() {
    static const std::string path = [] {
        const std::string p = twfuzz::InputFile(".twr");
        TW_File report;
        report.Start.Set(2026, 12, 7);
        report.End.Set(2026, 12, 8);
        report.RunTime.Set(2026, 12, 8, 0, 5, 30);
        report.AddINT(nullptr);
        report.AddINT(nullptr);
        report.FileName.Set(p.c_str());
        report.Save();
        return p;
    }();
    return path.c_str();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    const char* report = Report();
    // Beside the report, under its times file's name.
    static const std::string times = TW_TimesFileName(report);
    if (FILE* f = std::fopen(times.c_str(), "wb")) {
        if (size) std::fwrite(data, 1, size, f);
        std::fclose(f);
    }
    const char* path = times.c_str();
    TW_TimesHeader header;
    std::vector<TW_IncidentTimes> entries;
    if (TW_ReadTimesFile(path, header, entries)) {
        for (const TW_IncidentTimes& t : entries)
            (void)(t.Rele.Response + t.Prot.Held);
    }
    TW_File loaded;
    if (loaded.Load(report) && loaded.TimesOf(1)) (void)loaded.TimesOf(1)->Rele.Held;
    return 0;
}
