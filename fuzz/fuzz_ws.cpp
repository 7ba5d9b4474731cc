// Contour settings files (.ws).
#include "fuzz_input.h"
#include "tw_contourarray.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    const char* path = twfuzz::WriteInput(data, size, ".ws");
    TW_ContourArray contours;
    contours.Load(path);
    return 0;
}
