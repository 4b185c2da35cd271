// A program folder, the program state, a simulated logger and the device operations on it,
// for the tests that run whole operations.
#pragma once

#include "app/AppState.h"
#include "app/DeviceOperations.h"
#include "core/DeviceObserver.h"
#include "device/SerialLink.h"
#include "device/SerialPortStream.h"
#include "sim/Simulator.h"
#include "support/ScriptedUi.h"

#include <QTemporaryDir>

namespace kv5 {

// The scripted double, also watching what the frame shows the main window.
class OperationUi : public ScriptedUi, public DeviceObserver {
public:
    QList<bool> buttons;
    std::vector<int> firmwareChanges;
    int valuesShown = 0;
    void buttonsEnabled(bool enabled) override { buttons << enabled; }
    void firmwareChanged(int extendedFirmware) override { firmwareChanges.push_back(extendedFirmware); }
    void valuesRead(const MainWindowValues&) override { ++valuesShown; }
};

// How the link reaches the simulated logger: in process on a virtual clock (fast, exact
// timing), or through QSerialPort on the simulator's pseudo-terminal (the real path).
enum class Wire { InProcess, PseudoTerminal };

struct DeviceRig {
    explicit DeviceRig(const sim::Options& options = {}, Wire wire = Wire::InProcess);

    // The files of DATA, hidden ones included.
    QStringList dataFiles() const;
    // The requests of the transcript as their command words ("GETLOG 3" for a block).
    QStringList commands() const;
    // Nanoseconds on the in-process line's virtual clock.
    qint64 clock() { return simulator.stream().now(); }

    QTemporaryDir folder;
    AppState state;
    OperationUi ui;
    sim::Simulator simulator;
    SerialPortStream serialPort;
    SerialLink link;
    DeviceOperations operations;
    MainWindowValues values;
    bool started = false;
};

QByteArray bytes(std::initializer_list<int> values);

} // namespace kv5
