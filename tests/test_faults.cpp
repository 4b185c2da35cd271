// The fault campaign: Detect & Read against the simulated logger committing every fault in
// every phase of the exchange, in process on a virtual clock; then the port (through
// QSerialPort on a pseudo-terminal) and the disk failing. Whatever happens, the
// buttons come back, no log file is half-written or overwritten, no command is sent twice but
// a failed log block (up to three tries), and a download is kept whole or not at all.
#include "logfiles/LogFile.h"
#include "support/DeviceRig.h"
#include "support/Installation.h"

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

const QList<sim::Fault> Faults{
    sim::Fault::NoReply,        sim::Fault::ShortReply,      sim::Fault::SlowReply,   sim::Fault::WrongEcho,
    sim::Fault::OneLeadingZero, sim::Fault::TwoLeadingZeros, sim::Fault::CorruptHead, sim::Fault::CorruptTail,
    sim::Fault::Block275,       sim::Fault::Block277,        sim::Fault::HangUp};

// Whether the download must still come in whole. The revision reply only classifies the
// firmware and a settings query only fills its field, so a fault there costs nothing, but
// the line is gone after a hang-up and a late revision reply arrives in the middle of the
// status block. A leading zero is dropped wherever it comes. The status block is read once;
// a block of the log is asked for again until its third try fails.
bool downloadSurvives(const Phase& phase, sim::Fault fault, int times) {
    if (fault == sim::Fault::OneLeadingZero) return true;
    if (fault == sim::Fault::HangUp) return false;
    if (phase.command == "P") return fault != sim::Fault::SlowReply;
    if (phase.command == "GETSN") return true;
    return phase.block >= 1 && times < BlockAttempts;
}

// The log block whose loss the user is told about; 0 when the download never began.
int lostBlock(const Phase& phase, sim::Fault fault, int times) {
    if (downloadSurvives(phase, fault, times)) return 0;
    return phase.block >= 1 ? phase.block : 0;
}

// A line that went away during the settings read leaves no start time: no block is asked for.
bool startTimeLost(const Phase& phase, sim::Fault fault) {
    return phase.command == "GETSN" && fault == sim::Fault::HangUp;
}

// How often the faulty request goes out: a failed log block is asked for again, up to three
// times in all, unless the line is gone.
int requestsOf(const Phase& phase, sim::Fault fault, int times) {
    if (phase.block < 1 || fault == sim::Fault::OneLeadingZero || fault == sim::Fault::HangUp) return 1;
    return std::min(times + 1, BlockAttempts);
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
    void fullDiskAndReadOnlyFolder();
};

