// The device link against the simulated logger: value encodings, port discovery, the transaction
// and the command set, in process on a virtual clock; the hang-up through QSerialPort on a
// pseudo-terminal.
#include "core/DeviceFlags.h"
#include "core/Numbers.h"
#include "device/Commands.h"
#include "device/Encodings.h"
#include "device/PortDiscovery.h"
#include "support/DeviceRig.h"

#include <QElapsedTimer>
#include <QTest>

#include <cmath>
#include <ctime>

using namespace kv5;

namespace {

// A rig whose link is open on the simulated logger.
struct Bench : DeviceRig {
    explicit Bench(const sim::Options& options = {}, Wire wire = Wire::InProcess) : DeviceRig(options, wire) {
        started = started && link.PortOpen(state.device.PortOverride);
    }
};

} // namespace

class TestDevice : public QObject {
    Q_OBJECT

private slots:
    void encodings_data();
    void encodings();
    void textToNumbers();
    void runTimeErrors();
    void discovery();
    void queryTransaction();
    void settingsAndFailures();
    void plainFirmware_data();
    void plainFirmware();
    void hangUpFailsAtOnceWithoutSpinning();
};

void TestDevice::encodings_data() {
    QTest::addColumn<double>("value"); // sent as a limit: clamped to ±127, rounded to the nearest step
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<double>("fixedPoint"); // the data read back
    QTest::addColumn<int>("count");         // the data as a 16-bit count
    QTest::newRow("22.3") << 22.3 << bytes({0x16, 0x4D}) << 22.30078125 << 5709;
    QTest::newRow("-0.5") << -0.5 << bytes({0xFF, 0x80}) << -0.5 << 65408;
    QTest::newRow("150") << 150.0 << bytes({0x7F, 0x00}) << 127.0 << 32512;
    QTest::newRow("-200") << -200.0 << bytes({0x81, 0x00}) << -127.0 << 33024;
    // 1.5, 2.5 and -2.5 steps: halves go to the even neighbour, never away from zero.
    QTest::newRow("1.5 steps") << 0.005859375 << bytes({0x00, 0x02}) << 0.0078125 << 2;
    QTest::newRow("2.5 steps") << 0.009765625 << bytes({0x00, 0x02}) << 0.0078125 << 2;
    QTest::newRow("-2.5 steps") << -0.009765625 << bytes({0xFF, 0xFE}) << -0.0078125 << 65534;
}

void TestDevice::encodings() {
    QFETCH(double, value);
    QFETCH(QByteArray, data);
    QFETCH(double, fixedPoint);
    QFETCH(int, count);
    ScriptedUi ui;
    QCOMPARE(DblToFp(value, ui), data);
    QCOMPARE(FpToDbl(data, ui), fixedPoint);
    QCOMPARE(U16ToLng(data, ui), count);
    QCOMPARE(LngToU16(count, ui), data);
    QVERIFY(ui.messages.empty());
}

// In the C locale; whole numbers round halves to even and are 0 for anything but a number in range.
void TestDevice::textToNumbers() {
    QCOMPARE(StrToDbl("1,234.5"), 1234.5);
    QCOMPARE(QList<qint32>({StrToLng("2.5"), StrToLng("3.5"), StrToLng(" -2.5 "), StrToLng("12abc"),
                            StrToLng("99999999999")}),
             QList<qint32>({2, 4, -2, 0, 0}));
    QCOMPARE(ClampPercent(-0.1), 0.0);
    QCOMPARE(QStringList({NumberText(-0.25), NumberText(-0.04), NumberText(12345.65, Separator::Point)}),
             QStringList({"-0.3", "0.0", "12345.7"}));
    // A computed 1.05 is the double 1.0499999999999998; it still rounds as the decimal half.
    QByteArray bytes;
    AppendNumberText(bytes, -0.3 * 4.5);
    QCOMPARE(NumberText(0.7 * 1.5, Separator::Point) + ' ' + bytes, QStringLiteral("1.1 -1.4"));
}

