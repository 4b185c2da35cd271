// The main window's device buttons as a user presses them, against the simulated logger.
#include "app/AppState.h"
#include "app/BatteryGauge.h"
#include "app/MainController.h"
#include "app/frmApp.h"
#include "sim/Simulator.h"
#include "support/ScriptedUi.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

using namespace kv5;

namespace {

struct Window {
    explicit Window(const sim::Options& options) : simulator(options) {
        state.ProgramFolder = home.path();
        QFile::copy(KV5_SOURCE_DIR "/data/ABLIST.TXT", home.filePath("ABLIST.TXT"));
        started = simulator.start();
        state.device.PortOverride = simulator.portPath();
        window = std::make_unique<frmApp>(state, &ui);
        controller = std::make_unique<MainController>(state, *window);
        window->onClosing = [this] { return controller->mayClose(); };
        window->Load();
        window->show();
    }
    QStringList dataFiles() const { return QDir(state.dataFolder()).entryList(QDir::Files); }
    QList<QPushButton*> mainButtons() const {
        return {window->cmdDetect, window->cmdNew,     window->cmdText, window->cmdChart,
                window->cmdSpecies, window->cmdExit, window->cmdStore};
    }

    QTemporaryDir home;
    AppState state;
    ScriptedUi ui;
    sim::Simulator simulator;
    std::unique_ptr<frmApp> window;
    std::unique_ptr<MainController> controller;
    bool started = false;
};

} // namespace

class TestDetectWindow : public QObject {
    Q_OBJECT

private slots:
    void detectAndReadFillsTheWindow();
    void closingDuringADownloadKeepsIt();
    void startNewLogSendsWhatWasTyped_data();
    void startNewLogSendsWhatWasTyped();
};

void TestDetectWindow::detectAndReadFillsTheWindow() {
    sim::Options options;
    options.battery = '3';
    options.holdAlarms = true;
    options.beep = true;
    options.records = 700;
    Window w(options);
    QVERIFY(w.started);
    QVERIFY(w.window->cmdStore->isHidden());

    QTest::mouseClick(w.window->cmdDetect, Qt::LeftButton);
    QCOMPARE(w.window->txtSN->text(), QString("1234"));
    QCOMPARE(w.window->txtDesc->text(), QString("Kiln 3 north stack"));
    QCOMPARE(w.window->cboInt->currentText(), QString("5 Minutes"));
    QCOMPARE(w.window->cboInt->currentData().toInt(), 10); // 30-second ticks now
    QCOMPARE(w.window->txtRhHi->text(), QString("90,0"));
    QVERIFY(w.window->Check1->isChecked());
    // Extended firmware: the beep option and storage mode are offered.
    QVERIFY(w.window->chkBeep->isVisible() && w.window->chkBeep->isChecked());
    QVERIFY(w.window->cmdStore->isVisible() && w.window->cmdStore->isEnabled());
    QCOMPARE(w.window->picBatt->state().at(128), '3');
    QCOMPARE(w.window->txtStatus->text(), QString("Update complete"));
    for (auto* button : w.mainButtons()) QVERIFY(button->isEnabled());
    QVERIFY(!w.window->txtDesc->isReadOnly() && w.window->cboInt->isEnabled() && w.window->chkBeep->isEnabled());
    QCOMPARE(w.state.log.RecordCount, 700);
    QCOMPARE(w.dataFiles(), QStringList{"SN1234-2026-05-21-08-00-01.txt"});
    QVERIFY(w.ui.messages.empty());

    const QImage shot = w.window->grab().toImage();
    QVERIFY(!shot.isNull());
    if (qEnvironmentVariableIsSet("KV5_SCREENSHOTS")) shot.save(qEnvironmentVariable("KV5_SCREENSHOTS") + "/detect.png");
}

void TestDetectWindow::closingDuringADownloadKeepsIt() {
    sim::Options options;
    options.paced = true;
    options.records = 640; // ten blocks, about three seconds at 9600 baud
    Window w(options);
    QVERIFY(w.started);
    QTimer::singleShot(400, w.window.get(), [&] {
        // The buttons are off while the blocks come in; the frame's close waits.
        QVERIFY(!w.window->cmdDetect->isEnabled());
        QVERIFY(!w.window->cmdExit->isEnabled());
        // So are the boxes: the values read would overwrite an edit.
        QVERIFY(w.window->txtRhHi->isReadOnly() && !w.window->cboInt->isEnabled() && !w.window->Check1->isEnabled());
        w.window->close();
        QVERIFY(w.window->isVisible());
    });
    QTest::mouseClick(w.window->cmdDetect, Qt::LeftButton);
    QCOMPARE(w.state.log.RecordCount, 640);
    QCOMPARE(w.dataFiles().size(), 1);
    QTRY_VERIFY(!w.window->isVisible());
    QVERIFY(!w.controller->link().isOpen());
}

void TestDetectWindow::startNewLogSendsWhatWasTyped_data() {
    QTest::addColumn<QString>("box");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("rhHigh"); // as the logger then holds it; empty: nothing was sent
    QTest::newRow("decimal comma") << "txtRhHi" << "90,5" << QByteArray("\x5A\x80", 2);
    QTest::newRow("decimal point") << "txtRhHi" << "90.5" << QByteArray("\x5A\x80", 2);
    QTest::newRow("after a failed read") << "txtTempHi" << "COMM ERROR" << QByteArray();
    QTest::newRow("empty") << "txtEmcLo" << "" << QByteArray();
}

void TestDetectWindow::startNewLogSendsWhatWasTyped() {
    QFETCH(QString, box);
    QFETCH(QString, text);
    QFETCH(QByteArray, rhHigh);
    sim::Options options;
    options.records = 100;
    Window w(options);
    QVERIFY(w.started);
    QTest::mouseClick(w.window->cmdDetect, Qt::LeftButton);
    auto* edit = w.window->findChild<QLineEdit*>(box);
    edit->selectAll();
    QTest::keyClick(edit, Qt::Key_Delete);
    QTest::keyClicks(edit, text);
    w.simulator.clearTranscript();
    w.ui.answers = {Answer::Yes};
    QTest::mouseClick(w.window->cmdNew, Qt::LeftButton);
    if (rhHigh.isEmpty()) {
        QCOMPARE(w.ui.messages.size(), size_t(1));
        QVERIFY2(w.ui.messages[0].text.startsWith("The " + QString(box == "txtTempHi" ? "Temperature Alarm High"
                                                                                        : "EMC % Alarm Low")),
                 qPrintable(w.ui.messages[0].text));
        QVERIFY(w.simulator.transcript().isEmpty());
        QCOMPARE(w.simulator.recordCount(), 100);
        QCOMPARE(edit->text(), text);
        QTRY_VERIFY(edit->hasFocus());
    } else {
        QCOMPARE(w.simulator.limit(sim::Limit::RhHigh), rhHigh);
        QCOMPARE(w.simulator.recordCount(), 0);
        QVERIFY(w.simulator.transcript().contains("SETLEDME\r")); // "Hold Alarms" was not checked
    }
}

int main(int argc, char** argv) {
    // A decimal comma, so that the boxes read both the user's separator and a point.
    qputenv("LC_ALL", "de_DE.UTF-8");
    QApplication app(argc, argv);
    TestDetectWindow test;
    return QTest::qExec(&test, argc, argv);
}
#include "test_detectwindow.moc"
