#include "app/frmApp.h"

#include "app/AppState.h"
#include "app/BatteryGauge.h"
#include "app/IniFile.h"
#include "app/ProgramFolder.h"
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

namespace kv5 {

namespace {

QLabel* makeLabel(QWidget* parent, const char* name, const QString& caption) {
    auto* label = new QLabel(caption, parent);
    label->setObjectName(QLatin1String(name));
    return label;
}

QLineEdit* makeBox(QWidget* parent, const char* name) {
    auto* box = new QLineEdit(parent);
    box->setObjectName(QLatin1String(name));
    return box;
}

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

void frmApp::buildControls() {
    cmdDetect = MakeButton(this, "cmdDetect", QStringLiteral("Detect && Read"));
    cmdChart = MakeButton(this, "cmdChart", QStringLiteral("Show Chart"));
    cmdText = MakeButton(this, "cmdText", QStringLiteral("Show Log"));
    cmdHelp = MakeButton(this, "cmdHelp", QStringLiteral("Help"));
    cmdSpecies = MakeButton(this, "cmdSpecies", QStringLiteral("Settings"));
    cmdNew = MakeButton(this, "cmdNew", QStringLiteral("Start New Log"));
    cmdStore = MakeButton(this, "cmdStore", QStringLiteral("Storage Mode"));
    cmdExit = MakeButton(this, "cmdExit", QStringLiteral("Exit"));
    cmdSetTest = MakeButton(this, "cmdSetTest", QStringLiteral("Set Test Mode"));

    capSN = makeLabel(this, "capSN", QStringLiteral("Serial Number"));
    txtSN = makeBox(this, "txtSN");
    capBatt = makeLabel(this, "capBatt", QStringLiteral("Battery"));
    picBatt = new BatteryGauge(this);
    picBatt->setObjectName(QStringLiteral("picBatt"));
    capTime = makeLabel(this, "capTime", QStringLiteral("Log Start Date and Time"));
    txtTime = makeBox(this, "txtTime");
    capDesc = makeLabel(this, "capDesc", QStringLiteral("Log Description"));
    txtDesc = makeBox(this, "txtDesc");
    capLogInt = makeLabel(this, "capLogInt", QStringLiteral("Logging Interval"));
    cboInt = new QComboBox(this);
    cboInt->setObjectName(QStringLiteral("cboInt"));

    capRhAlarm = makeLabel(this, "capRhAlarm", QStringLiteral("RH / MC % Alarm"));
    capRhHi = makeLabel(this, "capRhHi", QStringLiteral("High Limit"));
    capRhLo = makeLabel(this, "capRhLo", QStringLiteral("Low Limit"));
    txtRhHi = makeBox(this, "txtRhHi");
    txtRhLo = makeBox(this, "txtRhLo");
    Check1 = new QCheckBox(QStringLiteral("Hold Alarms"), this);
    Check1->setObjectName(QStringLiteral("Check1"));
    capTempAlarm = makeLabel(this, "capTempAlarm", QStringLiteral("Temperature Alarm"));
    capTempHi = makeLabel(this, "capTempHi", QStringLiteral("High Limit"));
    capTempLo = makeLabel(this, "capTempLo", QStringLiteral("Low Limit"));
    txtTempHi = makeBox(this, "txtTempHi");
    txtTempLo = makeBox(this, "txtTempLo");
    chkBeep = new QCheckBox(QStringLiteral("Alarms Beep"), this);
    chkBeep->setObjectName(QStringLiteral("chkBeep"));
    capEmcAlarm = makeLabel(this, "capEmcAlarm", QStringLiteral("EMC % Alarm"));
    capEmcHi = makeLabel(this, "capEmcHi", QStringLiteral("High Limit"));
    capEmcLo = makeLabel(this, "capEmcLo", QStringLiteral("Low Limit"));
    txtEmcHi = makeBox(this, "txtEmcHi");
    txtEmcLo = makeBox(this, "txtEmcLo");
    txtStatus = makeBox(this, "txtStatus");

    // Initial states.
    txtSN->setReadOnly(true);
    txtTime->setReadOnly(true);
    txtDesc->setMaxLength(32);
    txtStatus->setReadOnly(true);
    txtStatus->setFocusPolicy(Qt::NoFocus);
    for (QWidget* hidden : std::initializer_list<QWidget*>{cmdStore, chkBeep, cmdSetTest}) {
        keepPlaceWhenHidden(hidden);
        hidden->setEnabled(false);
        hidden->setVisible(false);
    }
    setTextColor(capRhAlarm, QColor(0, 0, 255));
    setTextColor(capTempAlarm, QColor(255, 0, 0));
    setTextColor(capEmcAlarm, QColor(0, 128, 0));

    // Sizes follow the font, so the window keeps its proportions at any scale factor.
    const QFontMetrics metrics = fontMetrics();
    const int charWidth = metrics.averageCharWidth();
    const int buttonWidth = metrics.horizontalAdvance(QStringLiteral("Start New Log")) + 4 * charWidth;
    // A box whose query failed shows "COMM ERROR", which must fit.
    const int valueWidth = metrics.horizontalAdvance(QStringLiteral("COMM ERROR")) + 3 * charWidth;
    const int limitWidth = valueWidth;
    for (QPushButton* button : {cmdDetect, cmdChart, cmdText, cmdHelp, cmdSpecies, cmdNew, cmdStore, cmdExit})
        button->setMinimumWidth(buttonWidth);
    txtSN->setFixedWidth(valueWidth);
    txtTime->setFixedWidth(
        std::max(valueWidth, metrics.horizontalAdvance(QStringLiteral("00/00/0000 00:00")) + 3 * charWidth));
    txtDesc->setMinimumWidth(metrics.horizontalAdvance(QString(32, QLatin1Char('W'))) * 3 / 4);
    cboInt->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    cboInt->setMinimumContentsLength(11);
    for (QLineEdit* box : {txtRhHi, txtRhLo, txtTempHi, txtTempLo, txtEmcHi, txtEmcLo})
        box->setFixedWidth(limitWidth);

    // The captions at the left of both groups share one width, so their boxes line up.
    int captionWidth = 0;
    for (QLabel* caption : {capSN, capTime, capDesc, capLogInt, capRhAlarm, capTempAlarm, capEmcAlarm})
        captionWidth = std::max(captionWidth, caption->sizeHint().width());
    // The caption of the temperature alarm gets its unit at start-up.
    captionWidth =
        std::max(captionWidth, metrics.horizontalAdvance(QStringLiteral("Temperature \u00B0F Alarm")));
    const int columnSpacing = 2 * charWidth;

    auto* layout = new QVBoxLayout(this);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    // Two rows of four buttons.
    auto* buttons = new QGridLayout;
    buttons->setHorizontalSpacing(charWidth);
    const std::initializer_list<QPushButton*> firstRow{cmdDetect, cmdChart, cmdText, cmdHelp};
    const std::initializer_list<QPushButton*> secondRow{cmdSpecies, cmdNew, cmdStore, cmdExit};
    int column = 0;
    for (QPushButton* button : firstRow) buttons->addWidget(button, 0, column++);
    column = 0;
    for (QPushButton* button : secondRow) buttons->addWidget(button, 1, column++);
    layout->addLayout(buttons);
    layout->addSpacing(metrics.height() / 2);

    // The logger's identity and log settings: captions at the left, boxes beside them; Set Test
    // Mode beside the serial number and the battery gauge at the right.
    auto* identity = new QGridLayout;
    identity->setHorizontalSpacing(columnSpacing);
    identity->setColumnMinimumWidth(0, captionWidth);
    identity->addWidget(capSN, 0, 0);
    auto* serialRow = new QHBoxLayout;
    serialRow->setSpacing(charWidth);
    serialRow->addWidget(txtSN);
    serialRow->addWidget(cmdSetTest);
    serialRow->addStretch(1);
    serialRow->addSpacing(2 * charWidth);
    serialRow->addWidget(capBatt);
    serialRow->addWidget(picBatt);
    identity->addLayout(serialRow, 0, 1);
    identity->addWidget(capTime, 1, 0);
    identity->addWidget(txtTime, 1, 1, Qt::AlignLeft);
    identity->addWidget(capDesc, 2, 0);
    identity->addWidget(txtDesc, 2, 1);
    identity->addWidget(capLogInt, 3, 0);
    identity->addWidget(cboInt, 3, 1, Qt::AlignLeft);
    identity->setColumnStretch(1, 1);
    layout->addLayout(identity);
    layout->addSpacing(metrics.height() / 2);

    // Three alarm rows: the caption at the left, "High Limit" and "Low Limit" above their boxes,
    // the row's option at the right.
    auto* alarms = new QGridLayout;
    alarms->setHorizontalSpacing(columnSpacing);
    alarms->setColumnMinimumWidth(0, captionWidth);
    alarms->setVerticalSpacing(2);
    struct AlarmRow {
        QLabel* caption;
        QLabel* highCaption;
        QLabel* lowCaption;
        QLineEdit* high;
        QLineEdit* low;
        QCheckBox* option;
    };
    const AlarmRow rows[] = {{capRhAlarm, capRhHi, capRhLo, txtRhHi, txtRhLo, Check1},
                             {capTempAlarm, capTempHi, capTempLo, txtTempHi, txtTempLo, chkBeep},
                             {capEmcAlarm, capEmcHi, capEmcLo, txtEmcHi, txtEmcLo, nullptr}};
    int row = 0;
    for (const AlarmRow& alarm : rows) {
        alarms->addWidget(alarm.highCaption, row, 1);
        alarms->addWidget(alarm.lowCaption, row, 2);
        alarms->addWidget(alarm.caption, row + 1, 0);
        alarms->addWidget(alarm.high, row + 1, 1);
        alarms->addWidget(alarm.low, row + 1, 2);
        if (alarm.option) alarms->addWidget(alarm.option, row + 1, 3);
        if (row > 0) alarms->setRowMinimumHeight(row - 1, metrics.height() / 2);
        row += 3;
    }
    alarms->setColumnStretch(3, 1);
    layout->addLayout(alarms);
    layout->addSpacing(metrics.height() / 2);

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
    Settings& settings = state_.settings;
    const QString ini = state_.iniPath();
    // Every setting is read as a number (text that is no number gives 0) and, but for TestMode,
    // written back, so that the file holds every key after the first start.
    const auto read = [&](const QString& key, const QString& defaultValue) {
        return StrToLng(GetIniSetting(ini, GeneralSection, key, defaultValue, ui()));
    };
    QString refusal;
    const auto writeBack = [&](const QString& key, int value) {
        WriteIniSetting(ini, GeneralSection, key, QString::number(value), ui(), &refusal);
    };

    settings.Celsius = read(QStringLiteral("Celsius"), QStringLiteral("0"));
    writeBack(QStringLiteral("Celsius"), settings.Celsius);

    // The unit in this caption stays until the next start, like the setting it was read from.
    capTempAlarm->setText(QStringLiteral("Temperature ") + DegreeLabel(settings.Celsius) + QStringLiteral(" Alarm"));

    settings.AhGpp = read(QStringLiteral("AhGpp"), QStringLiteral("1"));
    writeBack(QStringLiteral("AhGpp"), settings.AhGpp);

    // TestMode is only ever set by editing the file, so it is not written back.
    settings.TestMode = read(QStringLiteral("TestMode"), QStringLiteral("0"));
    if (settings.TestMode) {
        cmdSetTest->setEnabled(true);
        cmdSetTest->setVisible(true);
        txtSN->setReadOnly(false);
    }

    settings.Emc = read(QStringLiteral("Emc"), QStringLiteral("1"));
    writeBack(QStringLiteral("Emc"), settings.Emc);
    settings.Dewpoint = read(QStringLiteral("Dewpoint"), QStringLiteral("1"));
    writeBack(QStringLiteral("Dewpoint"), settings.Dewpoint);
    LoadSummarySettings(state_.iniPath(), settings, ui());

    MakeFolders(state_.ProgramFolder, ui());

    // Until a logger has been asked for its firmware revision the flag is off: 34-second ticks.
    LoadIntervals(*cboInt, state_.device.ExtendedFirmware);

    ReadSpeciesFile(state_.speciesPath(), state_.species, ui());

    for (int channel = 1; channel <= 3; ++channel) {
        const QString key = QStringLiteral("McSp%1").arg(channel);
        settings.McSp[channel - 1] = read(key, QStringLiteral("1"));
        writeBack(key, settings.McSp[channel - 1]);
    }
    ReportUnsavedSettings(ini, refusal, ui());

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

void frmApp::ShowValues(const MainWindowValues& values) {
    txtSN->setText(values.txtSN);
    txtTime->setText(values.txtTime);
    txtDesc->setText(values.txtDesc);
    cboInt->setCurrentIndex(values.cboInt < cboInt->count() ? values.cboInt : -1);
    txtRhHi->setText(values.txtRhHi);
    txtRhLo->setText(values.txtRhLo);
    txtTempHi->setText(values.txtTempHi);
    txtTempLo->setText(values.txtTempLo);
    txtEmcHi->setText(values.txtEmcHi);
    txtEmcLo->setText(values.txtEmcLo);
    Check1->setChecked(values.Check1 != 0);
    chkBeep->setChecked(values.chkBeep != 0);
    picBatt->setState(values.picBatt);
}

MainWindowValues frmApp::Values() const {
    MainWindowValues values;
    values.txtSN = txtSN->text();
    values.txtTime = txtTime->text();
    values.txtDesc = txtDesc->text();
    values.cboInt = cboInt->currentIndex();
    values.txtRhHi = txtRhHi->text();
    values.txtRhLo = txtRhLo->text();
    values.txtTempHi = txtTempHi->text();
    values.txtTempLo = txtTempLo->text();
    values.txtEmcHi = txtEmcHi->text();
    values.txtEmcLo = txtEmcLo->text();
    values.Check1 = Check1->isChecked() ? 1 : 0;
    values.chkBeep = chkBeep->isChecked() ? 1 : 0;
    values.picBatt = picBatt->state();
    return values;
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
