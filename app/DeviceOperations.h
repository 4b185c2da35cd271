// The four operations of the main window that talk to the logger, in their common frame:
// buttons off, find the port (offering a retry), ask, open, query the revision, the
// operation's own steps, close, buttons on. No widgets: the windows and the command line
// run the same code through their side of the user-interface seam.
#pragma once

#include "core/LogContext.h"
#include "core/MainWindowValues.h"
#include "logger/DeviceSettings.h"

#include <QString>

#include <optional>

namespace kv5 {

struct AppState;
class DeviceObserver;
class SerialLink;
class UserInterface;

inline const QString NotFoundText =
    QStringLiteral("The device was not found.  Make sure it is properly installed and try again.");
inline const QString OpenFailedText = QStringLiteral("ERROR: Open serial port failed!");
inline const QString ConfirmNewLogText = QStringLiteral("Do you want to clear the device log and start a new one?");
inline const QString ConfirmStorageText = QStringLiteral("Do you want to put the device in storage mode?");
// A box that is empty or holds no number, before "Start New Log" or "Set Test Mode" sends
// anything: %1 the field, %2 the box's text.
inline const QString NotANumberText =
    QStringLiteral("The %1 \"%2\" is not a number.  Type a number and try again; nothing was sent to the logger.");
inline const QString NoStorageModeText = QStringLiteral("This device does not support storage mode!");
// Asked before a log that no file of DATA holds is cleared; %1 the records not saved.
inline const QString UnsavedRecordsText = QStringLiteral(
    "The logger holds %1 records that have not been saved. Read and save them before the log is cleared?");
// The status block could not be read before a clear, so nothing tells whether its log was saved.
inline const QString LogNotCheckedText =
    QStringLiteral("The logger's status could not be read, so its log was not cleared.  The logger still holds "
                   "its log: check the cable and try again.");

// Reads the boxes "Start New Log" sends as numbers into settings, with the description, the
// interval row and the beep. A box that is empty or holds no number is named to the user
// (NotANumberText) and its box returned; nullptr when every box holds a number.
ValueBox ReadNewLogBoxes(const MainWindowValues& values, NewLogSettings& settings, UserInterface& ui);

// The context of the log just downloaded, as the logger held it: values are the boxes read with
// it, now the download's time.
LogContext LogContextOf(const AppState& state, const MainWindowValues& values,
                        const QDateTime& now = QDateTime::currentDateTimeUtc());

class DeviceOperations {
public:
    // The observer sees the buttons' state, the firmware kind and the values read.
    DeviceOperations(AppState& state, SerialLink& link, DeviceObserver& observer);

    // "Detect && Read": reads the logger into values and the in-memory log and saves the log
    // as a new file when it has records. Returns the saved file's full path, or empty text.
    QString DetectAndRead(MainWindowValues& values);
    // "Start New Log": reads the boxes it sends as numbers first; a box that is empty or no
    // number stops it before anything is sent, with a message naming the field, and the box is
    // returned (else nullptr). Otherwise, after a Yes, clears the log and writes the values
    // entered.
    ValueBox StartNewLog(MainWindowValues& values);
    // "Set Test Mode": reads the serial number box the same way, then clears the log and writes
    // the test configuration.
    ValueBox SetTestMode(MainWindowValues& values);
    // "Storage Mode": after a Yes, puts a logger with extended firmware into storage mode.
    void StorageMode(MainWindowValues& values);
    // "Detect & Read" without the download: the logger's settings into values.
    void ReadSettings(MainWindowValues& values);

    // What the last Start New Log or Set Test Mode did: whether the logger confirmed the clear,
    // whether it confirmed every command after it, and the file its unsaved log was saved to.
    bool logCleared() const { return logCleared_; }
    bool allConfirmed() const { return allConfirmed_; }
    const QString& savedBeforeClear() const { return savedBeforeClear_; }

    // True while an operation runs; a second one is refused meanwhile.
    bool running() const { return running_; }

private:
    enum class Kind { DetectAndRead, StartNewLog, SetTestMode, StorageMode, ReadSettings };
    QString run(Kind kind, MainWindowValues& values);
    // Before a clear: true when the log may go, because no record is unsaved, the user chose to
    // clear anyway, or its records were read and saved.
    bool mayClearLog();
    // The settings into values and the log into the in-memory log, as Detect & Read reads them;
    // false when the log could not be downloaded.
    bool readSettingsAndLog(MainWindowValues& values, DeviceObserver& observer);
    // The number in a box, or nothing after telling the user which field holds no number.
    std::optional<double> readBox(const QString& text, const QString& field);
    bool ask(const QString& question);

    AppState& state_;
    SerialLink& link_;
    DeviceObserver& observer_;
    bool running_ = false;
    bool logCleared_ = false;
    bool allConfirmed_ = false;
    QString savedBeforeClear_;
    NewLogSettings newLog_;
    qint32 testSerialNumber_ = 0;
};

} // namespace kv5
