// The four device operations end to end against the simulated logger, in process on a virtual
// clock (the command line through the program and a pseudo-terminal): the common frame, the
// settings read and written, the download of both families and the saved log file.
#include "core/Numbers.h"
#include "logger/TimeFormat.h"
#include "support/DeviceRig.h"
#include "support/Installation.h"

#include <QFileInfo>
#include <QImage>
#include <QMap>
#include <QProcess>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <sys/ioctl.h>
#include <time.h>
#include <unistd.h>

using namespace kv5;

using Rig = DeviceRig;

namespace {

const QString Kv5 = QStringLiteral(KV5_BINARY_DIR "/app/kv5");

// Puts this process into the time zone until the guard goes.
auto inZone(const QByteArray& zone) {
    const QByteArray before = qgetenv("TZ");
    qputenv("TZ", zone);
    tzset();
    return qScopeGuard([before] {
        before.isNull() ? qunsetenv("TZ") : qputenv("TZ", before);
        tzset();
    });
}

// As in a desktop session, so that Qt has nothing to say.
QProcessEnvironment desktop(const QTemporaryDir& runtime) {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("XDG_RUNTIME_DIR", runtime.path());
    environment.remove("KV5_PORT");
    return environment;
}

} // namespace

class TestOperations : public QObject {
    Q_OBJECT

private slots:
    void detectAndReadVantorp();
    void detectAndReadQ7R();
    void download_data();
    void download();
    void failedFieldsAndBlocks();
    void unreadableStartTime_data();
    void unreadableStartTime();
    void noLogger();
    void startNewLog();
    void setTestMode();
    void storageMode();
    void clockChanges_data();
    void clockChanges();
    void commandLine();
};

void TestOperations::detectAndReadVantorp() {
    sim::Options options;
    // Two known records: 22.25 degrees C, 45.75 %; -0.5 degrees C and 100.5 % (stored as 99.9).
    options.log = bytes({0x16, 0x40, 0x2D, 0xC0, 0xFF, 0x80, 0x64, 0x80});
    options.intervalTicks = 2;
    options.tempHigh = 127.99609375;
    options.emcHigh = 150;
    options.emcLow = -3;
    options.holdAlarms = true;
    Rig rig(options);
    QVERIFY(rig.started);
    const QString saved = rig.operations.DetectAndRead(rig.values);

    const LogData& log = rig.state.log;
    QCOMPARE(log.SensorType, SensorVantorp);
    QCOMPARE(log.RecordCount, 2);
    // Record 2 is one interval (2 ticks of 30 s, extended firmware) after the start.
    QCOMPARE(log.LogTime[1], TimeStampText(QDateTime(QDate(2026, 5, 21), QTime(8, 1))));
    const MainWindowValues& v = rig.values;
    QCOMPARE(
        QStringList(
            {v.txtSN, v.txtDesc, v.txtTime, v.txtTempHi, v.txtTempLo, v.txtRhHi, v.txtEmcHi, v.txtEmcLo}),
        QStringList({"1234", "Kiln 3 north stack", log.LogTime[0], "260.6", "41.0", "90.0", "100.0", "0.0"}));
    QCOMPARE(v.cboInt, 1); // "1 Minute"
    QCOMPARE(v.Check1, 1);
    QCOMPARE(v.chkBeep, 0);
    QCOMPARE(v.picBatt.size(), 258);
    QCOMPARE(rig.ui.valuesShown, 1);
    QCOMPARE(rig.ui.firmwareChanges, std::vector<int>{1});
    QCOMPARE(rig.ui.lastStatus(), QString("Update complete"));
    QVERIFY(rig.ui.statusLines.contains("Getting Vantorp Log Block 1"));
    QCOMPARE(rig.ui.buttons, QList<bool>({false, true}));
    QVERIFY2(rig.ui.messages.empty(), qPrintable(rig.ui.messageTexts().join('|')));

    // The file: its name, and the records as the file format has them.
    QCOMPARE(rig.dataFiles(), QStringList{"SN1234-2026-05-21-08-00-01.txt"});
    QCOMPARE(FileBytes(saved),
             (log.LogTime[0] + ",72.1,45.8\r\n" + log.LogTime[1] + ",31.1,99.9\r\n").toUtf8());
    // A second download of the same log is kept beside the first.
    QCOMPARE(QFileInfo(rig.operations.DetectAndRead(rig.values)).fileName(),
             QString("SN1234-2026-05-21-08-00-02.txt"));
}

