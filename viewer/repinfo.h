// RepInfo: one saved first-level report found for the calculation period, and
// InfoArray, the viewer's list of them. Held by value in the host array.
#pragma once

#include <cstddef>

#include "common/basearray.h"
#include "common/prtime.h"
#include "common/statstring.h"

struct RepInfo {
    StatString<261> FileName;  // full path of the report file
    PRTime Start;              // the report's period, from its file header
    PRTime End;
};

static_assert(sizeof(RepInfo) == 292);
static_assert(offsetof(RepInfo, FileName) == 0);
static_assert(offsetof(RepInfo, Start) == 268);
static_assert(offsetof(RepInfo, End) == 280);

// The found reports in the order the folder listing gave them; owns its copies.
class InfoArray : public MyRefArray<RepInfo> {
  public:
    InfoArray() : MyRefArray<RepInfo>(10, 10) {}
};
