// Report files (.twr): the header reader and the whole load.
#include "fuzz_input.h"
#include "runtime/rtlog.h"
#include "tw_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    const char* path = twfuzz::WriteInput(data, size, ".twr");
    TW_File report;
    report.LoadHeader(path);
    if (report.Load(path)) {
        for (int i = 0; i < report.Count(); ++i)
            (void)report.ItemINT(i)->ReleResult;
    }
    return 0;
}
