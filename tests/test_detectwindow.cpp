// The main window's device buttons as a user presses them, against the simulated logger.
#include "app/AppState.h"
#include "app/BatteryGauge.h"
#include "app/MainController.h"
#include "app/frmApp.h"
#include "sim/Simulator.h"
#include "support/ScriptedUi.h"

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
    QCOMPARE(w.window->txtRhHi->text(), QString("90.0"));
    QVERIFY(w.window->Check1->isChecked());
    // Extended firmware: the beep option and storage mode are offered.
    QVERIFY(w.window->chkBeep->isVisible() && w.window->chkBeep->isChecked());
    QVERIFY(w.window->cmdStore->isVisible() && w.window->cmdStore->isEnabled());
    QCOMPARE(w.window->picBatt->state().at(128), '3');
    QCOMPARE(w.window->txtStatus->text(), QString("Update complete"));
    for (auto* button : w.mainButtons()) QVERIFY(button->isEnabled());
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
        w.window->close();
        QVERIFY(w.window->isVisible());
    });
    QTest::mouseClick(w.window->cmdDetect, Qt::LeftButton);
    QCOMPARE(w.state.log.RecordCount, 640);
    QCOMPARE(w.dataFiles().size(), 1);
    QTRY_VERIFY(!w.window->isVisible());
    QVERIFY(!w.controller->link().isOpen());
}

QTEST_MAIN(TestDetectWindow)
#include "test_detectwindow.moc"
