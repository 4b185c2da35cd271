// Writes the seed inputs of the fuzz targets: replies and block payloads as the simulated
// logger sends them, log files as the program writes them, and the shipped species list.
//
//     fuzz_corpus_generator SOURCE_FOLDER CORPUS_FOLDER
#include "app/AppState.h"
#include "core/UserInterface.h"
#include "device/Commands.h"
#include "device/SerialLink.h"
#include "logfiles/LogFile.h"
#include "logger/Download.h"
#include "sim/Simulator.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>

#include <cstdio>
#include <memory>

using namespace kv5;

namespace {

class QuietUi : public UserInterface {
public:
    Answer message(const Message& message) override {
        std::fprintf(stderr, "%s\n", qPrintable(message.text));
        return Answer::Ok;
    }
    bool input(const QString&, const QString&, QString&) override { return false; }
    void status(const QString&) override {}
};

QString corpus;
bool failed = false;

void write(const char* target, const QString& name, const QByteArray& content) {
    const QString folder = corpus + QLatin1Char('/') + QLatin1String(target);
    QDir().mkpath(folder);
    QFile file(folder + QLatin1Char('/') + name);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(content) != content.size()) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(file.fileName()));
        failed = true;
    }
}

QByteArray prefixed(int first, int second, const QByteArray& rest) {
    QByteArray bytes;
    bytes.append(static_cast<char>(first));
    bytes.append(static_cast<char>(second));
    return bytes + rest;
}

// One simulated logger and a link open on it.
struct Logger {
    explicit Logger(const sim::Options& options) : simulator(options), link(ui) {
        QString error;
        if (!simulator.start(&error) || !link.PortOpen(simulator.portPath())) {
            std::fprintf(stderr, "simulator: %s\n", qPrintable(error));
            failed = true;
        }
    }
    // The reply to request, as the transaction reads it.
    QByteArray reply(const QByteArray& request, int expected, double limit = 2.0) {
        return link.transaction(request, expected, limit, QStringLiteral("corpus")).value_or(QByteArray());
    }
    QuietUi ui;
    sim::Simulator simulator;
    SerialLink link;
};

void replies() {
    sim::Options options;
    Logger logger(options);
    // Queries, in the order of the target's command list.
    const struct {
        QByteArray command;
        int payloadLength;
    } queries[] = {{"GETSN", 4},     {"GETDESC", 32},  {"GETTIME", 10}, {"GETINT", 2},
                   {"GETTEMPHI", 2}, {"GETTEMPLO", 2}, {"GETRHHI", 2},  {"GETRHLO", 2}};
    int index = 0;
    for (const auto& query : queries) {
        const QByteArray reply = logger.reply(query.command + '\r', static_cast<int>(query.command.size()) +
                                                                        1 + query.payloadLength + 2);
        write("fuzz_replies", QStringLiteral("query-%1").arg(QString::fromLatin1(query.command).toLower()),
              prefixed(0, index, reply));
        ++index;
    }
    // Log blocks: the status block and a block of records, and a corrupt frame.
    for (const int block : {0, 1}) {
        QByteArray request = "GETLOG ";
        request.append(static_cast<char>(block));
        write("fuzz_replies", QStringLiteral("block-%1").arg(block),
              prefixed(1, 0, logger.reply(request, LogBlockReplySize)));
    }
    logger.simulator.addFault({"GETLOG", -1, sim::Fault::CorruptHead, 1});
    write("fuzz_replies", QStringLiteral("block-corrupt-head"),
          prefixed(1, 0, logger.reply(QByteArray("GETLOG \x01", 8), LogBlockReplySize)));
    // Confirmations, in the order of the target's list.
    write("fuzz_replies", QStringLiteral("confirm-clrlog"), prefixed(2, 0, logger.reply("CLRLOG\r", 8)));
    write("fuzz_replies", QStringLiteral("confirm-setledla"), prefixed(2, 1, logger.reply("SETLEDLA\r", 10)));
    write("fuzz_replies", QStringLiteral("confirm-settime"),
          prefixed(2, 2, logger.reply("SETTIME 2605210800\r", 20)));
    write("fuzz_replies", QStringLiteral("confirm-setint"),
          prefixed(2, 3, logger.reply(QByteArray("SETINT \x00\x0a\r", 10), 13)));
    write("fuzz_replies", QStringLiteral("confirm-setmem"),
          prefixed(2, 4, logger.reply(QByteArray("SETMEM \x00\x00\x3c \xff\r", 13), 16)));
    // A reply with the leading zero byte the logger sometimes sends.
    write("fuzz_replies", QStringLiteral("zero-getsn"), prefixed(4, 0, '\0' + logger.reply("GETSN\r", 12)));
    // Revision replies of the three firmware kinds.
    for (const QByteArray& revision : {QByteArray("PKV5r3fix"), QByteArray("PKV6r1"), QByteArray("PKV5r2")}) {
        options.revision = revision;
        Logger other(options);
        write("fuzz_replies", QStringLiteral("revision-%1").arg(QString::fromLatin1(revision).toLower()),
              prefixed(3, 0, other.reply("P\r", 21, 0.2)));
    }
}

