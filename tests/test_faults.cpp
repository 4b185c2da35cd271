// Detect & Read against the simulated logger committing every fault in every phase of the exchange:
// the buttons come back, no file is half-written or overwritten, no command is sent twice but a
// failed log block, a download is whole or none. Then the port failing, on a pseudo-terminal.
// Then the users' world around the files: a file system without hard links or no-replace
// renames, a full disk, signals in the middle of a command, outputs that are links.
#include "core/SafePublish.h"
#include "device/Commands.h"
#include "logfiles/LogFile.h"
#include "support/DeviceRig.h"
#include "support/Installation.h"
#include "support/Windows.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QProcess>
#include <QSet>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <atomic>
#include <csignal>
#include <cstring>
#include <sys/stat.h>
#include <sys/vfs.h>
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

// A folder on a file system like many remote and cloud mounts: no hard links, no rename flags
// (tests/support/nolinkfs.py, a FUSE passthrough), mounted in a private folder while this lives.
class NoLinkMount {
public:
    ~NoLinkMount() { unmount(); }

    // Mounts it; with full, only hidden files can be written. False with the cause in failure.
    bool mount(bool full) {
        unmount();
        QDir(base_.path()).mkpath("files");
        QDir(base_.path()).mkpath("mount");
        fs_.setProcessChannelMode(QProcess::MergedChannels);
        fs_.start("/usr/bin/python3", QStringList{KV5_SOURCE_DIR "/tests/support/nolinkfs.py", base_.filePath("files"),
                                                  path()} + (full ? QStringList{"--full"} : QStringList()));
        QElapsedTimer waited;
        waited.start();
        for (struct statfs status {}; ::statfs(QFile::encodeName(path()).constData(), &status) == 0 &&
                                      status.f_type != 0x65735546 /* FUSE_SUPER_MAGIC */;) {
            if (fs_.state() == QProcess::NotRunning || waited.elapsed() > 20000) {
                fs_.kill();
                fs_.waitForFinished();
                failure = "no FUSE mount (needs python3-fusepy, /dev/fuse and root): " + fs_.readAll();
                return false;
            }
            QTest::qWait(20);
        }
        return true;
    }
    void unmount() {
        if (fs_.state() == QProcess::NotRunning) return;
        if (QProcess::execute("umount", {path()}) != 0) QProcess::execute("umount", {"--lazy", path()});
        if (!fs_.waitForFinished(10000)) fs_.kill();
        fs_.waitForFinished();
    }
    QString path() const { return base_.filePath("mount"); }

    QByteArray failure;

private:
    QTemporaryDir base_;
    QProcess fs_;
};

// Every file under folder, hidden ones included, relative to it.
QStringList filesUnder(const QString& folder) {
    QStringList files;
    for (QDirIterator it(folder, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
         it.hasNext();)
        files << QDir(folder).relativeFilePath(it.next());
    files.sort();
    return files;
}

} // namespace

