// The highest and lowest value of every quantity of the in-memory log, as the table and chart
// windows work them out while loading, and the "Log Info" box that shows them.
#pragma once

#include <QString>

namespace kv5 {

struct LogData;
struct Settings;
class UserInterface;

// One set per view window. MaxRh/MinRh hold the RH of whichever family the log is.
struct LogExtremes {
    double MaxTemp = 0, MinTemp = 0;
    double MaxRh = 0, MinRh = 0;
    double MaxMc1 = 0, MinMc1 = 0;
    double MaxMc2 = 0, MinMc2 = 0;
    double MaxMc3 = 0, MinMc3 = 0;
    double MaxGpp = 0, MinGpp = 0;
    double MaxEmc = 0, MinEmc = 0;
    double MaxDew = 0, MinDew = 0;
};

// Works out the extremes of the log (nothing changes for an empty log). Every pair starts at
// the first record, GPP, EMC and dew point included whatever the settings; then temperature,
// RH (and MC1..MC3 of a Q7R log) take every record, the derived quantities only when the
// settings show them. A GPP or EMC failure is reported once per call as "ERROR: CalcAh: " or
// "ERROR: CalcEmc: " and the value is left out of its pair; a dew point that cannot be computed leaves its pair as it was and makes the
// result false, for the caller to report.
bool ComputeExtremes(const LogData& log, const Settings& settings, LogExtremes& extremes, UserInterface& ui);

// The box's text: "Reading", two tabs, "High  /  Low", CR, CR; per shown quantity its label,
// two tabs, high "  /  " low (numbers "0.0" with the user's separator), CR, CR; then "Records "
// and the count, LF. An empty log gives "There is no log data!".
QString LogInfoText(const LogData& log, const Settings& settings, const LogExtremes& extremes);

// The Info button of the table and chart windows: the text above in a box titled "Log Info"
// with the information icon and an OK button; behind its details the log's summary (with the
// limits of the log's context).
void ShowLogInfo(const LogData& log, const Settings& settings, const LogExtremes& extremes,
                 UserInterface& ui);

} // namespace kv5
