// The four device operations end to end against the simulated logger, in process on a virtual
// clock (the command line through a real pseudo-terminal): discovery override,
// the common frame, the settings read and written, the download of both families and the
// saved log file.
#include "app/AppState.h"
#include "app/DeviceOperations.h"
#include "core/Numbers.h"
#include "device/SerialLink.h"
#include "logfiles/LogFile.h"
#include "logger/DeviceSettings.h"
#include "logger/TimeFormat.h"
#include "sim/Simulator.h"
#include "support/DeviceRig.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QProcess>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

#include <time.h>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>

using namespace kv5;

using Rig = DeviceRig;

class TestOperations : public QObject {
    Q_OBJECT

private slots:
    void detectAndReadVantorp();
    void detectAndReadQ7R();
    void fullMemoryAndBlockRange();
    void kv6DropsTheLastRecord();
    void failedFieldsAndBlocks();
    void unreadableStartTime_data();
    void unreadableStartTime();
    void noLoggerAndPortFailure();
    void startNewLog();
    void setTestMode();
    void storageMode();
    void longIntervalTimeStamps();
    void clockChanges_data();
    void clockChanges();
    void commandLine();
    void commandLineProgress();
};

void TestOperations::detectAndReadVantorp() {
    sim::Options options;
    // Two known records: 22.25 degrees C, 45.75 %; -0.5 degrees C and 100.5 % (stored as 99.9).
    options.log = bytes({0x16, 0x40, 0x2D, 0xC0, 0xFF, 0x80, 0x64, 0x80});
    options.intervalTicks = 2;
    options.tempHigh = 127.99609375;
    options.emcHigh = 150;
    options.emcLow = -3;
    Rig rig(options);
    QVERIFY(rig.started);
    const QString saved = rig.operations.DetectAndRead(rig.values);

    const LogData& log = rig.state.log;
    QCOMPARE(log.SensorType, SensorVantorp);
    QCOMPARE(log.RecordCount, 2);
    QCOMPARE(NumberText(log.LogTemp[0]), QString("72.1")); // Celsius is off
    QCOMPARE(log.LogRh[0], 45.75);
    QCOMPARE(NumberText(log.LogTemp[1]), QString("31.1"));
    QCOMPARE(log.LogRh[1], 99.9);
    // Record 2 is one interval (2 ticks of 30 s, extended firmware) after the start.
    QCOMPARE(log.LogTime[0], TimeStampText(QDateTime(QDate(2026, 5, 21), QTime(8, 0))));
    QCOMPARE(log.LogTime[1], TimeStampText(QDateTime(QDate(2026, 5, 21), QTime(8, 1))));
    QVERIFY(log.LogTime[0].contains("2026"));

    QCOMPARE(rig.values.txtSN, QString("1234"));
    QCOMPARE(rig.values.txtDesc, QString("Kiln 3 north stack"));
    QCOMPARE(rig.values.txtTime, log.LogTime[0]);
    QCOMPARE(rig.values.cboInt, 1); // "1 Minute"
    QCOMPARE(rig.values.txtTempHi, QString("260.6"));
    QCOMPARE(rig.values.txtTempLo, QString("41.0"));
    QCOMPARE(rig.values.txtRhHi, QString("90.0"));
    QCOMPARE(rig.values.txtEmcHi, QString("100.0"));
    QCOMPARE(rig.values.txtEmcLo, QString("0.0"));
    QCOMPARE(rig.values.picBatt.size(), 258);
    QCOMPARE(rig.ui.valuesShown, 1);
    QCOMPARE(rig.ui.firmwareChanges, std::vector<int>{1});
    QCOMPARE(rig.ui.lastStatus(), QString("Update complete"));
    QVERIFY(rig.ui.statusLines.contains("Getting Vantorp Log Block 1"));
    QCOMPARE(rig.ui.buttons, QList<bool>({false, true}));
    QVERIFY2(rig.ui.messages.empty(), qPrintable(rig.ui.messageTexts().join('|')));

    // The file: its name, and the records as the file format has them.
    QCOMPARE(QFileInfo(saved).fileName(), QString("SN1234-2026-05-21-08-00-01.txt"));
    QCOMPARE(rig.dataFiles(), QStringList{"SN1234-2026-05-21-08-00-01.txt"});
    QFile file(saved);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), (log.LogTime[0] + ",72.1,45.8\r\n" + log.LogTime[1] + ",31.1,99.9\r\n").toUtf8());

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
    QCOMPARE(log.LogMc1[0], 12.5);                                       // reference: unchanged
    QCOMPARE(log.LogMc2[0], 13.25 * 0.5 + 1);                            // species 7: b x mc + a
    QCOMPARE(log.LogMc3[0], CorrectMcForSpecies(rig.state.species, -3, 14.0)); // built-in curve
    QCOMPARE(log.LogRhQ7R[0], 50.5);
    QCOMPARE(rig.values.chkBeep, 0); // no extended firmware: the beep option stays off
    QVERIFY(rig.ui.statusLines.contains("Getting Q7R Log Block 1"));
    QVERIFY(saved.endsWith("-01.txt"));
    QFile file(saved);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), (log.LogTime[0] + ",25.5,12.5," + NumberText(log.LogMc2[0], Separator::Point) + "," +
                              NumberText(log.LogMc3[0], Separator::Point) + ",50.5\r\n")
                                 .toUtf8());
}

