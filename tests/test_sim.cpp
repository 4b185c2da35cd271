// The logger simulator, exercised the way the program talks to it: through a real QSerialPort on
// the pseudo-terminal, byte for byte.

#include "sim/DeviceModel.h"
#include "sim/RecordCodec.h"
#include "sim/RequestFramer.h"
#include "sim/Simulator.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QProcess>
#include <QSerialPort>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <memory>

using namespace kv5::sim;

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

// The program's side of the line: a QSerialPort at 9600 8N1 on the simulator's slave.
class Line {
public:
    explicit Line(const QString& path) {
        port_.setPortName(path);
        port_.setBaudRate(QSerialPort::Baud9600);
        port_.setDataBits(QSerialPort::Data8);
        port_.setParity(QSerialPort::NoParity);
        port_.setStopBits(QSerialPort::OneStop);
        port_.setFlowControl(QSerialPort::NoFlowControl);
        // A vanished line reports errors without end: note the first and close.
        QObject::connect(&port_, &QSerialPort::errorOccurred, [this](QSerialPort::SerialPortError e) {
            if (e == QSerialPort::NoError || !port_.isOpen()) return;
            failed_ = true;
            received_ += port_.readAll();
            port_.close();
        });
    }
    bool open() { return port_.open(QIODevice::ReadWrite); }
    bool failed() const { return failed_; }

    void send(const QByteArray& request) {
        port_.readAll();
        received_.clear();
        port_.write(request);
        port_.waitForBytesWritten(1000);
    }
    // What has arrived once `count` bytes are there, the line failed, or `timeoutMs` passed.
    QByteArray receive(int count, int timeoutMs) {
        QEventLoop loop;
        QTimer deadline;
        deadline.setTimerType(Qt::PreciseTimer);
        deadline.setSingleShot(true);
        auto check = [&] {
            if (port_.isOpen()) received_ += port_.readAll();
            if (received_.size() >= count || failed_) loop.quit();
        };
        QObject::connect(&port_, &QSerialPort::readyRead, &loop, check);
        QObject::connect(&deadline, &QTimer::timeout, &loop, &QEventLoop::quit);
        QObject::connect(&port_, &QSerialPort::errorOccurred, &loop, check, Qt::QueuedConnection);
        deadline.start(timeoutMs);
        check();
        if (received_.size() < count && !failed_) loop.exec();
        return received_;
    }
    QByteArray exchange(const QByteArray& request, int count, int timeoutMs = 1000) {
        send(request);
        return receive(count, timeoutMs);
    }
    // The whole reply, and no byte more: waits briefly for stragglers.
    QByteArray exactly(const QByteArray& request, int count) {
        send(request);
        receive(count, 1000);
        return receive(count + 1, 60);
    }

private:
    QSerialPort port_;
    QByteArray received_;
    bool failed_ = false;
};

// A started simulator with an open line to it.
struct Bench {
    explicit Bench(const Options& options = {}) : sim(options) {
        QString error;
        started = sim.start(&error);
        if (!started) qWarning("%s", qPrintable(error));
        line = std::make_unique<Line>(sim.portPath());
        opened = started && line->open();
    }
    Simulator sim;
    std::unique_ptr<Line> line;
    bool started = false;
    bool opened = false;
};

#define OPEN_BENCH(name, options)                                                                            \
    Bench name{options};                                                                                     \
    QVERIFY(name.opened)

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
    void settingsRoundTrip();
    void memoryAndStatusBlock();
    void clearLog();
    void blockFrames();
    void largeMemoryDownload();
    void faults_data();
    void faults();
    void faultRules();
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
    OPEN_BENCH(bench, Options());
    QCOMPARE(bench.line->exactly(request, int(reply.size())), reply);
}

