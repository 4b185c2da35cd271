// The answers people read a log for: per quantity its range, mean, mean kinetic temperature,
// time beyond the alarm limits, daily figures and, for wood, how fast it dries. Computed in one
// pass over the records from the log, its context (when known) and the caller's options.
#pragma once

#include "calc/Quantities.h"
#include "core/LogContext.h"

#include <QByteArray>
#include <QDate>
#include <QDateTime>
#include <QString>

#include <map>
#include <optional>
#include <vector>

namespace kv5 {

struct LogData;
struct Settings;

struct SummaryOptions {
    // Limits by quantity key that replace those of the context (a side left out is no limit).
    std::map<QString, AlarmLimits> limits;
    // The moisture content the drying rate is projected to, %.
    std::optional<double> targetMc;
    // Which derived quantities are shown, and the unit of a log without a context (1 = °C).
    int Celsius = 0;
    int AhGpp = 1;
    int Emc = 1;
    int Dewpoint = 1;
};
// The options of the user's settings (the target moisture content among them).
SummaryOptions SummaryOptionsOf(const Settings& settings);

// The alarm limits of the context that watch a quantity: the temperature alarm the temperature,
// the RH / MC alarm the RH and each MC channel, the EMC alarm the EMC; none for the others.
AlarmLimits QuantityLimits(const LogContext& context, Quantity quantity);

// Records beyond one limit: strictly below the low one or strictly above the high one.
struct ExcursionFigures {
    int records = 0;
    int excursions = 0;     // maximal runs of consecutive records beyond the limit
    int longestRecords = 0; // records of the longest run
    std::optional<double> seconds;        // records × interval; unknown without an interval
    std::optional<double> longestSeconds; // of the longest run
};

struct QuantitySummary {
    Quantity quantity = Quantity::Temperature;
    QString key;   // temperature, rh, mc1, mc2, mc3, gpp, emc, dew_point
    QString label; // as the table's column header: "Temp °C", "MC1 %", ...
    QString unit;  // "C", "F", "%" or "gr/lb"
    int count = 0; // records whose value could be computed
    double min = 0, max = 0, mean = 0;
    int minRecord = -1, maxRecord = -1; // slot of the first record with the minimum, maximum
    QDateTime minAt, maxAt;             // their times (invalid when the times are unknown)
    std::optional<double> mkt;          // temperature only, in the log's unit
    AlarmLimits limits;
    std::optional<ExcursionFigures> belowLow, aboveHigh; // nothing without that limit
    bool moisture = false;                              // an MC channel
    std::optional<double> ratePerDay;                   // over the last 24 hours; nothing for a shorter log
    std::optional<double> daysToTarget;                 // nothing unless drying toward the target
};

struct DayFigures {
    int count = 0;
    double min = 0, mean = 0, max = 0;
};

struct DaySummary {
    QDate date;
    int records = 0;
    std::vector<DayFigures> quantities; // in the order of LogSummary::quantities
};

struct LogSummary {
    int sensorType = 0;
    int records = 0;
    bool celsius = true;
    // The first and last record's times in the logger's wall-clock time (invalid when unknown),
    // and the computer's offset from UTC at the start where the context gives it.
    QDateTime start, end;
    std::optional<int> utcOffsetSeconds;
    std::optional<int> intervalSeconds; // from the context, else estimated from the time stamps
    bool intervalEstimated = false;
    std::optional<double> targetMc;
    std::vector<QuantitySummary> quantities;
    std::vector<DaySummary> days;
};

// The times of the records of log, in seconds since 1970 of the logger's wall-clock time held as
// UTC: from the context's start and interval, else read from the time stamps (a stamp that
// cannot be read follows the one before by the interval). interval is the context's, else
// estimated from the stamps (estimated then true). Empty when no time is known.
std::vector<qint64> LogRecordTimes(const LogData& log, const LogContext* context, std::optional<int>& interval,
                                   bool& estimated);

// The summary of the records of log with their context (none: the times are read from the
// time stamps, the interval estimated from them and the limits unknown unless options give
// them).
LogSummary SummarizeLog(const LogData& log, const LogContext* context, const SummaryOptions& options);

// The summary as text to read, lines ended by "\n", numbers with the user's separator.
QString SummaryText(const LogSummary& summary);

// The summary as one JSON object naming file, numbers unrounded, times ISO 8601.
QByteArray SummaryJson(const LogSummary& summary, const QString& file);

} // namespace kv5
