// Operations files (.two): the reader, and the texts of what it read.
#include "fuzz_input.h"
#include "tw_opsfile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    const char* path = twfuzz::WriteInput(data, size, ".two");
    TW_OpsHeader header;
    std::vector<TW_Operation> ops;
    if (TW_ReadOpsFile(path, header, ops)) {
        for (const TW_Operation& op : ops)
            (void)TW_OperationText(op).size();
    }
    return 0;
}
