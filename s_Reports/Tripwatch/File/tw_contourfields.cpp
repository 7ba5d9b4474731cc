#include "tw_contourfields.h"

#include <cstring>

namespace {

#define TW_F(key, kind, def, member)                                                              \
    TW_ContourField {                                                                             \
        key, TW_ContourField::kind, def, offsetof(TW_Contour, member), sizeof(TW_Contour::member) \
    }

const TW_ContourField kFields[] = {
    TW_F("Used", Used, 0, Used),
    TW_F("Sensor", Text, 0, Sensor),
    TW_F("Interval", UInt32, 10, Interval),
    TW_F("State", UInt16, 0, State),
    TW_F("StateName", Text, 0, StateName),
    TW_F("Limit", Text, 0, Limit),
    TW_F("ValueType", UInt8, 0, ValueType),
    TW_F("Rele/Used", Used, 0, Rele.Used),
    TW_F("Rele/Sensor", Text, 0, Rele.Sensor),
    TW_F("Rele/State", UInt16, 0, Rele.State),
    TW_F("Rele/MaxTime", UInt32, 10, Rele.MaxTime),
    TW_F("Rele/ONName", Text, 0, Rele.ONName),
    TW_F("Rele/OFFName", Text, 0, Rele.OFFName),
    TW_F("Prot/Used", Used, 0, Prot.Used),
    TW_F("Prot/Sensor", Text, 0, Prot.Sensor),
    TW_F("Prot/State", UInt16, 0, Prot.State),
    TW_F("Prot/MaxTime", UInt32, 10, Prot.MaxTime),
    TW_F("Prot/ONName", Text, 0, Prot.ONName),
    TW_F("Prot/OFFName", Text, 0, Prot.OFFName),
};

#undef TW_F

const unsigned char* At(const TW_Contour& c, const TW_ContourField& f) {
    return reinterpret_cast<const unsigned char*>(&c) + f.offset;
}
unsigned char* At(TW_Contour& c, const TW_ContourField& f) {
    return reinterpret_cast<unsigned char*>(&c) + f.offset;
}

}  // namespace

std::span<const TW_ContourField> TW_ContourFields() {
    return kFields;
}

int32_t TW_GetFieldInt(const TW_Contour& c, const TW_ContourField& f) {
    switch (f.size) {
        case 1:
            return *At(c, f);
        case 2: {
            uint16_t v;
            std::memcpy(&v, At(c, f), 2);
            return v;
        }
        default: {
            uint32_t v;
            std::memcpy(&v, At(c, f), 4);
            return int32_t(v);
        }
    }
}

void TW_SetFieldInt(TW_Contour& c, const TW_ContourField& f, int32_t value) {
    const uint32_t bits = uint32_t(value);
    switch (f.size) {
        case 1:
            *At(c, f) = uint8_t(bits);
            break;
        case 2: {
            const uint16_t v = uint16_t(bits);
            std::memcpy(At(c, f), &v, 2);
            break;
        }
        default:
            std::memcpy(At(c, f), &bits, 4);
            break;
    }
}

std::string TW_GetFieldText(const TW_Contour& c, const TW_ContourField& f) {
    const char* p = reinterpret_cast<const char*>(At(c, f));
    return std::string(p, strnlen(p, f.size));
}

void TW_SetFieldText(TW_Contour& c, const TW_ContourField& f, const char* text) {
    char* p = reinterpret_cast<char*>(At(c, f));
    std::memset(p, 0, f.size);
    if (text) std::memcpy(p, text, strnlen(text, f.size - 1));
}
