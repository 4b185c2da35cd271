// The logger simulator, byte for byte: in process on its virtual clock, and through a real
// QSerialPort on its pseudo-terminal for what only the pseudo-terminal does (hang-up, links,
// the kv5-sim program).

#include "device/SerialPortStream.h"
#include "sim/DeviceModel.h"
#include "sim/RecordCodec.h"
#include "sim/RequestFramer.h"
#include "sim/Simulator.h"

#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <climits>
#include <cmath>

using namespace kv5::sim;
using kv5::ByteStream;
using kv5::SerialPortStream;

namespace {

QByteArray bytes(std::initializer_list<int> values) {
    QByteArray result;
    for (int v : values) result += static_cast<char>(v);
    return result;
}

// Decoders written from the record layouts, independent of the simulator's encoders.
double fixedPoint(int high, int low) {
    return qint16(quint16((high & 0xFF) << 8 | (low & 0xFF))) / 256.0;
}
double fixedPoint(const QByteArray& data, int at) {
    return fixedPoint(quint8(data[at]), quint8(data[at + 1]));
}

struct Reading {
    double temperature = 0, humidity = 0, mc1 = 0, mc2 = 0, mc3 = 0;
};

Reading decodeVantorp(const QByteArray& r) {
    return {fixedPoint(r, 0), fixedPoint(r, 2)};
}

Reading decodeQ7R(const QByteArray& r) {
    auto b = [&](int i) { return int(quint8(r[i - 1])); };
    Reading reading;
    reading.mc1 = fixedPoint(b(1), b(2) & 0xF0);
    reading.mc2 = fixedPoint(b(3), b(4) & 0xF0);
    reading.mc3 = fixedPoint(b(5), b(6) & 0xF0);
    reading.humidity = fixedPoint(b(7), b(8) & 0xF0);
    reading.temperature = fixedPoint((b(2) & 0x0F) * 16 + (b(4) & 0x0F), (b(6) & 0x0F) * 16);
    return reading;
}

constexpr qint64 Second = 1'000'000'000;

// Sends a request and returns what arrives within `seconds`, or as soon as `enough` bytes are
// there, or the line fails.
QByteArray exchange(ByteStream& line, const QByteArray& request, double seconds = 3.0, int enough = INT_MAX) {
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

// A simulated logger with its in-process line open.
struct Logger : Simulator {
    explicit Logger(const Options& options = {}) : Simulator(options) {
        QString failure;
        opened = stream().open(QStringLiteral("logger"), failure);
    }
    QByteArray exchange(const QByteArray& request, double seconds = 3.0) {
        return ::exchange(stream(), request, seconds);
    }
    bool opened = false;
};

// A started simulator with QSerialPort open on its pseudo-terminal.
struct Terminal {
    explicit Terminal(const Options& options = {}) : sim(options) {
        QString failure;
        opened = sim.start(&failure) && port.open(sim.portPath(), failure);
        if (!opened) qWarning("%s", qPrintable(failure));
    }
    Simulator sim;
    SerialPortStream port;
    bool opened = false;
};

QByteArray block(int n) {
    return QByteArray("GETLOG ") + static_cast<char>(n);
}

int countOf(const QByteArray& payload) {
    return quint8(payload[0]);
}

Options withLog(Family family, const QByteArray& log, int mark = 1) {
    Options options;
    options.family = family;
    options.log = log;
    options.memorySizeMark = mark;
    return options;
}

} // namespace

class SimTest : public QObject {
    Q_OBJECT

private slots:
    void fixedPointEncoding_data();
    void fixedPointEncoding();
    void recordLayouts();
    void framing_data();
    void framing();
    void generatedRoom();
    void generatedKiln();
    void memoryCapacity();
    void blockLayout();
    void replyFraming_data();
    void replyFraming();
    void memoryAndStatusBlock();
    void largeMemoryBlocks();
    void faults_data();
    void faults();
    void faultRules();
    void slowReply_data();
    void slowReply();
    void transcriptAndResync();
    void pacing();
    void hangUp();
    void symlink();
    void program();
};

void SimTest::fixedPointEncoding_data() {
    QTest::addColumn<double>("value");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("20.5") << 20.5 << bytes({0x14, 0x80});
    QTest::newRow("-0.5") << -0.5 << bytes({0xFF, 0x80});
    QTest::newRow("-29.75") << -29.75 << bytes({0xE2, 0x40});
    QTest::newRow("22.3 rounds") << 22.3 << bytes({0x16, 0x4D});
    QTest::newRow("150 clamps") << 150.0 << bytes({0x7F, 0x00});
    QTest::newRow("127.5 clamps") << 127.5 << bytes({0x7F, 0x00});
    QTest::newRow("-200 clamps") << -200.0 << bytes({0x81, 0x00});
    QTest::newRow("half step to even 0") << 0.001953125 << bytes({0x00, 0x00});
    QTest::newRow("one and a half steps to 2") << 0.005859375 << bytes({0x00, 0x02});
    QTest::newRow("not a number") << std::nan("") << bytes({0x00, 0x00});
}

void SimTest::fixedPointEncoding() {
    QFETCH(double, value);
    QFETCH(QByteArray, expected);
    QCOMPARE(Simulator::encodeFixedPoint(value), expected);
}

void SimTest::recordLayouts() {
    // The worked examples of both record layouts.
    QCOMPARE(encodeVantorpRecord(22.25, 45.75), bytes({0x16, 0x40, 0x2D, 0xC0}));
    QCOMPARE(encodeQ7RRecord(12.5, 13.25, 14.0, 50.5, 25.5),
             bytes({0x0C, 0x81, 0x0D, 0x49, 0x0E, 0x08, 0x32, 0x80}));
    // Q7R values are kept in steps of 1/16, negative temperatures included.
    const Reading r = decodeQ7R(encodeQ7RRecord(8.0625, 29.9375, 0.0, 99.5, -5.25));
    QCOMPARE(r.mc1, 8.0625);
    QCOMPARE(r.mc2, 29.9375);
    QCOMPARE(r.mc3, 0.0);
    QCOMPARE(r.humidity, 99.5);
    QCOMPARE(r.temperature, -5.25);
    QCOMPARE(decodeQ7R(encodeQ7RRecord(10.01, 0, 0, 0, 60.02)).mc1, 10.0);
    QCOMPARE(encodeCount16(2880), bytes({0x0B, 0x40}));
    QCOMPARE(encodeCount16(70000), bytes({0xFF, 0xFF}));
}

void SimTest::framing_data() {
    QTest::addColumn<QList<QByteArray>>("chunks");
    QTest::addColumn<QList<QByteArray>>("requests"); // raw bytes of each complete request
    QTest::addColumn<QList<QByteArray>>("commands");
    QTest::addColumn<QByteArray>("partial"); // left over, waiting

    using L = QList<QByteArray>;
    QTest::newRow("CR inside a binary argument")
        << L{"SETINT \r\r\rGETINT\r"} << L{"SETINT \r\r\r", "GETINT\r"} << L{"SETINT", "GETINT"}
        << QByteArray();
    QTest::newRow("SETMEM with zero bytes")
        << L{QByteArray("SETMEM \0\0\r \0\r", 13)} << L{QByteArray("SETMEM \0\0\r \0\r", 13)} << L{"SETMEM"}
        << QByteArray();
    QTest::newRow("GETLOG has no CR")
        << L{"GETLOG \rGETSN\r"} << L{"GETLOG \r", "GETSN\r"} << L{"GETLOG", "GETSN"} << QByteArray();
    QTest::newRow("split arrival") << L{"GE", "TS", "N\rSETSN 10", "25\r"} << L{"GETSN\r", "SETSN 1025\r"}
                                   << L{"GETSN", "SETSN"} << QByteArray();
    QTest::newRow("unknown word resyncs at CR")
        << L{"HELLO\rP\r"} << L{"HELLO\r", "P\r"} << L{"", "P"} << QByteArray();
    QTest::newRow("GETLOG with CR is unknown")
        << L{"GETLOG\rCLRLOG\r"} << L{"GETLOG\r", "CLRLOG\r"} << L{"", "CLRLOG"} << QByteArray();
    QTest::newRow("wrong argument length")
        << L{"SETINT \x01\x02\x03\rGETSN\r"} << L{"SETINT \x01\x02\x03\r", "GETSN\r"} << L{"", "GETSN"}
        << QByteArray();
    QTest::newRow("short description waits")
        << L{"SETDESC short\rGETSN\r"} << L{} << L{} << QByteArray("SETDESC short\rGETSN\r");
}

void SimTest::framing() {
    QFETCH(QList<QByteArray>, chunks);
    QFETCH(QList<QByteArray>, requests);
    QFETCH(QList<QByteArray>, commands);
    QFETCH(QByteArray, partial);
    RequestFramer framer;
    QList<QByteArray> gotRequests, gotCommands;
    qint64 time = 0;
    for (const QByteArray& chunk : chunks) {
        framer.append(chunk, ++time);
        while (auto request = framer.next()) {
            gotRequests.append(request->bytes);
            gotCommands.append(request->command);
        }
    }
    QCOMPARE(gotRequests, requests);
    QCOMPARE(gotCommands, commands);
    QCOMPARE(framer.takePartial().bytes, partial);
}

void SimTest::generatedRoom() {
    Options options;
    options.records = 2880; // 10 days at 5 minutes
    options.intervalTicks = 10;
    Simulator sim(options);
    const QList<QByteArray> records = sim.records();
    QCOMPARE(records.size(), 2880);
    double sumT = 0, sumH = 0, sumTT = 0, sumHH = 0, sumTH = 0;
    double firstDayMin = 100, firstDayMax = -100;
    for (int i = 0; i < records.size(); ++i) {
        const Reading r = decodeVantorp(records[i]);
        QVERIFY2(r.temperature > 16 && r.temperature < 26, qPrintable(QString::number(r.temperature)));
        QVERIFY2(r.humidity > 35 && r.humidity < 65, qPrintable(QString::number(r.humidity)));
        sumT += r.temperature, sumH += r.humidity, sumTT += r.temperature * r.temperature;
        sumHH += r.humidity * r.humidity, sumTH += r.temperature * r.humidity;
        if (i < 288)
            firstDayMin = std::min(firstDayMin, r.temperature),
            firstDayMax = std::max(firstDayMax, r.temperature);
    }
    const double n = records.size();
    const double correlation =
        (sumTH - sumT * sumH / n) / std::sqrt((sumTT - sumT * sumT / n) * (sumHH - sumH * sumH / n));
    QVERIFY2(correlation < -0.6, qPrintable(QString::number(correlation)));
    QVERIFY(firstDayMax - firstDayMin > 3.5); // a daily cycle, not a flat line
    // Neighbouring readings are alike: small noise.
    for (int i = 1; i < records.size(); ++i)
        QVERIFY(std::abs(decodeVantorp(records[i]).temperature - decodeVantorp(records[i - 1]).temperature) <
                0.8);

    // The seed decides the log.
    QCOMPARE(Simulator(options).records(), records);
    options.seed = 2;
    QVERIFY(Simulator(options).records() != records);
}

void SimTest::generatedKiln() {
    Options options;
    options.family = Family::Q7R;
    options.records = 2000;
    Simulator sim(options);
    const QList<QByteArray> records = sim.records();
    QCOMPARE(records.size(), 2000);
    QCOMPARE(records.first().size(), 8);
    auto average = [&](int from, int to, auto field) {
        double sum = 0;
        for (int i = from; i < to; ++i) sum += field(decodeQ7R(records[i]));
        return sum / (to - from);
    };
    auto temp = [](const Reading& r) { return r.temperature; };
    auto rh = [](const Reading& r) { return r.humidity; };
    auto mc1 = [](const Reading& r) { return r.mc1; };
    auto mc2 = [](const Reading& r) { return r.mc2; };
    auto mc3 = [](const Reading& r) { return r.mc3; };
    QVERIFY(average(0, 5, temp) < 25);                                         // starts at yard temperature
    QVERIFY(average(1900, 2000, temp) > 50 && average(1900, 2000, temp) < 60); // ends hot
    QVERIFY(average(0, 20, rh) > 80);
    QVERIFY(average(1900, 2000, rh) < 40);
    for (auto mc : {+mc1, +mc2, +mc3}) {
        QVERIFY(average(0, 20, mc) > 27 && average(0, 20, mc) < 33);
        QVERIFY(average(1950, 2000, mc) > 7 && average(1950, 2000, mc) < 11);
        for (int quarter = 1; quarter < 4; ++quarter) // drying, never wetting again
            QVERIFY(average(quarter * 500, quarter * 500 + 500, mc) <
                    average(quarter * 500 - 500, quarter * 500, mc));
    }
    // Three boards drying at their own rates.
    QVERIFY(average(900, 1100, mc2) < average(900, 1100, mc1));
    QVERIFY(average(900, 1100, mc1) < average(900, 1100, mc3));
}

void SimTest::memoryCapacity() {
    Options options;
    options.records = 100000;
    QCOMPARE(Simulator(options).recordCount(), 127 * 64);
    options.memorySizeMark = 0;
    QCOMPARE(Simulator(options).recordCount(), 16256);
    options.family = Family::Q7R;
    QCOMPARE(Simulator(options).recordCount(), 8128);
    options.records = -5;
    QCOMPARE(Simulator(options).recordCount(), 0);
}

void SimTest::blockLayout() {
    // 130 Vantorp records: two full blocks and two records in the third.
    QByteArray log;
    for (int i = 0; i < 130; ++i) log += encodeVantorpRecord(i / 8.0, 50);
    Simulator sim(withLog(Family::Vantorp, log));
    QCOMPARE(countOf(sim.blockPayload(1)), 64);
    QCOMPARE(countOf(sim.blockPayload(2)), 64);
    const QByteArray third = sim.blockPayload(3);
    QCOMPARE(third.size(), 258);
    QCOMPARE(countOf(third), 2);
    QCOMPARE(third.mid(1, 8), log.mid(128 * 4, 8));
    QCOMPARE(third.mid(9), QByteArray(249, '\xFF')); // erased memory after the records
    QCOMPARE(countOf(sim.blockPayload(4)), 0);
    QCOMPARE(sim.blockPayload(2).mid(1, 256), log.mid(256, 256));

    // Q7R: two words a record.
    QByteArray kiln;
    for (int i = 0; i < 40; ++i) kiln += encodeQ7RRecord(20, 20, 20, 50, 40);
    Simulator q7r(withLog(Family::Q7R, kiln));
    QCOMPARE(countOf(q7r.blockPayload(1)), 64);
    QCOMPARE(countOf(q7r.blockPayload(2)), 16);

    // The status block: memory address a at payload position a + 2 (index a + 1).
    Options options;
    options.holdAlarms = true;
    options.beep = true;
    options.battery = 'L';
    options.emcHigh = 19.5;
    options.emcLow = -2;
    options.memorySizeMark = 7;
    Simulator status(options);
    const QByteArray payload = status.blockPayload(0);
    QCOMPARE(payload.size(), 258);
    QCOMPARE(payload.mid(1, 256), status.memory());
    QCOMPARE(quint8(payload[60]), 0);    // position 61: alarms held
    QCOMPARE(quint8(payload[61]), 0x80); // position 62: normal mode
    QCOMPARE(quint8(payload[62]), 255);  // position 63: beep
    QCOMPARE(quint8(payload[69]), 80);   // position 70: EMC marker
    QCOMPARE(payload.mid(70, 4), bytes({0x13, 0x80, 0xFE, 0x00}));
    QCOMPARE(quint8(payload[124]), 7);  // position 125: memory-size mark
    QCOMPARE(quint8(payload[127]), 40); // position 128: Vantorp sensor
    QCOMPARE(payload[128], 'L');        // position 129: battery
    options.family = Family::Q7R;
    QCOMPARE(quint8(Simulator(options).blockPayload(0)[127]), 80);
    options.sensorCode = 0;
    QCOMPARE(quint8(Simulator(options).blockPayload(0)[127]), 0);
}

void SimTest::replyFraming_data() {
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<QByteArray>("reply");
    const QByteArray desc = QByteArray("Drying shed").leftJustified(32, ' ');
    QTest::newRow("P") << QByteArray("P\r") << QByteArray("PKV5r3fix          \r\n");
    QTest::newRow("GETSN") << QByteArray("GETSN\r") << QByteArray("GETSN 1234\r\n");
    QTest::newRow("GETDESC") << QByteArray("GETDESC\r")
                             << QByteArray("GETDESC Kiln 3 north stack              \r\n");
    QTest::newRow("GETTIME") << QByteArray("GETTIME\r") << QByteArray("GETTIME 2605210800\r\n");
    QTest::newRow("GETINT") << QByteArray("GETINT\r") << QByteArray("GETINT \0\n\r\n", 11);
    QTest::newRow("GETTEMPHI") << QByteArray("GETTEMPHI\r") << QByteArray("GETTEMPHI <\0\r\n", 14);
    QTest::newRow("GETTEMPLO") << QByteArray("GETTEMPLO\r") << QByteArray("GETTEMPLO \x05\0\r\n", 14);
    QTest::newRow("GETRHHI") << QByteArray("GETRHHI\r") << QByteArray("GETRHHI Z\0\r\n", 12);
    QTest::newRow("GETRHLO") << QByteArray("GETRHLO\r") << QByteArray("GETRHLO \x14\0\r\n", 12);
    QTest::newRow("SETTIME") << QByteArray("SETTIME 2703070905\r") << QByteArray("SETTIME 2703070905\r\n");
    QTest::newRow("SETDESC") << "SETDESC " + desc + "\r"
                             << "SETDESC " + desc + "\r\n";
    QTest::newRow("SETSN 4 digits") << QByteArray("SETSN 4321\r") << QByteArray("SETSN 4321\r\n");
    QTest::newRow("SETSN 5 digits") << QByteArray("SETSN 10250\r") << QByteArray("SETSN 10250\r\n");
    QTest::newRow("SETINT") << QByteArray("SETINT \r\r\r") << QByteArray("SETINT \r\r\r\n\r\n");
    QTest::newRow("SETRHHI") << QByteArray("SETRHHI d\0\r", 11) << QByteArray("SETRHHI d\0\r\n\r\n", 14);
    QTest::newRow("SETRHLO") << QByteArray("SETRHLO \0\0\r", 11) << QByteArray("SETRHLO \0\0\r\n\r\n", 14);
    QTest::newRow("SETTEMPHI") << QByteArray("SETTEMPHI F\0\r", 13)
                               << QByteArray("SETTEMPHI F\0\r\n\r\n", 16);
    QTest::newRow("SETTEMPLO") << QByteArray("SETTEMPLO \x81\0\r", 13)
                               << QByteArray("SETTEMPLO \x81\0\r\n\r\n", 16);
    QTest::newRow("SETMEM") << QByteArray("SETMEM \0\0= \xFF\r", 13)
                            << QByteArray("SETMEM \0\0= \xFF\r\n\r\n", 16);
    QTest::newRow("CLRLOG") << QByteArray("CLRLOG\r") << QByteArray("CLRLOG\r\n");
    QTest::newRow("SETLEDLA") << QByteArray("SETLEDLA\r") << QByteArray("SETLEDLA\r\n");
    QTest::newRow("SETLEDME") << QByteArray("SETLEDME\r") << QByteArray("SETLEDME\r\n");
}

void SimTest::replyFraming() {
    QFETCH(QByteArray, request);
    QFETCH(QByteArray, reply);
    Logger logger;
    QVERIFY(logger.opened);
    QCOMPARE(logger.exchange(request), reply);
}

void SimTest::memoryAndStatusBlock() {
    Logger logger;
    QVERIFY(logger.opened);
    auto setMem = [&](int addr, int value) {
        const QByteArray request = QByteArray("SETMEM ") + bytes({0, 0, addr}) + ' ' + bytes({value}) + '\r';
        QCOMPARE(logger.exchange(request), request + "\n\r\n");
    };
    auto status = [&] { return logger.exchange(block(0)).mid(12, 258); };
    setMem(0, 0x7E);
    setMem(13, 0x0A); // CR as address, LF as value
    setMem(60, 0xFF); // storage mode
    setMem(255, 0x55);
    QByteArray payload = status();
    QCOMPARE(quint8(payload[1]), 0x7E); // address 0 at position 2
    QCOMPARE(quint8(payload[14]), 0x0A);
    QCOMPARE(quint8(payload[61]), 0xFF);
    QCOMPARE(quint8(payload[256]), 0x55);
    QCOMPARE(quint8(payload[13]), 0); // neighbours untouched
    QCOMPARE(quint8(payload[15]), 0);
    QCOMPARE(logger.memoryByte(13), 0x0A);

    QCOMPARE(logger.exchange("SETLEDLA\r"), QByteArray("SETLEDLA\r\n"));
    QCOMPARE(quint8(status()[60]), 0);
    QCOMPARE(logger.exchange("SETLEDME\r"), QByteArray("SETLEDME\r\n"));
    QCOMPARE(quint8(status()[60]), 1);

    // The serial number field holds four characters.
    QCOMPARE(logger.exchange("SETSN 25\r"), QByteArray("SETSN 25\r\n"));
    QCOMPARE(logger.exchange("GETSN\r"), QByteArray("GETSN 0025\r\n"));
    QCOMPARE(logger.exchange("SETSN 98765\r"), QByteArray("SETSN 98765\r\n"));
    QCOMPARE(logger.serialNumber(), QByteArray("8765"));

    // The block range follows the memory-size mark as it is now.
    Options full;
    full.memorySizeMark = 0;
    full.records = 20000;
    Logger big(full);
    QVERIFY(big.opened);
    QCOMPARE(countOf(big.exchange(block(129)).mid(12)), 64);
    big.exchange(QByteArray("SETMEM ") + bytes({0, 0, 123}) + " \x01\r");
    QCOMPARE(countOf(big.exchange(block(129)).mid(12)), 0);
}

void SimTest::largeMemoryBlocks() {
    // A log that ends just past block 127 continues in block 129; block 128 is not part of it.
    Options options;
    options.memorySizeMark = 0;
    options.records = 127 * 64 + 10;
    Simulator spill(options);
    QCOMPARE(countOf(spill.blockPayload(127)), 64);
    QCOMPARE(countOf(spill.blockPayload(128)), 0);
    QCOMPARE(countOf(spill.blockPayload(129)), 10);
    QCOMPARE(spill.blockPayload(129).mid(1, 4), spill.records().at(127 * 64));
    QCOMPARE(countOf(spill.blockPayload(130)), 0);
}

void SimTest::faults_data() {
    QTest::addColumn<int>("fault");
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<QByteArray>("reply"); // what arrives; for blocks only head and tail are compared
    QTest::addColumn<int>("size");
    const QByteArray sn = "GETSN 1234\r\n";
    QTest::newRow("no reply") << int(Fault::NoReply) << QByteArray("GETSN\r") << QByteArray() << 0;
    QTest::newRow("short reply") << int(Fault::ShortReply) << QByteArray("GETSN\r") << QByteArray("GETSN ")
                                 << 6;
    QTest::newRow("wrong echo") << int(Fault::WrongEcho) << QByteArray("GETSN\r")
                                << QByteArray("FETSN 1234\r\n") << 12;
    QTest::newRow("one zero") << int(Fault::OneLeadingZero) << QByteArray("GETSN\r")
                              << QByteArray(1, '\0') + sn << 13;
    QTest::newRow("two zeros") << int(Fault::TwoLeadingZeros) << QByteArray("GETSN\r")
                               << QByteArray(2, '\0') + sn << 14;
    QTest::newRow("wrong echo on P") << int(Fault::WrongEcho) << QByteArray("P\r")
                                     << QByteArray("QKV5r3fix          \r\n") << 21;
    QTest::newRow("corrupt head") << int(Fault::CorruptHead) << block(3)
                                  << QByteArray("GETLOG  !A#$") + "%^&*\r\n"
                                  << 276;
    QTest::newRow("corrupt tail") << int(Fault::CorruptTail) << block(3)
                                  << QByteArray("GETLOG  !@#$") + "%^&*\r\r" << 276;
    QTest::newRow("275") << int(Fault::Block275) << block(3) << QByteArray("GETLOG  !@#$") + "&*\r" << 275;
    QTest::newRow("277") << int(Fault::Block277) << block(3) << QByteArray("GETLOG  !@#$") + "\r\n\n" << 277;
    QTest::newRow("zero before block")
        << int(Fault::OneLeadingZero) << block(3) << QByteArray("\0GETLOG  !@#", 12) + "%^&*\r\n"
        << 277;
}

void SimTest::faults() {
    QFETCH(int, fault);
    QFETCH(QByteArray, request);
    QFETCH(QByteArray, reply);
    QFETCH(int, size);
    Logger logger;
    QVERIFY(logger.opened);
    logger.addFault({request.startsWith("GETLOG") ? "GETLOG" : request.chopped(1), -1, Fault(fault), -1});
    const QByteArray got = logger.exchange(request);
    QCOMPARE(got.size(), size);
    if (request.startsWith("GETLOG")) {
        QCOMPARE(got.left(12), reply.left(12));
        QCOMPARE(got.right(reply.size() - 12), reply.mid(12));
        const int start = got.startsWith('\0') ? 13 : 12;
        QCOMPARE(got.mid(start, 250), logger.blockPayload(3).left(250)); // the payload is intact
    } else {
        QCOMPARE(got, reply);
    }
}

void SimTest::faultRules() {
    Logger logger;
    QVERIFY(logger.opened);
    // A block rule hits only its block, and only as often as it says.
    logger.addFault({"GETLOG", 2, Fault::NoReply, 1});
    QCOMPARE(logger.exchange(block(1)).size(), 276);
    QCOMPARE(logger.exchange(block(2)).size(), 0);
    QCOMPARE(logger.exchange(block(2)).size(), 276);
    // The first matching rule wins; "*" matches any command.
    logger.addFault({"GETSN", -1, Fault::WrongEcho, 1});
    logger.addFault({"*", -1, Fault::ShortReply, -1});
    QCOMPARE(logger.exchange("GETSN\r"), QByteArray("FETSN 1234\r\n"));
    QCOMPARE(logger.exchange("GETSN\r"), QByteArray("GETSN "));
    QCOMPARE(logger.exchange("CLRLOG\r"), QByteArray("CLRL"));
    logger.clearFaults();
    QCOMPARE(logger.exchange("GETSN\r"), QByteArray("GETSN 1234\r\n"));
    // A fault whose reply is cut still changes the state.
    QCOMPARE(logger.recordCount(), 0);
}

void SimTest::slowReply_data() {
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<qint64>("late"); // the command's time limit and 300 ms
    QTest::newRow("P") << QByteArray("P\r") << 500'000'000LL;
    QTest::newRow("GETSN") << QByteArray("GETSN\r") << 2'300'000'000LL;
}

void SimTest::slowReply() {
    QFETCH(QByteArray, request);
    QFETCH(qint64, late);
    Logger logger;
    QVERIFY(logger.opened);
    logger.addFault({request.chopped(1), -1, Fault::SlowReply, -1});
    ByteStream& line = logger.stream();
    const qint64 sent = line.now();
    line.write(request);
    line.wait(sent + late - 1, false);
    QCOMPARE(line.take(), QByteArray());
    line.wait(sent + late, false);
    const QByteArray reply = line.take();
    QVERIFY2(reply.startsWith(request.chopped(1)) && reply.endsWith("\r\n"), reply.constData());
}

void SimTest::transcriptAndResync() {
    Logger logger;
    QVERIFY(logger.opened);
    logger.exchange("P\r");
    QCOMPARE(logger.exchange("HELLO\r"), QByteArray()); // not understood: no answer
    logger.exchange("SETINT \r\n\r");
    logger.exchange(block(0x0D));
    // A request that stops half-way is dropped after a pause; the next one is answered.
    QCOMPARE(logger.exchange("SETDESC short\r", 0.7), QByteArray());
    QCOMPARE(logger.exchange("GETSN\r"), QByteArray("GETSN 1234\r\n"));
    const QList<QByteArray> expected = {"P\r",       "HELLO\r",         "SETINT \r\n\r",
                                        "GETLOG \r", "SETDESC short\r", "GETSN\r"};
    QCOMPARE(logger.transcript(), expected);
    logger.clearTranscript();
    QVERIFY(logger.transcript().isEmpty());
}

void SimTest::pacing() {
    Options options;
    options.paced = true;
    Logger logger(options);
    QVERIFY(logger.opened);
    // An 8-byte request and a 276-byte reply at 9600 baud, 10 bits a byte: each byte arrives at
    // its wire time, the last one 284 byte times (295.8 ms) after the request went out.
    ByteStream& line = logger.stream();
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
    // The next request is answered the same way.
    line.write(block(1));
    line.wait(line.now() + 296 * Second / 1000, false);
    QCOMPARE(line.take().mid(12, 258), logger.blockPayload(1));
}

void SimTest::hangUp() {
    {
        Terminal terminal;
        QVERIFY(terminal.opened);
        QVERIFY(terminal.sim.isRunning());
        terminal.sim.hangUp();
        QVERIFY(!terminal.sim.isRunning());
        QCOMPARE(exchange(terminal.port, "GETSN\r", 1.0), QByteArray());
        QVERIFY(!terminal.port.isOpen());
        QVERIFY(!terminal.port.failure().isEmpty());
        // Plugged in again: a new line, the same logger.
        QVERIFY(terminal.sim.start());
        QVERIFY(terminal.sim.isRunning());
        SerialPortStream again;
        QString failure;
        QVERIFY(again.open(terminal.sim.portPath(), failure));
        QCOMPARE(exchange(again, "SETSN 4321\r", 1.0, 12), QByteArray("SETSN 4321\r\n"));
        QCOMPARE(exchange(again, "GETSN\r", 1.0, 12), QByteArray("GETSN 4321\r\n"));
        QVERIFY(!terminal.sim.start()); // already running
    }
    {
        Terminal terminal;
        QVERIFY(terminal.opened);
        terminal.sim.addFault({"GETLOG", 4, Fault::HangUp, -1});
        QCOMPARE(exchange(terminal.port, block(3), 1.0, 276).size(), 276);
        const QByteArray half = exchange(terminal.port, block(4), 1.0, 276);
        QVERIFY(!terminal.port.isOpen());
        QCOMPARE(half, ("GETLOG  !@#$" + terminal.sim.blockPayload(4)).left(138));
        QVERIFY(!terminal.sim.isRunning());
    }
    // In process the line fails the moment the logger hangs up, the half reply delivered.
    Logger logger;
    QVERIFY(logger.opened);
    logger.addFault({"GETLOG", 4, Fault::HangUp, -1});
    QCOMPARE(logger.exchange(block(4)), ("GETLOG  !@#$" + logger.blockPayload(4)).left(138));
    QVERIFY(!logger.stream().isOpen());
    QString failure;
    QVERIFY(!logger.stream().open(QStringLiteral("logger"), failure));
}

void SimTest::symlink() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString link = dir.filePath("ttyKV5");
    {
        Simulator sim;
        QVERIFY(!sim.makeSymlink(link)); // not started: nothing to link to
        QVERIFY(sim.start());
        QVERIFY(sim.makeSymlink(link));
        QCOMPARE(QFileInfo(link).symLinkTarget(), sim.portPath());
        SerialPortStream line;
        QString failure;
        QVERIFY(line.open(link, failure));
        QCOMPARE(exchange(line, "GETSN\r", 1.0, 12), QByteArray("GETSN 1234\r\n"));
        QVERIFY(sim.makeSymlink(link)); // replaces its own link
    }
    QVERIFY(!QFileInfo(link).isSymLink());
}

