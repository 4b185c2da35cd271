// The device link against the simulated logger: value encodings, port discovery, the
// transaction, every command and the block frame. The link runs on the simulator's in-process
// stream, where time is virtual; the hang-up and the open failures go through QSerialPort on
// a real pseudo-terminal.
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
    void fixedPointAndCounts();
    void textToNumbers();
    void discoveryMatch();
    void queryTransaction();
    void leadingZeroWaitsForTheWholeReply();
    void lateReplyAndStaleBytes();
    void settingsFraming();
    void commandFailuresAreReportedOnce();
    void memoryStorageAndLatch();
    void revisionClassification();
    void blockValidation();
    void hangUpFailsAtOnceWithoutSpinning();
    void portOpenFailures();
};

void TestDevice::fixedPointAndCounts() {
    ScriptedUi ui;
    // Worked examples: bytes to fixed point and to count.
    QCOMPARE(FpToDbl(bytes({0x14, 0x80}), ui), 20.5);
    QCOMPARE(FpToDbl(bytes({0xFF, 0x80}), ui), -0.5);
    QCOMPARE(FpToDbl(bytes({0xE2, 0x40}), ui), -29.75);
    QCOMPARE(FpToDbl(bytes({0x64, 0x00}), ui), 100.0);
    QCOMPARE(FpToDbl(bytes({0x00, 0x01}), ui), 0.00390625);
    QCOMPARE(FpToDbl(bytes({0x7F, 0xFF}), ui), 127.99609375);
    QCOMPARE(FpToDbl(bytes({0x80, 0x00}), ui), -128.0);
    QCOMPARE(U16ToLng(bytes({0x14, 0x80}), ui), 5248);
    QCOMPARE(U16ToLng(bytes({0xE2, 0x40}), ui), 57920);
    QCOMPARE(U16ToLng(bytes({0xFF, 0xFF}), ui), 65535);
    QCOMPARE(LngToU16(2880, ui), bytes({0x0B, 0x40}));
    QCOMPARE(LngToU16(65535, ui), bytes({0xFF, 0xFF}));
    QVERIFY(ui.messages.empty());

    // Encoding: clamped to ±127, halves to even.
    QCOMPARE(DblToFp(22.3, ui), bytes({0x16, 0x4D}));
    QCOMPARE(DblToFp(150.0, ui), bytes({0x7F, 0x00}));
    QCOMPARE(DblToFp(127.5, ui), bytes({0x7F, 0x00}));
    QCOMPARE(DblToFp(-200.0, ui), bytes({0x81, 0x00}));
    QCOMPARE(DblToFp(-127.0, ui), bytes({0x81, 0x00}));
    QCOMPARE(DblToFp(0.001953125, ui), bytes({0x00, 0x00}));
    QCOMPARE(DblToFp(0.005859375, ui), bytes({0x00, 0x02}));
    QCOMPARE(DblToFp(-0.001953125, ui), bytes({0x00, 0x00}));
    QCOMPARE(DblToFp(-0.5, ui), bytes({0xFF, 0x80}));
    QVERIFY(ui.messages.empty());

    QCOMPARE(ClampPercent(99.95), 99.9);
    QCOMPARE(ClampPercent(99.9), 99.9);
    QCOMPARE(ClampPercent(-0.1), 0.0);
    QCOMPARE(ClampPercent(45.5), 45.5);

    // Failures report under the procedure's name and give the default result.
    QCOMPARE(FpToDbl(bytes({0x14}), ui), 0.0);
    QCOMPARE(U16ToLng(QByteArray(), ui), 0);
    QCOMPARE(LngToU16(65536, ui), QByteArray());
    QCOMPARE(LngToU16(-1, ui), QByteArray());
    QCOMPARE(DblToFp(std::nan(""), ui), bytes({0x00, 0x00}));
    const QStringList texts = ui.messageTexts();
    QCOMPARE(texts.size(), 5);
    QVERIFY(texts[0].startsWith("ERROR: FpToDbl: "));
    QVERIFY(texts[1].startsWith("ERROR: U16ToLng: "));
    QVERIFY(texts[2].startsWith("ERROR: LngToU16: "));
    QVERIFY(texts[4].startsWith("ERROR: DblToFp: "));
}

