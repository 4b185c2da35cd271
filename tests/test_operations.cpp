// The four device operations end to end against the simulated logger, in process on a virtual
// clock, and `kv5 read` through the program and a pseudo-terminal.
#include "core/Numbers.h"
#include "logger/TimeFormat.h"
#include "support/DeviceRig.h"
#include "support/Installation.h"

#include <QFileInfo>
#include <QImage>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <sys/ioctl.h>
#include <time.h>
#include <unistd.h>

using namespace kv5;

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
    void failedReads();
    void noLogger();
    void startNewLog();
    void testAndStorageMode();
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
    DeviceRig rig(options);
    QVERIFY(rig.started);
    const QString saved = rig.operations.DetectAndRead(rig.values);
    const LogData& log = rig.state.log;
    // Record 2 is one interval (2 ticks of 30 s, extended firmware) after the start.
    QCOMPARE(log.LogTime[1], TimeStampText(QDateTime(QDate(2026, 5, 21), QTime(8, 1))));
    const MainWindowValues& v = rig.values;
    QCOMPARE(QStringList({v.txtSN, v.txtDesc, v.txtTime, v.txtTempHi, v.txtTempLo, v.txtRhHi, v.txtEmcHi, v.txtEmcLo}),
             QStringList({"1234", "Kiln 3 north stack", log.LogTime[0], "260.6", "41.0", "90.0", "100.0", "0.0"}));
    QCOMPARE(QList<int>({v.cboInt, v.Check1, v.chkBeep, int(v.picBatt.size()), rig.ui.valuesShown}),
             QList<int>({1, 1, 0, 258, 1})); // "1 Minute", "Hold Alarms"
    QCOMPARE(rig.ui.firmwareChanges, std::vector<int>{1});
    QVERIFY(rig.ui.statusLines.contains("Getting Vantorp Log Block 1"));
    QVERIFY2(rig.ui.messages.empty(), qPrintable(rig.ui.messageTexts().join('|')));
    QCOMPARE(rig.dataFiles(), QStringList({"SN1234-2026-05-21-08-00-01.json", "SN1234-2026-05-21-08-00-01.txt"}));
    QCOMPARE(FileBytes(saved), (log.LogTime[0] + ",72.1,45.8\r\n" + log.LogTime[1] + ",31.1,99.9\r\n").toUtf8());
    // Its context as the logger gave it.
    const QJsonObject context =
        QJsonDocument::fromJson(FileBytes(rig.state.dataFolder() + "/SN1234-2026-05-21-08-00-01.json")).object();
    QCOMPARE(QStringList({context["serial_number"].toString(), context["description"].toString(),
                          context["family"].toString(), context["start"].toString(), context["unit"].toString()}),
             QStringList({"1234", "Kiln 3 north stack", "Vantorp", "2026-05-21T08:00:00", "F"}));
    QCOMPARE(context["interval_s"].toInt(), 60);
    QCOMPARE(context["records"].toInt(), 2);
    QVERIFY(context["firmware_revision"].toString().startsWith("PKV"));
    const QJsonObject alarms = context["alarms"].toObject();
    QCOMPARE(QList<double>({alarms["temperature"]["low"].toDouble(), alarms["temperature"]["high"].toDouble(),
                            alarms["rh_mc"]["high"].toDouble(), alarms["emc"]["low"].toDouble(),
                            alarms["emc"]["high"].toDouble()}),
             QList<double>({41.0, 260.6, 90.0, 0.0, 100.0}));
    QCOMPARE(alarms["hold"].toBool(false), true);
    QCOMPARE(alarms["beep"].toBool(true), false);
}

void TestOperations::detectAndReadQ7R() {
    sim::Options options;
    options.family = sim::Family::Q7R;
    options.revision = "PKV5r3";
    options.log = bytes({0x0C, 0x81, 0x0D, 0x49, 0x0E, 0x08, 0x32, 0x80});
    options.beep = true;
    DeviceRig rig(options);
    QVERIFY(rig.started);
    rig.state.settings.Celsius = 1;
    rig.state.settings.McSp = {1, 7, -3};
    const QString saved = rig.operations.DetectAndRead(rig.values);
    const LogData& log = rig.state.log; // MC1 is the reference, unchanged
    QCOMPARE(log.LogMc2[0], 13.25 * 0.5 + 1); // species 7: b x mc + a
    QCOMPARE(log.LogMc3[0], CorrectMcForSpecies(rig.state.species, -3, 14.0)); // built-in curve
    QCOMPARE(rig.values.chkBeep, 0); // no extended firmware: the beep option stays off
    QCOMPARE(FileBytes(saved), (log.LogTime[0] + ",25.5,12.5," + NumberText(log.LogMc2[0], Separator::Point) + "," +
                              NumberText(log.LogMc3[0], Separator::Point) + ",50.5\r\n")
                                 .toUtf8());
}