void TestOperations::fullMemoryAndBlockRange() {
    // Memory-size mark 0: blocks 1 to 255 without 128; a full memory holds 16256 records.
    sim::Options options;
    options.memorySizeMark = 0;
    options.records = 16256;
    Rig rig(options);
    QVERIFY(rig.started);
    rig.operations.DetectAndRead(rig.values);
    QCOMPARE(rig.state.log.RecordCount, 16256);
    QStringList commands = rig.commands();
    QVERIFY(!commands.contains("GETLOG 128"));
    const auto at127 = commands.indexOf("GETLOG 127");
    QVERIFY(at127 > 0);
    QCOMPARE(commands.at(at127 + 1), QString("GETLOG 129"));
    QCOMPARE(commands.last(), QString("GETLOG 255"));
    QVERIFY(rig.ui.statusLines.contains("Skipping Vantorp Log Block 128"));
    QCOMPARE(commands.count("GETLOG 1"), 1); // nothing is asked twice

    // Mark not 0: at most blocks 1 to 127, even when each is full.
    sim::Options small;
    small.records = 127 * 64;
    Rig rig2(small);
    QVERIFY(rig2.started);
    rig2.operations.DetectAndRead(rig2.values);
    QCOMPARE(rig2.state.log.RecordCount, 127 * 64);
    QCOMPARE(rig2.commands().last(), QString("GETLOG 127"));

    // A full block followed by an empty one: the records stay, the loop ends there.
    sim::Options exact;
    exact.records = 64;
    Rig rig3(exact);
    QVERIFY(rig3.started);
    rig3.operations.DetectAndRead(rig3.values);
    QCOMPARE(rig3.state.log.RecordCount, 64);
    QCOMPARE(rig3.commands().last(), QString("GETLOG 2"));
}

