// The main window: its controls, the start-up sequence, the interval list, the buttons, the
// values exchanged with the device code, and the window's side of the user-interface seam.
#include "app/AppState.h"
#include "app/BatteryGauge.h"
#include "app/WindowUi.h"
#include "app/frmApp.h"
#include "app/frmSpecies.h"
#include "support/ScriptedUi.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <cstdlib>
#include <functional>
#include <memory>

using namespace kv5;

namespace {

QByteArray readFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool writeFile(const QString& path, const QByteArray& content) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(content) == content.size();
}

// Runs action on the next modal window as soon as it is shown (a message box, an input box or
// the Settings window), from inside its own event loop.
void onNextModal(std::function<void(QWidget*)> action) {
    auto* timer = new QTimer;
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, [timer, action] {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal || !modal->isVisible()) return;
        timer->stop();
        timer->deleteLater();
        action(modal);
    });
    timer->start();
}

QList<int> itemTicks(const QComboBox* list) {
    QList<int> ticks;
    for (int i = 0; i < list->count(); ++i) ticks.push_back(list->itemData(i).toInt());
    return ticks;
}

QStringList itemTexts(const QComboBox* list) {
    QStringList texts;
    for (int i = 0; i < list->count(); ++i) texts.push_back(list->itemText(i));
    return texts;
}

// Counts the distinct colours of an image, to tell a drawn window from a blank one.
int distinctColours(const QImage& image) {
    QSet<QRgb> colours;
    for (int y = 0; y < image.height(); y += 2)
        for (int x = 0; x < image.width(); x += 2) colours.insert(image.pixel(x, y));
    return int(colours.size());
}

} // namespace

class TestMainWindow : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> home;
    std::unique_ptr<AppState> state;
    std::unique_ptr<ScriptedUi> ui;
    std::unique_ptr<frmApp> window;

    QString ini() const { return state->iniPath(); }

    // A fresh program folder holding the shipped species list and, if given, a settings file.
    void makeHome(const QByteArray& iniContent = {}) {
        home = std::make_unique<QTemporaryDir>();
        QVERIFY(home->isValid());
        QVERIFY(QFile::copy(QStringLiteral(KV5_SOURCE_DIR "/data/ABLIST.TXT"), home->filePath("ABLIST.TXT")));
        if (!iniContent.isNull()) QVERIFY(writeFile(home->filePath("KV5.INI"), iniContent));
        state = std::make_unique<AppState>();
        state->ProgramFolder = home->path();
        ui = std::make_unique<ScriptedUi>();
        window = std::make_unique<frmApp>(*state, ui.get());
    }

    void loadWindow(const QByteArray& iniContent = {}) {
        makeHome(iniContent);
        window->Load();
    }

