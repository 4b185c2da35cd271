// Connects the main window's device buttons to the device operations, and its view buttons to
// the views; owns the serial link for the whole run.
#pragma once

#include "app/DeviceOperations.h"
#include "core/DeviceObserver.h"
#include "device/SerialLink.h"

#include <QObject>

namespace kv5 {

struct AppState;
class frmApp;

class MainController : public QObject, public DeviceObserver {
    Q_OBJECT

public:
    MainController(AppState& state, frmApp& window);

    DeviceOperations& operations() { return operations_; }
    SerialLink& link() { return link_; }

    // Whether the main window may close now. During an operation it may not: the close is
    // remembered and carried out when the operation has ended and closed the port.
    bool mayClose();

    // The main window's side of a device operation beyond messages: the firmware kind, the
    // buttons and the values read.
    void firmwareChanged(int extendedFirmware) override;
    void buttonsEnabled(bool enabled) override;
    void valuesRead(const MainWindowValues& values) override;

private:
    template <typename Operation> void run(Operation operation);

    frmApp& window_;
    SerialLink link_;
    DeviceOperations operations_;
    bool closeWhenDone_ = false;
};

} // namespace kv5
