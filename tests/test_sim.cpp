// What the logger simulator does beyond what the program's own tests prove through it: request
// framing, the generated logs, pacing at 9600 baud, the line's resync and hang-up, and the
// kv5-sim program.
#include "device/Commands.h"
#include "sim/RequestFramer.h"
#include "support/DeviceRig.h"

#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <climits>

using namespace kv5;
using namespace kv5::sim;

namespace {

constexpr qint64 Second = 1'000'000'000;

// Sends a request and returns what arrives within `seconds`, or as soon as `enough` bytes are
// there, or the line fails.
QByteArray exchange(ByteStream& line, const QByteArray& request, double seconds = 1.0, int enough = INT_MAX) {
    line.discardInput();
    line.write(request);
    const qint64 until = line.now() + qint64(seconds * Second);
    QByteArray received;
    while (received.size() < enough && line.now() < until) {
        const bool open = line.wait(until, true);
        received += line.take();
        if (!open) break;
    }
    return received;
}

QByteArray block(int n) {
    return QByteArray("GETLOG ") + static_cast<char>(n);
}

// The log as the program reads it from a simulator with these options, in degrees C.
LogData readLog(const Options& options) {
    DeviceRig rig(options);
    rig.state.settings.Celsius = 1;
    rig.operations.DetectAndRead(rig.values);
    return rig.state.log;
}

double average(const std::vector<double>& values, int from, int to) {
    double sum = 0;
    for (int i = from; i < to; ++i) sum += values[size_t(i)];
    return sum / (to - from);
}

} // namespace

class SimTest : public QObject {
    Q_OBJECT

private slots:
    void framing_data();
    void framing();
    void generatedRoom();
    void generatedKiln();
    void pacing();
    void resync();
    void hangUpAndPlugInAgain();
    void program();
};

void SimTest::framing_data() {
    QTest::addColumn<QList<QByteArray>>("chunks");
    QTest::addColumn<QList<QByteArray>>("commands"); // of the complete requests; "" for one not understood
    using L = QList<QByteArray>;
    QTest::newRow("CR inside a binary argument") << L{"SETINT \r\r\rGETINT\r"} << L{"SETINT", "GETINT"};
    QTest::newRow("GETLOG has no CR") << L{"GETLOG \rGETSN\r"} << L{"GETLOG", "GETSN"};
    QTest::newRow("split arrival") << L{"GE", "TS", "N\rSETSN 10", "25\r"} << L{"GETSN", "SETSN"};
    QTest::newRow("unknown word resyncs at CR") << L{"HELLO\rP\r"} << L{"", "P"};
    QTest::newRow("wrong argument length") << L{"SETINT \x01\x02\x03\rGETSN\r"} << L{"", "GETSN"};
    QTest::newRow("short description waits") << L{"SETDESC short\rGETSN\r"} << L{};
}

void SimTest::framing() {
    QFETCH(QList<QByteArray>, chunks);
    QFETCH(QList<QByteArray>, commands);
    RequestFramer framer;
    QList<QByteArray> got;
    QByteArray all;
    qint64 time = 0;
    for (const QByteArray& chunk : chunks) {
        framer.append(chunk, ++time);
        while (auto request = framer.next()) {
            got.append(request->command);
            all += request->bytes;
        }
    }
    QCOMPARE(got, commands);
    // Every byte belongs to a request, or waits for the rest of one.
    QCOMPARE(all + framer.takePartial().bytes, chunks.join());
}

void SimTest::generatedRoom() {
    Options options;
    options.records = 2880; // 10 days at 5 minutes
    options.intervalTicks = 10;
    const LogData log = readLog(options);
    QCOMPARE(log.RecordCount, 2880);
    const auto [coolest, warmest] = std::minmax_element(log.LogTemp.begin(), log.LogTemp.begin() + 288);
    QVERIFY(*warmest - *coolest > 3.5); // a daily cycle, not a flat line
    for (int i = 0; i < log.RecordCount; ++i) {
        QVERIFY2(log.LogTemp[i] > 16 && log.LogTemp[i] < 26, qPrintable(QString::number(log.LogTemp[i])));
        QVERIFY2(log.LogRh[i] > 35 && log.LogRh[i] < 65, qPrintable(QString::number(log.LogRh[i])));
        if (i > 0) QVERIFY(std::abs(log.LogTemp[i] - log.LogTemp[i - 1]) < 0.8); // small noise
    }
    // The seed decides the log.
    const QList<QByteArray> first = Simulator(options).records();
    QCOMPARE(Simulator(options).records(), first);
    options.seed = 2;
    QVERIFY(Simulator(options).records() != first);
}

void SimTest::generatedKiln() {
    Options options;
    options.family = Family::Q7R;
    options.records = 2000;
    const LogData log = readLog(options);
    QCOMPARE(log.RecordCount, 2000);
    QVERIFY(average(log.LogTemp, 0, 5) < 25); // starts at yard temperature
    QVERIFY(average(log.LogTemp, 1900, 2000) > 50 && average(log.LogTemp, 1900, 2000) < 60); // ends hot
    QVERIFY(average(log.LogRhQ7R, 0, 20) > 80);
    QVERIFY(average(log.LogRhQ7R, 1900, 2000) < 40);
    for (const auto* mc : {&log.LogMc1, &log.LogMc2, &log.LogMc3}) {
        QVERIFY(average(*mc, 0, 20) > 27 && average(*mc, 0, 20) < 33);
        QVERIFY(average(*mc, 1950, 2000) > 7 && average(*mc, 1950, 2000) < 11);
        for (int quarter = 1; quarter < 4; ++quarter) // drying, never wetting again
            QVERIFY(average(*mc, quarter * 500, quarter * 500 + 500) <
                    average(*mc, quarter * 500 - 500, quarter * 500));
    }
    // Three boards drying at their own rates.
    QVERIFY(average(log.LogMc2, 900, 1100) < average(log.LogMc1, 900, 1100));
    QVERIFY(average(log.LogMc1, 900, 1100) < average(log.LogMc3, 900, 1100));
}

