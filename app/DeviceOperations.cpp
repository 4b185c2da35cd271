#include "app/DeviceOperations.h"

#include "app/AppState.h"
#include "core/DeviceObserver.h"
#include "core/Numbers.h"
#include "core/UserInterface.h"
#include "device/Commands.h"
#include "device/PortDiscovery.h"
#include "device/SerialLink.h"
#include "logfiles/LogFile.h"
#include "logger/DeviceSettings.h"

#include <QDir>

#include <algorithm>
#include <cmath>

namespace kv5 {

namespace {

// The most records a file of the DATA folder holds for the log of this serial number and start
// time (its name says both); 0 when none does, or when either could not be read.
int savedRecords(const QString& dataFolder, const QByteArray& serial, const QByteArray& start, UserInterface& ui) {
    const bool startRead =
        start.size() == 10 && std::all_of(start.begin(), start.end(), [](char c) { return c >= '0' && c <= '9'; });
    if (serial == CommError || serial.isEmpty() || !startRead) return 0;
    LogData log;
    log.SerialNumber = QString::fromLatin1(serial);
    log.StartTimeText = QString::fromLatin1(start);
    const QString prefix = LogFileBaseName(log, ui) + QLatin1Char('-');
    int most = 0;
    for (const QString& name : QDir(dataFolder).entryList(QDir::Files)) {
        if (!name.startsWith(prefix) || !name.endsWith(QLatin1String(".txt"))) continue;
        const QString sequence = name.mid(prefix.size(), name.size() - prefix.size() - 4);
        bool number = false;
        sequence.toInt(&number);
        if (!number || sequence.size() < 2) continue;
        QString why;
        if (ReadLogRecords(log, QDir(dataFolder).filePath(name), why)) most = std::max(most, log.RecordCount);
    }
    return most;
}

} // namespace

LogContext LogContextOf(const AppState& state, const MainWindowValues& values, const QDateTime& now) {
    const LogData& log = state.log;
    LogContext context;
    context.SerialNumber = log.SerialNumber;
    context.Description = log.Description;
    context.SensorType = log.SensorType;
    context.FirmwareRevision = state.device.Revision;
    context.Start = log.StartTime;
    if (log.StartTime.isValid())
        context.UtcOffsetSeconds =
            QDateTime(log.StartTime.date(), log.StartTime.time(), Qt::LocalTime).offsetFromUtc();
    if (log.LogInterval > 0) context.IntervalSeconds = log.LogInterval * state.device.SecondsPerTick();
    context.Records = log.RecordCount;
    context.Celsius = state.settings.Celsius != 0;
    // The boxes hold the limits as the logger gave them ("COMM ERROR" when it did not).
    const auto limit = [](const QString& text) { return ReadNumberEitherSeparator(text); };
    context.Temperature = {limit(values.txtTempLo), limit(values.txtTempHi)};
    context.RhMc = {limit(values.txtRhLo), limit(values.txtRhHi)};
    context.EmcAlarm = {limit(values.txtEmcLo), limit(values.txtEmcHi)};
    context.HoldAlarms = values.Check1 != 0;
    if (state.device.ExtendedFirmware != 0) context.Beep = values.chkBeep != 0;
    for (size_t channel = 0; channel < 3; ++channel) {
        LogContext::Species& species = context.McSpecies[channel];
        species.Code = state.settings.McSp[channel];
        for (int i = 0; i < state.species.SpeciesCount; ++i)
            if (state.species.SpeciesTable[size_t(i)].Code == species.Code)
                species.Name = state.species.SpeciesTable[size_t(i)].Name;
    }
    context.Downloaded = now.toUTC();
    context.Program = QStringLiteral("kv5");
    context.Version = QStringLiteral(KV5_VERSION);
    return context;
}

DeviceOperations::DeviceOperations(AppState& state, SerialLink& link, DeviceObserver& observer)
    : state_(state), link_(link), observer_(observer) {}

QString DeviceOperations::DetectAndRead(MainWindowValues& values) { return run(Kind::DetectAndRead, values); }
std::optional<double> DeviceOperations::readBox(const QString& text, const QString& field) {
    const std::optional<double> number = ReadNumberEitherSeparator(text);
    if (!number) link_.ui().message({NotANumberText.arg(field, text), Icon::Exclamation});
    return number;
}

ValueBox ReadNewLogBoxes(const MainWindowValues& values, NewLogSettings& settings, UserInterface& ui) {
    struct Box {
        ValueBox box;
        const char* field;
        double& number;
    };
    const Box boxes[] = {
        {&MainWindowValues::txtRhHi, "RH / MC % Alarm High Limit", settings.rhHigh},
        {&MainWindowValues::txtRhLo, "RH / MC % Alarm Low Limit", settings.rhLow},
        {&MainWindowValues::txtTempHi, "Temperature Alarm High Limit", settings.tempHigh},
        {&MainWindowValues::txtTempLo, "Temperature Alarm Low Limit", settings.tempLow},
        {&MainWindowValues::txtEmcHi, "EMC % Alarm High Limit", settings.emcHigh},
        {&MainWindowValues::txtEmcLo, "EMC % Alarm Low Limit", settings.emcLow},
    };
    for (const Box& box : boxes) {
        const QString& text = values.*box.box;
        const std::optional<double> number = ReadNumberEitherSeparator(text);
        if (!number) {
            ui.message({NotANumberText.arg(QString::fromLatin1(box.field), text), Icon::Exclamation});
            return box.box;
        }
        box.number = *number;
    }
    settings.description = values.txtDesc;
    settings.intervalRow = values.cboInt;
    settings.beep = values.chkBeep == 1;
    return nullptr;
}

ValueBox DeviceOperations::StartNewLog(MainWindowValues& values) {
    if (running_) return nullptr;
    if (const ValueBox failed = ReadNewLogBoxes(values, newLog_, link_.ui())) return failed;
    run(Kind::StartNewLog, values);
    return nullptr;
}

ValueBox DeviceOperations::SetTestMode(MainWindowValues& values) {
    if (running_) return nullptr;
    // A whole number, halves to even, as the logger's serial numbers are.
    const std::optional<double> serial = readBox(values.txtSN, QStringLiteral("Serial Number"));
    if (!serial) return &MainWindowValues::txtSN;
    testSerialNumber_ = static_cast<qint32>(std::clamp(std::nearbyint(*serial), 0.0, 99999999.0));
    run(Kind::SetTestMode, values);
    return nullptr;
}
void DeviceOperations::StorageMode(MainWindowValues& values) { run(Kind::StorageMode, values); }
void DeviceOperations::ReadSettings(MainWindowValues& values) { run(Kind::ReadSettings, values); }

bool DeviceOperations::mayClearLog() {
    UserInterface& ui = link_.ui();
    // What identifies the log: the status block (sensor family and memory size), the serial
    // number and the start time; then how many records a download would bring.
    const QByteArray status = GetLog(link_, 0);
    if (status == CommError) {
        ui.message({LogNotCheckedText, Icon::Exclamation});
        return false;
    }
    const int sensor = ByteAt(status, StatusSensorCode, ui);
    // Without a known sensor no read brings any record: there is nothing the program could save.
    if (sensor != SensorVantorp && sensor != SensorQ7R) return true;
    const QByteArray serial = GetCmd(link_, "GETSN", 4);
    const QByteArray start = GetCmd(link_, "GETTIME", 10);
    const std::optional<int> held =
        CountLogRecords(link_, state_.device, sensor, ByteAt(status, StatusMemorySizeMark, ui));
    if (!held) {
        ui.status(DownloadFailedStatus);
        return false;
    }
    const int unsaved = *held - savedRecords(state_.dataFolder(), serial, start, ui);
    if (unsaved <= 0) return true;

    switch (ui.message({UnsavedRecordsText.arg(unsaved), Icon::Question, Buttons::ReadClearCancel, ConfirmTitle,
                        Answer::ReadAndSave})) {
    case Answer::ClearAnyway:
        return true;
    case Answer::ReadAndSave:
        break;
    default:
        return false;
    }
    // As Detect & Read does, into values of its own: the boxes keep what is to be written.
    MainWindowValues read;
    DeviceObserver unobserved;
    if (!readSettingsAndLog(read, unobserved) || state_.log.RecordCount < 1) return false;
    const LogContext context = LogContextOf(state_, read);
    const QString name = SaveLogFile(state_.log, state_.dataFolder(), ui, &context);
    if (name.isEmpty()) return false;
    savedBeforeClear_ = LogFilePath(state_, name);
    return true;
}

bool DeviceOperations::readSettingsAndLog(MainWindowValues& values, DeviceObserver& observer) {
    const DecodeOptions options = DecodeOptionsOf(state_);
    return DownloadDeviceLog(link_, options, state_.log, GetDeviceSettings(link_, options, state_.log, values, observer));
}

bool DeviceOperations::ask(const QString& question) {
    return link_.ui().message({question, Icon::Question, Buttons::YesNo, ConfirmTitle, Answer::No}) == Answer::Yes;
}

QString DeviceOperations::run(Kind kind, MainWindowValues& values) {
    // Set Test Mode has no button of the seven that the frame turns off; this keeps it, too,
    // from starting inside a running operation.
    if (running_) return {};
    running_ = true;
    UserInterface& ui = link_.ui();
    QString saved;
    logCleared_ = allConfirmed_ = false;
    savedBeforeClear_.clear();

    observer_.buttonsEnabled(false);
    const auto finish = [&] {
        observer_.buttonsEnabled(true);
        running_ = false;
        return saved;
    };

    // Find the logger; the user may plug it in and search again.
    DeviceFlags& device = state_.device;
    device.DevicePort = GetUsbDevicePort(ui, device.PortOverride);
    while (device.DevicePort.isEmpty()) {
        if (ui.message({NotFoundText, Icon::Stop, Buttons::OkCancel}) != Answer::Ok) return finish();
        device.DevicePort = GetUsbDevicePort(ui, device.PortOverride);
    }

    if (kind == Kind::StartNewLog && !ask(ConfirmNewLogText)) return finish();
    if (kind == Kind::StorageMode && !ask(ConfirmStorageText)) return finish();

    if (!link_.PortOpen(device.DevicePort)) {
        ui.message({OpenFailedText, Icon::Stop});
        return finish();
    }
    GetRevCmd(link_, device);
    observer_.firmwareChanged(device.ExtendedFirmware);

    switch (kind) {
    case Kind::DetectAndRead:
        readSettingsAndLog(values, observer_);
        break;
    case Kind::ReadSettings:
        GetDeviceSettings(link_, DecodeOptionsOf(state_), state_.log, values, observer_);
        break;
    case Kind::StartNewLog: {
        // The alarm choice is what the user set, whatever a read before the clear finds.
        const int holdAlarms = values.Check1;
        if (!mayClearLog()) break;
        logCleared_ = ClrCmd(link_);
        allConfirmed_ = StoreCmd(link_, 0) && logCleared_;
        allConfirmed_ &= SaveDeviceSettings(link_, state_.settings, device, state_.log, newLog_);
        allConfirmed_ &= LatchCmd(link_, holdAlarms);
        readSettingsAndLog(values, observer_);
        break;
    }
    case Kind::SetTestMode:
        // The status block the check reads first is the one the test mode always began with.
        if (!mayClearLog()) break;
        logCleared_ = ClrCmd(link_);
        allConfirmed_ = StoreCmd(link_, 0) && logCleared_;
        allConfirmed_ &= SaveTestMode(link_, device, testSerialNumber_, values);
        readSettingsAndLog(values, observer_);
        break;
    case Kind::StorageMode:
        if (device.ExtendedFirmware != 0)
            StoreCmd(link_, -1);
        else
            ui.message({NoStorageModeText, Icon::Information});
        break;
    }
    link_.PortClose();

    // Every operation but storage mode and the settings alone has read the logger's log anew.
    if (kind != Kind::StorageMode && kind != Kind::ReadSettings) {
        state_.log.Context.reset();
        if (state_.log.RecordCount > 0) state_.log.Context = LogContextOf(state_, values);
    }
    if (kind == Kind::DetectAndRead && state_.log.RecordCount > 0) {
        const QString name = SaveLogFile(state_.log, state_.dataFolder(), ui, &*state_.log.Context);
        if (!name.isEmpty()) saved = LogFilePath(state_, name);
    }
    return finish();
}

} // namespace kv5
