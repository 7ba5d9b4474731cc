// The contour set in the host's configuration tree: "Count" and one child node
// "Item%d" per contour with the nineteen keys (section keys joined by "/").
#include <cstdint>
#include <limits>
#include <string>

#include "common/cp1251.h"
#include "common/exception.h"
#include "common/strutil.h"
#include "config/configcheck.h"
#include "config/configitem.h"
#include "tw_contourarray.h"
#include "tw_contourfields.h"

using namespace host::literals;

namespace {

// A writable tree that yields no child node is an internal inconsistency.
[[noreturn]] void FailItem(int line) {
    host::TrapIfDebugged();
    throw host::Exception(
        host::Format("Assert: [it] in s_Reports/Tripwatch/File/i_TWFile:%d", line));
}

std::string ItemName(int i) {
    return host::Format("Item%d", i);
}

// One contour from its item node, every key checked against its member's kind
// and width; a wrong value takes the key's default and is recorded in `check`.
TW_Contour ReadContour(HConfigItem& item, HConfigCheck& check) {
    TW_Contour c;
    for (const TW_ContourField& f : TW_ContourFields()) {
        switch (f.kind) {
            case TW_ContourField::Text:
                TW_SetFieldText(c, f, check.Str(item, f.key, "").c_str());
                break;
            case TW_ContourField::Used:
                TW_SetFieldInt(c, f, check.Bool(item, f.key, f.defaultValue != 0) ? 1 : 0);
                break;
            default: {
                const int64_t max = (int64_t(1) << (8 * f.size)) - 1;
                TW_SetFieldInt(c, f, int32_t(check.Int(item, f.key, 0, max, f.defaultValue)));
                break;
            }
        }
    }
    return c;
}

}  // namespace

void TW_ContourArray::Save(HConfigItem* node) const {
    node->SetInt("Count", Count());
    for (int i = 0; i < Count(); ++i) {
        HConfigItem* item = node->GetChild(ItemName(i).c_str());
        if (!item) FailItem(__LINE__);
        const TW_Contour& c = *ItemINT(i);
        for (const TW_ContourField& f : TW_ContourFields()) {
            switch (f.kind) {
                case TW_ContourField::Text:
                    item->SetStr(f.key, TW_GetFieldText(c, f).c_str());
                    break;
                case TW_ContourField::Used:
                case TW_ContourField::UInt8:
                    item->SetByte(f.key, uint8_t(TW_GetFieldInt(c, f)));
                    break;
                case TW_ContourField::UInt16:
                    item->SetWord(f.key, uint16_t(TW_GetFieldInt(c, f)));
                    break;
                case TW_ContourField::UInt32:
                    item->SetDWord(f.key, uint32_t(TW_GetFieldInt(c, f)));
                    break;
            }
        }
    }
}

bool TW_ContourArray::Load(HConfigItem* node) {
    HConfigCheck check;
    const int64_t count = check.Int(*node, "Count", 0, std::numeric_limits<int32_t>::max(), 0);
    DeleteAll();
    for (int i = 0; i < count; ++i) {
        HConfigItem* item = node->FindChild(ItemName(i).c_str());
        if (!item) {
            check.Fail(*node, "Count",
                       host::Format("записано %lld, но узла %s нет"_cp,
                                    static_cast<long long>(count), ItemName(i).c_str()));
            break;
        }
        TW_Contour c = ReadContour(*item, check);
        AddINT(&c);
    }
    return check.Report();
}