void TestDevice::textToNumbers() {
    // The tests run in the C locale: "." is the decimal separator.
    QCOMPARE(StrToDbl("abc"), 0.0);
    QCOMPARE(StrToDbl(""), 0.0);
    QCOMPARE(StrToDbl("22.5"), 22.5);
    QCOMPARE(StrToDbl(" -3.25 "), -3.25);
    QCOMPARE(StrToDbl("1,234.5"), 1234.5);
    QCOMPARE(StrToLng("2.5"), 2);
    QCOMPARE(StrToLng("3.5"), 4);
    QCOMPARE(StrToLng("-2.5"), -2);
    QCOMPARE(StrToLng(" 12 "), 12);
    QCOMPARE(StrToLng("12abc"), 0);
    QCOMPARE(StrToLng("99999999999"), 0);

    // "0.0" rounds the decimal value, halves away from zero.
    QCOMPARE(NumberText(22.25 * 1.8 + 32), QString("72.1"));
    QCOMPARE(NumberText(23.46), QString("23.5"));
    QCOMPARE(NumberText(7), QString("7.0"));
    QCOMPARE(NumberText(-0.25), QString("-0.3"));
    QCOMPARE(NumberText(-0.04), QString("0.0"));
    QCOMPARE(NumberText(-0.5 * 1.8 + 32), QString("31.1"));
    QCOMPARE(NumberText(127.99609375 * 1.8 + 32), QString("262.4"));
    QCOMPARE(NumberText(12345.65, Separator::Point), QString("12345.7"));
}

