// The device link against the simulated logger: value encodings, port discovery, the
// transaction and the command set. The link runs on the simulator's in-process stream, where
// time is virtual; the hang-up goes through QSerialPort on a real pseudo-terminal.
#include "core/DeviceFlags.h"
#include "core/Numbers.h"
#include "device/Commands.h"
#include "device/Encodings.h"
#include "device/PortDiscovery.h"
#include "support/DeviceRig.h"

#include <QElapsedTimer>
#include <QTest>

#include <sys/resource.h>

#include <cmath>

using namespace kv5;

namespace {

double cpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

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
    void decoding_data();
    void decoding();
    void encoding_data();
    void encoding();
    void textToNumbers();
    void runTimeErrors();
    void discoveryMatch();
    void queryTransaction();
    void leadingZeroWaitsForTheWholeReply();
    void settingsFraming();
    void commandFailuresAreReportedOnce();
    void revisionClassification_data();
    void revisionClassification();
    void hangUpFailsAtOnceWithoutSpinning();
};

void TestDevice::decoding_data() {
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<double>("fixedPoint");
    QTest::addColumn<int>("count");
    QTest::newRow("20.5") << bytes({0x14, 0x80}) << 20.5 << 5248;
    QTest::newRow("-0.5") << bytes({0xFF, 0x80}) << -0.5 << 65408;
    QTest::newRow("-29.75") << bytes({0xE2, 0x40}) << -29.75 << 57920;
    QTest::newRow("smallest step") << bytes({0x00, 0x01}) << 0.00390625 << 1;
    QTest::newRow("largest") << bytes({0x7F, 0xFF}) << 127.99609375 << 32767;
    QTest::newRow("most negative") << bytes({0x80, 0x00}) << -128.0 << 32768;
    QTest::newRow("largest count") << bytes({0xFF, 0xFF}) << -0.00390625 << 65535;
}

void TestDevice::decoding() {
    QFETCH(QByteArray, data);
    QFETCH(double, fixedPoint);
    QFETCH(int, count);
    ScriptedUi ui;
    QCOMPARE(FpToDbl(data, ui), fixedPoint);
    QCOMPARE(U16ToLng(data, ui), count);
    QCOMPARE(LngToU16(count, ui), data);
    QVERIFY(ui.messages.empty());
}

void TestDevice::encoding_data() {
    // Clamped to ±127, rounded to the nearest step, halves to even.
    QTest::addColumn<double>("value");
    QTest::addColumn<QByteArray>("data");
    QTest::newRow("22.3") << 22.3 << bytes({0x16, 0x4D});
    QTest::newRow("-0.5") << -0.5 << bytes({0xFF, 0x80});
    QTest::newRow("150") << 150.0 << bytes({0x7F, 0x00});
    QTest::newRow("127.5") << 127.5 << bytes({0x7F, 0x00});
    QTest::newRow("-200") << -200.0 << bytes({0x81, 0x00});
    QTest::newRow("half a step") << 0.001953125 << bytes({0x00, 0x00});
    QTest::newRow("minus half a step") << -0.001953125 << bytes({0x00, 0x00});
    QTest::newRow("one and a half steps") << 0.005859375 << bytes({0x00, 0x02});
}

void TestDevice::encoding() {
    QFETCH(double, value);
    QFETCH(QByteArray, data);
    ScriptedUi ui;
    QCOMPARE(DblToFp(value, ui), data);
    QVERIFY(ui.messages.empty());
}

void TestDevice::textToNumbers() {
    // The tests run in the C locale: "." is the decimal separator. Whole numbers round halves
    // to even and are 0 for anything but a number in range.
    QCOMPARE(StrToDbl("1,234.5"), 1234.5);
    QCOMPARE(QList<qint32>({StrToLng("2.5"), StrToLng("3.5"), StrToLng(" -2.5 "), StrToLng("12abc"),
                            StrToLng("99999999999")}),
             QList<qint32>({2, 4, -2, 0, 0}));
    QCOMPARE(ClampPercent(-0.1), 0.0);
    // "0.0" rounds the decimal value, halves away from zero.
    QCOMPARE(QStringList({NumberText(-0.25), NumberText(-0.04), NumberText(12345.65, Separator::Point)}),
             QStringList({"-0.3", "0.0", "12345.7"}));
}

void TestDevice::runTimeErrors() {
    // Each failure is reported under its procedure's name and gives the default result.
    Bench bench;
    QVERIFY(bench.started);
    UserInterface& ui = bench.ui;
    QCOMPARE(FpToDbl(bytes({0x14}), ui), 0.0);
    QCOMPARE(U16ToLng(QByteArray(), ui), 0);
    QCOMPARE(LngToU16(65536, ui), QByteArray());
    QCOMPARE(DblToFp(std::nan(""), ui), bytes({0x00, 0x00}));
    QCOMPARE(ByteAt("AB", 2, ui), int('B'));
    QCOMPARE(ByteAt("AB", 3, ui), 0);
    QCOMPARE(GetLog(bench.link, 256), CommError);
    bench.link.PortClose();
    QVERIFY(!bench.link.isOpen());
    QCOMPARE(bench.link.GetCmd("GETSN", 4), CommError);
    const QStringList prefixes{"FpToDbl", "U16ToLng", "LngToU16", "DblToFp", "ByteAt", "GetLog", "GetCmd"};
    const QStringList texts = bench.ui.messageTexts();
    QCOMPARE(texts.size(), prefixes.size());
    for (int i = 0; i < texts.size(); ++i)
        QVERIFY2(texts[i].startsWith("ERROR: " + prefixes[i] + ": "), qPrintable(texts[i]));
}