void TestOperations::kv6DropsTheLastRecord() {
    sim::Options options;
    options.revision = "PKV6r1";
    options.records = 100;
    Rig rig(options);
    QVERIFY(rig.started);
    rig.operations.DetectAndRead(rig.values);
    QCOMPARE(rig.state.log.RecordCount, 99);
    QCOMPARE(rig.state.device.ModelKV6, 1);

    // One record only: nothing is left, and no file is written.
    options.records = 1;
    Rig one(options);
    QVERIFY(one.started);
    QCOMPARE(one.operations.DetectAndRead(one.values), QString());
    QCOMPARE(one.state.log.RecordCount, 0);
    QVERIFY(one.dataFiles().isEmpty());
    QCOMPARE(one.ui.lastStatus(), QString("No log data / Sensor not yet found"));
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

void TestOperations::noLoggerAndPortFailure() {
    // No logger on this machine's USB: the retry box until the user cancels; nothing is sent.
    Rig rig;
    QVERIFY(rig.started);
    rig.state.device.PortOverride.clear();
    rig.ui.answers = {Answer::Ok, Answer::Cancel};
    rig.operations.DetectAndRead(rig.values);
    QCOMPARE(rig.ui.messages.size(), size_t(2));
    for (const auto& m : rig.ui.messages) {
        QCOMPARE(m.text, NotFoundText);
        QCOMPARE(m.icon, Icon::Stop);
        QCOMPARE(m.buttons, Buttons::OkCancel);
        QCOMPARE(m.title, QString("Quorvane KV5"));
    }
    QCOMPARE(rig.ui.buttons, QList<bool>({false, true}));
    QVERIFY(rig.simulator.transcript().isEmpty());
    QVERIFY(rig.ui.failures.isEmpty());

    // A port that does not open: its cause, then the operation's message; buttons back on.
    Rig bad({}, Wire::PseudoTerminal);
    bad.state.device.PortOverride = bad.folder.filePath("no-such-port");
    bad.operations.DetectAndRead(bad.values);
    const QStringList texts = bad.ui.messageTexts();
    QCOMPARE(texts.size(), 2);
    QVERIFY(texts[0].startsWith("ERROR: PortOpen: The port "));
    QCOMPARE(texts[1], OpenFailedText);
    QCOMPARE(bad.ui.messages[1].icon, Icon::Stop);
    QCOMPARE(bad.ui.buttons, QList<bool>({false, true}));
}

void TestOperations::startNewLog() {
    Rig rig;
    QVERIFY(rig.started);
    rig.values.txtDesc = "  Stack B  ";
    rig.values.cboInt = 2; // 5 minutes: 10 ticks of 30 s
    rig.values.txtRhHi = "80.0";
    rig.values.txtRhLo = "10.0";
    rig.values.txtTempHi = "212.0";
    rig.values.txtTempLo = "300";
    rig.values.txtEmcHi = "20.0";
    rig.values.txtEmcLo = "5.0";
    rig.values.chkBeep = 1;
    rig.values.Check1 = 1;
    // No: the port is never opened.
    rig.ui.answers = {Answer::No};
    rig.operations.StartNewLog(rig.values);
    QVERIFY(rig.simulator.transcript().isEmpty());
    QCOMPARE(rig.ui.messages[0].text, ConfirmNewLogText);
    QCOMPARE(rig.ui.messages[0].title, QString("Confirm"));
    QCOMPARE(rig.ui.messages[0].defaultAnswer, Answer::No);

    // Yes: the exact command sequence, and the values typed reach the logger. Its clock is set
    // to the user's local time, here nine hours from UTC.
    rig.ui.answers = {Answer::Yes};
    const QByteArray zoneBefore = qgetenv("TZ");
    qputenv("TZ", "Asia/Tokyo");
    tzset();
    const auto localTime = [] { return QDateTime::currentDateTime().toString("yyMMddHHmm").toLatin1(); };
    const QByteArray before = localTime();
    rig.operations.StartNewLog(rig.values);
    const QByteArray after = localTime();
    zoneBefore.isNull() ? qunsetenv("TZ") : qputenv("TZ", zoneBefore);
    tzset();
    QVERIFY2(rig.simulator.startTime() == before || rig.simulator.startTime() == after,
             rig.simulator.startTime().constData());
    QCOMPARE(rig.ui.failures, QStringList());
    const QStringList expected{"P",       "CLRLOG",  "SETMEM",   "GETLOG 0", "SETTIME",   "SETDESC",   "SETINT",
                               "SETRHHI", "SETRHLO", "SETTEMPHI", "SETTEMPLO", "SETMEM",   "SETMEM",    "SETMEM",
                               "SETMEM",  "SETMEM",  "SETMEM",   "SETLEDLA", "GETLOG 0", "GETSN",     "GETDESC",
                               "GETTIME", "GETINT",  "GETTEMPHI", "GETTEMPLO", "GETRHHI", "GETRHLO",   "GETLOG 1"};
    QCOMPARE(rig.commands(), expected);
    auto& sim = rig.simulator;
    QCOMPARE(sim.memoryByte(60), 0x80);
    QCOMPARE(sim.description(), QByteArray("Stack B").leftJustified(32, ' '));
    QCOMPARE(sim.interval(), 10);
    QCOMPARE(sim.limit(sim::Limit::TempHigh), bytes({0x64, 0x00}));
    QCOMPARE(sim.limit(sim::Limit::TempLow), bytes({0x7F, 0x00}));
    QCOMPARE(sim.memoryByte(61), 255);
    QCOMPARE(sim.memoryByte(68), 80);
    QCOMPARE(sim.memoryByte(69), 20);
    QCOMPARE(sim.memoryByte(71), 5);
    QCOMPARE(sim.recordCount(), 0);
    // The window shows what the logger now holds.
    QCOMPARE(rig.values.txtDesc, QString("Stack B"));
    QCOMPARE(rig.state.log.RecordCount, 0);
    QVERIFY(rig.dataFiles().isEmpty());
}

void TestOperations::setTestMode() {
    Rig rig;
    QVERIFY(rig.started);
    // A serial number box that holds no number stops it before anything is sent.
    rig.values.txtSN = "COMM ERROR";
    QCOMPARE(rig.operations.SetTestMode(rig.values), QString("txtSN"));
    QVERIFY(rig.simulator.transcript().isEmpty());
    QCOMPARE(rig.ui.messageTexts(), QStringList{NotANumberText.arg("Serial Number", "COMM ERROR")});
    rig.ui.messages.clear();

    rig.values.txtSN = " 25 ";
    rig.operations.SetTestMode(rig.values);
    // No question is asked before the log is cleared.
    QVERIFY(rig.ui.messages.empty());
    const auto transcript = rig.simulator.transcript();
    QVERIFY(transcript.contains("SETSN 1025\r"));
    QVERIFY(transcript.contains(QByteArray("SETDESC ") + QByteArray("TEST FOR SN1025").leftJustified(32, ' ') + "\r"));
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
    QCOMPARE(rig.ui.messages.size(), size_t(2));
    QCOMPARE(rig.ui.messages[0].text, ConfirmStorageText);
    QCOMPARE(rig.ui.messages[1].icon, Icon::Information);

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

void TestOperations::longIntervalTimeStamps() {
    // 65535 ticks of 34 s over 16256 records is far beyond 32 bits of seconds.
    sim::Options options;
    options.revision = "PKV5r3";
    options.intervalTicks = 65535;
    options.memorySizeMark = 0;
    options.records = 16256;
    Rig rig(options);
    QVERIFY(rig.started);
    rig.operations.DetectAndRead(rig.values);
    QCOMPARE(rig.state.log.RecordCount, 16256);
    const QDateTime start(QDate(2026, 5, 21), QTime(8, 0), Qt::UTC);
    QCOMPARE(rig.state.log.LogTime[16255], TimeStampText(start.addSecs(qint64(65535) * 34 * 16255)));
    QCOMPARE(rig.state.log.LogTime[64], TimeStampText(start.addSecs(qint64(65535) * 34 * 64)));
}

void TestOperations::clockChanges_data() {
    QTest::addColumn<QByteArray>("zone");
    QTest::addColumn<QByteArray>("startTime");
    QTest::addColumn<QStringList>("stamps"); // of the records, every half hour from the start
    const QStringList halfHours{"00:30", "01:00", "01:30", "02:00", "02:30", "03:00", "03:30", "04:00"};
    QTest::newRow("New York, spring") << QByteArray("America/New_York") << QByteArray("2603080030") << halfHours;
    QTest::newRow("Berlin, autumn") << QByteArray("Europe/Berlin") << QByteArray("2610250030") << halfHours;
    QTest::newRow("Sydney, autumn") << QByteArray("Australia/Sydney") << QByteArray("2604050030") << halfHours;
    QTest::newRow("Sydney, spring") << QByteArray("Australia/Sydney") << QByteArray("2610040030") << halfHours;
    QTest::newRow("midnight") << QByteArray("Europe/Berlin") << QByteArray("2610242330")
                              << QStringList{"23:30", "00:00", "00:30", "01:00"};
}

void TestOperations::clockChanges() {
    // The logger counts from its start time and knows no time zone: the stamps rise evenly
    // through a daylight-saving change in the user's zone and never repeat.
    QFETCH(QByteArray, zone);
    QFETCH(QByteArray, startTime);
    QFETCH(QStringList, stamps);
    const QByteArray zoneBefore = qgetenv("TZ");
    qputenv("TZ", zone);
    tzset();
    const auto restoreZone = qScopeGuard([&] {
        zoneBefore.isNull() ? qunsetenv("TZ") : qputenv("TZ", zoneBefore);
        tzset();
    });
    sim::Options options;
    options.startTime = startTime;
    options.intervalTicks = 60; // 30 minutes
    options.records = int(stamps.size());
    Rig rig(options);
    QVERIFY(rig.started);
    const QString saved = rig.operations.DetectAndRead(rig.values);
    const QDate first(2000 + startTime.left(2).toInt(), startTime.mid(2, 2).toInt(), startTime.mid(4, 2).toInt());
    QDate day = first;
    QStringList expected;
    for (const QString& stamp : stamps) {
        const QTime time = QTime::fromString(stamp, "hh:mm");
        if (!expected.isEmpty() && time.toString("hh:mm") < stamps[expected.size() - 1]) day = day.addDays(1);
        expected << TimeStampText(QDateTime(day, time, Qt::UTC));
    }
    // The date text follows the day.
    QVERIFY(expected.back().section(' ', 0, -2) != expected[0].section(' ', 0, -2) || day == first);
    QCOMPARE(QFileInfo(saved).fileName(),
             "SN1234-" + first.toString("yyyy-MM-dd") + "-" + stamps[0].left(2) + "-" + stamps[0].right(2) + "-01.txt");
    QCOMPARE(rig.values.txtTime, expected[0]);
    QFile file(saved);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QStringList times;
    for (const QByteArray& line : file.readAll().split('\n'))
        if (!line.isEmpty()) times << QString::fromUtf8(line.left(line.indexOf(',')));
    QCOMPARE(times, expected);
}

void TestOperations::commandLine() {
    const QString program = QStringLiteral(KV5_BINARY_DIR "/app/kv5");
    QTemporaryDir home, runtime;
    QProcess kv5;
    // As in a desktop session, so that Qt has nothing to say.
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("XDG_RUNTIME_DIR", runtime.path());
    kv5.setProcessEnvironment(environment);
    kv5.start(program, {"--home", home.path(), "read", "--simulate=q7r"});
    QVERIFY(kv5.waitForFinished(60000));
    const QString output = QString::fromLocal8Bit(kv5.readAllStandardOutput());
    QCOMPARE(kv5.exitCode(), 0);
    const QString last = output.trimmed().split('\n').last();
    QVERIFY2(QFileInfo(last).isFile() && last.startsWith(home.path() + "/DATA/SN"), qPrintable(output));
    QVERIFY(output.contains("Serial Number"));
    // In a pipe no progress is shown.
    QCOMPARE(kv5.readAllStandardError(), QByteArray());

    // The views of the saved file, each a command of its own.
    const auto run = [&](const QStringList& arguments) {
        QProcess command;
        command.start(program, QStringList{"--home", home.path()} + arguments);
        return command.waitForFinished(60000) && command.exitCode() == 0
                   ? QString::fromLocal8Bit(command.readAllStandardOutput())
                   : QStringLiteral("failed: ") + QString::fromLocal8Bit(command.readAllStandardError());
    };
    const QString name = QFileInfo(last).fileName();
    QVERIFY(run({"table", name}).startsWith("Time\tTemp"));
    QVERIFY(run({"info", name}).contains("Records 900"));
    QVERIFY(run({"chart", name, "-o", home.filePath("chart.png")}).isEmpty());
    QCOMPARE(QImage(home.filePath("chart.png")).size(), QSize(603, 425));
    QCOMPARE(run({"export", name, "-o", home.filePath("log.xlsx")}).trimmed(), home.filePath("log.xlsx"));
    QVERIFY(QFile(home.filePath("log.xlsx")).size() > 1000);
    QVERIFY(run({"print", name, "--pdf", home.filePath("log.pdf"), "--chart"}).isEmpty());
    QFile pdf(home.filePath("log.pdf"));
    QVERIFY(pdf.open(QIODevice::ReadOnly) && pdf.read(5) == "%PDF-");

    // No logger: the message on standard error and a failure status, without a retry.
    QProcess none;
    environment.remove("KV5_PORT");
    none.setProcessEnvironment(environment);
    none.start(program, {"--home", home.path(), "read"});
    QVERIFY(none.waitForFinished(20000));
    QVERIFY(none.exitCode() != 0);
    QVERIFY(QString::fromLocal8Bit(none.readAllStandardError()).contains(NotFoundText));
}

// On a terminal `kv5 read` shows its progress in one line, rewritten in place, and blanks it
// out before it prints the settings on standard output.
void TestOperations::commandLineProgress() {
    const int master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    QVERIFY(master >= 0 && grantpt(master) == 0 && unlockpt(master) == 0);
    const auto closeMaster = qScopeGuard([master] { ::close(master); });
    const QByteArray terminal = ptsname(master);
    winsize size{};
    size.ws_col = 80;
    size.ws_row = 24;
    QVERIFY(ioctl(master, TIOCSWINSZ, &size) == 0);

    QTemporaryDir home, runtime;
    QProcess kv5;
    // As in a desktop session, so that Qt has nothing to say.
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("XDG_RUNTIME_DIR", runtime.path());
    kv5.setProcessEnvironment(environment);
    // Standard error on the terminal, standard output in a pipe.
    kv5.setChildProcessModifier([terminal] {
        const int slave = ::open(terminal.constData(), O_RDWR | O_NOCTTY);
        if (slave >= 0) dup2(slave, STDERR_FILENO);
    });
    kv5.start(QStringLiteral(KV5_BINARY_DIR "/app/kv5"), {"--home", home.path(), "read", "--simulate=q7r"});
    QVERIFY(kv5.waitForFinished(60000));
    QCOMPARE(kv5.exitCode(), 0);
    const QString output = QString::fromLocal8Bit(kv5.readAllStandardOutput());
    QVERIFY(output.startsWith("Serial Number: "));
    QVERIFY(output.contains("\nRecords: 900\n"));

    QByteArray shown;
    QVERIFY(fcntl(master, F_SETFL, O_NONBLOCK) == 0);
    char buffer[4096];
    for (ssize_t got; (got = ::read(master, buffer, sizeof buffer)) > 0;) shown.append(buffer, got);
    const QString line = QString::fromLocal8Bit(shown);

    // Every update goes back to the line's start; none starts a new line.
    QVERIFY2(!line.contains('\n'), qPrintable(line));
    const QStringList updates = line.split('\r', Qt::SkipEmptyParts);
    static const QRegularExpression block(
        "^Getting Q7R Log Block (\\d+)(?:  (\\d+) records)?  (\\d+):(\\d\\d) *$");
    int blocks = 0, lastBlock = 0, lastRecords = -1;
    for (const QString& update : updates) {
        QVERIFY2(update.size() < 80, qPrintable(update));
        const auto match = block.match(update);
        if (!match.hasMatch()) continue;
        ++blocks;
        QCOMPARE(match.captured(1).toInt(), lastBlock + 1);
        QVERIFY(match.captured(2).toInt() > lastRecords);
        QVERIFY(match.captured(4).toInt() < 60);
        lastBlock = match.captured(1).toInt();
        lastRecords = match.captured(2).toInt();
    }
    QVERIFY2(blocks >= 2 && lastRecords > 0 && lastRecords < 900, qPrintable(line));
    // The last update blanks the line out and leaves the cursor at its start.
    QVERIFY(line.endsWith('\r'));
    QVERIFY(updates.last().trimmed().isEmpty() &&
            updates.last().size() >= updates[updates.size() - 2].trimmed().size());
}

QTEST_MAIN(TestOperations)
#include "test_operations.moc"
