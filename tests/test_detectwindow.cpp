// The main window's device buttons as a user presses them, against the simulated logger.
#include "app/AppState.h"
#include "app/BatteryGauge.h"
#include "app/MainController.h"
#include "app/frmApp.h"
#include "sim/Simulator.h"
#include "support/ScriptedUi.h"
#include "support/Windows.h"

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

// The main window on a simulated logger's pseudo-terminal, in test mode, loaded and shown.
struct Window {
    explicit Window(const sim::Options& options) : simulator(options) {
        state.ProgramFolder = home.path();
        QFile::copy(KV5_SOURCE_DIR "/data/ABLIST.TXT", home.filePath("ABLIST.TXT"));
        WriteFileBytes(home.filePath("KV5.INI"), "[General]\nTestMode=1\n");
        started = simulator.start();
        state.device.PortOverride = simulator.portPath();
        window = std::make_unique<frmApp>(state, &ui);
        controller = std::make_unique<MainController>(state, *window);
        window->onClosing = [this] { return controller->mayClose(); };
        window->Load();
        window->show();
    }
    QStringList dataFiles() const { return QDir(state.dataFolder()).entryList(QDir::Files); }
    // The seven main buttons of a logger with the extended firmware: all on, or all off.
    bool buttons(bool enabled) const {
        for (QPushButton* button : {window->cmdDetect, window->cmdNew, window->cmdText, window->cmdChart,
                                    window->cmdSpecies, window->cmdExit, window->cmdStore})
            if (button->isEnabled() != enabled) return false;
        return true;
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
    // Every control is filled and shown readable, "COMM ERROR" of a failed query whole in any box.
    void detectAndReadFillsTheWindow() {
        sim::Options options;
        options.battery = '3';
        options.holdAlarms = options.beep = true;
        options.records = 700;
        Window w(options);
        QVERIFY(w.started);
        frmApp& window = *w.window;
        QTest::mouseClick(window.cmdDetect, Qt::LeftButton);
        QCOMPARE(window.txtDesc->text(), QString("Kiln 3 north stack"));
        QCOMPARE(window.cboInt->currentText(), QString("5 Minutes"));
        QCOMPARE(window.cboInt->currentData().toInt(), 10); // 30-second ticks now
        QCOMPARE(window.txtRhHi->text(), QString("90,0"));
        QVERIFY(window.Check1->isChecked());
        // Extended firmware: the beep option and storage mode are offered.
        QVERIFY(window.chkBeep->isVisible() && window.chkBeep->isChecked() && window.chkBeep->isEnabled());
        QVERIFY(window.cmdStore->isVisible() && w.buttons(true));
        QCOMPARE(window.picBatt->state().at(128), '3');
        QCOMPARE(window.txtStatus->text(), QString("Update complete"));
        QVERIFY(!window.txtDesc->isReadOnly() && window.cboInt->isEnabled());
        QCOMPARE(w.state.log.RecordCount, 700);
        QCOMPARE(w.dataFiles(), QStringList({"SN1234-2026-05-21-08-00-01.json", "SN1234-2026-05-21-08-00-01.txt"}));
        QVERIFY(w.ui.messages.empty());
        const QString faults = LayoutFaults(window, QStringLiteral("frmApp"));
        QVERIFY2(faults.isEmpty(), qPrintable(faults));
        for (QLineEdit* box : window.findChildren<QLineEdit*>())
            QVERIFY2(box->width() > box->fontMetrics().horizontalAdvance(QStringLiteral("COMM ERROR")) +
                                        box->fontMetrics().averageCharWidth(),
                     qPrintable(box->objectName()));
    }

    void closingDuringADownloadKeepsIt() {
        sim::Options options;
        options.paced = true;
        options.records = 640; // ten blocks, about three seconds at 9600 baud
        Window w(options);
        QVERIFY(w.started);
        frmApp& window = *w.window;
        QTimer::singleShot(400, &window, [&] {
            // Buttons and boxes are off while the blocks come in; the frame's close waits.
            QVERIFY(w.buttons(false));
            QVERIFY(window.txtRhHi->isReadOnly() && !window.cboInt->isEnabled() && !window.Check1->isEnabled());
            window.close();
            QVERIFY(window.isVisible());
        });
        QTest::mouseClick(window.cmdDetect, Qt::LeftButton);
        QCOMPARE(w.state.log.RecordCount, 640);
        QCOMPARE(w.dataFiles().size(), 2); // the log and its context
        QTRY_VERIFY(!window.isVisible());
        QVERIFY(!w.controller->link().isOpen());
    }

    // Typed numbers go out in either separator; a box without one stops all, says so, gets focus.
    void startNewLogSendsWhatWasTyped_data() {
        QTest::addColumn<QString>("box");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("refusal"); // the start of the message; empty: none
        QTest::newRow("decimal comma") << "txtRhHi" << "90,5" << QString();
        QTest::newRow("decimal point") << "txtRhHi" << "90.5" << QString();
        QTest::newRow("failed read") << "txtTempHi" << "COMM ERROR" << "The Temperature Alarm High";
        QTest::newRow("empty") << "txtEmcLo" << "" << "The EMC % Alarm Low";
    }
    void startNewLogSendsWhatWasTyped() {
        QFETCH(QString, box);
        QFETCH(QString, text);
        QFETCH(QString, refusal);
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
        if (!refusal.isEmpty()) {
            QCOMPARE(w.ui.messages.size(), size_t(1));
            QVERIFY2(w.ui.messages[0].text.startsWith(refusal), qPrintable(w.ui.messages[0].text));
            QVERIFY(w.simulator.transcript().isEmpty());
            QCOMPARE(w.simulator.recordCount(), 100);
            QCOMPARE(edit->text(), text);
            QTRY_VERIFY(edit->hasFocus());
        } else {
            QCOMPARE(w.simulator.limit(sim::Limit::RhHigh), QByteArray("\x5A\x80", 2)); // 90.5 %
            QCOMPARE(w.simulator.recordCount(), 0);
            QVERIFY(w.simulator.transcript().contains("SETLEDME\r")); // "Hold Alarms" was not checked
        }
    }
};

int main(int argc, char** argv) {
    // A decimal comma, so that the boxes read both the user's separator and a point.
    qputenv("LC_ALL", "de_DE.UTF-8");
    QApplication app(argc, argv);
    TestDetectWindow test;
    return QTest::qExec(&test, argc, argv);
}
#include "test_detectwindow.moc"