void TestOperations::detectAndReadQ7R() {
    sim::Options options;
    options.family = sim::Family::Q7R;
    options.revision = "PKV5r3";
    options.log = bytes({0x0C, 0x81, 0x0D, 0x49, 0x0E, 0x08, 0x32, 0x80});
    options.beep = true;
    Rig rig(options);
    QVERIFY(rig.started);
    rig.state.settings.Celsius = 1;
    rig.state.settings.McSp = {1, 7, -3};
    const QString saved = rig.operations.DetectAndRead(rig.values);
    const LogData& log = rig.state.log;
    QCOMPARE(log.SensorType, SensorQ7R);
    QCOMPARE(log.RecordCount, 1);
    QCOMPARE(log.LogTemp[0], 25.5);
    QCOMPARE(log.LogMc1[0], 12.5);                                             // reference: unchanged
    QCOMPARE(log.LogMc2[0], 13.25 * 0.5 + 1);                                  // species 7: b x mc + a
    QCOMPARE(log.LogMc3[0], CorrectMcForSpecies(rig.state.species, -3, 14.0)); // built-in curve
    QCOMPARE(log.LogRhQ7R[0], 50.5);
    QCOMPARE(rig.values.chkBeep, 0); // no extended firmware: the beep option stays off
    QVERIFY(rig.ui.statusLines.contains("Getting Q7R Log Block 1"));
    // A single record is saved, too.
    QVERIFY(saved.endsWith("-01.txt"));
    QCOMPARE(FileBytes(saved), (log.LogTime[0] + ",25.5,12.5," + NumberText(log.LogMc2[0], Separator::Point) +
                                "," + NumberText(log.LogMc3[0], Separator::Point) + ",50.5\r\n")
                                   .toUtf8());
}

void TestOperations::download_data() {
    QTest::addColumn<QByteArray>("revision");
    QTest::addColumn<int>("mark"); // memory-size mark: 0 for blocks 1 to 255 without 128
    QTest::addColumn<int>("ticks");
    QTest::addColumn<int>("records");
    QTest::addColumn<int>("downloaded");
    QTest::addColumn<QString>("lastBlock");
    // 65535 ticks of 34 s over 16256 records is far beyond 32 bits of seconds.
    QTest::newRow("full memory, longest interval")
        << QByteArray("PKV5r3") << 0 << 65535 << 16256 << 16256 << "GETLOG 255";
    QTest::newRow("127 blocks at most")
        << QByteArray("PKV5r3fix") << 1 << 1 << 127 * 64 << 127 * 64 << "GETLOG 127";
    QTest::newRow("a full block, then an empty one")
        << QByteArray("PKV5r3fix") << 1 << 2 << 64 << 64 << "GETLOG 2";
    QTest::newRow("KV6 drops the last record") << QByteArray("PKV6r1") << 1 << 1 << 100 << 99 << "GETLOG 2";
    QTest::newRow("KV6, one record") << QByteArray("PKV6r1") << 1 << 1 << 1 << 0 << "GETLOG 1";
}

void TestOperations::download() {
    QFETCH(QByteArray, revision);
    QFETCH(int, mark);
    QFETCH(int, ticks);
    QFETCH(int, records);
    QFETCH(int, downloaded);
    QFETCH(QString, lastBlock);
    sim::Options options;
    options.revision = revision;
    options.memorySizeMark = mark;
    options.intervalTicks = ticks;
    options.records = records;
    Rig rig(options);
    QVERIFY(rig.started);
    const QString saved = rig.operations.DetectAndRead(rig.values);
    const LogData& log = rig.state.log;
    QCOMPARE(log.RecordCount, downloaded);
    const QStringList commands = rig.commands();
    QCOMPARE(commands.last(), lastBlock);
    // Block 128 is never asked for, nothing is asked twice.
    QVERIFY(!commands.contains("GETLOG 128"));
    QCOMPARE(QSet<QString>(commands.begin(), commands.end()).size(), commands.size());
    QCOMPARE(rig.ui.statusLines.contains("Skipping Vantorp Log Block 128"), mark == 0);
    if (downloaded == 0) {
        QCOMPARE(saved, QString());
        QVERIFY(rig.dataFiles().isEmpty());
        QCOMPARE(rig.ui.lastStatus(), QString("No log data / Sensor not yet found"));
        return;
    }
    QVERIFY(!saved.isEmpty());
    const int tick = revision == "PKV5r3" ? 34 : 30;
    const QDateTime start(QDate(2026, 5, 21), QTime(8, 0), Qt::UTC);
    QCOMPARE(log.LogTime[downloaded - 1],
             TimeStampText(start.addSecs(qint64(ticks) * tick * (downloaded - 1))));
}