void SimTest::pacing() {
    Options options;
    options.paced = true;
    Simulator logger(options);
    ByteStream& line = logger.stream();
    QString failure;
    QVERIFY(line.open("logger", failure));
    // An 8-byte request and a 276-byte reply at 9600 baud, 10 bits a byte: each byte arrives at
    // its wire time, the last one 284 byte times (295.8 ms) after the request went out.
    const qint64 sent = line.now();
    line.write(block(1));
    const qint64 byteTime = 10 * Second / 9600;
    line.wait(sent + 9 * byteTime - 1000, false);
    QCOMPARE(line.take().size(), 0);
    line.wait(sent + 9 * byteTime + 1000, false);
    QCOMPARE(line.take(), QByteArray("G"));
    line.wait(sent + 284 * byteTime - 1000, false);
    QCOMPARE(line.take().size(), 274);
    line.wait(sent + 284 * byteTime + 1000, false);
    QCOMPARE(line.take(), QByteArray("\n"));
}

void SimTest::resync() {
    Simulator logger;
    QString failure;
    QVERIFY(logger.stream().open("logger", failure));
    // Input that fits no command gets no answer; a request that stops half-way is dropped
    // after a pause, and the next one is answered.
    QCOMPARE(exchange(logger.stream(), "HELLO\r"), QByteArray());
    QCOMPARE(exchange(logger.stream(), "SETDESC short\r", 0.7), QByteArray());
    QCOMPARE(exchange(logger.stream(), "GETSN\r"), QByteArray("GETSN 1234\r\n"));
    QCOMPARE(logger.transcript(), QList<QByteArray>({"HELLO\r", "SETDESC short\r", "GETSN\r"}));
}

void SimTest::hangUpAndPlugInAgain() {
    Simulator logger;
    QVERIFY(logger.start());
    SerialPortStream port;
    QString failure;
    QVERIFY(port.open(logger.portPath(), failure));
    logger.addFault({"GETLOG", 4, Fault::HangUp, -1});
    // The half reply arrives, then the line is gone.
    QCOMPARE(exchange(port, block(4), 1.0, 276), (LogBlockHead + logger.blockPayload(4)).left(138));
    QVERIFY(!port.isOpen());
    QVERIFY(!logger.isRunning());
    // Unplugged and plugged in again: a new line, the same logger.
    logger.clearFaults();
    logger.hangUp();
    QVERIFY(logger.start());
    QVERIFY(!logger.start()); // already running
    SerialPortStream again;
    QVERIFY(again.open(logger.portPath(), failure));
    QCOMPARE(exchange(again, "SETSN 4321\r", 1.0, 12), QByteArray("SETSN 4321\r\n"));
    QCOMPARE(exchange(again, "GETSN\r", 1.0, 12), QByteArray("GETSN 4321\r\n"));
}

void SimTest::program() {
    const QString path = QStringLiteral(KV5_BINARY_DIR "/sim/kv5-sim");
    QTemporaryDir dir;
    const QString link = dir.filePath("kv5");
    QProcess process;
    process.start(path, {"--link", link, "--serial", "77", "--family", "q7r", "--fault", "GETSN:wrong-echo:1",
                         "--fault", "GETLOG:2:no-reply", "--records", "100", "--stdin-lifetime"});
    QVERIFY(process.waitForReadyRead(5000));
    QCOMPARE(process.readLine().trimmed(), link.toLocal8Bit());
    {
        SerialPortStream line;
        QString failure;
        QVERIFY(line.open(link, failure));
        QCOMPARE(exchange(line, "GETSN\r", 1.0, 12), QByteArray("FETSN 0077\r\n"));
        QCOMPARE(exchange(line, "GETSN\r", 1.0, 12), QByteArray("GETSN 0077\r\n"));
        QCOMPARE(quint8(exchange(line, block(0), 1.0, 276)[12 + 127]), SensorQ7R);
        QCOMPARE(quint8(exchange(line, block(1), 1.0, 276)[12]), 64);
        QCOMPARE(exchange(line, block(2), 0.3, 276).size(), 0);
    }
    // Closing standard input ends it, and the link goes with it.
    process.closeWriteChannel();
    QVERIFY(process.waitForFinished(5000));
    QCOMPARE(process.exitCode(), 0);
    QVERIFY(!QFileInfo(link).isSymLink());

    // SIGTERM ends it cleanly as well; a bad option is refused.
    process.start(path, {"--link", link});
    QVERIFY(process.waitForReadyRead(5000));
    QVERIFY(QFileInfo(link).isSymLink());
    process.terminate();
    QVERIFY(process.waitForFinished(5000));
    QCOMPARE(process.exitCode(), 0);
    QVERIFY(!QFileInfo(link).isSymLink());
    process.start(path, {"--fault", "GETSN:melt"});
    QVERIFY(process.waitForFinished(5000));
    QCOMPARE(process.exitCode(), 2);
}

QTEST_GUILESS_MAIN(SimTest)
#include "test_sim.moc"
