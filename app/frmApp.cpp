#include "app/frmApp.h"

#include "app/AppState.h"
#include "app/BatteryGauge.h"
#include "app/IniFile.h"
#include "app/ProgramFolder.h"
#include "app/ProgramSettings.h"
#include "app/frmSpecies.h"
#include "calc/Species.h"
#include "core/Numbers.h"
#include "core/Units.h"
#include "logger/Intervals.h"
#include "views/Buttons.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDesktopServices>
#include <QFileInfo>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>
#include <exception>
#include <type_traits>
#include <variant>

namespace kv5 {

namespace {

void setTextColor(QWidget* widget, const QColor& color) {
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, color);
    palette.setColor(QPalette::Text, color);
    widget->setPalette(palette);
}

// Keeps the place of a control that is hidden until the logger or the settings call for it, so
// the window does not change its shape when it appears.
void keepPlaceWhenHidden(QWidget* widget) {
    QSizePolicy policy = widget->sizePolicy();
    policy.setRetainSizeWhenHidden(true);
    widget->setSizePolicy(policy);
}

} // namespace

void LoadIntervals(QComboBox& list, int extendedFirmware) {
    const int selected = list.currentIndex();
    list.clear();
    for (const IntervalChoice& choice : IntervalChoices(extendedFirmware))
        list.addItem(choice.text, choice.ticks);
    // An empty list selects its first added row by itself; put back exactly what was selected.
    list.setCurrentIndex(selected < list.count() ? selected : -1);
}

frmApp::frmApp(AppState& state, UserInterface* ui, QWidget* parent)
    : QWidget(parent), state_(state), windowUi_(*this), ui_(ui ? ui : &windowUi_) {
    setObjectName(QStringLiteral("frmApp"));
    setWindowTitle(MainWindowTitle);
    openDocument = [](const QUrl& url) { return QDesktopServices::openUrl(url); };
    buildControls();

    connect(cmdExit, &QPushButton::clicked, this, &QWidget::close);
    connect(cmdHelp, &QPushButton::clicked, this, &frmApp::OpenHelp);
    connect(cmdSpecies, &QPushButton::clicked, this, &frmApp::ShowSettingsWindow);
}

frmApp::~frmApp() = default;

