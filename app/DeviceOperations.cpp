#include "app/DeviceOperations.h"

#include "app/AppState.h"
#include "app/UserInterface.h"
#include "device/Commands.h"
#include "device/PortDiscovery.h"
#include "device/SerialLink.h"
#include "logfiles/LogFile.h"
#include "logger/DeviceSettings.h"

namespace kv5 {

DeviceOperations::DeviceOperations(AppState& state, SerialLink& link) : state_(state), link_(link) {}

QString DeviceOperations::DetectAndRead(MainWindowValues& values) { return run(Kind::DetectAndRead, values); }
void DeviceOperations::StartNewLog(MainWindowValues& values) { run(Kind::StartNewLog, values); }
void DeviceOperations::SetTestMode(MainWindowValues& values) { run(Kind::SetTestMode, values); }
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

    ui.buttonsEnabled(false);
    const auto finish = [&] {
        ui.buttonsEnabled(true);
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

    switch (kind) {
    case Kind::DetectAndRead:
        GetDeviceSettings(link_, state_, values, true);
        break;
    case Kind::StartNewLog:
        ClrCmd(link_);
        StoreCmd(link_, 0);
        SaveDeviceSettings(link_, state_, values);
        LatchCmd(link_, values.Check1);
        GetDeviceSettings(link_, state_, values, true);
        break;
    case Kind::SetTestMode:
        GetLog(link_, 0);
        ClrCmd(link_);
        StoreCmd(link_, 0);
        SaveTestMode(link_, state_, values);
        GetDeviceSettings(link_, state_, values, true);
        break;
    case Kind::StorageMode:
        if (device.ExtendedFirmware != 0)
            StoreCmd(link_, -1);
        else
            ui.message({NoStorageModeText, Icon::Information});
        break;
    }
    link_.PortClose();

    if (kind == Kind::DetectAndRead && state_.log.RecordCount > 0) {
        const QString name = SaveLogFile(state_, ui);
        if (!name.isEmpty()) saved = LogFilePath(state_, name);
    }
    return finish();
}

} // namespace kv5