void TestDevice::discoveryMatch() {
    using P = UsbSerialPort;
    QCOMPARE(ChooseLoggerPort({}), QString());
    QCOMPARE(ChooseLoggerPort({P{"USB\\VID_0403&PID_6001&MI_00", "/dev/ttyUSB0"}}), QString());
    // The second interface of the logger is not its serial port.
    QCOMPARE(ChooseLoggerPort({P{"USB\\VID_04D8&PID_5A3C&MI_01", "/dev/ttyACM0"}}), QString());
    // sysfs gives lower-case hex digits.
    QCOMPARE(ChooseLoggerPort({P{"USB\\VID_0403&PID_6001&MI_00", "/dev/ttyUSB0"},
                               P{"USB\\VID_04d8&PID_5a3c&MI_00", "/dev/ttyACM3"}}),
             QString("/dev/ttyACM3"));
    // Two loggers: the first in enumeration order.
    QCOMPARE(ChooseLoggerPort({P{"USB\\VID_04D8&PID_5A3C&MI_00", "/dev/ttyACM1"},
                               P{"USB\\VID_04D8&PID_5A3C&MI_00", "/dev/ttyACM0"}}),
             QString("/dev/ttyACM1"));

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
    QCOMPARE(bench.ui.statusLines, QStringList{"Opening Serial Port"});
    // Opening again changes nothing but the status line.
    QVERIFY(bench.link.PortOpen("/nonexistent"));
    QVERIFY(bench.link.isOpen());

    QCOMPARE(bench.link.GetCmd("GETSN", 4), QByteArray("1234"));
    QCOMPARE(bench.simulator.transcript().last(), QByteArray("GETSN\r"));
    QCOMPARE(bench.link.GetCmd("GETDESC", 32), QByteArray("Kiln 3 north stack").leftJustified(32, ' '));

    // One leading 0x00 is dropped; two fail the echo check; so does a wrong echo.
    bench.simulator.addFault({"GETSN", -1, sim::Fault::OneLeadingZero, 1});
    QCOMPARE(bench.link.GetCmd("GETSN", 4), QByteArray("1234"));
    bench.simulator.addFault({"GETSN", -1, sim::Fault::TwoLeadingZeros, 1});
    QCOMPARE(bench.link.GetCmd("GETSN", 4), CommError);
    bench.simulator.addFault({"GETSN", -1, sim::Fault::WrongEcho, 1});
    QCOMPARE(bench.link.GetCmd("GETSN", 4), CommError);

    // A reply cut short after a good echo gives the part that arrived, after the full limit.
    bench.simulator.addFault({"GETDESC", -1, sim::Fault::ShortReply, 1});
    qint64 start = bench.clock();
    const QByteArray part = bench.link.GetCmd("GETDESC", 32);
    QCOMPARE(bench.clock() - start, 2'000'000'000);
    QVERIFY2(!part.isEmpty() && part.size() < 32, part.constData());
    QVERIFY(QByteArray("Kiln 3 north stack").startsWith(part.trimmed()));

    // No reply at all: the marker after the limit, nothing shown.
    bench.simulator.addFault({"GETINT", -1, sim::Fault::NoReply, 1});
    start = bench.clock();
    QCOMPARE(bench.link.GetCmd("GETINT", 2), CommError);
    QCOMPARE(bench.clock() - start, 2'000'000'000);
    QVERIFY(bench.ui.messages.empty());

    QCOMPARE(ByteAt("AB", 2, bench.ui), int('B'));
    QCOMPARE(ByteAt("AB", 3, bench.ui), 0);
    QCOMPARE(bench.ui.messages.size(), size_t(1));
    QVERIFY(bench.ui.messages[0].text.startsWith("ERROR: ByteAt: "));

    bench.link.PortClose();
    QVERIFY(!bench.link.isOpen());
    bench.link.PortClose();
    // A query on a closed port is a run-time error of the query.
    QCOMPARE(bench.link.GetCmd("GETSN", 4), CommError);
    QVERIFY(bench.ui.messages.back().text.startsWith("ERROR: GetCmd: "));
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

void TestDevice::lateReplyAndStaleBytes() {
    Bench bench;
    QVERIFY(bench.started);
    bench.simulator.addFault({"GETSN", -1, sim::Fault::SlowReply, 1});
    const qint64 start = bench.clock();
    QCOMPARE(bench.link.GetCmd("GETSN", 4), CommError);
    QCOMPARE(bench.clock() - start, 2'000'000'000);
    // Let the late answer arrive; the next query must not take it for its own.
    bench.simulator.stream().wait(start + 2'600'000'000, false);
    QCOMPARE(bench.link.GetCmd("GETTIME", 10), QByteArray("2605210800"));
}

void TestDevice::settingsFraming() {
    Bench bench;
    QVERIFY(bench.started);
    auto& sim = bench.simulator;
    // Each setting goes out as command SP argument CR and reads back what was set.
    QVERIFY(SetCmd(bench.link, "SETSN", "4321"));
    QCOMPARE(sim.transcript().last(), QByteArray("SETSN 4321\r"));
    QCOMPARE(bench.link.GetCmd("GETSN", 4), QByteArray("4321"));
    QVERIFY(SetCmd(bench.link, "SETTIME", "2603070905"));
    QCOMPARE(bench.link.GetCmd("GETTIME", 10), QByteArray("2603070905"));
    QVERIFY(SetCmd(bench.link, "SETDESC", QByteArray("Dry kiln").leftJustified(32, ' ')));
    QCOMPARE(bench.link.GetCmd("GETDESC", 32), QByteArray("Dry kiln").leftJustified(32, ' '));
    // Binary arguments, CR and 0x00 included, pass unchanged both ways.
    QVERIFY(SetCmd(bench.link, "SETINT", bytes({0x0D, 0x00})));
    QCOMPARE(sim.transcript().last(), QByteArray("SETINT ") + bytes({0x0D, 0x00}) + "\r");
    QCOMPARE(bench.link.GetCmd("GETINT", 2), bytes({0x0D, 0x00}));
    QVERIFY(SetCmd(bench.link, "SETTEMPHI", bytes({0x46, 0x00})));
    QCOMPARE(bench.link.GetCmd("GETTEMPHI", 2), bytes({0x46, 0x00}));
    QVERIFY(SetCmd(bench.link, "SETRHLO", bytes({0x00, 0x0A})));
    QCOMPARE(bench.link.GetCmd("GETRHLO", 2), bytes({0x00, 0x0A}));
    QVERIFY(bench.ui.messages.empty());

    // The echo must carry its line ends: SETINT two (13 bytes), SETTEMPHI two (16 bytes);
    // a reply cut one line end short is not a confirmation.
    sim.addFault({"SETINT", -1, sim::Fault::ShortReply, 1});
    QVERIFY(!SetCmd(bench.link, "SETINT", bytes({0x00, 0x01})));
    sim.addFault({"SETTEMPHI", -1, sim::Fault::CorruptTail, 1});
    QVERIFY(!SetCmd(bench.link, "SETTEMPHI", bytes({0x46, 0x00})));
    QCOMPARE(bench.ui.messageTexts(), QStringList({"ERROR: Saving settings failed!", "ERROR: Saving settings failed!"}));
    QCOMPARE(bench.ui.messages[0].icon, Icon::Exclamation);
    QCOMPARE(bench.ui.messages[0].title, QString("Quorvane KV5"));
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
    QCOMPARE(bench.ui.messageTexts(),
             QStringList({"ERROR: Saving settings failed!", "ERROR: Clearing the log failed!",
                          "ERROR: Hold alarm command failed!", "ERROR: SETMEM command failed!",
                          "ERROR: Storage mode command failed!"}));
    for (const auto& m : bench.ui.messages) QCOMPARE(m.icon, Icon::Exclamation);
    // Never retried: one request per command.
    QCOMPARE(bench.simulator.transcript().size(), 5);
}

void TestDevice::memoryStorageAndLatch() {
    Bench bench;
    QVERIFY(bench.started);
    auto& sim = bench.simulator;

    QVERIFY(SetMemCmd(bench.link, 69, 0x12));
    QCOMPARE(sim.transcript().last(), QByteArray("SETMEM ") + bytes({0, 0, 69, ' ', 0x12}) + "\r");
    QCOMPARE(sim.memoryByte(69), 0x12);
    QCOMPARE(static_cast<unsigned char>(GetLog(bench.link, 0).at(69 + 1)), 0x12);

    // Storage mode: any mode but 0 writes 0xFF and says so; 0 writes 0x80 silently.
    QVERIFY(StoreCmd(bench.link, -1));
    QCOMPARE(sim.memoryByte(60), 0xFF);
    QCOMPARE(bench.ui.messages.size(), size_t(1));
    QCOMPARE(bench.ui.messages[0].icon, Icon::Information);
    QCOMPARE(bench.ui.messages[0].text,
             QString("The device is now in storage mode to save battery power.\r"
                     "Inserting a sensor plug will wake the device and logging will continue."));
    QVERIFY(StoreCmd(bench.link, 0));
    QCOMPARE(sim.memoryByte(60), 0x80);
    QCOMPARE(bench.ui.messages.size(), size_t(1));

    QVERIFY(LatchCmd(bench.link, 1));
    QCOMPARE(sim.transcript().last(), QByteArray("SETLEDLA\r"));
    QCOMPARE(static_cast<unsigned char>(GetLog(bench.link, 0).at(StatusAlarmHold - 1)), 0);
    QVERIFY(LatchCmd(bench.link, 0));
    QCOMPARE(sim.transcript().last(), QByteArray("SETLEDME\r"));

    QCOMPARE(GetStatusBlock(bench.link), SensorVantorp);
    QVERIFY(ClrCmd(bench.link));
    QCOMPARE(sim.recordCount(), 0);
    QCOMPARE(GetLog(bench.link, 1).at(0), '\0');
    bench.simulator.addFault({"GETLOG", 0, sim::Fault::NoReply, 1});
    QCOMPARE(GetStatusBlock(bench.link), 0);
}

void TestDevice::revisionClassification() {
    struct Case {
        QByteArray revision;
        int extended;
        int kv6;
    };
    const QList<Case> cases{{"PKV5r3", 0, 0}, {"PKV5r3fix", 1, 0}, {"PKV5r3fiX", 0, 0},
                            {"PKV6r1", 1, 1}, {"PKV5r2", 0, 0},    {"XKV6", 0, 0}};
    for (const auto& c : cases) {
        sim::Options options;
        options.revision = c.revision;
        Bench bench(options);
        QVERIFY(bench.started);
        DeviceFlags flags;
        flags.ExtendedFirmware = 1 - c.extended;
        flags.ModelKV6 = 1;
        GetRevCmd(bench.link, flags);
        QVERIFY2(flags.ExtendedFirmware == c.extended, c.revision.constData());
        QVERIFY2(flags.ModelKV6 == c.kv6, c.revision.constData());
        QCOMPARE(bench.simulator.transcript(), QList<QByteArray>{"P\r"});
    }
    // No answer: both flags off after 0.2 s, without a message.
    Bench bench;
    QVERIFY(bench.started);
    bench.simulator.addFault({"P", -1, sim::Fault::NoReply, -1});
    DeviceFlags flags;
    flags.ExtendedFirmware = 1;
    flags.ModelKV6 = 1;
    const qint64 start = bench.clock();
    GetRevCmd(bench.link, flags);
    QCOMPARE(bench.clock() - start, 200'000'000);
    QCOMPARE(flags.ExtendedFirmware, 0);
    QCOMPARE(flags.ModelKV6, 0);
    QVERIFY(bench.ui.messages.empty());
}

void TestDevice::blockValidation() {
    sim::Options options;
    options.family = sim::Family::Q7R;
    options.records = 100;
    Bench bench(options);
    QVERIFY(bench.started);
    QCOMPARE(GetLog(bench.link, 2), bench.simulator.blockPayload(2));
    QCOMPARE(GetLog(bench.link, 2).size(), 258);
    QCOMPARE(bench.simulator.transcript().last(), QByteArray("GETLOG ") + bytes({2}));
    for (auto fault : {sim::Fault::Block275, sim::Fault::Block277, sim::Fault::CorruptHead, sim::Fault::CorruptTail,
                       sim::Fault::TwoLeadingZeros, sim::Fault::ShortReply}) {
        bench.simulator.addFault({"GETLOG", 3, fault, 1});
        QCOMPARE(GetLog(bench.link, 3), CommError);
        QCOMPARE(GetLog(bench.link, 3), bench.simulator.blockPayload(3));
    }
    QCOMPARE(GetLog(bench.link, 256), CommError);
    QCOMPARE(bench.ui.messages.size(), size_t(1));
    QVERIFY(bench.ui.messages[0].text.startsWith("ERROR: GetLog: "));
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

void TestDevice::portOpenFailures() {
    ScriptedUi ui;
    SerialLink link(ui);
    QVERIFY(!link.PortOpen("/dev/kv5-no-such-port"));
    QCOMPARE(ui.messages.size(), size_t(1));
    QVERIFY(ui.messages[0].text.startsWith("ERROR: PortOpen: The port /dev/kv5-no-such-port does not exist."));

    // A port that another program holds is named as busy.
    Bench bench({}, Wire::PseudoTerminal);
    QVERIFY(bench.started);
    QVERIFY(!link.PortOpen(bench.simulator.portPath()));
    QCOMPARE(ui.messages.size(), size_t(2));
    QVERIFY2(ui.messages[1].text.startsWith("ERROR: PortOpen: ") && ui.messages[1].text.contains("in use"),
             qPrintable(ui.messages[1].text));
}

QTEST_GUILESS_MAIN(TestDevice)
#include "test_device.moc"
