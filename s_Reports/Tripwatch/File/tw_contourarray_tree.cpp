// The contour set in the host's configuration tree: "Count" and one child node
// "Item%d" per contour with the nineteen keys (section keys joined by "/").
#include <string>

#include "common/exception.h"
#include "common/strutil.h"
#include "data/configitem.h"
#include "tw_contourarray.h"
#include "tw_contourfields.h"

namespace {

// A missing child node is an internal inconsistency of the caller's tree.
[[noreturn]] void FailItem(int line) {
    host::TrapIfDebugged();
    throw host::Exception(
        host::Format("Assert: [it] in s_Reports/Tripwatch/File/i_TWFile:%d", line));
}

std::string ItemName(int i) {
    return host::Format("Item%d", i);
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
                    item->SetInt(f.key, TW_GetFieldInt(c, f));
                    break;
            }
        }
    }
}

void TW_ContourArray::Load(HConfigItem* node) {
    const int32_t count = node->GetInt("Count", 0);
    DeleteAll();
    for (int i = 0; i < count; ++i) {
        HConfigItem* item = node->GetChild(ItemName(i).c_str());
        if (!item) FailItem(__LINE__);
        TW_Contour c;
        for (const TW_ContourField& f : TW_ContourFields()) {
            if (f.kind == TW_ContourField::Text)
                TW_SetFieldText(c, f, item->GetStr(f.key, ""));
            else
                TW_SetFieldInt(c, f, item->GetInt(f.key, f.defaultValue));
        }
        AddINT(&c);
    }
}
