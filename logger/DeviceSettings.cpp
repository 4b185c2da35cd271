#include "logger/DeviceSettings.h"

#include "core/DeviceFlags.h"
#include "core/DeviceObserver.h"
#include "core/LogData.h"
#include "core/MainWindowValues.h"
#include "core/Numbers.h"
#include "core/Settings.h"
#include "core/Units.h"
#include "core/UserInterface.h"
#include "device/Commands.h"
#include "device/Encodings.h"
#include "device/SerialLink.h"
#include "logger/Download.h"
#include "logger/Intervals.h"
#include "logger/TimeFormat.h"

namespace kv5 {

namespace {

const QString CommErrorText = QString::fromLatin1(CommError);

double statusValue(const QByteArray& status, int position) {
    return fixedPointValue(static_cast<unsigned char>(status.at(position - 1)),
                           static_cast<unsigned char>(status.at(position)));
}

QString temperatureLimit(SerialLink& link, const QByteArray& command, const Settings& settings) {
    const QByteArray reply = GetCmd(link, command, 2);
    if (reply == CommError) return CommErrorText;
    double v = FpToDbl(reply, link.ui());
    if (v > 127) v = 127;
    if (v < -127) v = -127;
    if (settings.Celsius == 0) v = ToFahrenheit(v);
    return NumberText(v);
}

QString percentLimit(SerialLink& link, const QByteArray& command) {
    const QByteArray reply = GetCmd(link, command, 2);
    if (reply == CommError) return CommErrorText;
    return NumberText(ClampPercent(FpToDbl(reply, link.ui())));
}

} // namespace

QByteArray StartTimeArgument(const QDateTime& time) { return time.toString(QStringLiteral("yyMMddHHmm")).toLatin1(); }

void GetEmcLimits(MainWindowValues& values, const QByteArray& status) {
    if (status == CommError || status.size() < LogBlockPayloadSize) {
        values.txtEmcHi = values.txtEmcLo = CommErrorText;
        return;
    }
    double high = statusValue(status, StatusEmcHigh);
    if (high > 100) high = 100;
    if (high < 0) high = 100;
    double low = statusValue(status, StatusEmcLow);
    if (low > 100) low = 0;
    if (low < 0) low = 0;
    // The limits are compared as the boxes show them, to one decimal.
    high = OneDecimal(high);
    low = OneDecimal(low);
    if (low > high) high = 100;
    if (low == high) {
        high = 100;
        low = 0;
    }
    values.txtEmcHi = NumberText(high);
    values.txtEmcLo = NumberText(low);
}

LogOnDevice GetDeviceSettings(SerialLink& link, const DecodeOptions& options, LogData& log, MainWindowValues& values,
                              DeviceObserver& observer) {
    UserInterface& ui = link.ui();
    ui.status(QStringLiteral("Getting Device Settings"));
    LogOnDevice found;

    // The status block: battery, alarm options, EMC limits, memory size and sensor.
    const QByteArray status = GetLog(link, 0);
    found.statusRead = status != CommError;
    values.picBatt = status;
    values.chkBeep =
        found.statusRead && options.device.ExtendedFirmware != 0 && ByteAt(status, StatusBeep, ui) == 255;
    GetEmcLimits(values, status);
    values.Check1 = found.statusRead && ByteAt(status, StatusAlarmHold, ui) == 0;
    found.memorySizeMark = found.statusRead ? ByteAt(status, StatusMemorySizeMark, ui) : 255;
    log.SensorType = found.statusRead ? ByteAt(status, StatusSensorCode, ui) : 0;

    // Every query runs, whatever the ones before it gave.
    const QByteArray serial = GetCmd(link, "GETSN", 4);
    log.SerialNumber = QString::fromLatin1(serial);
    values.txtSN = log.SerialNumber;

    log.Description = QString::fromLatin1(GetCmd(link, "GETDESC", 32)).trimmed();
    values.txtDesc = log.Description;

    // A start time that cannot be read leaves StartTime invalid, never the one of a log read
    // before: the records' time stamps are counted from it.
    const QByteArray start = GetCmd(link, "GETTIME", 10);
    log.StartTimeText = QString::fromLatin1(start);
    log.StartTime = QDateTime();
    values.txtTime = start == CommError ? CommErrorText : FormatTime(log.StartTimeText, log, ui);
    found.startTimeRead = log.StartTime.isValid();

    // An interval that cannot be read leaves LogInterval as it was, which times no record.
    const QByteArray interval = GetCmd(link, "GETINT", 2);
    found.intervalRead = interval != CommError && interval.size() >= 2;
    values.cboInt = 0;
    if (interval != CommError) {
        log.LogInterval = U16ToLng(interval, ui);
        // The last entry whose tick count does not exceed the logger's interval.
        const auto choices = IntervalChoices(options.device.ExtendedFirmware);
        for (int i = 0; i < static_cast<int>(choices.size()); ++i) {
            if (log.LogInterval >= choices[static_cast<size_t>(i)].ticks) values.cboInt = i;
        }
    }

    values.txtTempHi = temperatureLimit(link, "GETTEMPHI", options.settings);
    values.txtTempLo = temperatureLimit(link, "GETTEMPLO", options.settings);
    values.txtRhHi = percentLimit(link, "GETRHHI");
    values.txtRhLo = percentLimit(link, "GETRHLO");
    observer.valuesRead(values);
    return found;
}

bool DownloadDeviceLog(SerialLink& link, const DecodeOptions& options, LogData& log, const LogOnDevice& found) {
    UserInterface& ui = link.ui();
    const bool sensorKnown = log.SensorType == SensorQ7R || log.SensorType == SensorVantorp;
    bool failed = false;
    if (sensorKnown && (!found.startTimeRead || !found.intervalRead)) {
        // Records without their time are worth nothing; the logger keeps them for the next read.
        log.RecordCount = 0;
        failed = true;
        ui.message({found.startTimeRead ? IntervalUnreadableText : StartTimeUnreadableText, Icon::Exclamation});
    } else if (log.SensorType == SensorQ7R) {
        failed = !GetQ7RLog(link, options, log, found.memorySizeMark).ok();
    } else if (log.SensorType == SensorVantorp) {
        failed = !GetVantorpLog(link, options, log, found.memorySizeMark).ok();
    } else {
        log.RecordCount = 0;
    }
    ui.status(failed                ? DownloadFailedStatus
              : log.RecordCount < 1 ? QStringLiteral("No log data / Sensor not yet found")
                                    : QStringLiteral("Update complete"));
    return !failed;
}

bool SaveEmcLimits(SerialLink& link, double high, double low) {
    UserInterface& ui = link.ui();
    bool confirmed = SetMemCmd(link, AddressEmcMarker, 80);
    const QByteArray highBytes = DblToFp(high, ui);
    confirmed &= SetMemCmd(link, AddressEmcHigh, static_cast<unsigned char>(highBytes.at(0)));
    confirmed &= SetMemCmd(link, AddressEmcHigh + 1, static_cast<unsigned char>(highBytes.at(1)));
    const QByteArray lowBytes = DblToFp(low, ui);
    confirmed &= SetMemCmd(link, AddressEmcLow, static_cast<unsigned char>(lowBytes.at(0)));
    confirmed &= SetMemCmd(link, AddressEmcLow + 1, static_cast<unsigned char>(lowBytes.at(1)));
    return confirmed;
}

namespace {

QByteArray beepArgument(int on) { return SetMemArgument(AddressBeep, on ? 255 : 0); }

QByteArray descriptionArgument(const QString& text) { return text.trimmed().toLatin1().leftJustified(32, ' ', true); }

} // namespace

bool SaveDeviceSettings(SerialLink& link, const Settings& settings, const DeviceFlags& device, LogData& log,
                        const NewLogSettings& newLog, const QDateTime& now) {
    UserInterface& ui = link.ui();
    log.SensorType = GetStatusBlock(link);
    // Every setting is sent, whatever the ones before it gave.
    bool confirmed = SetCmd(link, "SETTIME", StartTimeArgument(now));
    confirmed &= SetCmd(link, "SETDESC", descriptionArgument(newLog.description));
    // The first entry and an empty selection both give one tick.
    const auto choices = IntervalChoices(device.ExtendedFirmware);
    const int ticks = newLog.intervalRow > 0 && newLog.intervalRow < static_cast<int>(choices.size())
                          ? choices[static_cast<size_t>(newLog.intervalRow)].ticks
                          : 1;
    confirmed &= SetCmd(link, "SETINT", LngToU16(ticks, ui));
    confirmed &= SetCmd(link, "SETRHHI", DblToFp(newLog.rhHigh, ui));
    confirmed &= SetCmd(link, "SETRHLO", DblToFp(newLog.rhLow, ui));
    const auto celsius = [&](double t) { return settings.Celsius == 0 ? ToCelsius(t) : t; };
    confirmed &= SetCmd(link, "SETTEMPHI", DblToFp(celsius(newLog.tempHigh), ui));
    confirmed &= SetCmd(link, "SETTEMPLO", DblToFp(celsius(newLog.tempLow), ui));
    if (device.ExtendedFirmware != 0) confirmed &= SetCmd(link, "SETMEM", beepArgument(newLog.beep));
    confirmed &= SaveEmcLimits(link, newLog.emcHigh, newLog.emcLow);
    return confirmed;
}

bool SaveTestMode(SerialLink& link, const DeviceFlags& device, qint32 serialNumber, MainWindowValues& values,
                  const QDateTime& now) {
    UserInterface& ui = link.ui();
    bool confirmed = SetCmd(link, "SETTIME", StartTimeArgument(now));
    if (serialNumber < 1000) serialNumber += 1000;
    const QByteArray digits = QByteArray::number(serialNumber);
    confirmed &= SetCmd(link, "SETSN", digits);
    confirmed &= SetCmd(link, "SETDESC", descriptionArgument(QStringLiteral("TEST FOR SN") + QString::fromLatin1(digits)));
    confirmed &= SetCmd(link, "SETINT", LngToU16(1, ui));
    confirmed &= SetCmd(link, "SETRHHI", DblToFp(100, ui));
    confirmed &= SetCmd(link, "SETRHLO", DblToFp(0, ui));
    confirmed &= SetCmd(link, "SETTEMPHI", DblToFp(70, ui));
    confirmed &= SetCmd(link, "SETTEMPLO", DblToFp(0, ui));
    values.Check1 = 1;
    confirmed &= LatchCmd(link, values.Check1);
    if (device.ExtendedFirmware != 0) confirmed &= SetCmd(link, "SETMEM", beepArgument(1));
    return confirmed;
}

} // namespace kv5
