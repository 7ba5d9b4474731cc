// The host's plug-in interface: the information record the host hands to a
// module (RTPInfo) and the abstract descriptor classes a module implements.
// The host reads these objects directly, so their member order is fixed and
// they are packed; pointers are native (8 bytes on 64-bit).
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "common/prtime.h"

class HConfigItem;

// A PRTime at an unaligned place of a packed record: read and written by copy,
// so that no PRTime object ever lives at an odd address.
struct PackedPRTime {
    unsigned char bytes[sizeof(PRTime)] = {};
    operator PRTime() const {
        PRTime t;
        std::memcpy(&t, bytes, sizeof t);
        return t;
    }
    PackedPRTime& operator=(const PRTime& t) {
        std::memcpy(bytes, &t, sizeof t);
        return *this;
    }
};
static_assert(sizeof(PackedPRTime) == 12 && alignof(PackedPRTime) == 1);
class HDBDatabase;
class QDialog;

// What the host has set up for a report run: its home folder (where the hour
// archive and the configurations live) and the report period.
// How far before a report period the host delivers every sample, so that an
// excursion that began on the day before is seen from its start.
inline constexpr int64_t kDefaultLookBack = 86400;

struct RTPHostContext {
    char Home[261] = {};
    PRTime PeriodStart;  // the period: PeriodStart <= time < PeriodEnd
    PRTime PeriodEnd;
    int64_t LookBack = kDefaultLookBack;  // seconds before PeriodStart, 0 for none
};

// The object GetConfigOwner returns: its pointer member at byte 8 is the
// configuration the report was computed with.
struct RTPConfigOwner {
    uint32_t Kind = 0;
    uint32_t Flags = 0;
    HDBDatabase* Config = nullptr;
};
static_assert(offsetof(RTPConfigOwner, Config) == 8);

using RTPGetConfigOwnerProc = RTPConfigOwner* (*)(void* argument);

#pragma pack(push, 1)
struct RTPInfo {
    int32_t Size;                          // sizeof(RTPInfo)
    int32_t Version;                       // host interface version (1)
    char HostName[28];                     // zero-terminated
    RTPGetConfigOwnerProc GetConfigOwner;  // byte 36
    void* GetConfigOwnerArg;               // byte 40 on 32 bits, 44 on 64 bits
    RTPHostContext* Context;               // the current run's context, may be null
    char Reserved[60];
};
#pragma pack(pop)
static_assert(offsetof(RTPInfo, GetConfigOwner) == 36);
static_assert(offsetof(RTPInfo, GetConfigOwnerArg) == 36 + sizeof(void*));
static_assert(sizeof(void*) != 4 || sizeof(RTPInfo) == 108);
static_assert(sizeof(RTPInfo) == 36 + 3 * sizeof(void*) + 60);

#pragma pack(push, 1)
// The twelve operations, in table order. Every operation is abstract here.
class HPackageInfo {
  public:
    virtual void PackageOp1() = 0;
    virtual void PackageOp2() = 0;
    virtual void PackageOp3() = 0;
    virtual void PackageOp4() = 0;
    virtual void Init(const RTPInfo* info) = 0;
    virtual void Done() = 0;
    virtual bool Probe() = 0;
    virtual QDialog* CreateGlobalDialog() = 0;
    virtual QDialog* CreateLocalDialog() = 0;
    virtual void LoadDialog(QDialog* dialog, HConfigItem* settings) = 0;
    virtual void SaveDialog(QDialog* dialog, HConfigItem* settings) = 0;
    // Null on success, else an error text owned by the module (never freed by the host).
    virtual const char* Run(HConfigItem* settings) = 0;

    int32_t PackageKind;
    int32_t PackageCode;
    int32_t InfoSize;
    int32_t PackageFlags;
    const char* Name;         // cp1251, static in the module
    const char* Description;  // cp1251, static in the module

  protected:
    HPackageInfo() = default;
    ~HPackageInfo() = default;
};

class HLibPackageInfo : public HPackageInfo {
  protected:
    HLibPackageInfo() = default;
    ~HLibPackageInfo() = default;
};

class RTPModule : public HLibPackageInfo {
  public:
    int32_t ModuleKind;
    uint8_t ModuleState;
    PackedPRTime ReportTime;  // set by the host: the end of the report period

  protected:
    RTPModule() = default;
    ~RTPModule() = default;
};
#pragma pack(pop)

// The module's exported entry: a new descriptor owned by the caller (free it
// with ::operator delete), or null.
extern "C" {
using QueryPackageInfoProc = HPackageInfo* (*)(int32_t);
}
