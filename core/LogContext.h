// What a saved log needs besides its records to be understood later: whose it is, when it
// started, how often it logged, in which unit, and what the logger's alarms were. Kept beside
// the log file as SN...-NN.json; a log file without one is read as before.
#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <array>
#include <optional>

namespace kv5 {

// A low and a high alarm limit; either may be unknown.
struct AlarmLimits {
    std::optional<double> low;
    std::optional<double> high;
};

struct LogContext {
    // The layout of the file; a reader refuses a file of a newer one.
    static constexpr int FormatVersion = 1;

    QString SerialNumber;
    QString Description;
    int SensorType = 0;       // 40 Vantorp, 80 Q7R
    QString FirmwareRevision; // the logger's answer to "P"
    // The logger's start time in its own wall-clock time (held as UTC, as the log's StartTime),
    // and the computer's offset from UTC at that moment.
    QDateTime Start;
    std::optional<int> UtcOffsetSeconds;
    std::optional<int> IntervalSeconds;
    int Records = 0;
    bool Celsius = true; // the unit of the log's temperatures

    AlarmLimits Temperature; // in the log's unit
    AlarmLimits RhMc;        // RH of a Vantorp log, RH and MC of a Q7R log, %
    AlarmLimits EmcAlarm;    // %
    std::optional<bool> HoldAlarms;
    std::optional<bool> Beep; // only loggers with the extended firmware have it

    struct Species {
        int Code = 0;
        QString Name;
    };
    std::array<Species, 3> McSpecies{};

    QDateTime Downloaded; // UTC
    QString Program;
    QString Version;
    QString Sha256; // of the log file's bytes, lower-case hex
};

// "Vantorp" or "Q7R" (empty for an unknown sensor code), and back (0 for another text).
QString FamilyName(int sensorType);
int SensorTypeOfFamily(const QString& family);

// "+HH:MM" / "-HH:MM" of an offset in seconds.
QString UtcOffsetText(int seconds);
// An ISO 8601 date and time (to the second) of a wall-clock time held as UTC, with the offset
// when it is known: 2026-03-08T01:30:00-05:00.
QString WallClockIso(const QDateTime& wallClock, std::optional<int> utcOffsetSeconds);

// The context as one JSON object, the format version first (with indent one field per line),
// and as the bytes of its file (indented, ending in a line end).
QByteArray LogContextJsonText(const LogContext& context, int indent = 0);
QByteArray LogContextJson(const LogContext& context);
// Reads the bytes of a context file. False with the cause in why for bytes that are no JSON
// object, a newer format version, no unit or a field of the wrong kind; other fields that are
// missing stay unknown.
bool ReadLogContextJson(const QByteArray& bytes, LogContext& context, QString& why);

// The context file's name of a log file name or path: ".txt" (any case) replaced by ".json".
QString ContextFileName(const QString& logFile);

} // namespace kv5
