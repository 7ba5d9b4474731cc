#include "tw_contourarray.h"

int32_t TW_ContourArray::CfgCount() const {
    int32_t n = 0;
    for (int i = 0; i < Count(); ++i)
        if (ItemINT(i)->Used) ++n;
    return n;
}