void TestOperations::failedFieldsAndBlocks() {
    sim::Options options;
    options.records = 300;
    Rig rig(options);
    QVERIFY(rig.started);
    rig.simulator.addFault({"GETTEMPHI", -1, sim::Fault::NoReply, 1});
    rig.simulator.addFault({"GETDESC", -1, sim::Fault::WrongEcho, 1});
    QVERIFY(!rig.operations.DetectAndRead(rig.values).isEmpty());
    QCOMPARE(rig.values.txtTempHi, QString("COMM ERROR"));
    QCOMPARE(rig.values.txtDesc, QString("COMM ERROR"));
    QCOMPARE(rig.values.txtTempLo, QString("41.0"));
    // A field that failed does not stop the download.
    QCOMPARE(rig.state.log.RecordCount, 300);

    // A failed status block: no download, the gauge and EMC boxes say so.
    rig.simulator.addFault({"GETLOG", 0, sim::Fault::NoReply, 1});
    rig.simulator.clearTranscript();
    rig.operations.DetectAndRead(rig.values);
    QCOMPARE(rig.state.log.SensorType, 0);
    QCOMPARE(rig.values.picBatt, QByteArray("COMM ERROR"));
    QCOMPARE(rig.values.txtEmcHi, QString("COMM ERROR"));
    QCOMPARE(rig.commands().count("GETLOG 1"), 0);
}

void TestOperations::unreadableStartTime_data() {
    QTest::addColumn<int>("fault");
    QTest::addColumn<QByteArray>("startTime");
    QTest::addColumn<QString>("shown");
    QTest::newRow("no reply") << int(sim::Fault::NoReply) << QByteArray("2605210800") << "COMM ERROR";
    QTest::newRow("not digits") << int(sim::Fault::None) << QByteArray("26O5210800") << "";
}

void TestOperations::unreadableStartTime() {
    QFETCH(int, fault);
    QFETCH(QByteArray, startTime);
    QFETCH(QString, shown);
    sim::Options options;
    options.startTime = startTime;
    Rig rig(options);
    QVERIFY(rig.started);
    if (fault != int(sim::Fault::None)) {
        // The start time of a log read before must not stand in for the one that failed.
        QVERIFY(!rig.operations.DetectAndRead(rig.values).isEmpty());
        rig.simulator.addFault({"GETTIME", -1, sim::Fault(fault), 1});
    }
    const int filesBefore = rig.dataFiles().size();
    QCOMPARE(rig.operations.DetectAndRead(rig.values), QString());
    QCOMPARE(rig.values.txtTime, shown);
    QCOMPARE(rig.ui.messageTexts().last(), StartTimeUnreadableText);
    QCOMPARE(rig.state.log.RecordCount, 0);
    QCOMPARE(rig.dataFiles().size(), filesBefore);
}

void TestOperations::noLogger() {
    // No logger on this machine's USB: the retry box until the user cancels; nothing is sent.
    Rig rig;
    rig.state.device.PortOverride.clear();
    rig.ui.answers = {Answer::Ok, Answer::Cancel};
    QCOMPARE(rig.operations.DetectAndRead(rig.values), QString());
    QCOMPARE(rig.ui.messageTexts(), QStringList(2, NotFoundText));
    QCOMPARE(rig.ui.messages[1].icon, Icon::Stop);
    QCOMPARE(rig.ui.messages[1].buttons, Buttons::OkCancel);
    QCOMPARE(rig.ui.buttons, QList<bool>({false, true}));
    QVERIFY(rig.simulator.transcript().isEmpty());
    QVERIFY(rig.ui.failures.isEmpty());
}