void SimTest::settingsRoundTrip() {
    OPEN_BENCH(bench, Options());
    Line& line = *bench.line;
    auto get = [&](const QByteArray& command, int payload) {
        const QByteArray reply = line.exchange(command + "\r", int(command.size()) + payload + 3);
        return reply.mid(command.size() + 1, payload);
    };
    auto set = [&](const QByteArray& command, const QByteArray& argument, int lineEnds) {
        const QByteArray request = command + ' ' + argument + '\r';
        const int length = int(request.size()) + 1 + (lineEnds - 1) * 2;
        QCOMPARE(line.exchange(request, length).size(), length);
    };
    const QByteArray desc = QByteArray("TEST FOR SN1025").leftJustified(32, ' ');
    set("SETDESC", desc, 1);
    QCOMPARE(get("GETDESC", 32), desc);
    QCOMPARE(bench.sim.description(), desc);
    set("SETTIME", "2603070905", 1);
    QCOMPARE(get("GETTIME", 10), QByteArray("2603070905"));
    set("SETINT", bytes({0x0B, 0x40}), 2);
    QCOMPARE(get("GETINT", 2), bytes({0x0B, 0x40}));
    QCOMPARE(bench.sim.interval(), 2880);
    set("SETTEMPHI", bytes({0x46, 0x00}), 2);
    set("SETTEMPLO", bytes({0xFF, 0x80}), 2);
    set("SETRHHI", bytes({0x64, 0x00}), 2);
    set("SETRHLO", bytes({0x0D, 0x0A}), 2);
    QCOMPARE(get("GETTEMPHI", 2), bytes({0x46, 0x00}));
    QCOMPARE(get("GETTEMPLO", 2), bytes({0xFF, 0x80}));
    QCOMPARE(get("GETRHHI", 2), bytes({0x64, 0x00}));
    QCOMPARE(get("GETRHLO", 2), bytes({0x0D, 0x0A}));
    QCOMPARE(bench.sim.limit(Limit::TempLow), bytes({0xFF, 0x80}));
    QCOMPARE(bench.sim.limit(Limit::RhLow), bytes({0x0D, 0x0A}));
    // The serial number field holds four characters.
    set("SETSN", "4321", 1);
    QCOMPARE(get("GETSN", 4), QByteArray("4321"));
    set("SETSN", "25", 1);
    QCOMPARE(get("GETSN", 4), QByteArray("0025"));
    set("SETSN", "98765", 1);
    QCOMPARE(get("GETSN", 4), QByteArray("8765"));
    QCOMPARE(bench.sim.serialNumber(), QByteArray("8765"));
}

void SimTest::memoryAndStatusBlock() {
    OPEN_BENCH(bench, Options());
    Line& line = *bench.line;
    auto setMem = [&](int addr, int value) {
        const QByteArray request = QByteArray("SETMEM ") + bytes({0, 0, addr}) + ' ' + bytes({value}) + '\r';
        QCOMPARE(line.exchange(request, 16), request + "\n\r\n");
    };
    auto status = [&] { return line.exchange(block(0), 276).mid(12, 258); };
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
    QCOMPARE(bench.sim.memoryByte(13), 0x0A);

    QCOMPARE(line.exchange("SETLEDLA\r", 10), QByteArray("SETLEDLA\r\n"));
    QCOMPARE(quint8(status()[60]), 0);
    QCOMPARE(line.exchange("SETLEDME\r", 10), QByteArray("SETLEDME\r\n"));
    QCOMPARE(quint8(status()[60]), 1);

    // The block range follows the memory-size mark as it is now.
    QCOMPARE(countOf(line.exchange(block(129), 276).mid(12)), 0);
    setMem(123, 0);
    Options full;
    full.memorySizeMark = 0;
    full.records = 20000;
    OPEN_BENCH(big, full);
    QCOMPARE(countOf(big.line->exchange(block(129), 276).mid(12)), 64);
    const QByteArray markSet = QByteArray("SETMEM ") + bytes({0, 0, 123}) + " \x01\r";
    big.line->exchange(markSet, 16);
    QCOMPARE(countOf(big.line->exchange(block(129), 276).mid(12)), 0);
}

void SimTest::clearLog() {
    OPEN_BENCH(bench, Options());
    QCOMPARE(countOf(bench.line->exchange(block(1), 276).mid(12)), 64);
    QCOMPARE(bench.line->exchange("CLRLOG\r", 8), QByteArray("CLRLOG\r\n"));
    QCOMPARE(countOf(bench.line->exchange(block(1), 276).mid(12)), 0);
    QCOMPARE(bench.sim.recordCount(), 0);
}