namespace {

// A control of the window: the member that holds it (its type says what is made), its name and
// its caption. The rows are in the order the controls are made, which is also the order Tab
// walks through them.
using ControlMember = std::variant<QPushButton* frmApp::*, QLabel* frmApp::*, QLineEdit* frmApp::*,
                                   QCheckBox* frmApp::*, QComboBox* frmApp::*, BatteryGauge* frmApp::*>;
struct ControlRow {
    ControlMember member;
    const char* name;
    const char* caption;
};

const ControlRow Controls[] = {
    {&frmApp::cmdDetect, "cmdDetect", "Detect && Read"},
    {&frmApp::cmdChart, "cmdChart", "Show Chart"},
    {&frmApp::cmdText, "cmdText", "Show Log"},
    {&frmApp::cmdHelp, "cmdHelp", "Help"},
    {&frmApp::cmdSpecies, "cmdSpecies", "Settings"},
    {&frmApp::cmdNew, "cmdNew", "Start New Log"},
    {&frmApp::cmdStore, "cmdStore", "Storage Mode"},
    {&frmApp::cmdExit, "cmdExit", "Exit"},
    {&frmApp::cmdSetTest, "cmdSetTest", "Set Test Mode"},
    {&frmApp::capSN, "capSN", "Serial Number"},
    {&frmApp::txtSN, "txtSN", ""},
    {&frmApp::capBatt, "capBatt", "Battery"},
    {&frmApp::picBatt, "picBatt", ""},
    {&frmApp::capTime, "capTime", "Log Start Date and Time"},
    {&frmApp::txtTime, "txtTime", ""},
    {&frmApp::capDesc, "capDesc", "Log Description"},
    {&frmApp::txtDesc, "txtDesc", ""},
    {&frmApp::capLogInt, "capLogInt", "Logging Interval"},
    {&frmApp::cboInt, "cboInt", ""},
    {&frmApp::capRhAlarm, "capRhAlarm", "RH / MC % Alarm"},
    {&frmApp::capRhHi, "capRhHi", "High Limit"},
    {&frmApp::capRhLo, "capRhLo", "Low Limit"},
    {&frmApp::txtRhHi, "txtRhHi", ""},
    {&frmApp::txtRhLo, "txtRhLo", ""},
    {&frmApp::Check1, "Check1", "Hold Alarms"},
    {&frmApp::capTempAlarm, "capTempAlarm", "Temperature Alarm"},
    {&frmApp::capTempHi, "capTempHi", "High Limit"},
    {&frmApp::capTempLo, "capTempLo", "Low Limit"},
    {&frmApp::txtTempHi, "txtTempHi", ""},
    {&frmApp::txtTempLo, "txtTempLo", ""},
    {&frmApp::chkBeep, "chkBeep", "Alarms Beep"},
    {&frmApp::capEmcAlarm, "capEmcAlarm", "EMC % Alarm"},
    {&frmApp::capEmcHi, "capEmcHi", "High Limit"},
    {&frmApp::capEmcLo, "capEmcLo", "Low Limit"},
    {&frmApp::txtEmcHi, "txtEmcHi", ""},
    {&frmApp::txtEmcLo, "txtEmcLo", ""},
    {&frmApp::txtStatus, "txtStatus", ""},
};

template <typename Control>
Control* makeControl(QWidget* parent, const char* name, const QString& caption) {
    if constexpr (std::is_same_v<Control, QPushButton>) {
        return MakeButton(parent, name, caption);
    } else {
        Control* control;
        if constexpr (std::is_same_v<Control, QLabel> || std::is_same_v<Control, QCheckBox>)
            control = new Control(caption, parent);
        else
            control = new Control(parent);
        control->setObjectName(QLatin1String(name));
        return control;
    }
}

void makeControls(frmApp& window) {
    for (const ControlRow& row : Controls)
        std::visit(
            [&](auto member) {
                using Control = std::remove_pointer_t<std::remove_reference_t<decltype(window.*member)>>;
                window.*member = makeControl<Control>(&window, row.name, QLatin1String(row.caption));
            },
            row.member);
}

// The states the controls start in: read-only boxes, the extended firmware's controls hidden
// (in their place) until a logger with it is read, and the alarm captions in their colours.
void setInitialStates(frmApp& window) {
    window.txtSN->setReadOnly(true);
    window.txtTime->setReadOnly(true);
    window.txtDesc->setMaxLength(32);
    window.txtStatus->setReadOnly(true);
    window.txtStatus->setFocusPolicy(Qt::NoFocus);
    for (QWidget* hidden : std::initializer_list<QWidget*>{window.cmdStore, window.chkBeep, window.cmdSetTest}) {
        keepPlaceWhenHidden(hidden);
        hidden->setEnabled(false);
        hidden->setVisible(false);
    }
    setTextColor(window.capRhAlarm, QColor(0, 0, 255));
    setTextColor(window.capTempAlarm, QColor(255, 0, 0));
    setTextColor(window.capEmcAlarm, QColor(0, 128, 0));
}

// The measures the layout shares, from the window's font.
struct Measures {
    int charWidth;
    int lineHeight;
    int captionWidth; // of the captions at the left of both groups, so their boxes line up
    int columnSpacing;
};

// Sizes follow the font, so the window keeps its proportions at any scale factor.
Measures sizeControls(frmApp& window) {
    const QFontMetrics metrics = window.fontMetrics();
    const int charWidth = metrics.averageCharWidth();
    const int buttonWidth = metrics.horizontalAdvance(QStringLiteral("Start New Log")) + 4 * charWidth;
    // A box whose query failed shows "COMM ERROR", which must fit.
    const int valueWidth = metrics.horizontalAdvance(QStringLiteral("COMM ERROR")) + 3 * charWidth;
    const int limitWidth = valueWidth;
    for (QPushButton* button : {window.cmdDetect, window.cmdChart, window.cmdText, window.cmdHelp, window.cmdSpecies,
                                window.cmdNew, window.cmdStore, window.cmdExit})
        button->setMinimumWidth(buttonWidth);
    window.txtSN->setFixedWidth(valueWidth);
    window.txtTime->setFixedWidth(
        std::max(valueWidth, metrics.horizontalAdvance(QStringLiteral("00/00/0000 00:00")) + 3 * charWidth));
    window.txtDesc->setMinimumWidth(metrics.horizontalAdvance(QString(32, QLatin1Char('W'))) * 3 / 4);
    window.cboInt->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    window.cboInt->setMinimumContentsLength(11);
    for (QLineEdit* box : {window.txtRhHi, window.txtRhLo, window.txtTempHi, window.txtTempLo, window.txtEmcHi,
                           window.txtEmcLo})
        box->setFixedWidth(limitWidth);

    int captionWidth = 0;
    for (QLabel* caption : {window.capSN, window.capTime, window.capDesc, window.capLogInt, window.capRhAlarm,
                            window.capTempAlarm, window.capEmcAlarm})
        captionWidth = std::max(captionWidth, caption->sizeHint().width());
    // The caption of the temperature alarm gets its unit at start-up.
    captionWidth =
        std::max(captionWidth, metrics.horizontalAdvance(QStringLiteral("Temperature \u00B0F Alarm")));
    return {charWidth, metrics.height(), captionWidth, 2 * charWidth};
}

// Two rows of four buttons.
QLayout* buttonRows(frmApp& window, const Measures& measures) {
    auto* buttons = new QGridLayout;
    buttons->setHorizontalSpacing(measures.charWidth);
    const std::initializer_list<QPushButton*> firstRow{window.cmdDetect, window.cmdChart, window.cmdText,
                                                       window.cmdHelp};
    const std::initializer_list<QPushButton*> secondRow{window.cmdSpecies, window.cmdNew, window.cmdStore,
                                                        window.cmdExit};
    int column = 0;
    for (QPushButton* button : firstRow) buttons->addWidget(button, 0, column++);
    column = 0;
    for (QPushButton* button : secondRow) buttons->addWidget(button, 1, column++);
    return buttons;
}

// The logger's identity and log settings: captions at the left, boxes beside them; Set Test
// Mode beside the serial number and the battery gauge at the right.
QLayout* identityRows(frmApp& window, const Measures& measures) {
    auto* identity = new QGridLayout;
    identity->setHorizontalSpacing(measures.columnSpacing);
    identity->setColumnMinimumWidth(0, measures.captionWidth);
    identity->addWidget(window.capSN, 0, 0);
    auto* serialRow = new QHBoxLayout;
    serialRow->setSpacing(measures.charWidth);
    serialRow->addWidget(window.txtSN);
    serialRow->addWidget(window.cmdSetTest);
    serialRow->addStretch(1);
    serialRow->addSpacing(2 * measures.charWidth);
    serialRow->addWidget(window.capBatt);
    serialRow->addWidget(window.picBatt);
    identity->addLayout(serialRow, 0, 1);
    identity->addWidget(window.capTime, 1, 0);
    identity->addWidget(window.txtTime, 1, 1, Qt::AlignLeft);
    identity->addWidget(window.capDesc, 2, 0);
    identity->addWidget(window.txtDesc, 2, 1);
    identity->addWidget(window.capLogInt, 3, 0);
    identity->addWidget(window.cboInt, 3, 1, Qt::AlignLeft);
    identity->setColumnStretch(1, 1);
    return identity;
}

// Three alarm rows: the caption at the left, "High Limit" and "Low Limit" above their boxes,
// the row's option at the right.
QLayout* alarmRows(frmApp& window, const Measures& measures) {
    auto* alarms = new QGridLayout;
    alarms->setHorizontalSpacing(measures.columnSpacing);
    alarms->setColumnMinimumWidth(0, measures.captionWidth);
    alarms->setVerticalSpacing(2);
    struct AlarmRow {
        QLabel* caption;
        QLabel* highCaption;
        QLabel* lowCaption;
        QLineEdit* high;
        QLineEdit* low;
        QCheckBox* option;
    };
    const AlarmRow rows[] = {
        {window.capRhAlarm, window.capRhHi, window.capRhLo, window.txtRhHi, window.txtRhLo, window.Check1},
        {window.capTempAlarm, window.capTempHi, window.capTempLo, window.txtTempHi, window.txtTempLo, window.chkBeep},
        {window.capEmcAlarm, window.capEmcHi, window.capEmcLo, window.txtEmcHi, window.txtEmcLo, nullptr}};
    int row = 0;
    for (const AlarmRow& alarm : rows) {
        alarms->addWidget(alarm.highCaption, row, 1);
        alarms->addWidget(alarm.lowCaption, row, 2);
        alarms->addWidget(alarm.caption, row + 1, 0);
        alarms->addWidget(alarm.high, row + 1, 1);
        alarms->addWidget(alarm.low, row + 1, 2);
        if (alarm.option) alarms->addWidget(alarm.option, row + 1, 3);
        if (row > 0) alarms->setRowMinimumHeight(row - 1, measures.lineHeight / 2);
        row += 3;
    }
    alarms->setColumnStretch(3, 1);
    return alarms;
}

} // namespace

