// The four operations of the main window that talk to the logger, in their common frame:
// buttons off, find the port (offering a retry), ask, open, query the revision, the
// operation's own steps, close, buttons on. No widgets: the windows and the command line
// run the same code through their side of the user-interface seam.
#pragma once

#include "app/MainWindowValues.h"

#include <QString>

namespace kv5 {

struct AppState;
class SerialLink;
class UserInterface;

inline const QString NotFoundText =
    QStringLiteral("The device was not found.  Make sure it is properly installed and try again.");
inline const QString OpenFailedText = QStringLiteral("ERROR: Open serial port failed!");
inline const QString ConfirmNewLogText = QStringLiteral("Do you want to clear the device log and start a new one?");
inline const QString ConfirmStorageText = QStringLiteral("Do you want to put the device in storage mode?");
inline const QString NoStorageModeText = QStringLiteral("This device does not support storage mode!");

class DeviceOperations {
public:
    DeviceOperations(AppState& state, SerialLink& link);

    // "Detect && Read": reads the logger into values and the in-memory log and saves the log
    // as a new file when it has records. Returns the saved file's full path, or empty text.
    QString DetectAndRead(MainWindowValues& values);
    // "Start New Log": after a Yes, clears the log and writes the values entered.
    void StartNewLog(MainWindowValues& values);
    // "Set Test Mode": clears the log and writes the test configuration.
    void SetTestMode(MainWindowValues& values);
    // "Storage Mode": after a Yes, puts a logger with extended firmware into storage mode.
    void StorageMode(MainWindowValues& values);

    // True while an operation runs; a second one is refused meanwhile.
    bool running() const { return running_; }

private:
    enum class Kind { DetectAndRead, StartNewLog, SetTestMode, StorageMode };
    QString run(Kind kind, MainWindowValues& values);
    bool ask(const QString& question);

    AppState& state_;
    SerialLink& link_;
    bool running_ = false;
};

} // namespace kv5