void SimTest::blockFrames() {
    {
        OPEN_BENCH(bench, Options());
        for (int n : {0, 1, 5, 8, 9, 127}) {
            const QByteArray reply = bench.line->exactly(block(n), 276);
            QCOMPARE(reply.size(), 276);
            QCOMPARE(reply.left(12), QByteArray("GETLOG  !@#$"));
            QCOMPARE(reply.right(6), QByteArray("%^&*\r\n"));
            QCOMPARE(reply.mid(12, 258), bench.sim.blockPayload(n));
        }
        // 500 records: seven full blocks, then 52 records, then an empty block.
        QCOMPARE(countOf(bench.sim.blockPayload(8)), 52);
        QCOMPARE(countOf(bench.sim.blockPayload(9)), 0);
    }
    // The worked examples, through the wire.
    {
        OPEN_BENCH(bench, withLog(Family::Vantorp, bytes({0x16, 0x40, 0x2D, 0xC0})));
        const QByteArray payload = bench.line->exchange(block(1), 276).mid(12, 258);
        QCOMPARE(countOf(payload), 1);
        const Reading r = decodeVantorp(payload.mid(1, 4));
        QCOMPARE(r.temperature, 22.25);
        QCOMPARE(r.humidity, 45.75);
    }
    {
        OPEN_BENCH(bench, withLog(Family::Q7R, bytes({0x0C, 0x81, 0x0D, 0x49, 0x0E, 0x08, 0x32, 0x80})));
        const QByteArray payload = bench.line->exchange(block(1), 276).mid(12, 258);
        QCOMPARE(countOf(payload), 2);
        const Reading r = decodeQ7R(payload.mid(1, 8));
        QCOMPARE(r.mc1, 12.5);
        QCOMPARE(r.mc2, 13.25);
        QCOMPARE(r.mc3, 14.0);
        QCOMPARE(r.humidity, 50.5);
        QCOMPARE(r.temperature, 25.5);
    }
}

void SimTest::largeMemoryDownload() {
    // A full large memory: 254 full blocks in 1..255 without 128, read as the program reads them.
    Options options;
    options.memorySizeMark = 0;
    options.records = 16256;
    OPEN_BENCH(bench, options);
    QByteArray log;
    int requested = 0;
    for (int n = 1; n <= 255; ++n) {
        if (n == 128) continue;
        const QByteArray reply = bench.line->exchange(block(n), 276);
        QCOMPARE(reply.size(), 276);
        ++requested;
        const int count = countOf(reply.mid(12));
        QCOMPARE(count, 64);
        log += reply.mid(13, count * 4);
    }
    QCOMPARE(requested, 254);
    QCOMPARE(log.size(), 16256 * 4);
    QCOMPARE(log.left(4), bench.sim.records().first());
    QCOMPARE(log.right(4), bench.sim.records().last());
    QCOMPARE(countOf(bench.sim.blockPayload(128)), 0); // not part of the log

    // A log that ends just past block 127 continues in block 129.
    Simulator spill([] {
        Options o;
        o.memorySizeMark = 0;
        o.records = 127 * 64 + 10;
        return o;
    }());
    QCOMPARE(countOf(spill.blockPayload(127)), 64);
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
    OPEN_BENCH(bench, Options());
    bench.sim.addFault({request.startsWith("GETLOG") ? "GETLOG" : request.chopped(1), -1, Fault(fault), -1});
    const QByteArray got = bench.line->exactly(request, std::max(size, 1));
    QCOMPARE(got.size(), size);
    if (request.startsWith("GETLOG")) {
        QCOMPARE(got.left(12), reply.left(12));
        QCOMPARE(got.right(reply.size() - 12), reply.mid(12));
        const int start = got.startsWith('\0') ? 13 : 12;
        QCOMPARE(got.mid(start, 250), bench.sim.blockPayload(3).left(250)); // the payload is intact
    } else {
        QCOMPARE(got, reply);
    }
}

void SimTest::faultRules() {
    OPEN_BENCH(bench, Options());
    Line& line = *bench.line;
    // A block rule hits only its block, and only as often as it says.
    bench.sim.addFault({"GETLOG", 2, Fault::NoReply, 1});
    QCOMPARE(line.exchange(block(1), 276).size(), 276);
    QCOMPARE(line.exchange(block(2), 276, 300).size(), 0);
    QCOMPARE(line.exchange(block(2), 276).size(), 276);
    // The first matching rule wins; "*" matches any command.
    bench.sim.addFault({"GETSN", -1, Fault::WrongEcho, 1});
    bench.sim.addFault({"*", -1, Fault::ShortReply, -1});
    QCOMPARE(line.exchange("GETSN\r", 12), QByteArray("FETSN 1234\r\n"));
    QCOMPARE(line.exactly("GETSN\r", 6), QByteArray("GETSN "));
    QCOMPARE(line.exactly("CLRLOG\r", 4), QByteArray("CLRL"));
    bench.sim.clearFaults();
    QCOMPARE(line.exchange("GETSN\r", 12), QByteArray("GETSN 1234\r\n"));
    // A fault whose reply is cut still changes the state.
    QCOMPARE(bench.sim.recordCount(), 0);
}

