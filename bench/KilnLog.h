// The log the view and file benchmarks work on: a kiln drying over 17000 half-hour records,
// with daily cycles and slowly falling moisture, as a full Q7R log in degrees F.
#pragma once

#include "core/LogData.h"
#include "logger/TimeFormat.h"

#include <QDateTime>

#include <cmath>

namespace kv5::bench {

inline void fillKilnLog(LogData& log) {
    const QDateTime start(QDate(2014, 5, 21), QTime(13, 45));
    for (int i = 0; i < MaxLogRecords; ++i) {
        const double day = std::sin(i * 2 * M_PI / 48);
        log.LogTime[i] = TimeStampText(start.addSecs(qint64(i) * 1800));
        log.LogTemp[i] = 118 + 10 * day + i * 0.0007;
        log.LogMc1[i] = 28 - i * 0.0012 + 0.3 * day;
        log.LogMc2[i] = 31 - i * 0.0014 + 0.2 * day;
        log.LogMc3[i] = 25 - i * 0.0010 + 0.25 * day;
        log.LogRhQ7R[i] = 65 - 12 * day - i * 0.001;
    }
    log.RecordCount = MaxLogRecords;
    log.SensorType = SensorQ7R;
}

} // namespace kv5::bench
