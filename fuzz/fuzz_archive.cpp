// Hour archive day files (.rta).
#include <vector>

#include "archive/dayfile/archivefile.h"
#include "fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    const char* path = twfuzz::WriteInput(data, size, ".rta");
    host::archive::DayFile day;
    if (!day.Open(path)) return 0;
    std::vector<host::archive::VariableSamples> all;
    day.ReadAll(all);
    for (int i = 0; i < day.Count(); ++i)
        day.Find(day.Name(i));
    return 0;
}
