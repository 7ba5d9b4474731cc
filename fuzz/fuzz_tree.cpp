// Configuration tree files (jobs, JSON), read as the report run reads a job.
#include "config/configtree.h"
#include "fuzz_input.h"
#include "tw_contourarray.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    const char* path = twfuzz::WriteInput(data, size, ".json");
    HConfigTree tree;
    if (!tree.Load(path, true)) return 0;
    HConfigItem* job = tree.Root();
    job->GetStr("Name", "Report");
    job->GetBool("SaveBIN", true);
    job->GetDate("CfgDate", 0);
    TW_ContourArray contours;
    contours.Load(job);  // a wrong value or a missing item: false, the set as far as read
    return 0;
}
