#include <cstddef>
#include <new>

#include "common/cp1251.h"
#include "report_tripwatch.h"

using namespace host::literals;

// The descriptor's layout is an interface with the host: the operation table
// pointer, then the package fields, then the module fields, packed.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Winvalid-offsetof"
static_assert(offsetof(PC_t, PackageKind) == sizeof(void*));
static_assert(offsetof(PC_t, PackageCode) == sizeof(void*) + 4);
static_assert(offsetof(PC_t, InfoSize) == sizeof(void*) + 8);
static_assert(offsetof(PC_t, PackageFlags) == sizeof(void*) + 12);
static_assert(offsetof(PC_t, Name) == sizeof(void*) + 16);
static_assert(offsetof(PC_t, Description) == 2 * sizeof(void*) + 16);
static_assert(offsetof(PC_t, ModuleKind) == 3 * sizeof(void*) + 16);
static_assert(offsetof(PC_t, ModuleState) == 3 * sizeof(void*) + 20);
static_assert(offsetof(PC_t, ReportTime) == 3 * sizeof(void*) + 21);
#pragma GCC diagnostic pop
static_assert(sizeof(PC_t) == 3 * sizeof(void*) + 33);
static_assert(sizeof(void*) != 4 || sizeof(PC_t) == 45);

namespace {
const char* const kName = "Отключение оборудования"_cp;
const char* const kDescription =
    "Отключение оборудования.\nОтчет контроля отключения оборудования."_cp;
}  // namespace

extern "C" HPackageInfo* QueryPackageInfo(int32_t) {
    void* memory = ::operator new(sizeof(PC_t), std::nothrow);
    if (!memory) return nullptr;
    auto* pc = new (memory) PC_t();
    pc->PackageKind = 2;
    pc->PackageCode = 100;
    pc->InfoSize = int32_t(sizeof(PC_t));
    pc->PackageFlags = 0;
    pc->Name = kName;
    pc->Description = kDescription;
    pc->ModuleKind = 4;
    return pc;
}
