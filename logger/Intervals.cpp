#include "logger/Intervals.h"

#include "core/DeviceFlags.h"

#include <array>
#include <cmath>

namespace kv5 {

namespace {

struct IntervalRow {
    const char* text;
    int seconds;
};

constexpr std::array<IntervalRow, 10> intervalRows{{
    {"30 seconds", 30},
    {"1 Minute", 60},
    {"5 Minutes", 300},
    {"15 Minutes", 900},
    {"30 Minutes", 1800},
    {"1 Hour", 3600},
    {"3 Hours", 10800},
    {"6 Hours", 21600},
    {"12 Hours", 43200},
    {"24 Hours", 86400},
}};

} // namespace

std::vector<IntervalChoice> IntervalChoices(int extendedFirmware) {
    DeviceFlags flags;
    flags.ExtendedFirmware = extendedFirmware;
    const double tick = flags.SecondsPerTick();
    std::vector<IntervalChoice> choices;
    choices.reserve(intervalRows.size());
    for (std::size_t i = 0; i < intervalRows.size(); ++i) {
        // The two shortest intervals are one and two ticks whatever the tick lasts.
        // nearbyint rounds halves to the even neighbour in the default rounding mode.
        const int ticks = i < 2 ? static_cast<int>(i) + 1
                                : static_cast<int>(std::nearbyint(intervalRows[i].seconds / tick));
        choices.push_back({QString::fromLatin1(intervalRows[i].text), ticks, intervalRows[i].seconds});
    }
    return choices;
}

} // namespace kv5