void TestOperations::startNewLog() {
    Rig rig;
    QVERIFY(rig.started);
    MainWindowValues& v = rig.values;
    v.txtDesc = "  Stack B  ";
    v.cboInt = 2; // 5 minutes: 10 ticks of 30 s
    v.txtRhHi = "80.0";
    v.txtRhLo = "10.0";
    v.txtTempHi = "212.0";
    v.txtTempLo = "300";
    v.txtEmcHi = "20.0";
    v.chkBeep = 1;
    v.Check1 = 0;
    // A box that holds no number stops it before anything is sent, naming the field.
    v.txtEmcLo = "";
    QCOMPARE(rig.operations.StartNewLog(v), QString("txtEmcLo"));
    QCOMPARE(rig.ui.messageTexts(), QStringList{NotANumberText.arg("EMC % Alarm Low Limit", "")});
    // No: the port is never opened.
    v.txtEmcLo = "5.0";
    rig.ui.answers = {Answer::No};
    QCOMPARE(rig.operations.StartNewLog(v), QString());
    QVERIFY(rig.simulator.transcript().isEmpty());
    QCOMPARE(rig.ui.messages[1].text, ConfirmNewLogText);
    QCOMPARE(rig.ui.messages[1].defaultAnswer, Answer::No);

    // Yes: the exact command sequence, and the values typed reach the logger. Its clock is set
    // to the user's local time, here nine hours from UTC.
    rig.ui.answers = {Answer::Yes};
    {
        const auto zone = inZone("Asia/Tokyo");
        const auto localTime = [] { return QDateTime::currentDateTime().toString("yyMMddHHmm").toLatin1(); };
        const QByteArray before = localTime();
        rig.operations.StartNewLog(v);
        const QByteArray after = localTime();
        const QByteArray set = rig.simulator.startTime();
        QVERIFY2(set == before || set == after, set.constData());
    }
    QCOMPARE(rig.ui.failures, QStringList());
    const QStringList expected{"P",         "CLRLOG",  "SETMEM",  "GETLOG 0",  "SETTIME",   "SETDESC",
                               "SETINT",    "SETRHHI", "SETRHLO", "SETTEMPHI", "SETTEMPLO", "SETMEM",
                               "SETMEM",    "SETMEM",  "SETMEM",  "SETMEM",    "SETMEM",    "SETLEDME",
                               "GETLOG 0",  "GETSN",   "GETDESC", "GETTIME",   "GETINT",    "GETTEMPHI",
                               "GETTEMPLO", "GETRHHI", "GETRHLO", "GETLOG 1"};
    QCOMPARE(rig.commands(), expected);
    auto& sim = rig.simulator;
    QCOMPARE(sim.memoryByte(60), 0x80); // logging, not storage mode
    QCOMPARE(sim.description(), QByteArray("Stack B").leftJustified(32, ' '));
    QCOMPARE(sim.interval(), 10);
    QCOMPARE(sim.limit(sim::Limit::TempHigh), bytes({0x64, 0x00}));
    QCOMPARE(sim.limit(sim::Limit::TempLow), bytes({0x7F, 0x00}));
    QCOMPARE(QList<int>({sim.memoryByte(61), sim.memoryByte(68), sim.memoryByte(69), sim.memoryByte(71)}),
             QList<int>({255, 80, 20, 5}));
    QCOMPARE(sim.recordCount(), 0);
    // The window shows what the logger now holds.
    QCOMPARE(v.txtDesc, QString("Stack B"));
    QCOMPARE(v.Check1, 0);
    QVERIFY(rig.dataFiles().isEmpty());
}

void TestOperations::setTestMode() {
    Rig rig;
    QVERIFY(rig.started);
    rig.values.txtSN = "COMM ERROR";
    QCOMPARE(rig.operations.SetTestMode(rig.values), QString("txtSN"));
    QVERIFY(rig.simulator.transcript().isEmpty());
    QCOMPARE(rig.ui.messageTexts(), QStringList{NotANumberText.arg("Serial Number", "COMM ERROR")});

    // No question is asked before the log is cleared.
    rig.values.txtSN = " 25 ";
    rig.operations.SetTestMode(rig.values);
    QCOMPARE(rig.ui.messages.size(), size_t(1));
    const auto transcript = rig.simulator.transcript();
    QVERIFY(transcript.contains("SETSN 1025\r"));
    QVERIFY(transcript.contains(QByteArray("SETDESC ") +
                                QByteArray("TEST FOR SN1025").leftJustified(32, ' ') + "\r"));
    QVERIFY(transcript.contains("SETLEDLA\r"));
    QCOMPARE(rig.values.txtSN, QString("1025"));
    QCOMPARE(rig.values.Check1, 1);
    QCOMPARE(rig.simulator.interval(), 1);
    QCOMPARE(rig.simulator.limit(sim::Limit::TempHigh), bytes({0x46, 0x00}));
    QCOMPARE(rig.commands().mid(0, 4), QStringList({"P", "GETLOG 0", "CLRLOG", "SETMEM"}));
}