class TestFaults : public QObject {
    Q_OBJECT

private slots:
    void deviceFaults_data();
    void deviceFaults();
    void portVanishedOrInUse_data();
    void portVanishedOrInUse();
    void restOfAnEarlierReply();
    void readAfterAKilledRead();
    void lostLogOnTheCommandLine_data();
    void lostLogOnTheCommandLine();
    void noPermissionOnThePort();
    void fileSystemWithoutLinks();
    void interruptedCommands_data();
    void interruptedCommands();
    void outputNames_data();
    void outputNames();
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

// A session that ended in the middle of a block leaves the rest of the block on its way; the
// next operation lets it pass before it asks anything, and reads everything right.
void TestFaults::restOfAnEarlierReply() {
    sim::Options options;
    options.records = Records;
    options.paced = true;
    DeviceRig rig(options);
    ByteStream& line = rig.simulator.stream();
    QString failure;
    QVERIFY(line.open("earlier session", failure));
    QVERIFY(line.write(QByteArray("GETLOG ") + char(3)));
    QByteArray arrived;
    while (arrived.size() < 100 && line.wait(line.now() + 100'000'000, true)) arrived += line.take();
    QVERIFY(arrived.startsWith(LogBlockHead));
    line.close();

    QVERIFY(!rig.operations.DetectAndRead(rig.values).isEmpty());
    QVERIFY2(rig.ui.messages.empty(), qPrintable(rig.ui.messageTexts().join('|')));
    QCOMPARE(QStringList({rig.values.txtSN, rig.values.txtDesc, rig.values.txtRhHi}),
             QStringList({"1234", "Kiln 3 north stack", "90.0"}));
    QCOMPARE(rig.ui.firmwareChanges, std::vector<int>{1});
    QCOMPARE(rig.state.log.RecordCount, Records);
}

// The same through the program and a pseudo-terminal: `kv5 read` killed while a block comes in,
// then at once another `kv5 read`. The rest of the block takes 0.29 s on the wire, so only a
// program that starts faster than that meets it; the test above always does.
void TestFaults::readAfterAKilledRead() {
    sim::Options options;
    options.records = Records;
    options.paced = true;
    sim::Simulator simulator(options);
    std::atomic<bool> blockAsked{false};
    simulator.setRequestObserver([&](const QByteArray& request) {
        if (request == QByteArray("GETLOG ") + char(3)) blockAsked = true;
    });
    QVERIFY(simulator.start());
    QTemporaryDir home;
    QProcess first;
    first.start(Kv5, {"--home", home.path(), "read", "--port", simulator.portPath()});
    const QDeadlineTimer deadline(60000);
    while (!blockAsked && !deadline.hasExpired()) first.waitForFinished(1);
    QVERIFY(blockAsked);
    // Killed outright, so that nothing of it can wait for the block to end.
    first.kill();
    QVERIFY(first.waitForFinished());

    const ProgramRun second = RunProgram(Kv5, {"--home", home.path(), "read", "--port", simulator.portPath()});
    const QString output = QString::fromLocal8Bit(second.output);
    QVERIFY2(second.exitCode == 0 && output.startsWith("Serial Number: 1234\nBattery: GOOD\n") &&
                 output.contains(QStringLiteral("\nRecords: %1\n").arg(Records)) && !output.contains("COMM ERROR"),
             qPrintable(output + QString::fromLocal8Bit(second.errors)));
}

void TestFaults::lostLogOnTheCommandLine_data() {
    QTest::addColumn<QByteArray>("command");
    QTest::addColumn<int>("block");
    QTest::addColumn<int>("fault");
    QTest::addColumn<QString>("message");
    QTest::newRow("a block") << QByteArray("GETLOG") << 2 << int(sim::Fault::CorruptTail) << BlockFailedText(2);
    QTest::newRow("the interval") << QByteArray("GETINT") << -1 << int(sim::Fault::NoReply) << IntervalUnreadableText;
}

// A log that cannot be read whole is not saved, and `kv5 read` says why and fails.
void TestFaults::lostLogOnTheCommandLine() {
    QFETCH(QByteArray, command);
    QFETCH(int, block);
    QFETCH(int, fault);
    QFETCH(QString, message);
    sim::Simulator simulator;
    QVERIFY(simulator.start());
    simulator.addFault({command, block, static_cast<sim::Fault>(fault), -1});
    QTemporaryDir home;
    const ProgramRun run = RunProgram(Kv5, {"--home", home.path(), "read", "--port", simulator.portPath()});
    const QString errors = QString::fromLocal8Bit(run.errors);
    QCOMPARE(run.exitCode, 1);
    QVERIFY2(errors.contains(message) && !errors.contains("Sensor not yet found"), qPrintable(errors));
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

// On a mount without hard links or no-replace renames a download is saved all the same, under
// the next free number; when even the copy fails, the message names the cause, the records stay
// in memory and a later save writes them whole.
void TestFaults::fileSystemWithoutLinks() {
    NoLinkMount mount;
    QVERIFY2(mount.mount(false), mount.failure.constData());
    const QString home = mount.path() + "/home";
    QVERIFY(QDir().mkpath(home + "/DATA"));
    QStringList saved;
    for (int i = 1; i <= 2; ++i) {
        const ProgramRun run = RunProgram(Kv5, {"--home", home, "read", "--simulate"});
        saved << QString::fromLocal8Bit(run.output).trimmed().split('\n').last();
        QVERIFY2(run.exitCode == 0 && saved.last().endsWith(QStringLiteral("-%1.txt").arg(i, 2, 10, QChar('0'))),
                 run.errors.constData());
    }
    const QString first = QFileInfo(saved[0]).completeBaseName(), second = QFileInfo(saved[1]).completeBaseName();
    QCOMPARE(filesUnder(home + "/DATA"),
             QStringList({first + ".json", first + ".txt", second + ".json", second + ".txt"}));
    QVERIFY(FileBytes(saved[0]).count("\r\n") > 1000 && FileBytes(saved[0]) == FileBytes(saved[1]));
    {
        // A name another program takes between the refused link and the copy is never written over.
        PendingFile late;
        QString why;
        QVERIFY(late.create(home + "/DATA", ".kv5-late", why) && late.write("late", why));
        QCOMPARE(late.publish("raced.txt", PendingFile::Publish::NeverReplacing, why), PendingFile::Outcome::NameTaken);
        QCOMPARE(FileBytes(home + "/DATA/raced.txt"), QByteArray("made meanwhile"));
        QVERIFY(QFile::remove(home + "/DATA/raced.txt"));
    }

    // Room for the hidden file only.
    QVERIFY2(mount.mount(true), mount.failure.constData());
    sim::Options options;
    options.records = Records;
    DeviceRig rig(options);
    rig.state.ProgramFolder = home;
    QCOMPARE(rig.operations.DetectAndRead(rig.values), QString());
    const QString name = "SN1234-2026-05-21-08-00-01.txt";
    QCOMPARE(rig.ui.messageTexts(), QStringList{"ERROR: SaveLogFile: cannot write " + home + "/DATA/" + name + ": " +
                                                QString::fromLocal8Bit(std::strerror(ENOSPC))});
    QCOMPARE(rig.dataFiles().size(), 4);
    QCOMPARE(rig.state.log.RecordCount, Records);
    QVERIFY2(mount.mount(false), mount.failure.constData());
    QCOMPARE(SaveLogFile(rig.state.log, rig.state.dataFolder(), rig.ui), name);
    QCOMPARE(FileBytes(home + "/DATA/" + name), LogFileContent(rig.state.log));
    QCOMPARE(rig.dataFiles().size(), 5);
}

void TestFaults::interruptedCommands_data() {
    QTest::addColumn<QStringList>("arguments"); // LOG: a full log file in DATA, OUT: a private folder
    QTest::addColumn<int>("signal");
    QTest::newRow("read, Ctrl-C in the download") << QStringList{"read", "--verbose", "--port"} << SIGINT;
    QTest::newRow("export, stopped while the workbook is written") << QStringList{"export", "LOG"} << SIGTERM;
    QTest::newRow("print, Ctrl-C while the pages are made") << QStringList{"print", "LOG", "--pdf", "OUT/log.pdf"}
                                                            << SIGINT;
    QTest::newRow("export to a named file, the terminal closed")
        << QStringList{"export", "LOG", "-o", "OUT/log.xlsx"} << SIGHUP;
}

// A signal in the middle of a command ends it by that signal and takes every temporary file of
// the run with it; an interrupted download saves nothing.
void TestFaults::interruptedCommands() {
    QFETCH(QStringList, arguments);
    QFETCH(int, signal);
    QTemporaryDir home, out, temporary, runtime;
    QVERIFY(QDir(home.path()).mkdir("DATA"));
    const QByteArray record = "5/21/2026 08:00,70.0,45.0\r\n";
    QVERIFY(WriteFileBytes(home.filePath("DATA/log.txt"), record.repeated(MaxLogRecords)));
    sim::Options options;
    options.paced = true; // a download of seconds
    sim::Simulator simulator(options);
    QVERIFY(simulator.start());
    for (QString& argument : arguments) {
        if (argument == "LOG") argument = "log.txt";
        argument.replace("OUT", out.path());
    }
    if (arguments[0] == "read") arguments << simulator.portPath();

    QProcess kv5;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("TMPDIR", temporary.path());
    environment.insert("XDG_RUNTIME_DIR", runtime.path());
    kv5.setProcessEnvironment(environment);
    // Whatever the test runner ignores, the program gets the signals a terminal would send.
    kv5.setChildProcessModifier([] {
        for (const int ended : {SIGINT, SIGTERM, SIGHUP}) std::signal(ended, SIG_DFL);
    });
    kv5.start(Kv5, QStringList{"--home", home.path()} + arguments);
    // In the middle: a block on its way, or a hidden file being written.
    QByteArray errors;
    const auto started = [&] {
        errors += kv5.readAllStandardError();
        if (arguments[0] == "read") return errors.contains("Log Block 2");
        return (filesUnder(out.path()) + filesUnder(temporary.path())).join(' ').contains(".kv5-");
    };
    QElapsedTimer waited;
    waited.start();
    while (!started()) {
        QVERIFY2(kv5.state() != QProcess::NotRunning && waited.elapsed() < 60000, errors.constData());
        QTest::qWait(1);
    }
    // What is being written is the user's alone until it is published.
    for (const QString& folder : {out.path(), temporary.path()})
        for (const QString& file : filesUnder(folder)) {
            // The workbook library removes its own temporary files just after making them.
            const QFileInfo info(folder + '/' + file);
            if (info.exists())
                QCOMPARE(info.permissions(), QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser);
        }
    QVERIFY(::kill(static_cast<pid_t>(kv5.processId()), signal) == 0);
    QVERIFY(kv5.waitForFinished(30000));
    QCOMPARE(kv5.exitStatus(), QProcess::CrashExit);
    QCOMPARE(kv5.exitCode(), signal);
    const QDir::Filters everything = QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot;
    const QStringList left = QDir(out.path()).entryList(everything) + QDir(temporary.path()).entryList(everything);
    QVERIFY2(left.isEmpty(), qPrintable(left.join(' ')));
    QCOMPARE(filesUnder(home.filePath("DATA")), QStringList{"log.txt"});
    // The logger was only asked, never told: it is as it was.
    for (const QByteArray& request : simulator.transcript())
        QVERIFY2(request.startsWith("GET") || request == "P\r", request.constData());
}

void TestFaults::outputNames_data() {
    QTest::addColumn<QStringList>("arguments"); // OUT: the output's path
    QTest::addColumn<QString>("procedure");
    QTest::newRow("chart") << QStringList{"chart", "log.txt", "-o", "OUT"} << "RunChartCommand";
    QTest::newRow("print") << QStringList{"print", "log.txt", "--pdf", "OUT"} << "RunPrintCommand";
    QTest::newRow("export") << QStringList{"export", "log.txt", "-o", "OUT"} << "OpenInExcel";
}

// An output replaces a file of its name with that file's mode; a link at its name is neither
// followed nor replaced, and the command says so.
void TestFaults::outputNames() {
    QFETCH(QStringList, arguments);
    QFETCH(QString, procedure);
    QTemporaryDir home, out;
    QVERIFY(QDir(home.path()).mkdir("DATA"));
    QVERIFY(WriteFileBytes(home.filePath("DATA/log.txt"), "5/21/2026 08:00,70.0,45.0\r\n"));
    const QString output = out.filePath("output"), target = out.filePath("target");
    const auto run = [&] {
        return RunProgram(Kv5, QStringList{"--home", home.path()} + arguments.replaceInStrings("OUT", output));
    };
    QVERIFY(WriteFileBytes(output, "private") && QFile::setPermissions(output, QFile::ReadOwner | QFile::WriteOwner));
    const ProgramRun replaced = run();
    QVERIFY2(replaced.exitCode == 0, replaced.errors.constData());
    QVERIFY(FileBytes(output).size() > 100);
    struct stat status {};
    QCOMPARE(::stat(QFile::encodeName(output).constData(), &status), 0);
    QCOMPARE(status.st_mode & 07777, mode_t(0600));

    QVERIFY(QFile::remove(output) && WriteFileBytes(target, "kept") && QFile::link(target, output));
    const ProgramRun linked = run();
    QCOMPARE(linked.exitCode, 1);
    QVERIFY2(linked.errors.contains(("ERROR: " + procedure).toUtf8()) &&
                 linked.errors.contains((output + " is a symbolic link").toUtf8()),
             linked.errors.constData());
    QCOMPARE(QFileInfo(output).symLinkTarget(), target);
    QCOMPARE(FileBytes(target), QByteArray("kept"));
    QCOMPARE(filesUnder(out.path()), QStringList({"output", "target"}));
}

QTEST_MAIN(TestFaults)
#include "test_faults.moc"