void TestOperations::download_data() {
    QTest::addColumn<QByteArray>("revision");
    QTest::addColumn<int>("mark"); // memory-size mark: 0 for blocks 1 to 255
    QTest::addColumn<int>("ticks");
    QTest::addColumn<int>("records");
    QTest::addColumn<int>("downloaded");
    QTest::addColumn<QString>("lastBlock");
    QTest::newRow("full, longest interval: beyond 32 bits") << QByteArray("PKV5r3") << 0 << 65535 << 16256 << 16256 << "GETLOG 255";
    QTest::newRow("127 blocks at most") << QByteArray("PKV5r3fix") << 1 << 1 << 127 * 64 << 127 * 64 << "GETLOG 127";
    QTest::newRow("KV6 drops the last record") << QByteArray("PKV6r1") << 1 << 1 << 100 << 99 << "GETLOG 2";
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
    DeviceRig rig(options);
    QVERIFY(rig.started);
    rig.operations.DetectAndRead(rig.values);
    const LogData& log = rig.state.log;
    QCOMPARE(log.RecordCount, downloaded);
    const QStringList commands = rig.commands();
    QCOMPARE(commands.last(), lastBlock);
    QVERIFY(!commands.contains("GETLOG 128"));
    const int tick = revision == "PKV5r3" ? 34 : 30;
    const QDateTime start(QDate(2026, 5, 21), QTime(8, 0), Qt::UTC);
    QCOMPARE(log.LogTime[downloaded - 1], TimeStampText(start.addSecs(qint64(ticks) * tick * (downloaded - 1))));
}

// A failed field is shown as such; a failed status block or start time stops the download.
void TestOperations::failedReads() {
    sim::Options options;
    options.records = 300;
    DeviceRig rig(options);
    QVERIFY(rig.started);
    rig.simulator.addFault({"GETTEMPHI", -1, sim::Fault::NoReply, 1});
    rig.simulator.addFault({"GETDESC", -1, sim::Fault::WrongEcho, 1});
    QVERIFY(!rig.operations.DetectAndRead(rig.values).isEmpty());
    QCOMPARE(QStringList({rig.values.txtTempHi, rig.values.txtDesc, rig.values.txtTempLo}),
             QStringList({"COMM ERROR", "COMM ERROR", "41.0"}));
    QCOMPARE(rig.state.log.RecordCount, 300);
    rig.simulator.addFault({"GETLOG", 0, sim::Fault::NoReply, 1});
    rig.operations.DetectAndRead(rig.values);
    QCOMPARE(rig.values.picBatt, QByteArray("COMM ERROR"));
    QCOMPARE(rig.values.txtEmcHi, QString("COMM ERROR"));
    // The start time of the log read before must not stand in for one that failed.
    rig.simulator.addFault({"GETTIME", -1, sim::Fault::NoReply, 1});
    QCOMPARE(rig.operations.DetectAndRead(rig.values), QString());
    QCOMPARE(rig.values.txtTime, QString("COMM ERROR"));
    QCOMPARE(rig.ui.messageTexts().last(), StartTimeUnreadableText);
    QCOMPARE(rig.dataFiles().size(), 2); // the log read before and its context
    options.startTime = "26O5210800"; // not digits
    DeviceRig bad(options);
    QCOMPARE(bad.operations.DetectAndRead(bad.values), QString());
    QCOMPARE(bad.values.txtTime, QString());
    QCOMPARE(bad.ui.messageTexts().last(), StartTimeUnreadableText);
    QVERIFY(bad.dataFiles().isEmpty());
}

void TestOperations::noLogger() {
    DeviceRig rig; // no logger on this machine's USB: the retry box until the user cancels
    rig.state.device.PortOverride.clear();
    rig.ui.answers = {Answer::Ok, Answer::Cancel};
    QCOMPARE(rig.operations.DetectAndRead(rig.values), QString());
    QCOMPARE(rig.ui.messageTexts(), QStringList(2, NotFoundText));
    QCOMPARE(rig.ui.messages[1].buttons, Buttons::OkCancel);
    QCOMPARE(rig.ui.buttons, QList<bool>({false, true}));
    QVERIFY(rig.simulator.transcript().isEmpty());
}

