// The main window: start-up, the interval list, the battery gauge, its values and message boxes.
#include "app/AppState.h"
#include "app/BatteryGauge.h"
#include "app/WindowUi.h"
#include "app/frmApp.h"
#include "app/frmSpecies.h"
#include "support/Installation.h"
#include "support/ScriptedUi.h"
#include "support/Windows.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QMetaEnum>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using namespace kv5;

class TestMainWindow : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> home;
    std::unique_ptr<AppState> state;
    std::unique_ptr<ScriptedUi> ui;
    std::unique_ptr<frmApp> window;

    // The window on a fresh program folder with the shipped species list and, unless null, ini.
    void open(const QByteArray& ini = {}, bool load = true) {
        home = std::make_unique<QTemporaryDir>();
        QVERIFY(QFile::copy(QStringLiteral(KV5_SOURCE_DIR "/data/ABLIST.TXT"), home->filePath("ABLIST.TXT")));
        if (!ini.isNull()) QVERIFY(WriteFileBytes(home->filePath("KV5.INI"), ini));
        state = std::make_unique<AppState>();
        state->ProgramFolder = home->path();
        ui = std::make_unique<ScriptedUi>();
        window = std::make_unique<frmApp>(*state, ui.get());
        if (load) window->Load();
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    }

private slots:
    void cleanup() {
        window.reset();
        if (ui) QVERIFY2(ui->failures.isEmpty(), qPrintable(ui->failures.join('\n')));
    }

    // Each captioned control by its name, with its caption before the start-up sets a unit.
    void captions_data() {
        QTest::addColumn<QString>("caption");
        const char* const controls[][2] = {
            {"cmdDetect", "Detect & Read"}, {"cmdChart", "Show Chart"}, {"cmdText", "Show Log"},
            {"cmdHelp", "Help"}, {"cmdSpecies", "Settings"}, {"cmdNew", "Start New Log"},
            {"cmdStore", "Storage Mode"}, {"cmdExit", "Exit"}, {"cmdSetTest", "Set Test Mode"},
            {"capSN", "Serial Number"}, {"capBatt", "Battery"}, {"capTime", "Log Start Date and Time"},
            {"capDesc", "Log Description"}, {"capLogInt", "Logging Interval"}, {"capRhAlarm", "RH / MC % Alarm"},
            {"capTempAlarm", "Temperature Alarm"}, {"capEmcAlarm", "EMC % Alarm"}, {"Check1", "Hold Alarms"},
            {"chkBeep", "Alarms Beep"}, {"capRhHi", "High Limit"}, {"capTempHi", "High Limit"},
            {"capEmcHi", "High Limit"}, {"capRhLo", "Low Limit"}, {"capTempLo", "Low Limit"},
            {"capEmcLo", "Low Limit"}};
        for (const auto& [name, caption] : controls) QTest::newRow(name) << QString::fromUtf8(caption);
    }
    void captions() {
        QFETCH(QString, caption);
        open({}, false);
        QWidget* control = window->findChild<QWidget*>(QTest::currentDataTag());
        QVERIFY(control);
        // A button shows "&&" as one ampersand.
        QString shown = control->property("text").toString();
        shown.replace(QLatin1String("&&"), QLatin1String("&"));
        QCOMPARE(shown, caption);
    }

    // Every setting is read as a number and written back, but TestMode, which only the user sets.
    void startUp_data() {
        QTest::addColumn<QByteArray>("ini");
        QTest::addColumn<QByteArray>("written");
        QTest::addColumn<QString>("unit");
        QTest::addColumn<bool>("testMode");
        QTest::newRow("no numbers")
            << QByteArray("; kept\n[General]\nCelsius=warm\nEmc=\nAhGpp = 0 \ndewpoint=2.6\nMcSp2=-3\nTestMode=yes\n"
                          "[Other]\nk=v\n")
            << QByteArray("; kept\n[General]\nCelsius=0\nEmc=0\nAhGpp=0\ndewpoint=3\nMcSp2=-3\nTestMode=yes\n"
                          "McSp1=1\nMcSp3=1\n[Other]\nk=v\n")
            << "\u00B0F" << false;
        QTest::newRow("other letter case")
            << QByteArray("[General]\ncelsius=1\nTESTMODE=-7\n")
            << QByteArray("[General]\ncelsius=1\nTESTMODE=-7\nAhGpp=1\nEmc=1\nDewpoint=1\nMcSp1=1\nMcSp2=1\nMcSp3=1\n")
            << "\u00B0C" << true;
    }
    void startUp() {
        QFETCH(QByteArray, ini);
        QFETCH(QByteArray, written);
        QFETCH(bool, testMode);
        open(ini);
        QCOMPARE(FileBytes(state->iniPath()), written);
        QTEST(window->capTempAlarm->text().section(' ', 1, 1), "unit");
        QVERIFY(ui->messages.empty());
        // Until a logger was read: no interval, no extended firmware's controls.
        QCOMPARE(window->cboInt->currentIndex(), -1);
        for (QWidget* control : {(QWidget*)window->cmdStore, (QWidget*)window->chkBeep})
            QVERIFY(control->isHidden() && !control->isEnabled());
        // Set Test Mode and typing a serial number only in test mode.
        QCOMPARE(window->cmdSetTest->isVisible() && window->cmdSetTest->isEnabled(), testMode);
        QTest::keyClicks(window->txtSN, QStringLiteral("1234"));
        QCOMPARE(window->txtSN->text(), testMode ? QStringLiteral("1234") : QString());
    }

    // Every start-up step reports its own failure, in order, and the start-up goes on.
    void startUpGoesOnAfterFailures() {
        open({}, false);
        QVERIFY(QDir(home->path()).mkdir(QStringLiteral("KV5.INI")));
        QVERIFY(WriteFileBytes(home->filePath("DATA"), "in the way"));
        QVERIFY(QFile::remove(home->filePath("ABLIST.TXT")));
        window->Load();
        QStringList steps;
        for (const QString& text : ui->messageTexts())
            steps << (text.startsWith("The settings could not be ") ? text.section(": ", 0, 0).mid(26)
                                                                    : text.section(':', 1, 1).trimmed());
        QCOMPARE(steps, QStringList(5, "GetIniSetting") << "MakeFolders.0" << "ReadSpeciesFile"
                                                        << QStringList(3, "GetIniSetting") << "saved in " + state->iniPath());
        QCOMPARE(window->txtStatus->text(), ReadyText);
        QCOMPARE(window->cboInt->count(), 10);
        // A Settings choice applies though not stored, said once; the caption's unit waits a start.
        ui->clearRecord();
        OnNextModal([](QWidget* modal) {
            auto* settings = qobject_cast<frmSpecies*>(modal);
            if (!settings) modal->close();
            QVERIFY(settings);
            QTest::mouseClick(settings->chkCelsius, Qt::LeftButton);
            QTest::mouseClick(settings->cmdClose, Qt::LeftButton);
        });
        QTest::mouseClick(window->cmdSpecies, Qt::LeftButton);
        QCOMPARE(state->settings.Celsius, 1);
        QCOMPARE(window->capTempAlarm->text(), QStringLiteral("Temperature \u00B0F Alarm"));
        QCOMPARE(ui->messages.size(), std::size_t(1));
        QCOMPARE(ui->messages[0].icon, Icon::Exclamation);
        QVERIFY(ui->messages[0].text.startsWith("The settings could not be saved in " + state->iniPath() + ": "));
    }

    // The interval row stays when the firmware changes the tick; the logger's values in, edits out.
    void intervalsAndValues() {
        open();
        window->cboInt->setFocus();
        for (int row = 0; row < 3; ++row) QTest::keyClick(window->cboInt, Qt::Key_Down);
        QCOMPARE(window->cboInt->currentText(), QStringLiteral("5 Minutes"));
        QCOMPARE(window->cboInt->currentData().toInt(), 9); // 34-second ticks
        window->ShowFirmwareControls(1);
        QCOMPARE(window->cboInt->currentIndex(), 2);
        QCOMPARE(window->cboInt->currentData().toInt(), 10);
        window->ShowFirmwareControls(0);

        MainWindowValues values;
        values.txtSN = QStringLiteral("5123");
        values.txtTime = QStringLiteral("21/05/2014 13:45");
        values.cboInt = 5;
        values.txtRhHi = QStringLiteral("80.0");
        values.txtTempLo = QStringLiteral("COMM ERROR");
        values.Check1 = 1;
        window->ShowValues(values);
        QCOMPARE(window->cboInt->currentText(), QStringLiteral("1 Hour"));
        QTest::keyClicks(window->txtTime, QStringLiteral("1")); // the logger's, not the user's
        QTest::keyClicks(window->txtDesc, QStringLiteral("Kiln 4, north wall, oak boards, second charge"));
        QTest::mouseClick(window->Check1, Qt::LeftButton);
        window->txtRhHi->selectAll();
        QTest::keyClicks(window->txtRhHi, QStringLiteral("75.5"));
        const MainWindowValues v = window->Values();
        QCOMPARE((QStringList{v.txtSN, v.txtTime, v.txtDesc, v.txtRhHi, v.txtTempLo}),
                 (QStringList{"5123", "21/05/2014 13:45", "Kiln 4, north wall, oak boards, ", "75.5", "COMM ERROR"}));
        QVERIFY(v.cboInt == 5 && v.Check1 == 0);
    }

    // States shown in turn (E: "COMM ERROR", -: none), then the gauge's quarters left to right.
    void batteryGauge_data() {
        QTest::addColumn<QByteArray>("states");
        QTest::addColumn<QByteArray>("quarters"); // empty: no picture, no caption
        QTest::newRow("5") << QByteArray("5") << QByteArray("RYGG");
        QTest::newRow("L") << QByteArray("L") << QByteArray("RWWW");
        QTest::newRow("4 keeps the picture of 2") << QByteArray("24") << QByteArray("RYWW");
        QTest::newRow("COMM ERROR") << QByteArray("5E") << QByteArray("WWWW");
        QTest::newRow("none") << QByteArray("5-") << QByteArray();
    }
    void batteryGauge() {
        QFETCH(QByteArray, states);
        QFETCH(QByteArray, quarters);
        open({}, false);
        for (char state : states) {
            MainWindowValues values;
            values.picBatt = state == 'E' ? QByteArray("COMM ERROR") : QByteArray(258 * (state != '-'), '\0');
            if (values.picBatt.size() == 258) values.picBatt[128] = state;
            window->ShowValues(values);
        }
        const QImage image = window->picBatt->grab().toImage();
        bool dark = false; // the caption's pixels
        for (int i = 0; i < image.width() * image.height(); ++i)
            dark |= qGray(image.pixel(i % image.width(), i / image.width())) < 64;
        QCOMPARE(dark, !quarters.isEmpty());
        const QHash<char, QColor> colours{
            {'R', {255, 128, 128}}, {'Y', {255, 255, 128}}, {'G', {128, 255, 128}}, {'W', Qt::white}};
        for (int q = 0; q < quarters.size(); ++q)
            QCOMPARE(image.pixelColor(image.width() * (2 * q + 1) / 8, image.height() - 3), colours[quarters[q]]);
    }

    // Help opens the guide, quietly when there is none or no viewer; Exit asks the device code.
    void helpAndExit() {
        open();
        QList<QUrl> opened;
        window->openDocument = [&opened](const QUrl& url) {
            opened << url;
            return false; // no viewer
        };
        QTest::mouseClick(window->cmdHelp, Qt::LeftButton);
        QVERIFY(WriteFileBytes(home->filePath("KV5.PDF"), "%PDF-1.4\n"));
        QTest::mouseClick(window->cmdHelp, Qt::LeftButton);
        QCOMPARE(opened, QList<QUrl>{QUrl::fromLocalFile(home->filePath("KV5.PDF"))});
        QVERIFY(ui->messages.empty());
        bool mayClose = false;
        window->onClosing = [&mayClose] { return mayClose; };
        QTest::mouseClick(window->cmdExit, Qt::LeftButton);
        QVERIFY(window->isVisible());
        mayClose = true;
        QTest::mouseClick(window->cmdExit, Qt::LeftButton);
        QVERIFY(!window->isVisible());
    }

    // A box shows icon, buttons, default (if it has the one asked), title, text (CR: new line).
    void messageBoxes_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<Icon>("icon");
        QTest::addColumn<Buttons>("buttons");
        QTest::addColumn<int>("key");
        QTest::addColumn<Answer>("answer");
        QTest::addColumn<QString>("shown");
        QTest::newRow("question") << "Store?" << Icon::Question << Buttons::YesNo << int(Qt::Key_Return) << Answer::No
                                  << "Question No|Yes No Confirm Store?";
        QTest::newRow("two lines") << "Line one\rLine two" << Icon::Stop << Buttons::OkCancel << int(Qt::Key_Escape)
                                   << Answer::Cancel << "Critical Cancel|Ok Ok Quorvane KV5 Line one\nLine two";
        QTest::newRow("unsaved log") << "Unsaved?" << Icon::Question << Buttons::ReadClearCancel << int(Qt::Key_Return)
                                     << Answer::ReadAndSave
                                     << "Question Cancel|Clear Anyway|Read and Save Read and Save Quorvane KV5 Unsaved?";
        QTest::newRow("unsaved log, escape") << "Unsaved?" << Icon::Question << Buttons::ReadClearCancel
                                             << int(Qt::Key_Escape) << Answer::Cancel
                                             << "Question Cancel|Clear Anyway|Read and Save Read and Save Quorvane KV5 Unsaved?";
        QTest::newRow("information") << "No storage mode!" << Icon::Information << Buttons::Ok << int(Qt::Key_Escape)
                                     << Answer::Ok << "Information Ok Ok Quorvane KV5 No storage mode!";
    }
    void messageBoxes() {
        QFETCH(QString, text);
        QFETCH(Icon, icon);
        QFETCH(Buttons, buttons);
        QFETCH(int, key);
        open({}, false);
        QString seen;
        OnNextModal([&](QWidget* modal) {
            auto* box = qobject_cast<QMessageBox*>(modal);
            QVERIFY(box);
            const QMetaObject& meta = QMessageBox::staticMetaObject;
            const QMetaEnum buttonKeys = meta.enumerator(meta.indexOfEnumerator("StandardButton"));
            // A button of the box's own words by its text.
            const auto name = [&](QAbstractButton* button) {
                const auto standard = box->standardButton(button);
                return standard == QMessageBox::NoButton ? button->text() : QString(buttonKeys.valueToKey(standard));
            };
            QStringList keys;
            for (QAbstractButton* button : box->buttons()) keys << name(button);
            keys.sort();
            seen = QStringList{meta.enumerator(meta.indexOfEnumerator("Icon")).valueToKey(box->icon()), keys.join('|'),
                               name(box->defaultButton()), box->windowTitle(), box->text()}
                       .join(' ');
            QTest::keyClick(box, Qt::Key(key));
        });
        QTEST(window->windowUi().message(
                  {text, icon, buttons, buttons == Buttons::YesNo ? ConfirmTitle : ProgramTitle, Answer::No}),
              "answer");
        QTEST(seen, "shown");
    }
};

QTEST_MAIN(TestMainWindow)
#include "test_mainwindow.moc"
