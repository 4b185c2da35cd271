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

#include <algorithm>
#include <cmath>

namespace kv5 {

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
    const auto limit = [](const QString& text) { return ReadNumber(text); };
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
    const std::optional<double> number = ReadNumber(text);
    if (!number) link_.ui().message({NotANumberText.arg(field, text), Icon::Exclamation});
    return number;
}

ValueBox DeviceOperations::StartNewLog(MainWindowValues& values) {
    if (running_) return nullptr;
    struct Box {
        ValueBox box;
        const char* field;
        double& number;
    };
    NewLogSettings& settings = newLog_;
    const Box boxes[] = {
        {&MainWindowValues::txtRhHi, "RH / MC % Alarm High Limit", settings.rhHigh},
        {&MainWindowValues::txtRhLo, "RH / MC % Alarm Low Limit", settings.rhLow},
        {&MainWindowValues::txtTempHi, "Temperature Alarm High Limit", settings.tempHigh},
        {&MainWindowValues::txtTempLo, "Temperature Alarm Low Limit", settings.tempLow},
        {&MainWindowValues::txtEmcHi, "EMC % Alarm High Limit", settings.emcHigh},
        {&MainWindowValues::txtEmcLo, "EMC % Alarm Low Limit", settings.emcLow},
    };
    for (const Box& box : boxes) {
        const std::optional<double> number = readBox(values.*box.box, QString::fromLatin1(box.field));
        if (!number) return box.box;
        box.number = *number;
    }
    settings.description = values.txtDesc;
    settings.intervalRow = values.cboInt;
    settings.beep = values.chkBeep == 1;
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
        GetDeviceSettings(link_, DecodeOptionsOf(state_), state_.log, values, observer_, true);
        break;
    case Kind::StartNewLog:
        ClrCmd(link_);
        StoreCmd(link_, 0);
        SaveDeviceSettings(link_, state_.settings, device, state_.log, newLog_);
        LatchCmd(link_, values.Check1);
        GetDeviceSettings(link_, DecodeOptionsOf(state_), state_.log, values, observer_, true);
        break;
    case Kind::SetTestMode:
        GetLog(link_, 0);
        ClrCmd(link_);
        StoreCmd(link_, 0);
        SaveTestMode(link_, device, testSerialNumber_, values);
        GetDeviceSettings(link_, DecodeOptionsOf(state_), state_.log, values, observer_, true);
        break;
    case Kind::StorageMode:
        if (device.ExtendedFirmware != 0)
            StoreCmd(link_, -1);
        else
            ui.message({NoStorageModeText, Icon::Information});
        break;
    }
    link_.PortClose();

    // Every operation but storage mode has read the logger's log anew.
    if (kind != Kind::StorageMode) {
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