void frmApp::buildControls() {
    makeControls(*this);
    setInitialStates(*this);
    const Measures measures = sizeControls(*this);

    auto* layout = new QVBoxLayout(this);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    layout->addLayout(buttonRows(*this, measures));
    layout->addSpacing(measures.lineHeight / 2);
    layout->addLayout(identityRows(*this, measures));
    layout->addSpacing(measures.lineHeight / 2);
    layout->addLayout(alarmRows(*this, measures));
    layout->addSpacing(measures.lineHeight / 2);
    layout->addWidget(txtStatus);
}

void frmApp::Load() {
    try {
        readStartupSettings();
    } catch (const std::exception& failure) {
        ui().message({QStringLiteral("ERROR: frmApp_Load: ") + QString::fromLocal8Bit(failure.what())});
    }
}

void frmApp::readStartupSettings() {
    LoadProgramState(state_, ui(), WriteBack::Yes);
    const Settings& settings = state_.settings;

    // The unit in this caption stays until the next start, like the setting it was read from.
    capTempAlarm->setText(QStringLiteral("Temperature ") + DegreeLabel(settings.Celsius) + QStringLiteral(" Alarm"));
    if (settings.TestMode) {
        cmdSetTest->setEnabled(true);
        cmdSetTest->setVisible(true);
        txtSN->setReadOnly(false);
    }
    // Until a logger has been asked for its firmware revision the flag is off: 34-second ticks.
    LoadIntervals(*cboInt, state_.device.ExtendedFirmware);

    SetStatusColor(QColor(0, 0, 255));
    SetStatus(ReadyText);
}