void TestOperations::startNewLog() {
    DeviceRig rig;
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
    v.txtEmcLo = "5.0";
    rig.ui.answers = {Answer::No}; // the port is never opened
    QCOMPARE(rig.operations.StartNewLog(v), QString());
    QVERIFY(rig.simulator.transcript().isEmpty());
    QCOMPARE(rig.ui.messages[0].defaultAnswer, Answer::No);
    // Yes: the exact commands; the values typed, the clock in the user's local time, reach the logger.
    rig.ui.answers = {Answer::Yes};
    const auto zone = inZone("Asia/Tokyo");
    const auto localTime = [] { return QDateTime::currentDateTime().toString("yyMMddHHmm").toLatin1(); };
    const QByteArray before = localTime();
    rig.operations.StartNewLog(v);
    QVERIFY2(QList<QByteArray>({before, localTime()}).contains(rig.simulator.startTime()), rig.simulator.startTime());
    const QStringList expected{"P",       "CLRLOG",  "SETMEM",    "GETLOG 0",  "SETTIME", "SETDESC", "SETINT",
                               "SETRHHI", "SETRHLO", "SETTEMPHI", "SETTEMPLO", "SETMEM",  "SETMEM",  "SETMEM",
                               "SETMEM",  "SETMEM",  "SETMEM",    "SETLEDME",  "GETLOG 0", "GETSN",  "GETDESC",
                               "GETTIME", "GETINT",  "GETTEMPHI", "GETTEMPLO", "GETRHHI", "GETRHLO", "GETLOG 1"};
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
    QCOMPARE(v.txtDesc, QString("Stack B")); // what the logger now holds
    QVERIFY(rig.dataFiles().isEmpty());
}

// Test mode asks nothing before it clears the log; storage mode asks, and needs extended firmware.
void TestOperations::testAndStorageMode() {
    DeviceRig rig;
    QVERIFY(rig.started);
    rig.values.txtSN = "COMM ERROR";
    QCOMPARE(rig.operations.SetTestMode(rig.values), QString("txtSN"));
    QVERIFY(rig.simulator.transcript().isEmpty());
    QCOMPARE(rig.ui.messageTexts(), QStringList{NotANumberText.arg("Serial Number", "COMM ERROR")});
    rig.values.txtSN = " 25 ";
    rig.operations.SetTestMode(rig.values);
    QCOMPARE(rig.ui.messages.size(), size_t(1));
    const auto transcript = rig.simulator.transcript();
    QVERIFY(transcript.contains("SETSN 1025\r"));
    QVERIFY(transcript.contains(QByteArray("SETDESC ") + QByteArray("TEST FOR SN1025").leftJustified(32, ' ') + "\r"));
    QVERIFY(transcript.contains("SETLEDLA\r"));
    QCOMPARE(rig.values.txtSN, QString("1025"));
    QCOMPARE(rig.simulator.interval(), 1);
    QCOMPARE(rig.simulator.limit(sim::Limit::TempHigh), bytes({0x46, 0x00}));
    QCOMPARE(rig.commands().mid(0, 4), QStringList({"P", "GETLOG 0", "CLRLOG", "SETMEM"}));
    rig.ui.answers = {Answer::Yes};
    rig.operations.StorageMode(rig.values);
    QCOMPARE(rig.simulator.memoryByte(60), 0xFF);
    QCOMPARE(rig.ui.messageTexts()[1], ConfirmStorageText);
    sim::Options old;
    old.revision = "PKV5r3";
    DeviceRig plain(old);
    QVERIFY(plain.started);
    plain.ui.answers = {Answer::Yes};
    plain.operations.StorageMode(plain.values);
    QCOMPARE(plain.commands(), QStringList{"P"});
    QCOMPARE(plain.ui.messageTexts(), QStringList({ConfirmStorageText, NoStorageModeText}));
}

void TestOperations::clockChanges_data() {
    QTest::addColumn<QByteArray>("zone");
    QTest::addColumn<QByteArray>("startTime");
    QTest::newRow("New York, spring") << QByteArray("America/New_York") << QByteArray("2603080030");
    QTest::newRow("Berlin, autumn") << QByteArray("Europe/Berlin") << QByteArray("2610250030");
    QTest::newRow("midnight") << QByteArray("Europe/Berlin") << QByteArray("2610242330");
}

// The logger knows no time zone: the stamps rise evenly through a daylight-saving change.
void TestOperations::clockChanges() {
    QFETCH(QByteArray, zone);
    QFETCH(QByteArray, startTime);
    const auto inUserZone = inZone(zone);
    sim::Options options;
    options.startTime = startTime;
    options.intervalTicks = 60; // 30 minutes
    options.records = 8;
    DeviceRig rig(options);
    QVERIFY(rig.started);
    const QString saved = rig.operations.DetectAndRead(rig.values);
    const QDateTime first(QDate::fromString("20" + startTime.left(6), "yyyyMMdd"),
                          QTime::fromString(startTime.mid(6), "HHmm"), Qt::UTC);
    QStringList expected, times;
    for (int i = 0; i < 8; ++i) expected << TimeStampText(first.addSecs(i * 1800));
    QCOMPARE(QFileInfo(saved).fileName(), "SN1234-" + first.toString("yyyy-MM-dd-HH-mm") + "-01.txt");
    QCOMPARE(rig.values.txtTime, expected[0]);
    for (const QByteArray& line : FileBytes(saved).split('\n'))
        if (!line.isEmpty()) times << QString::fromUtf8(line.left(line.indexOf(',')));
    QCOMPARE(times, expected);
    // The date shown changes exactly when the day does.
    QCOMPARE(times[0].section(' ', 0, 0) != times[7].section(' ', 0, 0), first.date() != first.addSecs(7 * 1800).date());
}