void SimTest::program() {
    const QString path = QStringLiteral(KV5_BINARY_DIR "/sim/kv5-sim");
    if (!QFileInfo(path).isExecutable()) QSKIP("kv5-sim is not built");
    QTemporaryDir dir;
    const QString link = dir.filePath("kv5");
    QProcess process;
    process.start(path, {"--link", link, "--serial", "77", "--family", "q7r", "--fault", "GETSN:wrong-echo:1",
                         "--fault", "GETLOG:2:no-reply", "--records", "100", "--stdin-lifetime"});
    QVERIFY(process.waitForStarted());
    QVERIFY(process.waitForReadyRead(5000));
    QCOMPARE(process.readLine().trimmed(), link.toLocal8Bit());
    QVERIFY(QFileInfo(link).isSymLink());
    {
        SerialPortStream line;
        QString failure;
        QVERIFY(line.open(link, failure));
        QCOMPARE(exchange(line, "GETSN\r", 1.0, 12), QByteArray("FETSN 0077\r\n"));
        QCOMPARE(exchange(line, "GETSN\r", 1.0, 12), QByteArray("GETSN 0077\r\n"));
        const QByteArray status = exchange(line, block(0), 1.0, 276);
        QCOMPARE(quint8(status[12 + 127]), 80);
        QCOMPARE(countOf(exchange(line, block(1), 1.0, 276).mid(12)), 64);
        QCOMPARE(exchange(line, block(2), 0.3, 276).size(), 0);
    }
    // Closing standard input ends it, and the link goes with it.
    process.closeWriteChannel();
    QVERIFY(process.waitForFinished(5000));
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
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
