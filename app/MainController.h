// Connects the main window's device buttons to the device operations, and its view buttons to
// the views; owns the serial link for the whole run.
#pragma once

#include "app/DeviceOperations.h"
#include "core/DeviceObserver.h"
#include "core/UserInterface.h"
#include "device/SerialLink.h"

#include <QObject>

namespace kv5 {

struct AppState;
class frmApp;

class MainController : public QObject {
    Q_OBJECT

public:
    MainController(AppState& state, frmApp& window);

    DeviceOperations& operations() { return operations_; }
    SerialLink& link() { return link_; }

    // Whether the main window may close now. During an operation it may not: the close is
    // remembered and carried out when the operation has ended and closed the port.
    bool mayClose();

private:
    // The window's side of the seam, plus the two effects a device operation has on the main
    // window beyond messages: the button state and the values read.
    class OperationUi : public UserInterface, public DeviceObserver {
    public:
        explicit OperationUi(frmApp& window);
        Answer message(const Message& message) override;
        bool input(const QString& prompt, const QString& title, QString& value) override;
        void status(const QString& text) override;
        void firmwareChanged(int extendedFirmware) override;
        void buttonsEnabled(bool enabled) override;
        void valuesRead(const MainWindowValues& values) override;

    private:
        frmApp& window_;
    };

    template <typename Operation> void run(Operation operation);

    frmApp& window_;
    OperationUi ui_;
    SerialLink link_;
    DeviceOperations operations_;
    bool closeWhenDone_ = false;
};

} // namespace kv5
