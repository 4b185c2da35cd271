// Reading the logger's settings and status into the main window's values, and writing the
// values the user entered back into the logger.
#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>

namespace kv5 {

class DeviceObserver;
struct DecodeOptions;
struct DeviceFlags;
struct LogData;
struct MainWindowValues;
struct Settings;
class SerialLink;

inline const QString StartTimeUnreadableText =
    QStringLiteral("The logger's start time could not be read, so its log was not downloaded or saved.  "
                   "The logger still holds its log: check the cable and read it again.");
inline const QString IntervalUnreadableText =
    QStringLiteral("The logger's logging interval could not be read, so its log was not downloaded or saved.  "
                   "The logger still holds its log: check the cable and read it again.");

// What "Start New Log" writes besides the start time, as numbers read from the boxes before
// anything is sent.
struct NewLogSettings {
    QString description;
    int intervalRow = 0; // row of the interval list; the first row, or none, is one tick
    double rhHigh = 0, rhLow = 0;     // RH / MC % alarm limits
    double tempHigh = 0, tempLow = 0; // temperature alarm limits in the display unit
    double emcHigh = 0, emcLow = 0;   // EMC % alarm limits
    bool beep = false;
};

// What reading the settings learned about the log the logger holds, for its download.
struct LogOnDevice {
    bool statusRead = false;
    int memorySizeMark = 255;
    bool startTimeRead = false;
    bool intervalRead = false;
};

// Reads the status block, serial number, description, start time, interval and limits into
// values and the log's header (SensorType included), and shows them to observer. The options
// give the display unit and the firmware kind.
LogOnDevice GetDeviceSettings(SerialLink& link, const DecodeOptions& options, LogData& log, MainWindowValues& values,
                              DeviceObserver& observer);
// Downloads the log the settings read found, of the sensor's family, into log, and ends with
// the status line. A log whose start time or interval could not be read is not downloaded: its
// records could not be timed. False when the log could not be downloaded (the user was told).
bool DownloadDeviceLog(SerialLink& link, const DecodeOptions& options, LogData& log, const LogOnDevice& found);
// The EMC limit boxes from the status block (or "COMM ERROR").
void GetEmcLimits(MainWindowValues& values, const QByteArray& status);

// Writes the start time (now), description, interval, limits, beep and EMC limits; the
// temperatures are in the display unit of settings. Keeps the sensor code in log. True when the
// logger confirmed every command.
bool SaveDeviceSettings(SerialLink& link, const Settings& settings, const DeviceFlags& device, LogData& log,
                        const NewLogSettings& newLog, const QDateTime& now = QDateTime::currentDateTime());
bool SaveEmcLimits(SerialLink& link, double high, double low);
// Writes the fixed test configuration with the serial number (1000 added below 1000); checks
// "Hold Alarms" in values. True when the logger confirmed every command.
bool SaveTestMode(SerialLink& link, const DeviceFlags& device, qint32 serialNumber, MainWindowValues& values,
                  const QDateTime& now = QDateTime::currentDateTime());

// The start time text YYMMDDhhmm of a moment.
QByteArray StartTimeArgument(const QDateTime& time);

} // namespace kv5