QByteArray blockInput(int options, int interval, const QByteArray& payload) {
    QByteArray bytes;
    bytes.append(static_cast<char>(options));
    bytes.append(static_cast<char>(interval >> 8));
    bytes.append(static_cast<char>(interval & 0xFF));
    return bytes + payload;
}

void blocksAndLogs(const QString& source) {
    // A Vantorp and a Q7R logger, each with a full first block and a part-filled last one.
    sim::Options vantorp;
    vantorp.records = 70;
    sim::Simulator vantorpLogger(vantorp);
    sim::Options q7r;
    q7r.family = sim::Family::Q7R;
    q7r.records = 40;
    sim::Simulator q7rLogger(q7r);
    write("fuzz_blocks", QStringLiteral("vantorp-full"), blockInput(0x00, 10, vantorpLogger.blockPayload(1)));
    write("fuzz_blocks", QStringLiteral("vantorp-last-celsius"),
          blockInput(0x06, 10, vantorpLogger.blockPayload(2)));
    write("fuzz_blocks", QStringLiteral("q7r-full"), blockInput(0x01, 10, q7rLogger.blockPayload(1)));
    write("fuzz_blocks", QStringLiteral("q7r-last-curve"), blockInput(0xA7, 10, q7rLogger.blockPayload(2)));
    write("fuzz_blocks", QStringLiteral("status"), blockInput(0x00, 10, vantorpLogger.blockPayload(0)));

    // Log files as the program saves them, from the same blocks.
    QuietUi ui;
    const auto state = std::make_unique<AppState>();
    state->log.LogInterval = 10;
    state->log.StartTime = QDateTime(QDate(2026, 5, 21), QTime(8, 0));
    state->log.SensorType = SensorVantorp;
    ParseLog(vantorpLogger.blockPayload(2), DecodeOptionsOf(*state), state->log, ui);
    write("fuzz_logfile", QStringLiteral("saved-vantorp.txt"), LogFileContent(state->log));
    state->log.RecordCount = 0;
    state->log.SensorType = SensorQ7R;
    state->settings.Celsius = 1;
    ParseQ7RLog(q7rLogger.blockPayload(2), DecodeOptionsOf(*state), state->log, ui);
    write("fuzz_logfile", QStringLiteral("saved-q7r.txt"), LogFileContent(state->log));

    // The golden log files of the tests and the shipped species list.
    for (const char* name : {"vantorp.txt", "q7r.txt"}) {
        QFile file(source + QStringLiteral("/tests/data/") + QLatin1String(name));
        if (!file.open(QIODevice::ReadOnly)) failed = true;
        write("fuzz_logfile", QStringLiteral("golden-") + QLatin1String(name), file.readAll());
    }
    QFile species(source + QStringLiteral("/data/ABLIST.TXT"));
    if (!species.open(QIODevice::ReadOnly)) failed = true;
    write("fuzz_species", QStringLiteral("ABLIST.TXT"), species.readAll());
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s SOURCE_FOLDER CORPUS_FOLDER\n", argv[0]);
        return 2;
    }
    corpus = QString::fromLocal8Bit(argv[2]);
    replies();
    blocksAndLogs(QString::fromLocal8Bit(argv[1]));
    return failed ? 1 : 0;
}
