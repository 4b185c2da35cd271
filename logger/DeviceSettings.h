// Reading the logger's settings and status into the main window's values, and writing the
// values the user entered back into the logger.
#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>

namespace kv5 {

struct AppState;
struct MainWindowValues;
class SerialLink;

inline const QString StartTimeUnreadableText =
    QStringLiteral("The logger's start time could not be read, so its log was not downloaded or saved.  "
                   "The logger still holds its log: check the cable and read it again.");

// Reads the status block, serial number, description, start time, interval and limits into
// values and the log's header, and with readLog downloads the log of the sensor's family.
void GetDeviceSettings(SerialLink& link, AppState& state, MainWindowValues& values, bool readLog);
// The EMC limit boxes from the status block (or "COMM ERROR").
void GetEmcLimits(MainWindowValues& values, const QByteArray& status);

// Writes the start time (now), description, interval, limits, beep and EMC limits.
void SaveDeviceSettings(SerialLink& link, AppState& state, const MainWindowValues& values,
                        const QDateTime& now = QDateTime::currentDateTime());
void SaveEmcLimits(SerialLink& link, const MainWindowValues& values);
// Writes the fixed test configuration with the serial number of txtSN (1000 added below 1000);
// checks "Hold Alarms" in values.
void SaveTestMode(SerialLink& link, AppState& state, MainWindowValues& values,
                  const QDateTime& now = QDateTime::currentDateTime());

// The start time text YYMMDDhhmm of a moment.
QByteArray StartTimeArgument(const QDateTime& time);

} // namespace kv5
