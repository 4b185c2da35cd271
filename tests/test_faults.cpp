// Detect & Read against the simulated logger committing every fault in every phase of the exchange:
// the buttons come back, no file is half-written or overwritten, no command is sent twice but a
// failed log block, a download is whole or none. Then the port failing, on a pseudo-terminal.
#include "logfiles/LogFile.h"
#include "support/DeviceRig.h"
#include "support/Installation.h"
#include "support/Windows.h"

#include <QDir>
#include <QSet>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <unistd.h>

using namespace kv5;

namespace {

constexpr int Records = 500; // eight blocks: seven full, the last one in part
const QString Kv5 = QStringLiteral(KV5_BINARY_DIR "/app/kv5");

struct Phase {
    const char* name;
    QByteArray command;
    int block;
};

const QList<Phase> Phases{{"revision query", "P", -1},   {"settings read", "GETSN", -1},
                          {"status block", "GETLOG", 0}, {"first block", "GETLOG", 1},
                          {"middle block", "GETLOG", 4}, {"last block", "GETLOG", 8}};

const QList<sim::Fault> Faults{sim::Fault::NoReply,     sim::Fault::ShortReply,     sim::Fault::SlowReply,
                               sim::Fault::WrongEcho,   sim::Fault::OneLeadingZero, sim::Fault::TwoLeadingZeros,
                               sim::Fault::CorruptHead, sim::Fault::CorruptTail,    sim::Fault::Block275,
                               sim::Fault::Block277,    sim::Fault::HangUp};

// Whether the download still comes in whole. The revision reply only classifies the firmware and
// a settings query only fills its field, but a late revision reply arrives in the status block's
// place; the status block is read once, a log block up to BlockAttempts times.
bool downloadSurvives(const Phase& phase, sim::Fault fault, int times) {
    if (fault == sim::Fault::HangUp) return false;
    if (fault == sim::Fault::OneLeadingZero) return true;
    if (phase.command == "P") return fault != sim::Fault::SlowReply;
    return phase.command == "GETSN" || (phase.block >= 1 && times < BlockAttempts);
}

} // namespace

class TestFaults : public QObject {
    Q_OBJECT

private slots:
    void deviceFaults_data();
    void deviceFaults();
    void portVanishedOrInUse_data();
    void portVanishedOrInUse();
    void lostBlockOnTheCommandLine();
    void noPermissionOnThePort();
};

void TestFaults::deviceFaults_data() {
    QTest::addColumn<int>("phase");
    QTest::addColumn<int>("fault");
    QTest::addColumn<int>("times");
    for (int p = 0; p < Phases.size(); ++p)
        for (sim::Fault fault : Faults) {
            const QString name = QStringLiteral("%1, %2").arg(Phases[p].name, sim::faultName(fault));
            QTest::newRow(qPrintable(name)) << p << static_cast<int>(fault) << 1;
            if (Phases[p].block >= 1 && fault != sim::Fault::OneLeadingZero && fault != sim::Fault::HangUp)
                QTest::newRow(qPrintable(name + ", three times")) << p << static_cast<int>(fault) << BlockAttempts;
        }
}

void TestFaults::deviceFaults() {
    QFETCH(int, phase);
    QFETCH(int, fault);
    QFETCH(int, times);
    const Phase& where = Phases[phase];
    const auto what = static_cast<sim::Fault>(fault);

    sim::Options options;
    options.records = Records;
    DeviceRig rig(options);
    QVERIFY(rig.started);
    const QString earlier = rig.state.dataFolder() + "/SN1234-2026-05-21-08-00-01.txt";
    const QByteArray earlierText = "5/21/2026 08:00,70.0,45.0\r\n";
    QVERIFY(WriteFileBytes(earlier, earlierText));
    rig.simulator.addFault({where.command, where.block, what, times});

    const QString saved = rig.operations.DetectAndRead(rig.values);

    // Only a lost download is reported, naming its block or the start time a hang-up took.
    QCOMPARE(rig.ui.buttons, QList<bool>({false, true}));
    const bool survives = downloadSurvives(where, what, times);
    const int lost = survives ? 0 : std::max(where.block, 0);
    const bool noStart = where.command == "GETSN" && what == sim::Fault::HangUp;
    QCOMPARE(rig.ui.messageTexts(), lost      ? QStringList{BlockFailedText(lost)}
                                    : noStart ? QStringList{StartTimeUnreadableText}
                                              : QStringList());
    QVERIFY(!rig.link.isOpen());

    // No command twice, but for the tries of a failed log block while the line is there.
    QStringList commands = rig.commands();
    const QString faulty =
        where.block >= 0 ? QStringLiteral("GETLOG %1").arg(where.block) : QString::fromLatin1(where.command);
    const bool retried = where.block >= 1 && what != sim::Fault::OneLeadingZero && what != sim::Fault::HangUp;
    QCOMPARE(commands.count(faulty), retried ? std::min(times + 1, BlockAttempts) : 1);
    commands.removeAll(faulty);
    QCOMPARE(QSet<QString>(commands.begin(), commands.end()).size(), commands.size());

    QCOMPARE(FileBytes(earlier), earlierText);
    if (survives) {
        QCOMPARE(rig.state.log.RecordCount, Records);
        QCOMPARE(rig.dataFiles().size(), 3); // the earlier log, the new one and its context
        QCOMPARE(FileBytes(saved), LogFileContent(rig.state.log));
    } else {
        QCOMPARE(rig.state.log.RecordCount, 0);
        QCOMPARE(rig.dataFiles(), QStringList{QFileInfo(earlier).fileName()});
        QCOMPARE(rig.ui.lastStatus(),
                 lost || noStart ? DownloadFailedStatus : QString("No log data / Sensor not yet found"));
    }
}