void TestDevice::discoveryMatch() {
    using P = UsbSerialPort;
    QCOMPARE(ChooseLoggerPort({P{"USB\\VID_0403&PID_6001&MI_00", "/dev/ttyUSB0"}}), QString());
    // The second interface of the logger is not its serial port.
    QCOMPARE(ChooseLoggerPort({P{"USB\\VID_04D8&PID_5A3C&MI_01", "/dev/ttyACM0"}}), QString());
    // sysfs gives lower-case hex digits; of two loggers the first in enumeration order.
    QCOMPARE(ChooseLoggerPort({P{"USB\\VID_0403&PID_6001&MI_00", "/dev/ttyUSB0"},
                               P{"USB\\VID_04d8&PID_5a3c&MI_00", "/dev/ttyACM3"},
                               P{"USB\\VID_04D8&PID_5A3C&MI_00", "/dev/ttyACM0"}}),
             QString("/dev/ttyACM3"));

    // The override bypasses discovery; the real enumeration works here and finds no logger.
    ScriptedUi ui;
    QCOMPARE(GetUsbDevicePort(ui, "/dev/pts/99"), QString("/dev/pts/99"));
    std::vector<UsbSerialPort> ports;
    QString error;
    QVERIFY2(EnumerateUsbSerialPorts(ports, error), qPrintable(error));
    QCOMPARE(GetUsbDevicePort(ui), ChooseLoggerPort(ports));
    QVERIFY(ui.messages.empty());
}

