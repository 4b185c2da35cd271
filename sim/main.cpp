// kv5-sim: a simulated KV5 logger on a pseudo-terminal, for trying the program without hardware.

#include "sim/Simulator.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QSocketNotifier>

#include <csignal>
#include <cstdio>

#include <sys/socket.h>
#include <unistd.h>

using namespace kv5::sim;

namespace {

int signalPipe[2] = {-1, -1};

void onSignal(int) {
    const char byte = 1;
    if (::write(signalPipe[1], &byte, 1) < 0) {
        // Nothing can be done about it inside a signal handler.
    }
}

bool parseFault(const QString& text, FaultRule* rule, QString* error) {
    // CMD[:BLOCK]:FAULTNAME[:TIMES]
    const QStringList parts = text.split(QLatin1Char(':'));
    auto isNumber = [](const QString& part) {
        bool ok = false;
        part.toInt(&ok);
        return ok;
    };
    QString block, name, times;
    if (parts.size() == 2) {
        name = parts[1];
    } else if (parts.size() == 3 && isNumber(parts[1])) {
        block = parts[1];
        name = parts[2];
    } else if (parts.size() == 3) {
        name = parts[1];
        times = parts[2];
    } else if (parts.size() == 4) {
        block = parts[1];
        name = parts[2];
        times = parts[3];
    } else {
        *error = QStringLiteral("--fault %1: expected CMD[:BLOCK]:FAULT[:TIMES]").arg(text);
        return false;
    }
    rule->command = parts[0].toLatin1().toUpper();
    if (!faultFromName(name, &rule->fault)) {
        *error = QStringLiteral("--fault %1: unknown fault \"%2\"").arg(text, name);
        return false;
    }
    bool ok = true;
    if (!block.isEmpty()) rule->block = block.toInt(&ok);
    if (!ok || rule->block < -1 || rule->block > 255) {
        *error = QStringLiteral("--fault %1: the block must be 0..255").arg(text);
        return false;
    }
    if (!times.isEmpty()) rule->times = times.toInt(&ok);
    if (!ok || rule->times < -1) {
        *error = QStringLiteral("--fault %1: TIMES must be a count, or -1 for always").arg(text);
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("kv5-sim"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Simulates a KV5 logger on a pseudo-terminal. The program opens the printed port path as the\n"
        "logger's serial device (9600 baud, 8N1). The first line of standard output is that path\n"
        "(the --link path when given). Runs until SIGINT or SIGTERM, or with --stdin-lifetime until\n"
        "standard input is closed.\n"
        "\n"
        "Settings written with the SET commands stay until the simulator ends; CLRLOG empties the log,\n"
        "SETTIME only changes the start time. The serial number is kept as four characters: a shorter\n"
        "one is padded with leading zeros (25 reads back as 0025), a longer one keeps its last four.\n"
        "\n"
        "Faults: --fault CMD[:BLOCK]:FAULT[:TIMES], for example GETLOG:5:no-reply:1 (the first\n"
        "request for block 5 goes unanswered), P:slow-reply, *:one-leading-zero. CMD is a command\n"
        "word (P, GETSN, GETLOG, SETINT, SETMEM, CLRLOG, ...) or * for any; BLOCK applies to GETLOG\n"
        "only; TIMES is how many matching requests the fault hits (default: all). The first rule that\n"
        "matches a request applies. FAULT is one of:\n"
        "  no-reply           no answer at all\n"
        "  short-reply        only the first half of the reply\n"
        "  slow-reply         the whole reply, 300 ms after the command's time limit (2.0 s, 0.2 s for P)\n"
        "  wrong-echo         the first echoed character changed\n"
        "  one-leading-zero   one 0x00 byte before the reply\n"
        "  two-leading-zeros  two 0x00 bytes before the reply\n"
        "  corrupt-head       a byte of the block head \"GETLOG  !@#$\" changed\n"
        "  corrupt-tail       a byte of the block tail \"%^&*\" CR LF changed\n"
        "  block275           the reply one byte short\n"
        "  block277           one byte too many\n"
        "  hang-up            half of the reply, then the device vanishes (the simulator exits)"));
    parser.addHelpOption();

    const QCommandLineOption family(QStringLiteral("family"),
                                    QStringLiteral("Sensor family: vantorp or q7r."), QStringLiteral("name"),
                                    QStringLiteral("vantorp"));
    const QCommandLineOption revision(
        QStringLiteral("revision"),
        QStringLiteral("Firmware revision text answered to P (PKV5r3fix, PKV5r3, "
                       "PKV6...)."),
        QStringLiteral("text"), QStringLiteral("PKV5r3fix"));
    const QCommandLineOption battery(QStringLiteral("battery"),
                                     QStringLiteral("Battery state character: 5, 3, 2 or L."),
                                     QStringLiteral("c"), QStringLiteral("5"));
    const QCommandLineOption mark(QStringLiteral("mark"),
                                  QStringLiteral("Memory-size mark: 0 = log in blocks 1..255 without 128, "
                                                 "otherwise 1..127."),
                                  QStringLiteral("n"), QStringLiteral("1"));
    const QCommandLineOption records(QStringLiteral("records"),
                                     QStringLiteral("Records in the generated log (clamped to the memory)."),
                                     QStringLiteral("n"), QStringLiteral("500"));
    const QCommandLineOption serial(QStringLiteral("serial"),
                                    QStringLiteral("Serial number (four characters, see above)."),
                                    QStringLiteral("digits"), QStringLiteral("1234"));
    const QCommandLineOption description(QStringLiteral("description"), QStringLiteral("Log description."),
                                         QStringLiteral("text"), QStringLiteral("Kiln 3 north stack"));
    const QCommandLineOption start(QStringLiteral("start"), QStringLiteral("Log start time, YYMMDDhhmm."),
                                   QStringLiteral("time"), QStringLiteral("2605210800"));
    const QCommandLineOption interval(QStringLiteral("interval"),
                                      QStringLiteral("Logging interval in device ticks."),
                                      QStringLiteral("ticks"), QStringLiteral("10"));
    const QCommandLineOption tempHigh(QStringLiteral("temp-high"),
                                      QStringLiteral("Temperature high limit, °C."), QStringLiteral("value"),
                                      QStringLiteral("60"));
    const QCommandLineOption tempLow(QStringLiteral("temp-low"), QStringLiteral("Temperature low limit, °C."),
                                     QStringLiteral("value"), QStringLiteral("5"));
    const QCommandLineOption rhHigh(QStringLiteral("rh-high"), QStringLiteral("RH / MC high limit, %."),
                                    QStringLiteral("value"), QStringLiteral("90"));
    const QCommandLineOption rhLow(QStringLiteral("rh-low"), QStringLiteral("RH / MC low limit, %."),
                                   QStringLiteral("value"), QStringLiteral("20"));
    const QCommandLineOption emcHigh(QStringLiteral("emc-high"), QStringLiteral("EMC high limit, %."),
                                     QStringLiteral("value"), QStringLiteral("18"));
    const QCommandLineOption emcLow(QStringLiteral("emc-low"), QStringLiteral("EMC low limit, %."),
                                    QStringLiteral("value"), QStringLiteral("6"));
    const QCommandLineOption holdAlarms(QStringLiteral("hold-alarms"), QStringLiteral("Alarms are held."));
    const QCommandLineOption beep(QStringLiteral("beep"), QStringLiteral("Alarm beep on."));
    const QCommandLineOption sensorCode(
        QStringLiteral("sensor-code"),
        QStringLiteral("Sensor code in the status block instead of the family's "
                       "(40 or 80); e.g. 0 for no sensor."),
        QStringLiteral("n"));
    const QCommandLineOption paced(QStringLiteral("paced"),
                                   QStringLiteral("Send and receive at the real wire speed of 9600 baud."));
    const QCommandLineOption seed(QStringLiteral("seed"), QStringLiteral("Seed of the generated log."),
                                  QStringLiteral("n"), QStringLiteral("1"));
    const QCommandLineOption link(QStringLiteral("link"),
                                  QStringLiteral("Create a symbolic link to the port (removed on exit)."),
                                  QStringLiteral("path"));
    const QCommandLineOption fault(QStringLiteral("fault"),
                                   QStringLiteral("Inject a fault (repeatable), see above."),
                                   QStringLiteral("CMD[:BLOCK]:FAULT[:TIMES]"));
    const QCommandLineOption transcript(
        QStringLiteral("transcript"), QStringLiteral("Print each request to standard error as it arrives."));
    const QCommandLineOption stdinLifetime(QStringLiteral("stdin-lifetime"),
                                           QStringLiteral("Exit when standard input is closed."));
    parser.addOptions({family,   revision,   battery, mark,   records, serial,  description, start,
                       interval, tempHigh,   tempLow, rhHigh, rhLow,   emcHigh, emcLow,      holdAlarms,
                       beep,     sensorCode, paced,   seed,   link,    fault,   transcript,  stdinLifetime});
    parser.process(app);

    auto fail = [](const QString& message) {
        std::fprintf(stderr, "kv5-sim: %s\n", qPrintable(message));
        return 2;
    };
    auto number = [&](const QCommandLineOption& option, auto* value) {
        bool ok = false;
        const QString text = parser.value(option);
        if constexpr (std::is_same_v<std::remove_pointer_t<decltype(value)>, double>)
            *value = text.toDouble(&ok);
        else if constexpr (std::is_same_v<std::remove_pointer_t<decltype(value)>, unsigned>)
            *value = text.toUInt(&ok);
        else
            *value = text.toInt(&ok);
        if (!ok)
            std::fprintf(stderr, "kv5-sim: --%s: \"%s\" is not a number\n",
                         qPrintable(option.names().first()), qPrintable(text));
        return ok;
    };

    Options options;
    const QString familyName = parser.value(family).toLower();
    if (familyName == QLatin1String("vantorp"))
        options.family = Family::Vantorp;
    else if (familyName == QLatin1String("q7r"))
        options.family = Family::Q7R;
    else
        return fail(QStringLiteral("--family must be vantorp or q7r"));
    options.revision = parser.value(revision).toLatin1();
    const QByteArray batteryText = parser.value(battery).toLatin1();
    if (batteryText.size() != 1) return fail(QStringLiteral("--battery takes one character"));
    options.battery = batteryText[0];
    options.serialNumber = parser.value(serial).toLatin1();
    options.description = parser.value(description).toLatin1();
    options.startTime = parser.value(start).toLatin1();
    options.holdAlarms = parser.isSet(holdAlarms);
    options.beep = parser.isSet(beep);
    options.paced = parser.isSet(paced);
    if (!number(mark, &options.memorySizeMark) || !number(records, &options.records) ||
        !number(interval, &options.intervalTicks) || !number(tempHigh, &options.tempHigh) ||
        !number(tempLow, &options.tempLow) || !number(rhHigh, &options.rhHigh) ||
        !number(rhLow, &options.rhLow) || !number(emcHigh, &options.emcHigh) ||
        !number(emcLow, &options.emcLow) || !number(seed, &options.seed))
        return 2;
    if (parser.isSet(sensorCode) && !number(sensorCode, &options.sensorCode)) return 2;

    Simulator simulator(options);
    for (const QString& text : parser.values(fault)) {
        FaultRule rule;
        QString error;
        if (!parseFault(text, &rule, &error)) return fail(error);
        simulator.addFault(rule);
    }
    if (parser.isSet(transcript)) {
        simulator.setRequestObserver([](const QByteArray& request) {
            // Printable characters as they are, the others as \xNN.
            QByteArray line;
            for (const char c : request) {
                if (c >= 0x20 && c < 0x7F && c != '\\')
                    line += c;
                else
                    line += QByteArray("\\x") + QByteArray::number(quint8(c), 16).rightJustified(2, '0');
            }
            std::fprintf(stderr, "%s\n", line.constData());
        });
    }
    simulator.setHangUpObserver([] {
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [] {
                std::fprintf(stderr, "kv5-sim: the line was hung up\n");
                QCoreApplication::exit(0);
            },
            Qt::QueuedConnection);
    });