void TestFaults::portVanishedOrInUse_data() {
    QTest::addColumn<bool>("inUse"); // else the logger went away between the search and the open
    QTest::addColumn<QString>("cause");
    QTest::newRow("gone") << false << "does not exist";
    QTest::newRow("in use") << true << "is in use by another program";
}

void TestFaults::portVanishedOrInUse() {
    QFETCH(bool, inUse);
    QFETCH(QString, cause);
    DeviceRig rig({}, Wire::PseudoTerminal);
    QVERIFY(rig.started);
    ScriptedUi otherUi;
    SerialLink other(otherUi);
    if (inUse)
        QVERIFY(other.PortOpen(rig.simulator.portPath()));
    else
        rig.simulator.hangUp();
    QCOMPARE(rig.operations.DetectAndRead(rig.values), QString());
    const QStringList texts = rig.ui.messageTexts();
    QCOMPARE(texts.size(), 2);
    QVERIFY2(texts[0].startsWith("ERROR: PortOpen: The port ") && texts[0].contains(cause), qPrintable(texts[0]));
    QCOMPARE(texts[1], OpenFailedText);
    QCOMPARE(rig.ui.buttons, QList<bool>({false, true}));
    QVERIFY(rig.simulator.transcript().isEmpty());
}

void TestFaults::lostBlockOnTheCommandLine() {
    sim::Simulator simulator;
    QVERIFY(simulator.start());
    simulator.addFault({"GETLOG", 2, sim::Fault::CorruptTail, -1});
    QTemporaryDir home;
    const ProgramRun run = RunProgram(Kv5, {"--home", home.path(), "read", "--port", simulator.portPath()});
    const QString errors = QString::fromLocal8Bit(run.errors);
    QVERIFY(run.exitCode > 0);
    QVERIFY2(errors.contains(BlockFailedText(2)) && !errors.contains("Sensor not yet found"), qPrintable(errors));
    QVERIFY(QDir(home.filePath("DATA")).isEmpty());
}

void TestFaults::noPermissionOnThePort() {
    if (::geteuid() != 0 || QStandardPaths::findExecutable("setpriv").isEmpty())
        QSKIP("needs root to run the program as a user without access to the port");
    sim::Simulator simulator;
    QVERIFY(simulator.start());
    QTemporaryDir home;
    QFile::setPermissions(home.path(), QFileDevice::Permissions(0x7777)); // anyone may write
    const ProgramRun run = RunProgram("setpriv", {"--reuid=65534", "--regid=65534", "--clear-groups", Kv5, "--home",
                                                  home.path(), "read", "--port", simulator.portPath()});
    const QString errors = QString::fromLocal8Bit(run.errors);
    QVERIFY(run.exitCode > 0);
    QVERIFY2(errors.contains("ERROR: PortOpen: Permission denied on " + simulator.portPath()), qPrintable(errors));
    QVERIFY2(errors.contains("add your user to it") && errors.contains("60-quorvane-kv5.rules"), qPrintable(errors));
    QVERIFY(errors.contains(OpenFailedText));
    QVERIFY(simulator.transcript().isEmpty());
}

QTEST_MAIN(TestFaults)
#include "test_faults.moc"