// `kv5 read` on the simulated logger's pseudo-terminal prints the settings and the saved file; the
// views of that file are commands of their own.
void TestOperations::commandLine() {
    QTemporaryDir home, runtime;
    const auto run = [&](const QStringList& arguments) {
        return RunProgram(Kv5, QStringList{"--home", home.path()} + arguments, desktop(runtime));
    };
    const ProgramRun read = run({"read", "--simulate=q7r"});
    const QString output = QString::fromLocal8Bit(read.output);
    QVERIFY2(read.exitCode == 0 && output.startsWith("Serial Number: ") && output.contains("\nRecords: 900\n"),
             qPrintable(output));
    QCOMPARE(read.errors, QByteArray()); // in a pipe, no progress
    const QString saved = output.trimmed().split('\n').last();
    QVERIFY2(QFileInfo(saved).isFile() && saved.startsWith(home.path() + "/DATA/SN"), qPrintable(output));
    const QString name = QFileInfo(saved).fileName();
    QVERIFY(run({"table", name}).output.startsWith("Time\tTemp"));
    QVERIFY(run({"info", name}).output.contains("Records 900"));
    for (const QStringList& view : {QStringList{"chart", name, "-o", home.filePath("log.png")},
                                    {"export", name, "-o", home.filePath("log.xlsx")},
                                    {"print", name, "--pdf", home.filePath("log.pdf"), "--chart"}})
        QCOMPARE(run(view).exitCode, 0);
    QCOMPARE(QImage(home.filePath("log.png")).size(), QSize(603, 425));
    QVERIFY(FileBytes(home.filePath("log.xlsx")).startsWith("PK") && FileBytes(home.filePath("log.pdf")).startsWith("%PDF-"));
    // No logger: the message on standard error and a failure status, without a retry.
    const ProgramRun none = run({"read"});
    QVERIFY(none.exitCode > 0 && QString::fromLocal8Bit(none.errors).contains(NotFoundText));

    // On an 80-column terminal the progress is one line rewritten in place, blanked out at the end.
    const int master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    QVERIFY(master >= 0 && grantpt(master) == 0 && unlockpt(master) == 0);
    const auto closeMaster = qScopeGuard([master] { ::close(master); });
    const QByteArray terminal = ptsname(master);
    winsize size{};
    size.ws_col = 80;
    QVERIFY(ioctl(master, TIOCSWINSZ, &size) == 0 && fcntl(master, F_SETFL, O_NONBLOCK) == 0);
    QProcess kv5;
    kv5.setProcessEnvironment(desktop(runtime));
    kv5.setChildProcessModifier([terminal] { dup2(::open(terminal.constData(), O_RDWR | O_NOCTTY), STDERR_FILENO); });
    kv5.start(Kv5, {"--home", home.path(), "read", "--simulate=q7r"});
    QVERIFY(kv5.waitForFinished(60000) && kv5.exitCode() == 0);
    QByteArray shown;
    char buffer[4096];
    for (ssize_t got; (got = ::read(master, buffer, sizeof buffer)) > 0;) shown.append(buffer, got);
    const QString line = QString::fromLocal8Bit(shown);
    QVERIFY2(!line.contains('\n') && line.endsWith('\r'), qPrintable(line));
    const QStringList updates = line.split('\r', Qt::SkipEmptyParts);
    static const QRegularExpression block("^Getting Q7R Log Block (\\d+)(?:  \\d+ records)?  \\d+:[0-5]\\d *$");
    int blocks = 0;
    for (const QString& update : updates.first(updates.size() - 1)) {
        const auto match = block.match(update);
        QVERIFY2(update.size() < 80 && (match.hasMatch() || !update.startsWith("Getting Q7R")), qPrintable(update));
        if (match.hasMatch()) QCOMPARE(match.captured(1).toInt(), ++blocks); // the blocks count up
    }
    QVERIFY2(blocks >= 2, qPrintable(line));
    QVERIFY(updates.last().trimmed().isEmpty() && updates.last().size() >= updates[updates.size() - 2].trimmed().size());
}

QTEST_MAIN(TestOperations)
#include "test_operations.moc"
