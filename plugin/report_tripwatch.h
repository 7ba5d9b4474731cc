// The plug-in's descriptor: ReportTripwatch implements the report operations
// (5 to 12), PC_t the four package operations. The host reads the object
// directly; its layout is fixed by RTPModule.
#pragma once

#include "runtime/rtpjob.h"
#include "runtime/rtpmodule.h"

#pragma pack(push, 1)
class ReportTripwatch : public RTPModule {
  public:
    void Init(const RTPInfo* info) override;
    void Done() override;
    bool Probe() override;
    QDialog* CreateGlobalDialog() override;
    QDialog* CreateLocalDialog() override;
    void LoadDialog(QDialog* dialog, HConfigItem* settings) override;
    void SaveDialog(QDialog* dialog, HConfigItem* settings) override;
    const char* Run(HConfigItem* settings) override;

  protected:
    ReportTripwatch() = default;
    ~ReportTripwatch() = default;
};

class PC_t final : public ReportTripwatch {
  public:
    PC_t() = default;
    ~PC_t() = default;
    void PackageOp1() override {}
    void PackageOp2() override {}
    void PackageOp3() override {}
    void PackageOp4() override {}
};
#pragma pack(pop)

extern "C" {
// A new descriptor (owned by the caller, free with ::operator delete), or null
// when it cannot be allocated. The argument is ignored.
__attribute__((visibility("default"))) HPackageInfo* QueryPackageInfo(int32_t);

// Writes a job node from a host's plain description of a job (an
// RTPWriteJobNodeProc, runtime/rtpjob.h; failures as described there): the
// settings it gives through the module's key table, then its contours as
// TW_ContourArray stores them. A host that makes jobs itself (the demo plant)
// so names none of the module's keys, and what it writes is what the run and
// the dialog read. A C function over plain records, found by name like
// QueryPackageInfo, because a host reaches the module only through what it
// exports, without its headers or the report core's.
__attribute__((visibility("default"))) bool WriteJobNode(HConfigItem* node, const RTPJob* job);
}
