#include "app/MainController.h"

#include "app/AppState.h"
#include "app/ViewCommands.h"
#include "app/frmApp.h"
#include "app/frmOpenFile.h"
#include "views/PrintWindows.h"

#include <QPushButton>
#include <QTimer>

namespace kv5 {

void MainController::firmwareChanged(int extendedFirmware) {
    window_.ShowFirmwareControls(extendedFirmware);
}

void MainController::buttonsEnabled(bool enabled) {
    if (enabled)
        window_.EnableButtons();
    else
        window_.DisableButtons();
    // The values typed go to the logger and what it holds comes back: no edits in between.
    window_.LockValues(!enabled);
}

void MainController::valuesRead(const MainWindowValues& values) {
    window_.ShowValues(values);
}

MainController::MainController(AppState& state, frmApp& window)
    : QObject(&window), window_(window), link_(window), operations_(state, link_, *this) {
    connect(window.cmdDetect, &QPushButton::clicked, this,
            [this] { run([this](MainWindowValues& values) { operations_.DetectAndRead(values); }); });
    // A box that holds no number stops the operation before anything is sent; it gets the focus.
    const auto focusBox = [this](ValueBox box) { window_.FocusBox(box); };
    connect(window.cmdNew, &QPushButton::clicked, this, [this, focusBox] {
        run([&](MainWindowValues& values) { focusBox(operations_.StartNewLog(values)); });
    });
    connect(window.cmdSetTest, &QPushButton::clicked, this, [this, focusBox] {
        run([&](MainWindowValues& values) { focusBox(operations_.SetTestMode(values)); });
    });
    connect(window.cmdStore, &QPushButton::clicked, this,
            [this] { run([this](MainWindowValues& values) { operations_.StorageMode(values); }); });
    connect(window.cmdText, &QPushButton::clicked, this, [this, &state] {
        ShowPrintableLogTable(LogViewOf(state), window_.ui(), LogFileActionsOf(state, window_.ui()),
                              &window_);
    });
    connect(window.cmdChart, &QPushButton::clicked, this, [this, &state] {
        ShowPrintableChartWindow(LogViewOf(state), window_.ui(), LogFileActionsOf(state, window_.ui()),
                                 &window_);
    });
}

template <typename Operation> void MainController::run(Operation operation) {
    if (operations_.running()) return;
    // The values the user typed go to the logger; what the logger holds comes back.
    MainWindowValues values = window_.Values();
    operation(values);
    window_.ShowValues(values);
    if (closeWhenDone_) QTimer::singleShot(0, &window_, [this] { window_.close(); });
}

bool MainController::mayClose() {
    if (operations_.running()) {
        closeWhenDone_ = true;
        window_.SetStatus(QStringLiteral("Closing when the logger has answered..."));
        return false;
    }
    link_.PortClose();
    return true;
}

} // namespace kv5