void frmApp::EnableButtons() {
    for (QPushButton* button : {cmdDetect, cmdNew, cmdText, cmdChart, cmdSpecies, cmdExit, cmdStore})
        button->setEnabled(true);
}

void frmApp::DisableButtons() {
    for (QPushButton* button : {cmdDetect, cmdNew, cmdText, cmdChart, cmdSpecies, cmdExit, cmdStore})
        button->setEnabled(false);
}

void frmApp::LockValues(bool locked) {
    valuesLocked_ = locked;
    for (QLineEdit* box : {txtDesc, txtRhHi, txtRhLo, txtTempHi, txtTempLo, txtEmcHi, txtEmcLo})
        box->setReadOnly(locked);
    txtSN->setReadOnly(locked || state_.settings.TestMode == 0);
    cboInt->setEnabled(!locked);
    Check1->setEnabled(!locked);
    chkBeep->setEnabled(!locked && state_.device.ExtendedFirmware != 0);
}

void frmApp::ShowFirmwareControls(int extendedFirmware) {
    const bool extended = extendedFirmware != 0;
    cmdStore->setVisible(extended);
    cmdStore->setEnabled(extended && !valuesLocked_);
    chkBeep->setVisible(extended);
    chkBeep->setEnabled(extended && !valuesLocked_);
    LoadIntervals(*cboInt, extendedFirmware);
}

std::array<std::pair<ValueBox, QLineEdit*>, 9> frmApp::textBoxes() const {
    return {{{&MainWindowValues::txtSN, txtSN},
             {&MainWindowValues::txtTime, txtTime},
             {&MainWindowValues::txtDesc, txtDesc},
             {&MainWindowValues::txtRhHi, txtRhHi},
             {&MainWindowValues::txtRhLo, txtRhLo},
             {&MainWindowValues::txtTempHi, txtTempHi},
             {&MainWindowValues::txtTempLo, txtTempLo},
             {&MainWindowValues::txtEmcHi, txtEmcHi},
             {&MainWindowValues::txtEmcLo, txtEmcLo}}};
}

void frmApp::ShowValues(const MainWindowValues& values) {
    for (const auto& [member, box] : textBoxes()) box->setText(values.*member);
    cboInt->setCurrentIndex(values.cboInt < cboInt->count() ? values.cboInt : -1);
    Check1->setChecked(values.Check1 != 0);
    chkBeep->setChecked(values.chkBeep != 0);
    picBatt->setState(values.picBatt);
}

MainWindowValues frmApp::Values() const {
    MainWindowValues values;
    for (const auto& [member, box] : textBoxes()) values.*member = box->text();
    values.cboInt = cboInt->currentIndex();
    values.Check1 = Check1->isChecked() ? 1 : 0;
    values.chkBeep = chkBeep->isChecked() ? 1 : 0;
    values.picBatt = picBatt->state();
    return values;
}

void frmApp::FocusBox(ValueBox focused) {
    for (const auto& [member, box] : textBoxes())
        if (member == focused) box->setFocus();
}

Answer frmApp::message(const Message& message) {
    return ui_->message(message);
}

bool frmApp::input(const QString& prompt, const QString& title, QString& value) {
    return ui_->input(prompt, title, value);
}

void frmApp::status(const QString& text) {
    SetStatus(text);
}

void frmApp::SetStatus(const QString& text) {
    txtStatus->setText(text);
}

void frmApp::SetStatusColor(const QColor& color) {
    setTextColor(txtStatus, color);
}

void frmApp::OpenHelp() {
    // Handing a missing file to the desktop would make its viewer complain; stay silent instead.
    const QString path = state_.helpPath();
    if (!QFileInfo(path).isFile() || !openDocument) return;
    openDocument(QUrl::fromLocalFile(path));
}

void frmApp::ShowSettingsWindow() {
    frmSpecies window(state_, ui(), this);
    window.exec();
}

void frmApp::closeEvent(QCloseEvent* event) {
    if (onClosing && !onClosing()) {
        event->ignore();
        return;
    }
    event->accept();
}

} // namespace kv5
