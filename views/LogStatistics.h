// The highest and lowest value of every quantity of the in-memory log, as the table and chart
// windows work them out while loading, and the "Log Info" box that shows them.
#pragma once

#include "calc/Quantities.h"

#include <QString>

#include <array>

namespace kv5 {

struct LogData;
struct Settings;
class UserInterface;

// One set per view window, one pair per quantity (MaxTemp and MinTemp are
// extremes[Quantity::Temperature]); the RH pair holds the RH of whichever family the log is.
struct LogExtremes {
    struct Pair {
        double Max = 0, Min = 0;
    };
    std::array<Pair, QuantityCount> pairs{};
    Pair& operator[](Quantity quantity) { return pairs[std::size_t(quantity)]; }
    const Pair& operator[](Quantity quantity) const { return pairs[std::size_t(quantity)]; }
};

// Works out the extremes of the log (nothing changes for an empty log). Every pair of the
// family's quantities starts at the first record, the derived ones included whatever the
// settings; then the quantities the settings show take every record. A derived value that is
// left out when it cannot be computed is reported once per call ("ERROR: CalcAh: ") and stays
// out of its pair; one that ends the run (the dew point) leaves its pair as it was and makes the
// result false, for the caller to report.
bool ComputeExtremes(const LogData& log, const Settings& settings, LogExtremes& extremes, UserInterface& ui);

// The box's text: "Reading", two tabs, "High  /  Low", CR, CR; per shown quantity its header,
// two tabs, high "  /  " low (numbers "0.0" with the user's separator), CR, CR; then "Records "
// and the count, LF. An empty log gives "There is no log data!".
QString LogInfoText(const LogData& log, const Settings& settings, const LogExtremes& extremes);

// The Info button of the table and chart windows: the text above in a box titled "Log Info"
// with the information icon and an OK button; behind its details the log's summary (with the
// limits of the log's context).
void ShowLogInfo(const LogData& log, const Settings& settings, const LogExtremes& extremes,
                 UserInterface& ui);

} // namespace kv5