void TestOperations::storageMode() {
    Rig rig;
    QVERIFY(rig.started);
    rig.ui.answers = {Answer::Yes};
    rig.operations.StorageMode(rig.values);
    QCOMPARE(rig.simulator.memoryByte(60), 0xFF);
    QCOMPARE(rig.ui.messageTexts(),
             QStringList({ConfirmStorageText,
                          "The device is now in storage mode to save battery power.\r"
                          "Inserting a sensor plug will wake the device and logging will continue."}));
    QCOMPARE(rig.ui.messages[1].icon, Icon::Information);

    // Without extended firmware nothing is sent after the revision query.
    sim::Options old;
    old.revision = "PKV5r3";
    Rig plain(old);
    QVERIFY(plain.started);
    plain.ui.answers = {Answer::Yes};
    plain.operations.StorageMode(plain.values);
    QCOMPARE(plain.commands(), QStringList{"P"});
    QCOMPARE(plain.ui.messageTexts(), QStringList({ConfirmStorageText, NoStorageModeText}));
    QCOMPARE(plain.ui.messages[1].icon, Icon::Information);
}

void TestOperations::clockChanges_data() {
    QTest::addColumn<QByteArray>("zone");
    QTest::addColumn<QByteArray>("startTime");
    QTest::addColumn<QStringList>("stamps"); // of the records, every half hour from the start
    const QStringList halfHours{"00:30", "01:00", "01:30", "02:00", "02:30", "03:00", "03:30", "04:00"};
    QTest::newRow("New York, spring")
        << QByteArray("America/New_York") << QByteArray("2603080030") << halfHours;
    QTest::newRow("Berlin, autumn") << QByteArray("Europe/Berlin") << QByteArray("2610250030") << halfHours;
    QTest::newRow("Sydney, autumn") << QByteArray("Australia/Sydney") << QByteArray("2604050030")
                                    << halfHours;
    QTest::newRow("Sydney, spring") << QByteArray("Australia/Sydney") << QByteArray("2610040030")
                                    << halfHours;
    QTest::newRow("midnight") << QByteArray("Europe/Berlin") << QByteArray("2610242330")
                              << QStringList{"23:30", "00:00", "00:30", "01:00"};
}

void TestOperations::clockChanges() {
    // The logger counts from its start time and knows no time zone: the stamps rise evenly
    // through a daylight-saving change in the user's zone and never repeat.
    QFETCH(QByteArray, zone);
    QFETCH(QByteArray, startTime);
    QFETCH(QStringList, stamps);
    const auto inUserZone = inZone(zone);
    sim::Options options;
    options.startTime = startTime;
    options.intervalTicks = 60; // 30 minutes
    options.records = int(stamps.size());
    Rig rig(options);
    QVERIFY(rig.started);
    const QString saved = rig.operations.DetectAndRead(rig.values);
    const QDate first(2000 + startTime.left(2).toInt(), startTime.mid(2, 2).toInt(),
                      startTime.mid(4, 2).toInt());
    QDate day = first;
    QStringList expected;
    for (const QString& stamp : stamps) {
        const QTime time = QTime::fromString(stamp, "hh:mm");
        if (!expected.isEmpty() && time.toString("hh:mm") < stamps[expected.size() - 1]) day = day.addDays(1);
        expected << TimeStampText(QDateTime(day, time, Qt::UTC));
    }
    QCOMPARE(QFileInfo(saved).fileName(), "SN1234-" + first.toString("yyyy-MM-dd") + "-" + stamps[0].left(2) +
                                              "-" + stamps[0].right(2) + "-01.txt");
    QCOMPARE(rig.values.txtTime, expected[0]);
    QStringList times;
    for (const QByteArray& line : FileBytes(saved).split('\n'))
        if (!line.isEmpty()) times << QString::fromUtf8(line.left(line.indexOf(',')));
    QCOMPARE(times, expected);
}

