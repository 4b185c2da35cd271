// The main window: the logger's settings as editable boxes, the battery gauge, the status line
// and the buttons that start every device operation and open the other windows. It is open for
// the whole run; closing it ends the program.
#pragma once

#include "app/WindowUi.h"
#include "core/MainWindowValues.h"

#include <QColor>
#include <QUrl>
#include <QWidget>

#include <array>
#include <functional>
#include <utility>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace kv5 {

struct AppState;
class BatteryGauge;

// The program's main window caption.
inline const QString MainWindowTitle = ProgramTitle + QStringLiteral(" v" KV5_VERSION);
// What the status line says once the program is ready.
inline const QString ReadyText = QStringLiteral("Ready!  Click Detect & Read to start.");

// Fills list with the ten logging intervals for the tick that extendedFirmware implies, each
// with its tick count as item data, and keeps the selected row (or none).
void LoadIntervals(QComboBox& list, int extendedFirmware);

// The window is the user-interface seam of everything started from it: its messages go to the
// window's own boxes (or the ui it was given), its status to the status line.
class frmApp : public QWidget, public UserInterface {
    Q_OBJECT

public:
    // Messages of the window's own procedures go to ui; without one they go to the window's own
    // message boxes (windowUi()).
    explicit frmApp(AppState& state, UserInterface* ui = nullptr, QWidget* parent = nullptr);
    ~frmApp() override;

    // The start-up sequence: settings, DATA folder, interval list, species list, species
    // choices, status line. Call once, before the window is first shown. A
    // failure is reported as "ERROR: frmApp_Load: " and ends the sequence there.
    void Load();

    // The seven main buttons (cmdDetect, cmdNew, cmdText, cmdChart, cmdSpecies, cmdExit,
    // cmdStore) on or off together; cmdHelp and cmdSetTest are left as they are.
    void EnableButtons();
    void DisableButtons();

    // While a device operation runs the boxes, the interval list and the alarm options cannot
    // be edited: what the user typed has gone to the logger and what it holds comes back.
    void LockValues(bool locked);

    // After a revision query: cmdStore and chkBeep shown and enabled with extended firmware,
    // hidden and disabled without, and the interval list rebuilt for the tick.
    void ShowFirmwareControls(int extendedFirmware);

    // The logger's values into the boxes, and back out as the user has edited them.
    void ShowValues(const MainWindowValues& values);
    MainWindowValues Values() const;
    // Gives the box of the values the focus (a box that held no number); nullptr does nothing.
    void FocusBox(ValueBox box);

    Answer message(const Message& message) override;
    bool input(const QString& prompt, const QString& title, QString& value) override;
    // The status line.
    void status(const QString& text) override;

    void SetStatus(const QString& text);
    void SetStatusColor(const QColor& color);

    // cmdHelp: opens KV5.PDF of the program folder with the desktop's viewer; every failure,
    // a missing file included, is ignored without a message.
    void OpenHelp();
    // cmdSpecies: shows the Settings window modally.
    void ShowSettingsWindow();

    // The user-interface seam as this window provides it, and the one its procedures use.
    WindowUi& windowUi() { return windowUi_; }
    UserInterface& ui() { return *ui_; }
    AppState& state() { return state_; }

    // Called when the window is closing (cmdExit or the window frame), before it goes: the
    // device code closes the serial port here (and waits for a running operation to end).
    // Returns whether the window may close now; while a device operation runs it may not, and
    // the window closes once the operation has ended.
    std::function<bool()> onClosing;
    // How documents are handed to the desktop; tests replace it.
    std::function<bool(const QUrl&)> openDocument;

    // The controls, named as the program names them. The device operations connect to the
    // buttons and read and write the boxes through ShowValues/Values.
    QPushButton* cmdDetect;
    QPushButton* cmdChart;
    QPushButton* cmdText;
    QPushButton* cmdHelp;
    QPushButton* cmdSpecies;
    QPushButton* cmdNew;
    QPushButton* cmdStore;
    QPushButton* cmdExit;
    QPushButton* cmdSetTest;
    QLabel* capSN;
    QLineEdit* txtSN;
    QLabel* capBatt;
    BatteryGauge* picBatt;
    QLabel* capTime;
    QLineEdit* txtTime;
    QLabel* capDesc;
    QLineEdit* txtDesc;
    QLabel* capLogInt;
    QComboBox* cboInt;
    QLabel* capRhAlarm;
    QLabel* capRhHi;
    QLabel* capRhLo;
    QLineEdit* txtRhHi;
    QLineEdit* txtRhLo;
    QCheckBox* Check1;
    QLabel* capTempAlarm;
    QLabel* capTempHi;
    QLabel* capTempLo;
    QLineEdit* txtTempHi;
    QLineEdit* txtTempLo;
    QCheckBox* chkBeep;
    QLabel* capEmcAlarm;
    QLabel* capEmcHi;
    QLabel* capEmcLo;
    QLineEdit* txtEmcHi;
    QLineEdit* txtEmcLo;
    QLineEdit* txtStatus;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    bool valuesLocked_ = false;
    void buildControls();
    void readStartupSettings();
    // The text boxes, each with the member of the values it shows.
    std::array<std::pair<ValueBox, QLineEdit*>, 9> textBoxes() const;

    AppState& state_;
    WindowUi windowUi_;
    UserInterface* ui_;
};

} // namespace kv5
