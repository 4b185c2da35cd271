// The logging intervals offered in the main window's interval list.
#pragma once

#include <QString>

#include <vector>

namespace kv5 {

struct IntervalChoice {
    QString text; // what the list shows
    int ticks;    // the interval in device ticks: what the logger stores
    int seconds;  // the interval the text names
};

// The ten intervals, shortest first. A tick lasts 30 seconds with extended firmware and 34
// seconds without; the first two entries are fixed at 1 and 2 ticks, the others are their
// seconds divided by the tick, rounded to the nearest whole number with halves to even.
std::vector<IntervalChoice> IntervalChoices(int extendedFirmware);

} // namespace kv5
