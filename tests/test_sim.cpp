// What the logger simulator does beyond what the device tests prove through it: pacing at 9600
// baud, resync, hang-up and the kv5-sim program.
#include "device/Commands.h"
#include "support/DeviceRig.h"

#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <climits>

using namespace kv5;
using namespace kv5::sim;

namespace {

constexpr qint64 Second = 1'000'000'000;

// Sends a request; what arrives within `seconds`, or once `enough` bytes are there.
QByteArray exchange(ByteStream& line, const QByteArray& request, double seconds = 1.0, int enough = INT_MAX) {
    line.discardInput();
    line.write(request);
    const qint64 until = line.now() + qint64(seconds * Second);
    QByteArray received;
    for (bool open = true; open && received.size() < enough && line.now() < until; received += line.take())
        open = line.wait(until, true);
    return received;
}

QByteArray block(int n) { return QByteArray("GETLOG ") + static_cast<char>(n); }

} // namespace

class SimTest : public QObject {
    Q_OBJECT

private slots:
    void pacing();
    void resyncHangUpAndPlugInAgain();
    void program();
};

// An 8-byte request and a 276-byte reply at 10 bits a byte: each byte arrives at its wire time.
void SimTest::pacing() {
    Options options;
    options.paced = true;
    Simulator logger(options);
    ByteStream& line = logger.stream();
    QString failure;
    QVERIFY(line.open("logger", failure));
    const qint64 sent = line.now(), byteTime = 10 * Second / 9600;
    line.write(block(1));
    const QList<std::pair<qint64, int>> arrivals{{9, 0}, {9, 1}, {284, 274}, {284, 1}}; // byte times, bytes
    for (int i = 0; i < arrivals.size(); ++i) {
        line.wait(sent + arrivals[i].first * byteTime + (i % 2 ? 1000 : -1000), false);
        QCOMPARE(line.take().size(), arrivals[i].second);
    }
}

void SimTest::resyncHangUpAndPlugInAgain() {
    Simulator logger;
    QVERIFY(logger.start());
    SerialPortStream port;
    QString failure;
    QVERIFY(port.open(logger.portPath(), failure));
    // Input that fits no command gets no answer; a request that stops half-way is dropped after a pause.
    QCOMPARE(exchange(port, "HELLO\r", 0.3), QByteArray());
    QCOMPARE(exchange(port, "SETDESC short\r", 0.7), QByteArray());
    QCOMPARE(exchange(port, "GETSN\r", 1.0, 12), QByteArray("GETSN 1234\r\n"));
    logger.addFault({"GETLOG", 4, Fault::HangUp, -1});
    QCOMPARE(exchange(port, block(4), 1.0, 276), (LogBlockHead + logger.blockPayload(4)).left(138));
    QVERIFY(!port.isOpen() && !logger.isRunning());
    // Plugged in again: a new line, the same logger.
    logger.clearFaults();
    logger.hangUp();
    QVERIFY(logger.start());
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
    // Closing standard input ends it, SIGTERM as well, and the link goes with it; a bad option is refused.
    process.closeWriteChannel();
    QVERIFY(process.waitForFinished(5000) && process.exitCode() == 0 && !QFileInfo(link).isSymLink());
    process.start(path, {"--link", link});
    QVERIFY(process.waitForReadyRead(5000) && QFileInfo(link).isSymLink());
    process.terminate();
    QVERIFY(process.waitForFinished(5000) && process.exitCode() == 0 && !QFileInfo(link).isSymLink());
    process.start(path, {"--fault", "GETSN:melt"});
    QVERIFY(process.waitForFinished(5000) && process.exitCode() == 2);
}

QTEST_GUILESS_MAIN(SimTest)
#include "test_sim.moc"