void SimTest::slowReply() {
    OPEN_BENCH(bench, Options());
    bench.sim.addFault({"P", -1, Fault::SlowReply, -1});
    bench.sim.addFault({"GETSN", -1, Fault::SlowReply, -1});
    QElapsedTimer clock;
    clock.start();
    bench.line->send("P\r");
    QCOMPARE(bench.line->receive(1, 450).size(), 0); // nothing within the 0.2 s limit and well past it
    QCOMPARE(bench.line->receive(21, 1000), QByteArray("PKV5r3fix          \r\n"));
    QVERIFY(clock.elapsed() >= 500);

    clock.restart();
    bench.line->send("GETSN\r");
    QCOMPARE(bench.line->receive(12, 3500), QByteArray("GETSN 1234\r\n"));
    QVERIFY(clock.elapsed() >= 2300);
}

void SimTest::transcriptAndResync() {
    OPEN_BENCH(bench, Options());
    Line& line = *bench.line;
    line.exchange("P\r", 21);
    QCOMPARE(line.exchange("HELLO\r", 1, 200), QByteArray()); // not understood: no answer
    line.exchange("SETINT \r\n\r", 13);
    line.exchange(block(0x0D), 276);
    // A request that stops half-way is dropped after a pause; the next one is answered.
    QCOMPARE(line.exchange("SETDESC short\r", 1, 700), QByteArray());
    QCOMPARE(line.exchange("GETSN\r", 12), QByteArray("GETSN 1234\r\n"));
    const QList<QByteArray> expected = {"P\r",       "HELLO\r",         "SETINT \r\n\r",
                                        "GETLOG \r", "SETDESC short\r", "GETSN\r"};
    QCOMPARE(bench.sim.transcript(), expected);
    bench.sim.clearTranscript();
    QVERIFY(bench.sim.transcript().isEmpty());
}

void SimTest::pacing() {
    Options options;
    options.paced = true;
    OPEN_BENCH(bench, options);
    // An 8-byte request and a 276-byte reply at 9600 baud, 10 bits a byte: 295.8 ms on the wire.
    QElapsedTimer clock;
    clock.start();
    bench.line->send(block(1));
    const QByteArray reply = bench.line->receive(276, 2000);
    const qint64 elapsed = clock.elapsed();
    QCOMPARE(reply.size(), 276);
    QCOMPARE(reply.mid(12, 258), bench.sim.blockPayload(1));
    QVERIFY2(elapsed >= 287 && elapsed < 320, qPrintable(QString::number(elapsed)));
}

void SimTest::hangUp() {
    {
        OPEN_BENCH(bench, Options());
        QVERIFY(bench.sim.isRunning());
        bench.sim.hangUp();
        QVERIFY(!bench.sim.isRunning());
        bench.line->send("GETSN\r");
        bench.line->receive(1, 1000);
        QVERIFY(bench.line->failed());
        // Plugged in again: a new line, the same logger.
        QVERIFY(bench.sim.start());
        QVERIFY(bench.sim.isRunning());
        Line again(bench.sim.portPath());
        QVERIFY(again.open());
        QCOMPARE(again.exchange("SETSN 4321\r", 12), QByteArray("SETSN 4321\r\n"));
        QCOMPARE(again.exchange("GETSN\r", 12), QByteArray("GETSN 4321\r\n"));
        QVERIFY(!bench.sim.start()); // already running
    }
    {
        OPEN_BENCH(bench, Options());
        bench.sim.addFault({"GETLOG", 4, Fault::HangUp, -1});
        QCOMPARE(bench.line->exchange(block(3), 276).size(), 276);
        const QByteArray half = bench.line->exchange(block(4), 276, 1000);
        QVERIFY(bench.line->failed());
        QCOMPARE(half, ("GETLOG  !@#$" + bench.sim.blockPayload(4)).left(138));
        QVERIFY(!bench.sim.isRunning());
    }
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
        Line line(link);
        QVERIFY(line.open());
        QCOMPARE(line.exchange("GETSN\r", 12), QByteArray("GETSN 1234\r\n"));
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
        Line line(link);
        QVERIFY(line.open());
        QCOMPARE(line.exchange("GETSN\r", 12), QByteArray("FETSN 0077\r\n"));
        QCOMPARE(line.exchange("GETSN\r", 12), QByteArray("GETSN 0077\r\n"));
        const QByteArray status = line.exchange(block(0), 276);
        QCOMPARE(quint8(status[12 + 127]), 80);
        QCOMPARE(countOf(line.exchange(block(1), 276).mid(12)), 64);
        QCOMPARE(line.exchange(block(2), 276, 300).size(), 0);
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
