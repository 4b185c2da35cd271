// The one in-memory log and its header values.
#pragma once

#include "core/LogContext.h"

#include <QDateTime>
#include <QString>

#include <optional>
#include <vector>

namespace kv5 {

constexpr int MaxLogRecords = 17000;
constexpr int SensorVantorp = 40;
constexpr int SensorQ7R = 80;

struct LogData {
    // Parallel record arrays, MaxLogRecords slots each; record n (from 1) is in slot n - 1.
    std::vector<QString> LogTime = std::vector<QString>(MaxLogRecords);
    std::vector<double> LogTemp = std::vector<double>(MaxLogRecords);
    std::vector<double> LogRh = std::vector<double>(MaxLogRecords);
    std::vector<double> LogMc1 = std::vector<double>(MaxLogRecords);
    std::vector<double> LogMc2 = std::vector<double>(MaxLogRecords);
    std::vector<double> LogMc3 = std::vector<double>(MaxLogRecords);
    std::vector<double> LogRhQ7R = std::vector<double>(MaxLogRecords);

    int RecordCount = 0; // 0..MaxLogRecords; only slots below it are meaningful
    int SensorType = 0;  // 40 = Vantorp, 80 = Q7R, 0 = none known

    // Header values of the last device read.
    QString SerialNumber;
    QString Description;
    QString StartTimeText;
    QDateTime StartTime;
    int LogInterval = 0;

    // Name (without folder) of the log file last chosen in the library window.
    QString SelectedLogFile;

    // The context of the records held: what the logger said when they were downloaded, or the
    // context file of the log file they were read from; nothing for a file without one.
    std::optional<LogContext> Context;

    bool isQ7R() const { return SensorType == SensorQ7R; }
    // What views and printouts name the records by: their own context's, else the header's.
    const QString& ShownDescription() const { return Context ? Context->Description : Description; }
    const QString& ShownSerialNumber() const { return Context ? Context->SerialNumber : SerialNumber; }
};

} // namespace kv5
