#include "app/MainController.h"

#include "app/AppState.h"
#include "app/ViewCommands.h"
#include "app/frmApp.h"
#include "export/ExcelExport.h"
#include "app/frmOpenFile.h"
#include "views/Print.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QPushButton>
#include <QStandardPaths>
#include <QTimer>

namespace kv5 {

MainController::OperationUi::OperationUi(frmApp& window) : window_(window) {}

// Boxes go where the window's own procedures send theirs (its message boxes, or a test's
// script); the status line and the controls are the window's.
Answer MainController::OperationUi::message(const Message& message) { return window_.ui().message(message); }

bool MainController::OperationUi::input(const QString& prompt, const QString& title, QString& value) {
    return window_.ui().input(prompt, title, value);
}

void MainController::OperationUi::status(const QString& text) { window_.windowUi().status(text); }

void MainController::OperationUi::firmwareChanged(int extendedFirmware) {
    window_.ShowFirmwareControls(extendedFirmware);
}

void MainController::OperationUi::buttonsEnabled(bool enabled) {
    if (enabled)
        window_.EnableButtons();
    else
        window_.DisableButtons();
    // The values typed go to the logger and what it holds comes back: no edits in between.
    window_.LockValues(!enabled);
}

void MainController::OperationUi::valuesRead(const MainWindowValues& values) { window_.ShowValues(values); }

MainController::MainController(AppState& state, frmApp& window)
    : QObject(&window), window_(window), ui_(window), link_(ui_), operations_(state, link_, ui_) {
    connect(window.cmdDetect, &QPushButton::clicked, this,
            [this] { run([this](MainWindowValues& values) { operations_.DetectAndRead(values); }); });
    // A box that holds no number stops the operation before anything is sent; it gets the focus.
    const auto focusBox = [this](const QString& control) {
        if (auto* box = window_.findChild<QWidget*>(control)) box->setFocus();
    };
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
    // The library window's Export button writes the workbook and hands it to the desktop.
    SetLogFileExporter([&state](UserInterface& ui, const QString& path) {
        OpenInExcel(state.settings, ui, path);
    });
    // Its CSV and JSON choices ask where the file goes, beside the user's documents by default.
    SetOpenFormatExporter([&state](UserInterface& ui, const QString& path, OpenFormat format, QWidget* parent) {
        const QString suffix = OpenFormatSuffix(format);
        const QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
        const QString suggested = QDir(folder).filePath(QFileInfo(path).completeBaseName() + suffix);
        const QString filter = format == OpenFormat::Csv ? QStringLiteral("CSV files (*.csv)")
                                                         : QStringLiteral("JSON files (*.json)");
        const QString chosen = QFileDialog::getSaveFileName(parent, QStringLiteral("Export"), suggested, filter);
        if (chosen.isEmpty()) return;
        WriteOpenFormatFile(format, state.settings, ui, path, chosen);
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
