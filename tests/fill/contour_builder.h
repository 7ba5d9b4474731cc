// Contours for the incident tests.
#pragma once

#include <cstring>

#include "tw_contour.h"

namespace twtest {

inline TW_Contour MakeContour(const char* sensor, uint16_t state, uint32_t interval,
                              const char* relay = nullptr, uint16_t relayState = 1,
                              uint32_t relayMax = 0, const char* apparatus = nullptr,
                              uint16_t apparatusState = 1, uint32_t apparatusMax = 0) {
    TW_Contour c{};
    c.Used = 1;
    std::strncpy(c.Sensor, sensor, 50);
    c.State = state;
    c.Interval = interval;
    if (relay) {
        c.Rele.Used = 1;
        std::strncpy(c.Rele.Sensor, relay, 50);
        c.Rele.State = relayState;
        c.Rele.MaxTime = relayMax;
    }
    if (apparatus) {
        c.Prot.Used = 1;
        std::strncpy(c.Prot.Sensor, apparatus, 50);
        c.Prot.State = apparatusState;
        c.Prot.MaxTime = apparatusMax;
    }
    return c;
}

}  // namespace twtest
