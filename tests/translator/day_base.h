#pragma once

#include <cstdint>
#include <ctime>

#include "engine/time_base.h"

namespace translator {

// Readers of time-of-day formats date frames to the day they run. Runs step
// (which reads or converts) again when a day boundary passed during it, and
// returns the day base that held throughout, taken from the same clock.
template <typename Step>
uint32_t WithSteadyDayBase(Step&& step) {
    for (;;) {
        const uint32_t before = DayBase(static_cast<uint32_t>(time(nullptr)));
        step();
        if (DayBase(static_cast<uint32_t>(time(nullptr))) == before) {
            return before;
        }
    }
}

}  // namespace translator