// Each failure is reported under its procedure's name and gives the default result.
void TestDevice::runTimeErrors() {
    Bench bench;
    QVERIFY(bench.started);
    UserInterface& ui = bench.ui;
    QCOMPARE(FpToDbl(bytes({0x14}), ui), 0.0);
    QCOMPARE(U16ToLng(QByteArray(), ui), 0);
    QCOMPARE(LngToU16(65536, ui), QByteArray());
    QCOMPARE(DblToFp(std::nan(""), ui), bytes({0x00, 0x00}));
    QCOMPARE(ByteAt("AB", 3, ui), 0);
    QCOMPARE(GetLog(bench.link, 256), CommError);
    bench.link.PortClose();
    QCOMPARE(GetCmd(bench.link, "GETSN", 4), CommError);
    QStringList procedures;
    for (const QString& text : bench.ui.messageTexts()) procedures << text.section(": ", 0, 1);
    QCOMPARE(procedures, QStringList({"ERROR: FpToDbl", "ERROR: U16ToLng", "ERROR: LngToU16", "ERROR: DblToFp",
                                      "ERROR: ByteAt", "ERROR: GetLog", "ERROR: GetCmd"}));
}

// The logger's first interface, in sysfs's lower case, the first of two; the override bypasses it.
void TestDevice::discovery() {
    using P = UsbSerialPort;
    QCOMPARE(ChooseLoggerPort({P{"USB\\VID_0403&PID_6001&MI_00", "/dev/ttyUSB0"},
                               P{"USB\\VID_04D8&PID_5A3C&MI_01", "/dev/ttyACM1"},
                               P{"USB\\VID_04d8&PID_5a3c&MI_00", "/dev/ttyACM3"},
                               P{"USB\\VID_04D8&PID_5A3C&MI_00", "/dev/ttyACM0"}}),
             QString("/dev/ttyACM3"));
    ScriptedUi ui;
    QCOMPARE(GetUsbDevicePort(ui, "/dev/pts/99"), QString("/dev/pts/99"));
}