void TestDevice::queryTransaction() {
    Bench bench;
    QVERIFY(bench.started);
    auto& sim = bench.simulator;
    QCOMPARE(bench.link.GetCmd("GETSN", 4), QByteArray("1234"));
    QCOMPARE(sim.transcript().last(), QByteArray("GETSN\r"));

    // One leading 0x00 is dropped; two fail the echo check; so does a wrong echo.
    sim.addFault({"GETSN", -1, sim::Fault::OneLeadingZero, 1});
    QCOMPARE(bench.link.GetCmd("GETSN", 4), QByteArray("1234"));
    sim.addFault({"GETSN", -1, sim::Fault::TwoLeadingZeros, 1});
    QCOMPARE(bench.link.GetCmd("GETSN", 4), CommError);
    sim.addFault({"GETSN", -1, sim::Fault::WrongEcho, 1});
    QCOMPARE(bench.link.GetCmd("GETSN", 4), CommError);

    // A reply cut short after a good echo gives the part that arrived, after the full limit.
    sim.addFault({"GETDESC", -1, sim::Fault::ShortReply, 1});
    qint64 start = bench.clock();
    const QByteArray part = bench.link.GetCmd("GETDESC", 32);
    QCOMPARE(bench.clock() - start, 2'000'000'000);
    QVERIFY2(!part.isEmpty() && part.size() < 32, part.constData());
    QVERIFY(QByteArray("Kiln 3 north stack").startsWith(part.trimmed()));

    // A late reply fails at the limit; once it has arrived, the next query must not take it
    // for its own.
    sim.addFault({"GETSN", -1, sim::Fault::SlowReply, 1});
    start = bench.clock();
    QCOMPARE(bench.link.GetCmd("GETSN", 4), CommError);
    QCOMPARE(bench.clock() - start, 2'000'000'000);
    sim.stream().wait(start + 2'600'000'000, false);
    QCOMPARE(bench.link.GetCmd("GETTIME", 10), QByteArray("2605210800"));
    QVERIFY(bench.ui.messages.empty());
}

void TestDevice::leadingZeroWaitsForTheWholeReply() {
    // At 9600 baud the last byte of a reply that starts with 0x00 is still on the wire when
    // the reply's length is first reached; the block and the setting must still be whole.
    sim::Options options;
    options.paced = true;
    Bench bench(options);
    QVERIFY(bench.started);
    bench.simulator.addFault({"GETLOG", -1, sim::Fault::OneLeadingZero, -1});
    bench.simulator.addFault({"SETINT", -1, sim::Fault::OneLeadingZero, -1});
    QCOMPARE(GetLog(bench.link, 1), bench.simulator.blockPayload(1));
    QVERIFY(SetCmd(bench.link, "SETINT", bytes({0x00, 0x0D})));
    QCOMPARE(bench.simulator.interval(), 13);
    QVERIFY(bench.ui.messages.empty());
}

void TestDevice::settingsFraming() {
    Bench bench;
    QVERIFY(bench.started);
    auto& sim = bench.simulator;
    // Each setting goes out as command SP argument CR and reads back what was set; binary
    // arguments, CR and 0x00 included, pass unchanged both ways.
    QVERIFY(SetCmd(bench.link, "SETSN", "4321"));
    QCOMPARE(sim.transcript().last(), QByteArray("SETSN 4321\r"));
    QCOMPARE(bench.link.GetCmd("GETSN", 4), QByteArray("4321"));
    QVERIFY(SetCmd(bench.link, "SETINT", bytes({0x0D, 0x00})));
    QCOMPARE(sim.transcript().last(), QByteArray("SETINT ") + bytes({0x0D, 0x00}) + "\r");
    QCOMPARE(bench.link.GetCmd("GETINT", 2), bytes({0x0D, 0x00}));
    QVERIFY(SetCmd(bench.link, "SETRHLO", bytes({0x00, 0x0A})));
    QCOMPARE(bench.link.GetCmd("GETRHLO", 2), bytes({0x00, 0x0A}));
    QVERIFY(bench.ui.messages.empty());

    // The echo must carry its line ends: a reply cut one line end short is no confirmation.
    sim.addFault({"SETINT", -1, sim::Fault::ShortReply, 1});
    QVERIFY(!SetCmd(bench.link, "SETINT", bytes({0x00, 0x01})));
    sim.addFault({"SETTEMPHI", -1, sim::Fault::CorruptTail, 1});
    QVERIFY(!SetCmd(bench.link, "SETTEMPHI", bytes({0x46, 0x00})));
    QCOMPARE(bench.ui.messageTexts(), QStringList(2, "ERROR: Saving settings failed!"));
}

void TestDevice::commandFailuresAreReportedOnce() {
    Bench bench;
    QVERIFY(bench.started);
    bench.simulator.addFault({"*", -1, sim::Fault::WrongEcho, -1});
    QVERIFY(!SetCmd(bench.link, "SETSN", "25"));
    QVERIFY(!ClrCmd(bench.link));
    QVERIFY(!LatchCmd(bench.link, 1));
    QVERIFY(!SetMemCmd(bench.link, 68, 80));
    QVERIFY(!StoreCmd(bench.link, 1));
    QCOMPARE(GetStatusBlock(bench.link), 0);
    QCOMPARE(bench.ui.messageTexts(),
             QStringList({"ERROR: Saving settings failed!", "ERROR: Clearing the log failed!",
                          "ERROR: Hold alarm command failed!", "ERROR: SETMEM command failed!",
                          "ERROR: Storage mode command failed!"}));
    for (const auto& m : bench.ui.messages) QCOMPARE(m.icon, Icon::Exclamation);
    // Never retried: one request per command.
    QCOMPARE(bench.simulator.transcript().size(), 6);
}

void TestDevice::revisionClassification_data() {
    QTest::addColumn<QByteArray>("revision");
    QTest::addColumn<int>("extended");
    QTest::addColumn<int>("kv6");
    QTest::newRow("r3") << QByteArray("PKV5r3") << 0 << 0;
    QTest::newRow("r3fix") << QByteArray("PKV5r3fix") << 1 << 0;
    QTest::newRow("r3fiX") << QByteArray("PKV5r3fiX") << 0 << 0;
    QTest::newRow("KV6") << QByteArray("PKV6r1") << 1 << 1;
    QTest::newRow("not P") << QByteArray("XKV6") << 0 << 0;
    QTest::newRow("no answer") << QByteArray() << 0 << 0;
}

void TestDevice::revisionClassification() {
    QFETCH(QByteArray, revision);
    QFETCH(int, extended);
    QFETCH(int, kv6);
    sim::Options options;
    if (!revision.isEmpty()) options.revision = revision;
    Bench bench(options);
    QVERIFY(bench.started);
    if (revision.isEmpty()) bench.simulator.addFault({"P", -1, sim::Fault::NoReply, -1});
    DeviceFlags flags;
    flags.ExtendedFirmware = 1 - extended;
    flags.ModelKV6 = 1;
    const qint64 start = bench.clock();
    GetRevCmd(bench.link, flags);
    QCOMPARE(flags.ExtendedFirmware, extended);
    QCOMPARE(flags.ModelKV6, kv6);
    QCOMPARE(bench.simulator.transcript(), QList<QByteArray>{"P\r"});
    // No answer costs 0.2 s and no message.
    if (revision.isEmpty()) QCOMPARE(bench.clock() - start, 200'000'000);
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
    QVERIFY(!bench.link.isOpen());
    QVERIFY(!bench.link.lostReason().isEmpty());

    // The process stays idle afterwards, and the rest of the operation meets a silent logger.
    const double before = cpuSeconds();
    QTest::qWait(1000);
    QVERIFY2(cpuSeconds() - before < 0.05, qPrintable(QString::number(cpuSeconds() - before)));
    QCOMPARE(GetLog(bench.link, 4), CommError);
    QCOMPARE(bench.link.GetCmd("GETSN", 4), CommError);
    QVERIFY(bench.ui.messages.empty());
}

QTEST_GUILESS_MAIN(TestDevice)
#include "test_device.moc"