    // SIGINT and SIGTERM end the event loop (caught before the port is announced), so the simulator's
    // destructor removes the link.
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, signalPipe) != 0)
        return fail(QStringLiteral("Cannot create the signal pipe"));
    struct sigaction action = {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    QSocketNotifier signalNotifier(signalPipe[0], QSocketNotifier::Read);
    QObject::connect(&signalNotifier, &QSocketNotifier::activated, &app, [] { QCoreApplication::quit(); });

    QString error;
    if (!simulator.start(&error)) return fail(error);
    QString shown = simulator.portPath();
    if (parser.isSet(link)) {
        if (!simulator.makeSymlink(parser.value(link), &error)) return fail(error);
        shown = parser.value(link);
    }
    std::fprintf(stdout, "%s\n", qPrintable(shown));
    std::fflush(stdout);

    std::unique_ptr<QSocketNotifier> stdinNotifier;
    if (parser.isSet(stdinLifetime)) {
        stdinNotifier = std::make_unique<QSocketNotifier>(STDIN_FILENO, QSocketNotifier::Read);
        QObject::connect(stdinNotifier.get(), &QSocketNotifier::activated, &app, [&stdinNotifier] {
            char buffer[256];
            const ssize_t got = ::read(STDIN_FILENO, buffer, sizeof buffer);
            if (got <= 0) {
                stdinNotifier->setEnabled(false);
                QCoreApplication::quit();
            }
        });
    }
    return app.exec();
}