void TestDevice::queryTransaction() {
    Bench bench;
    QVERIFY(bench.started);
    auto& sim = bench.simulator;
    sim.addFault({"GETSN", -1, sim::Fault::OneLeadingZero, 1}); // dropped
    QCOMPARE(GetCmd(bench.link, "GETSN", 4), QByteArray("1234"));
    // A reply cut short after a good echo gives the part that arrived, after the full limit.
    sim.addFault({"GETDESC", -1, sim::Fault::ShortReply, 1});
    qint64 start = bench.clock();
    const QByteArray part = GetCmd(bench.link, "GETDESC", 32);
    QCOMPARE(bench.clock() - start, 2'000'000'000);
    QVERIFY2(!part.isEmpty() && QByteArray("Kiln 3 north stack").startsWith(part.trimmed()), part.constData());
    // A late reply fails at the limit; the next query must not take it for its own.
    sim.addFault({"GETSN", -1, sim::Fault::SlowReply, 1});
    start = bench.clock();
    QCOMPARE(GetCmd(bench.link, "GETSN", 4), CommError);
    QCOMPARE(bench.clock() - start, 2'000'000'000);
    sim.stream().wait(start + 2'600'000'000, false);
    QCOMPARE(GetCmd(bench.link, "GETTIME", 10), QByteArray("2605210800"));
    QVERIFY(bench.ui.messages.empty());
}

// Settings go out as command SP argument CR, binary bytes unchanged; a confirmation must be whole.
// At 9600 baud a reply led by 0x00 still has its last byte on the wire when its length is reached.
void TestDevice::settingsAndFailures() {
    sim::Options options;
    options.paced = true;
    Bench bench(options);
    QVERIFY(bench.started);
    auto& sim = bench.simulator;
    QVERIFY(SetCmd(bench.link, "SETSN", "4321"));
    QCOMPARE(GetCmd(bench.link, "GETSN", 4), QByteArray("4321"));
    sim.addFault({"GETLOG", -1, sim::Fault::OneLeadingZero, 1});
    sim.addFault({"SETINT", -1, sim::Fault::OneLeadingZero, 1});
    QCOMPARE(GetLog(bench.link, 1), sim.blockPayload(1));
    QVERIFY(SetCmd(bench.link, "SETINT", bytes({0x0D, 0x00})));
    QCOMPARE(sim.interval(), 0x0D00);
    QVERIFY(bench.ui.messages.empty());

    sim.addFault({"SETINT", -1, sim::Fault::ShortReply, 1});
    QVERIFY(!SetCmd(bench.link, "SETINT", bytes({0x00, 0x01})));
    sim.addFault({"*", -1, sim::Fault::WrongEcho, -1});
    const qsizetype sent = sim.transcript().size();
    QVERIFY(!ClrCmd(bench.link));
    QVERIFY(!LatchCmd(bench.link, 1));
    QVERIFY(!SetMemCmd(bench.link, 68, 80));
    QVERIFY(!StoreCmd(bench.link, 1));
    QCOMPARE(GetStatusBlock(bench.link), 0);
    QCOMPARE(bench.ui.messageTexts(),
             QStringList({"ERROR: Saving settings failed!", "ERROR: Clearing the log failed!",
                          "ERROR: Hold alarm command failed!", "ERROR: SETMEM command failed!",
                          "ERROR: Storage mode command failed!"}));
    QCOMPARE(bench.ui.messages[0].icon, Icon::Exclamation);
    QCOMPARE(sim.transcript().size(), sent + 5); // never retried
}

// Anything but a known revision is the plain firmware; no answer costs 0.2 s and no message.
void TestDevice::plainFirmware_data() {
    QTest::addColumn<QByteArray>("revision"); // empty: no answer
    QTest::newRow("r3fiX") << QByteArray("PKV5r3fiX");
    QTest::newRow("not P") << QByteArray("XKV6");
    QTest::newRow("no answer") << QByteArray();
}

void TestDevice::plainFirmware() {
    QFETCH(QByteArray, revision);
    sim::Options options;
    options.revision = revision;
    Bench bench(options);
    QVERIFY(bench.started);
    if (revision.isEmpty()) bench.simulator.addFault({"P", -1, sim::Fault::NoReply, -1});
    DeviceFlags flags;
    flags.ExtendedFirmware = flags.ModelKV6 = 1;
    const qint64 start = bench.clock();
    GetRevCmd(bench.link, flags);
    QCOMPARE(QList<int>({flags.ExtendedFirmware, flags.ModelKV6}), QList<int>({0, 0}));
    QCOMPARE(bench.simulator.transcript(), QList<QByteArray>{"P\r"});
    QVERIFY(bench.clock() - start <= 200'000'000);
    QVERIFY(bench.ui.messages.empty());
}

void TestDevice::hangUpFailsAtOnceWithoutSpinning() {
    sim::Options options;
    options.paced = true;
    options.records = 2000;
    Bench bench(options, Wire::PseudoTerminal);
    QVERIFY(bench.started);
    bench.simulator.addFault({"GETLOG", 3, sim::Fault::HangUp, 1});
    QCOMPARE(GetLog(bench.link, 2), bench.simulator.blockPayload(2));
    QElapsedTimer clock;
    clock.start();
    QCOMPARE(GetLog(bench.link, 3), CommError);
    QVERIFY2(clock.elapsed() < 1000, qPrintable(QString::number(clock.elapsed())));
    QVERIFY(!bench.link.isOpen() && !bench.link.lostReason().isEmpty());
    // The process stays idle afterwards, and the rest of the operation meets a silent logger.
    const std::clock_t before = std::clock(); // the process's processor time
    QTest::qWait(1000);
    QVERIFY2(std::clock() - before < CLOCKS_PER_SEC / 20, qPrintable(QString::number(std::clock() - before)));
    QCOMPARE(GetCmd(bench.link, "GETSN", 4), CommError);
    QVERIFY(bench.ui.messages.empty());
}

QTEST_GUILESS_MAIN(TestDevice)
#include "test_device.moc"