// `kv5 read` prints the settings and the saved file; on a terminal it shows its progress in
// one line, rewritten in place, and blanks it out before it prints; in a pipe nothing extra.
void TestOperations::commandLine() {
    QTemporaryDir home, runtime;
    const auto run = [&](const QStringList& arguments) {
        return RunProgram(Kv5, QStringList{"--home", home.path()} + arguments, desktop(runtime));
    };
    const ProgramRun read = run({"read", "--simulate=q7r"});
    QCOMPARE(read.exitCode, 0);
    const QString output = QString::fromLocal8Bit(read.output);
    QVERIFY2(output.startsWith("Serial Number: ") && output.contains("\nRecords: 900\n"), qPrintable(output));
    const QString saved = output.trimmed().split('\n').last();
    QVERIFY2(QFileInfo(saved).isFile() && saved.startsWith(home.path() + "/DATA/SN"), qPrintable(output));
    QCOMPARE(read.errors, QByteArray());

    // The views of the saved file, each a command of its own.
    const QString name = QFileInfo(saved).fileName();
    QVERIFY(run({"table", name}).output.startsWith("Time\tTemp"));
    QVERIFY(run({"info", name}).output.contains("Records 900"));
    QCOMPARE(run({"chart", name, "-o", home.filePath("chart.png")}).exitCode, 0);
    QCOMPARE(QImage(home.filePath("chart.png")).size(), QSize(603, 425));
    QCOMPARE(run({"export", name, "-o", home.filePath("log.xlsx")}).output.trimmed(),
             home.filePath("log.xlsx").toLocal8Bit());
    QVERIFY(FileBytes(home.filePath("log.xlsx")).startsWith("PK"));
    QCOMPARE(run({"print", name, "--pdf", home.filePath("log.pdf"), "--chart"}).exitCode, 0);
    QVERIFY(FileBytes(home.filePath("log.pdf")).startsWith("%PDF-"));

    // No logger: the message on standard error and a failure status, without a retry.
    const ProgramRun none = run({"read"});
    QVERIFY(none.exitCode > 0);
    QVERIFY(QString::fromLocal8Bit(none.errors).contains(NotFoundText));

    // Standard error on an 80-column terminal, standard output in a pipe.
    const int master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    QVERIFY(master >= 0 && grantpt(master) == 0 && unlockpt(master) == 0);
    const auto closeMaster = qScopeGuard([master] { ::close(master); });
    const QByteArray terminal = ptsname(master);
    winsize size{};
    size.ws_col = 80;
    QVERIFY(ioctl(master, TIOCSWINSZ, &size) == 0);
    QProcess kv5;
    kv5.setProcessEnvironment(desktop(runtime));
    kv5.setChildProcessModifier([terminal] {
        const int slave = ::open(terminal.constData(), O_RDWR | O_NOCTTY);
        if (slave >= 0) dup2(slave, STDERR_FILENO);
    });
    kv5.start(Kv5, {"--home", home.path(), "read", "--simulate=q7r"});
    QVERIFY(kv5.waitForFinished(60000) && kv5.exitCode() == 0);
    QVERIFY(kv5.readAllStandardOutput().startsWith("Serial Number: "));
    QByteArray shown;
    QVERIFY(fcntl(master, F_SETFL, O_NONBLOCK) == 0);
    char buffer[4096];
    for (ssize_t got; (got = ::read(master, buffer, sizeof buffer)) > 0;) shown.append(buffer, got);
    const QString line = QString::fromLocal8Bit(shown);

    // Every update goes back to the line's start; none starts a new line; the blocks count up.
    QVERIFY2(!line.contains('\n') && line.endsWith('\r'), qPrintable(line));
    const QStringList updates = line.split('\r', Qt::SkipEmptyParts);
    static const QRegularExpression block(
        "^Getting Q7R Log Block (\\d+)(?:  (\\d+) records)?  \\d+:[0-5]\\d *$");
    int lastBlock = 0, lastRecords = -1;
    for (const QString& update : updates.first(updates.size() - 1)) {
        const auto match = block.match(update);
        QVERIFY2(update.size() < 80 && (match.hasMatch() || !update.startsWith("Getting Q7R")),
                 qPrintable(update));
        if (!match.hasMatch()) continue;
        QCOMPARE(match.captured(1).toInt(), lastBlock + 1);
        QVERIFY(match.captured(2).toInt() > lastRecords);
        lastBlock = match.captured(1).toInt();
        lastRecords = match.captured(2).toInt();
    }
    QVERIFY2(lastBlock >= 2 && lastRecords > 0 && lastRecords < 900, qPrintable(line));
    // The last update blanks the line out.
    QVERIFY(updates.last().trimmed().isEmpty() &&
            updates.last().size() >= updates[updates.size() - 2].trimmed().size());
}

QTEST_MAIN(TestOperations)
#include "test_operations.moc"