private slots:
    void cleanup() {
        window.reset();
        if (ui) QVERIFY2(ui->failures.isEmpty(), qPrintable(ui->failures.join('\n')));
    }

    void controlsAtStart() {
        makeHome();
        QCOMPARE(window->objectName(), QStringLiteral("frmApp"));
        QCOMPARE(window->windowTitle(), QStringLiteral("Quorvane KV5 v" KV5_VERSION));
        const QList<std::pair<const char*, QString>> buttons{
            {"cmdDetect", "Detect & Read"}, {"cmdChart", "Show Chart"},
            {"cmdText", "Show Log"},        {"cmdHelp", "Help"},
            {"cmdSpecies", "Settings"},     {"cmdNew", "Start New Log"},
            {"cmdStore", "Storage Mode"},   {"cmdExit", "Exit"},
            {"cmdSetTest", "Set Test Mode"}};
        for (const auto& [name, caption] : buttons) {
            auto* button = window->findChild<QPushButton*>(QLatin1String(name));
            QVERIFY2(button, name);
            // "&&" shows one ampersand and makes no mnemonic.
            QCOMPARE(button->text().replace(QStringLiteral("&&"), QStringLiteral("&")), caption);
        }
        const QList<std::pair<const char*, QString>> labels{{"capSN", "Serial Number"},
                                                            {"capBatt", "Battery"},
                                                            {"capTime", "Log Start Date and Time"},
                                                            {"capDesc", "Log Description"},
                                                            {"capLogInt", "Logging Interval"},
                                                            {"capRhAlarm", "RH / MC % Alarm"},
                                                            {"capTempAlarm", "Temperature Alarm"},
                                                            {"capEmcAlarm", "EMC % Alarm"},
                                                            {"capRhHi", "High Limit"},
                                                            {"capTempHi", "High Limit"},
                                                            {"capEmcHi", "High Limit"},
                                                            {"capRhLo", "Low Limit"},
                                                            {"capTempLo", "Low Limit"},
                                                            {"capEmcLo", "Low Limit"}};
        for (const auto& [name, caption] : labels) {
            auto* label = window->findChild<QLabel*>(QLatin1String(name));
            QVERIFY2(label, name);
            QCOMPARE(label->text(), caption);
        }
        for (const char* name : {"txtSN", "txtTime", "txtDesc", "txtRhHi", "txtRhLo", "txtTempHi",
                                 "txtTempLo", "txtEmcHi", "txtEmcLo", "txtStatus"}) {
            auto* box = window->findChild<QLineEdit*>(QLatin1String(name));
            QVERIFY2(box, name);
            QVERIFY2(box->text().isEmpty(), name);
        }
        QCOMPARE(window->findChild<QCheckBox*>("Check1")->text(), QStringLiteral("Hold Alarms"));
        QCOMPARE(window->findChild<QCheckBox*>("chkBeep")->text(), QStringLiteral("Alarms Beep"));
        QVERIFY(window->findChild<QComboBox*>("cboInt"));
        QVERIFY(window->findChild<BatteryGauge*>("picBatt"));

        // Hidden and disabled until the settings or the logger call for them.
        for (QWidget* control :
             std::initializer_list<QWidget*>{window->cmdStore, window->chkBeep, window->cmdSetTest}) {
            QVERIFY(control->isHidden());
            QVERIFY(!control->isEnabled());
        }
        QVERIFY(window->txtSN->isReadOnly());
        QVERIFY(window->txtTime->isReadOnly());
        QVERIFY(window->txtStatus->isReadOnly());
        QCOMPARE(window->capRhAlarm->palette().color(QPalette::WindowText), QColor(0, 0, 255));
        QCOMPARE(window->capTempAlarm->palette().color(QPalette::WindowText), QColor(255, 0, 0));
        QCOMPARE(window->capEmcAlarm->palette().color(QPalette::WindowText).green(), 128);
    }

    void descriptionTakesAtMost32Characters() {
        makeHome();
        window->show();
        window->txtDesc->setFocus();
        QTest::keyClicks(window->txtDesc, QStringLiteral("Kiln 4, north wall, oak boards, second charge"));
        QCOMPARE(window->txtDesc->text(), QStringLiteral("Kiln 4, north wall, oak boards, "));
    }

    void firstStartWritesTheDefaults() {
        loadWindow();
        QVERIFY(ui->messages.empty());
        QCOMPARE(state->settings.Celsius, 0);
        QCOMPARE(state->settings.AhGpp, 1);
        QCOMPARE(state->settings.TestMode, 0);
        QCOMPARE(state->settings.Emc, 1);
        QCOMPARE(state->settings.Dewpoint, 1);
        QCOMPARE(state->settings.McSp, (std::array<int, 3>{1, 1, 1}));
        const QString content = QString::fromUtf8(readFile(ini()));
        QCOMPARE(
            content,
            QStringLiteral("[General]\nCelsius=0\nAhGpp=1\nEmc=1\nDewpoint=1\nMcSp1=1\nMcSp2=1\nMcSp3=1\n"));
        QVERIFY(!content.contains(QStringLiteral("TestMode"), Qt::CaseInsensitive));
        QVERIFY(QFileInfo(home->filePath("DATA")).isDir());
        QCOMPARE(state->species.SpeciesCount, 2);
        QCOMPARE(window->capTempAlarm->text(), QStringLiteral("Temperature \u00B0F Alarm"));
        QCOMPARE(window->txtStatus->text(), QStringLiteral("Ready!  Click Detect & Read to start."));
        QCOMPARE(window->txtStatus->palette().color(QPalette::Text), QColor(0, 0, 255));
        QCOMPARE(state->GppTraceColor, QColor(0, 128, 0));
        QCOMPARE(state->EmcTraceColor, QColor(128, 0, 128));
        QCOMPARE(state->Mc3TraceColor, QColor(255, 127, 39));
        QCOMPARE(state->DewTraceColor, QColor(0, 127, 255));
    }

    void settingsThatAreNoNumber() {
        loadWindow(
            "; kept\n[General]\nCelsius=warm\nEmc=\nAhGpp = 0 \ndewpoint=2.6\nMcSp2=-3\n[Other]\nk=v\n");
        QVERIFY(ui->messages.empty());
        QCOMPARE(state->settings.Celsius, 0);
        QCOMPARE(state->settings.Emc, 0); // present but empty: 0, not the default
        QCOMPARE(state->settings.AhGpp, 0);
        QCOMPARE(state->settings.Dewpoint, 3);
        QCOMPARE(state->settings.McSp, (std::array<int, 3>{1, -3, 1}));
        QCOMPARE(QString::fromUtf8(readFile(ini())),
                 QStringLiteral(
                     "; kept\n[General]\nCelsius=0\nEmc=0\nAhGpp=0\ndewpoint=3\nMcSp2=-3\nMcSp1=1\nMcSp3=1\n"
                     "[Other]\nk=v\n"));
    }

    void celsiusSetsTheTemperatureCaption() {
        loadWindow("[General]\ncelsius=1\n");
        QCOMPARE(state->settings.Celsius, 1);
        QCOMPARE(window->capTempAlarm->text(), QStringLiteral("Temperature \u00B0C Alarm"));
    }

    void testMode_data() {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<bool>("on");
        QTest::newRow("TestMode=1") << QByteArray("TestMode=1") << true;
        QTest::newRow("testmode=1") << QByteArray("testmode=1") << true;
        QTest::newRow("TESTMODE=-7") << QByteArray("TESTMODE=-7") << true;
        QTest::newRow("TestMode=0") << QByteArray("TestMode=0") << false;
        QTest::newRow("TestMode=yes") << QByteArray("TestMode=yes") << false;
        QTest::newRow("no key") << QByteArray("Emc=1") << false;
    }
    void testMode() {
        QFETCH(QByteArray, line);
        QFETCH(bool, on);
        loadWindow("[General]\n" + line + "\n");
        window->show();
        QCOMPARE(window->cmdSetTest->isVisible(), on);
        QCOMPARE(window->cmdSetTest->isEnabled(), on);
        QCOMPARE(window->cmdSetTest->text(), QStringLiteral("Set Test Mode"));
        // The serial number can be typed only in test mode.
        window->txtSN->setFocus();
        QTest::keyClicks(window->txtSN, QStringLiteral("1234"));
        QCOMPARE(window->txtSN->text(), on ? QStringLiteral("1234") : QString());
        // TestMode is never written back.
        const QByteArray content = readFile(ini());
        QCOMPARE(content.count("estMode") + content.count("ESTMODE") + content.count("estmode"),
                 qsizetype(line.contains("est") || line.contains("EST") ? 1 : 0));
    }

    void intervalListForBothTicksKeepsTheSelectedRow() {
        loadWindow();
        const QStringList texts{"30 seconds", "1 Minute", "5 Minutes", "15 Minutes", "30 Minutes",
                                "1 Hour",     "3 Hours",  "6 Hours",   "12 Hours",   "24 Hours"};
        QCOMPARE(itemTexts(window->cboInt), texts);
        // Until a logger has been queried: 34-second ticks, nothing selected.
        QCOMPARE(itemTicks(window->cboInt), (QList<int>{1, 2, 9, 26, 53, 106, 318, 635, 1271, 2541}));
        QCOMPARE(window->cboInt->currentIndex(), -1);

        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        window->cboInt->setFocus();
        QTest::keyClick(window->cboInt, Qt::Key_Down); // first row
        QTest::keyClick(window->cboInt, Qt::Key_Down);
        QTest::keyClick(window->cboInt, Qt::Key_Down);
        QCOMPARE(window->cboInt->currentText(), QStringLiteral("5 Minutes"));

        // A logger with extended firmware: 30-second ticks, the same row, the extra controls.
        window->ShowFirmwareControls(1);
        QCOMPARE(itemTicks(window->cboInt), (QList<int>{1, 2, 10, 30, 60, 120, 360, 720, 1440, 2880}));
        QCOMPARE(window->cboInt->currentIndex(), 2);
        QCOMPARE(window->cboInt->currentData().toInt(), 10);
        QVERIFY(window->cmdStore->isVisible() && window->cmdStore->isEnabled());
        QVERIFY(window->chkBeep->isVisible() && window->chkBeep->isEnabled());

        window->ShowFirmwareControls(0);
        QCOMPARE(window->cboInt->currentIndex(), 2);
        QCOMPARE(window->cboInt->currentData().toInt(), 9);
        QVERIFY(!window->cmdStore->isVisible() && !window->cmdStore->isEnabled());
        QVERIFY(!window->chkBeep->isVisible() && !window->chkBeep->isEnabled());

        // No selection stays no selection.
        window->cboInt->setCurrentIndex(-1);
        window->ShowFirmwareControls(1);
        QCOMPARE(window->cboInt->currentIndex(), -1);
    }

    void sevenButtonsGoOffAndOnTogether() {
        loadWindow("[General]\nTestMode=1\n");
        window->ShowFirmwareControls(1);
        const QList<QPushButton*> seven{window->cmdDetect, window->cmdNew,     window->cmdText,
                                        window->cmdChart,  window->cmdSpecies, window->cmdExit,
                                        window->cmdStore};
        window->DisableButtons();
        for (QPushButton* button : seven) QVERIFY2(!button->isEnabled(), qPrintable(button->objectName()));
        QVERIFY(window->cmdHelp->isEnabled());
        QVERIFY(window->cmdSetTest->isEnabled());
        window->EnableButtons();
        for (QPushButton* button : seven) QVERIFY2(button->isEnabled(), qPrintable(button->objectName()));
    }

    void valuesRoundTrip() {
        loadWindow();
        MainWindowValues values;
        values.txtSN = QStringLiteral("5123");
        values.txtTime = QStringLiteral("21/05/2014 13:45");
        values.txtDesc = QStringLiteral("Drying kiln 2");
        values.cboInt = 5;
        values.txtRhHi = QStringLiteral("80.0");
        values.txtRhLo = QStringLiteral("20.0");
        values.txtTempHi = QStringLiteral("104.0");
        values.txtTempLo = QStringLiteral("COMM ERROR");
        values.txtEmcHi = QStringLiteral("100.0");
        values.txtEmcLo = QStringLiteral("0.0");
        values.Check1 = 1;
        values.chkBeep = 0;
        values.picBatt = QByteArrayLiteral("COMM ERROR");
        window->ShowValues(values);
        QCOMPARE(window->txtTime->text(), values.txtTime);
        QCOMPARE(window->cboInt->currentText(), QStringLiteral("1 Hour"));
        QCOMPARE(window->txtTempLo->text(), QStringLiteral("COMM ERROR"));
        QVERIFY(window->Check1->isChecked());
        QCOMPARE(window->picBatt->state(), values.picBatt);

        // The user edits what is editable.
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        window->txtDesc->selectAll();
        QTest::keyClicks(window->txtDesc, QStringLiteral("Kiln 3"));
        QTest::mouseClick(window->Check1, Qt::LeftButton);
        window->txtRhHi->selectAll();
        QTest::keyClicks(window->txtRhHi, QStringLiteral("75.5"));

        const MainWindowValues read = window->Values();
        QCOMPARE(read.txtSN, values.txtSN);
        QCOMPARE(read.txtDesc, QStringLiteral("Kiln 3"));
        QCOMPARE(read.cboInt, 5);
        QCOMPARE(read.txtRhHi, QStringLiteral("75.5"));
        QCOMPARE(read.txtRhLo, values.txtRhLo);
        QCOMPARE(read.txtTempHi, values.txtTempHi);
        QCOMPARE(read.txtEmcHi, values.txtEmcHi);
        QCOMPARE(read.txtEmcLo, values.txtEmcLo);
        QCOMPARE(read.Check1, 0);
        QCOMPARE(read.chkBeep, 0);
        QCOMPARE(read.picBatt, values.picBatt);
    }

    void helpOpensTheProgramFoldersDocumentAndIgnoresFailures() {
        loadWindow();
        QList<QUrl> opened;
        window->openDocument = [&opened](const QUrl& url) {
            opened.push_back(url);
            return false; // no viewer: still nothing to say
        };
        QTest::mouseClick(window->cmdHelp, Qt::LeftButton);
        QVERIFY(opened.isEmpty()); // no KV5.PDF: nothing happens
        QVERIFY(writeFile(home->filePath("KV5.PDF"), "%PDF-1.4\n"));
        QTest::mouseClick(window->cmdHelp, Qt::LeftButton);
        QCOMPARE(opened, QList<QUrl>{QUrl::fromLocalFile(home->filePath("KV5.PDF"))});
        QVERIFY(ui->messages.empty());
    }

    void closingRunsTheClosingHook() {
        loadWindow();
        int closings = 0;
        bool mayClose = true;
        window->onClosing = [&] {
            ++closings;
            return mayClose;
        };
        window->show();
        QTest::mouseClick(window->cmdExit, Qt::LeftButton);
        QCOMPARE(closings, 1);
        QVERIFY(!window->isVisible());
        window->show();
        window->close(); // the window frame
        QCOMPARE(closings, 2);
        // While an operation runs the window stays open.
        mayClose = false;
        window->show();
        QTest::mouseClick(window->cmdExit, Qt::LeftButton);
        QCOMPARE(closings, 3);
        QVERIFY(window->isVisible());
    }

    void settingsButtonOpensTheSettingsWindowModally() {
        loadWindow();
        window->show();
        QString seen;
        onNextModal([&seen](QWidget* modal) {
            seen = modal->objectName() + QLatin1Char('|') + modal->windowTitle();
            auto* settings = qobject_cast<frmSpecies*>(modal);
            if (!settings) {
                modal->close();
                return;
            }
            QTest::mouseClick(settings->chkCelsius, Qt::LeftButton);
            QTest::mouseClick(settings->cmdClose, Qt::LeftButton);
        });
        QTest::mouseClick(window->cmdSpecies, Qt::LeftButton);
        QCOMPARE(seen, QStringLiteral("frmSpecies|Settings"));
        QCOMPARE(state->settings.Celsius, 1);
        QVERIFY(readFile(ini()).contains("Celsius=1\n"));
        // The caption keeps its unit until the next start.
        QCOMPARE(window->capTempAlarm->text(), QStringLiteral("Temperature \u00B0F Alarm"));
    }

    // Every step reports its own failure and the start-up goes on; the order of the reports is
    // the order of the steps: five settings, the DATA folder, the species list, three species,
    // then once that the settings could not be saved.
    void startUpStepsRunInOrderAndGoOnAfterFailures() {
        makeHome();
        QVERIFY(QDir(home->path()).mkdir(QStringLiteral("KV5.INI")));
        QVERIFY(writeFile(home->filePath("DATA"), "in the way"));
        QVERIFY(QFile::remove(home->filePath("ABLIST.TXT")));
        window->Load();
        QStringList steps;
        for (const QString& text : ui->messageTexts())
            steps.push_back(text.startsWith("The settings could not be ") ? text.section(": ", 0, 0).mid(26)
                                                                            : text.section(':', 1, 1).trimmed());
        QCOMPARE(steps, (QStringList{"GetIniSetting", "GetIniSetting", "GetIniSetting", "GetIniSetting",
                                     "GetIniSetting", "MakeFolders.0", "ReadSpeciesFile", "GetIniSetting",
                                     "GetIniSetting", "GetIniSetting", "saved in " + ini()}));
        QCOMPARE(state->settings.AhGpp, 0); // a failed read gives empty text
        QCOMPARE(window->txtStatus->text(), ReadyText);
        QCOMPARE(window->cboInt->count(), 10);
        QCOMPARE(state->DewTraceColor, QColor(0, 127, 255));
    }

    void missingSpeciesListIsReportedAndTheStartUpGoesOn() {
        makeHome();
        QVERIFY(QFile::remove(home->filePath("ABLIST.TXT")));
        window->Load();
        QCOMPARE(ui->messages.size(), std::size_t(1));
        QVERIFY(ui->messages[0].text.startsWith(QStringLiteral("ERROR: ReadSpeciesFile: ")));
        QVERIFY(readFile(ini()).contains("McSp3=1"));
        QCOMPARE(window->txtStatus->text(), ReadyText);
    }

    void messageBoxesShowTheExactMessage() {
        makeHome();
        WindowUi& boxes = window->windowUi();
        window->show();

        QString text, title;
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        QMessageBox::StandardButtons buttons;
        QMessageBox::StandardButton defaultButton = QMessageBox::NoButton;
        const auto inspectAndPressEnter = [&](QWidget* modal) {
            auto* box = qobject_cast<QMessageBox*>(modal);
            QVERIFY(box);
            text = box->text();
            title = box->windowTitle();
            icon = box->icon();
            buttons = box->standardButtons();
            defaultButton = box->standardButton(box->defaultButton());
            QTest::keyClick(box, Qt::Key_Return);
        };

        onNextModal(inspectAndPressEnter);
        Answer answer = boxes.message({QStringLiteral("Do you want to put the device in storage mode?"),
                                       Icon::Question, Buttons::YesNo, ConfirmTitle, Answer::No});
        QCOMPARE(answer, Answer::No);
        QCOMPARE(text, QStringLiteral("Do you want to put the device in storage mode?"));
        QCOMPARE(title, QStringLiteral("Confirm"));
        QCOMPARE(icon, QMessageBox::Question);
        QCOMPARE(buttons, QMessageBox::Yes | QMessageBox::No);
        QCOMPARE(defaultButton, QMessageBox::No);

        onNextModal(inspectAndPressEnter);
        answer =
            boxes.message({QStringLiteral("The device was not found.  Make sure it is properly installed and "
                                          "try again."),
                           Icon::Stop, Buttons::OkCancel});
        QCOMPARE(answer, Answer::Ok);
        QCOMPARE(text, QStringLiteral(
                           "The device was not found.  Make sure it is properly installed and try again."));
        QCOMPARE(title, QStringLiteral("Quorvane KV5"));
        QCOMPARE(icon, QMessageBox::Critical);
        QCOMPARE(buttons, QMessageBox::Ok | QMessageBox::Cancel);

        // Cancel by its button; a CR in the text starts a new line.
        onNextModal([&](QWidget* modal) {
            auto* box = qobject_cast<QMessageBox*>(modal);
            QVERIFY(box);
            text = box->text();
            icon = box->icon();
            QTest::mouseClick(box->button(QMessageBox::Cancel), Qt::LeftButton);
        });
        answer = boxes.message({QStringLiteral("Line one\rLine two"), Icon::Exclamation, Buttons::OkCancel});
        QCOMPARE(answer, Answer::Cancel);
        QCOMPARE(text, QStringLiteral("Line one\nLine two"));
        QCOMPARE(icon, QMessageBox::Warning);

        onNextModal([&](QWidget* modal) {
            auto* box = qobject_cast<QMessageBox*>(modal);
            QVERIFY(box);
            icon = box->icon();
            buttons = box->standardButtons();
            QTest::keyClick(box, Qt::Key_Escape);
        });
        answer =
            boxes.message({QStringLiteral("This device does not support storage mode!"), Icon::Information});
        QCOMPARE(answer, Answer::Ok);
        QCOMPARE(icon, QMessageBox::Information);
        QCOMPARE(buttons, QMessageBox::Ok);
    }

    void inputBoxAndStatusLine() {
        makeHome();
        WindowUi& boxes = window->windowUi();
        window->show();
        QString prompt;
        onNextModal([&prompt](QWidget* modal) {
            auto* dialog = qobject_cast<QInputDialog*>(modal);
            QVERIFY(dialog);
            prompt = dialog->labelText() + QLatin1Char('|') + dialog->windowTitle() + QLatin1Char('|') +
                     dialog->textValue();
            dialog->setTextValue(QStringLiteral("Oak boards"));
            dialog->accept();
        });
        QString value = QStringLiteral("Log");
        QVERIFY(boxes.input(QStringLiteral("Description for the printout"), QStringLiteral("Print"), value));
        QCOMPARE(prompt, QStringLiteral("Description for the printout|Print|Log"));
        QCOMPARE(value, QStringLiteral("Oak boards"));

        onNextModal([](QWidget* modal) { qobject_cast<QDialog*>(modal)->reject(); });
        QVERIFY(!boxes.input(QStringLiteral("Description"), QStringLiteral("Print"), value));
        QCOMPARE(value, QStringLiteral("Oak boards"));

        boxes.status(QStringLiteral("Reading block 3 of 40"));
        QCOMPARE(window->txtStatus->text(), QStringLiteral("Reading block 3 of 40"));
    }

    // Looks at the window as a user would: every caption there and readable, nothing
    // overlapping, the arrangement top to bottom. The picture is kept when KV5_SCREENSHOTS names
    // a folder.
    void screenshot() {
        loadWindow("[General]\nTestMode=1\n");
        window->ShowFirmwareControls(1);
        MainWindowValues values;
        values.txtSN = QStringLiteral("5123");
        values.txtTime = QStringLiteral("21/05/2014 13:45");
        values.txtDesc = QStringLiteral("Kiln 2, oak boards, second load");
        values.cboInt = 9;
        values.txtTempHi = QStringLiteral("COMM ERROR");
        window->ShowValues(values);
        // A failed query shows "COMM ERROR" in its box: it must be readable whole.
        for (QLineEdit* box :
             {window->txtSN, window->txtTime, window->txtDesc, window->txtRhHi, window->txtRhLo,
              window->txtTempHi, window->txtTempLo, window->txtEmcHi, window->txtEmcLo}) {
            const int needed = box->fontMetrics().horizontalAdvance(QStringLiteral("COMM ERROR")) +
                               box->fontMetrics().averageCharWidth();
            QVERIFY2(box->width() >= needed, qPrintable(box->objectName()));
        }
        QCOMPARE(window->txtSN->mapTo(window.get(), QPoint()).x(),
                 window->txtRhHi->mapTo(window.get(), QPoint()).x());
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));

        const QList<QWidget*> controls =
            window->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly);
        QVERIFY(controls.size() >= 37);
        for (QWidget* control : controls) {
            const QString name = control->objectName();
            QVERIFY2(control->isVisible(), qPrintable(name));
            QVERIFY2(window->rect().contains(control->geometry()), qPrintable(name));
            QString caption;
            if (auto* label = qobject_cast<QLabel*>(control)) caption = label->text();
            if (auto* button = qobject_cast<QAbstractButton*>(control)) caption = button->text();
            if (qobject_cast<QLabel*>(control) || qobject_cast<QAbstractButton*>(control)) {
                QVERIFY2(!caption.trimmed().isEmpty(), qPrintable(name));
                // The whole caption fits.
                QVERIFY2(control->width() >= control->sizeHint().width(), qPrintable(name));
                QVERIFY2(control->height() >= control->minimumSizeHint().height(), qPrintable(name));
            }
            for (QWidget* other : controls)
                if (other != control)
                    QVERIFY2(!control->geometry().intersects(other->geometry()),
                             qPrintable(name + QStringLiteral(" overlaps ") + other->objectName()));
        }
        const auto top = [this](QWidget* control) { return control->mapTo(window.get(), QPoint()).y(); };
        const auto left = [this](QWidget* control) { return control->mapTo(window.get(), QPoint()).x(); };
        QCOMPARE(top(window->cmdChart), top(window->cmdDetect));
        QVERIFY(left(window->cmdDetect) < left(window->cmdChart) &&
                left(window->cmdChart) < left(window->cmdText) &&
                left(window->cmdText) < left(window->cmdHelp));
        QVERIFY(left(window->cmdSpecies) < left(window->cmdNew) &&
                left(window->cmdNew) < left(window->cmdStore) &&
                left(window->cmdStore) < left(window->cmdExit));
        const QList<QWidget*> downwards{
            window->cmdDetect, window->cmdSpecies, window->txtSN,     window->txtTime,  window->txtDesc,
            window->cboInt,    window->txtRhHi,    window->txtTempHi, window->txtEmcHi, window->txtStatus};
        for (int i = 1; i < downwards.size(); ++i)
            QVERIFY2(top(downwards[i - 1]) < top(downwards[i]), qPrintable(downwards[i]->objectName()));
        QVERIFY(left(window->cmdSetTest) > left(window->txtSN));
        QVERIFY(left(window->picBatt) > left(window->cmdSetTest));
        QVERIFY(top(window->capRhHi) < top(window->txtRhHi) && left(window->txtRhHi) < left(window->txtRhLo));
        QVERIFY(left(window->Check1) > left(window->txtRhLo));
        const auto middle = [&top](QWidget* control) { return top(control) + control->height() / 2; };
        QVERIFY(std::abs(middle(window->Check1) - middle(window->txtRhHi)) <= 2);
        QVERIFY(std::abs(middle(window->chkBeep) - middle(window->txtTempHi)) <= 2);

        const QPixmap picture = window->grab();
        QVERIFY(!picture.isNull());
        QCOMPARE(picture.devicePixelRatio(), window->devicePixelRatioF());
        QVERIFY(distinctColours(picture.toImage()) > 10);
        const QString folder = qEnvironmentVariable("KV5_SCREENSHOTS");
        if (!folder.isEmpty())
            QVERIFY(
                picture.save(folder + QStringLiteral("/frmApp@%1x.png").arg(window->devicePixelRatioF())));
    }
};

QTEST_MAIN(TestMainWindow)
#include "test_mainwindow.moc"