void TestFaults::deviceFaults_data() {
    QTest::addColumn<int>("phase");
    QTest::addColumn<int>("fault");
    QTest::addColumn<int>("times");
    for (int p = 0; p < Phases.size(); ++p)
        for (sim::Fault fault : Faults) {
            QTest::newRow(qPrintable(QStringLiteral("%1, %2").arg(Phases[p].name, sim::faultName(fault))))
                << p << static_cast<int>(fault) << 1;
            // A log block that fails on every try.
            if (Phases[p].block >= 1 && fault != sim::Fault::OneLeadingZero && fault != sim::Fault::HangUp)
                QTest::newRow(qPrintable(
                    QStringLiteral("%1, %2, three times").arg(Phases[p].name, sim::faultName(fault))))
                    << p << static_cast<int>(fault) << BlockAttempts;
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
    // A log saved earlier, which nothing may touch.
    const QString earlier = rig.state.dataFolder() + "/SN1234-2026-05-21-08-00-01.txt";
    const QByteArray earlierText = "5/21/2026 08:00,70.0,45.0\r\n";
    QFile file(earlier);
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(earlierText) > 0);
    file.close();
    rig.simulator.addFault({where.command, where.block, what, times});

    const QString saved = rig.operations.DetectAndRead(rig.values);

    // The buttons come back; only a lost download is reported, naming its block or the start time.
    QCOMPARE(rig.ui.buttons, QList<bool>({false, true}));
    const int lost = lostBlock(where, what, times);
    const bool noStart = startTimeLost(where, what);
    QCOMPARE(rig.ui.messageTexts(), lost      ? QStringList{BlockFailedText(lost)}
                                    : noStart ? QStringList{StartTimeUnreadableText}
                                              : QStringList());
    QVERIFY(!rig.link.isOpen());

    // No command twice, but for the tries of a failed log block.
    QStringList commands = rig.commands();
    const QString faulty = where.command == "GETLOG" ? QStringLiteral("GETLOG %1").arg(where.block)
                                                     : QString::fromLatin1(where.command);
    QCOMPARE(commands.count(faulty), requestsOf(where, what, times));
    commands.removeAll(faulty);
    QCOMPARE(QSet<QString>(commands.begin(), commands.end()).size(), commands.size());

    // Whole or nothing, and the earlier file untouched.
    QCOMPARE(FileBytes(earlier), earlierText);
    if (downloadSurvives(where, what, times)) {
        QCOMPARE(rig.state.log.RecordCount, Records);
        QCOMPARE(rig.dataFiles().size(), 2);
        QCOMPARE(FileBytes(saved), LogFileContent(rig.state.log));
    } else {
        QCOMPARE(rig.state.log.RecordCount, 0);
        QVERIFY(saved.isEmpty());
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
    QVERIFY2(texts[0].startsWith("ERROR: PortOpen: The port ") && texts[0].contains(cause),
             qPrintable(texts[0]));
    QCOMPARE(texts[1], OpenFailedText);
    QCOMPARE(rig.ui.buttons, QList<bool>({false, true}));
    QVERIFY(rig.simulator.transcript().isEmpty());
    QVERIFY(rig.dataFiles().isEmpty());
}

void TestFaults::lostBlockOnTheCommandLine() {
    sim::Simulator simulator;
    QVERIFY(simulator.start());
    simulator.addFault({"GETLOG", 2, sim::Fault::CorruptTail, -1});
    QTemporaryDir home;
    const ProgramRun run = RunProgram(Kv5, {"--home", home.path(), "read", "--port", simulator.portPath()});
    const QString errors = QString::fromLocal8Bit(run.errors);
    QVERIFY(run.exitCode > 0);
    QVERIFY2(errors.contains(BlockFailedText(2)) && !errors.contains("Sensor not yet found"),
             qPrintable(errors));
    QVERIFY(QDir(home.filePath("DATA")).isEmpty());
}

void TestFaults::noPermissionOnThePort() {
    if (::geteuid() != 0 || QStandardPaths::findExecutable("setpriv").isEmpty())
        QSKIP("needs root to run the program as a user without access to the port");
    sim::Simulator simulator;
    QVERIFY(simulator.start());
    QTemporaryDir home;
    QFile::setPermissions(home.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                           QFileDevice::ExeOwner | QFileDevice::ReadOther |
                                           QFileDevice::WriteOther | QFileDevice::ExeOther);
    const ProgramRun run =
        RunProgram("setpriv", {"--reuid=65534", "--regid=65534", "--clear-groups", Kv5, "--home", home.path(),
                               "read", "--port", simulator.portPath()});
    const QString errors = QString::fromLocal8Bit(run.errors);
    QVERIFY(run.exitCode > 0);
    QVERIFY2(errors.contains("ERROR: PortOpen: Permission denied on " + simulator.portPath()),
             qPrintable(errors));
    QVERIFY2(errors.contains("add your user to it") && errors.contains("60-quorvane-kv5.rules"),
             qPrintable(errors));
    QVERIFY(errors.contains(OpenFailedText));
    QVERIFY(simulator.transcript().isEmpty());
}

void TestFaults::fullDiskAndReadOnlyFolder() {
    if (::geteuid() != 0 || QStandardPaths::findExecutable("unshare").isEmpty())
        QSKIP("needs root to mount a small file system in a private namespace");
    const QString script = QStringLiteral(
        R"(mount -t tmpfs -o "$1" tmpfs "$2/DATA" || exit 90
"$3" --home "$2" read --simulate; echo "exit $?" >&2
echo "--- DATA ---"; ls -A "$2/DATA")");
    for (const char* mount : {"size=16k", "ro,size=1m"}) {
        QTemporaryDir home;
        QDir(home.path()).mkdir("DATA");
        const ProgramRun run =
            RunProgram("unshare", {"--mount", "sh", "-c", script, "sh", mount, home.path(), Kv5});
        if (run.exitCode == 90) QSKIP("this machine does not allow mounting");
        const QString errors = QString::fromLocal8Bit(run.errors);
        QVERIFY2(errors.contains("ERROR: SaveLogFile: ") && errors.contains("exit 1"), qPrintable(errors));
        // Nothing is left in the folder: no partial file, no temporary file.
        QVERIFY2(run.output.contains("Serial Number: 2417"), run.output.constData());
        QVERIFY2(run.output.trimmed().endsWith("--- DATA ---"), run.output.constData());
    }
}

QTEST_MAIN(TestFaults)
#include "test_faults.moc"
