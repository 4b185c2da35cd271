#include "app/CommandLine.h"

#include "app/AppState.h"
#include "app/ConsoleUi.h"
#include "app/DeviceOperations.h"
#include "app/ExportCommand.h"
#include "app/ProgramFolder.h"
#include "app/ProgramSettings.h"
#include "app/SimulatedLogger.h"
#include "app/StartCommand.h"
#include "app/ViewCommands.h"
#include "core/DeviceObserver.h"
#include "core/FileNames.h"
#include "core/Numbers.h"
#include "core/Units.h"
#include "device/SerialLink.h"
#include "logger/Battery.h"
#include "logger/Intervals.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QTextStream>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include <unistd.h>

namespace kv5 {

namespace {

const QString HelpText = QStringLiteral(R"(Usage: kv5 [--home DIR] [--port PATH | --simulate[=KIND]]
       kv5 [--home DIR] COMMAND [options]

The desktop companion of the KV5 data logger. Without a command it opens the main window.

Options:
  --home DIR          Keep the settings (KV5.INI), the species list (ABLIST.TXT), the help
                      document (KV5.PDF) and the DATA folder of log files in DIR. Default:
                      KV5_HOME, else the program's own folder when it is writable, else
                      ~/.local/share/quorvane-kv5.
  --port PATH         Talk to the logger on this serial device instead of searching the USB
                      devices for it (also KV5_PORT=PATH).
  --simulate[=KIND]   Use the built-in simulated logger: vantorp (the default, temperature and
                      humidity), q7r (temperature, humidity and wood moisture) or kv6 (a KV6
                      model). The window answers at 9600 baud and starts a download at once.
  --verbose           Commands print the status line as it changes, one line each. Without
                      it, "read" on a terminal shows the download's progress in one line.
  -h, --help          This text.
  -v, --version       The program's name and version.

Commands (no display needed):
  read [--port PATH | --simulate[=KIND]]
                      Does what "Detect & Read" does: prints the logger's settings, saves the
                      log in DATA and prints the saved file's full path as the last line. Exit
                      status 0 when a file was saved; when no logger is found, the message goes
                      to standard error and the status is not 0 (no retry is offered).
  start [--port PATH | --simulate[=KIND]] [OPTION...]
                      Does what "Start New Log" does, without asking: reads the logger's
                      settings, clears its log and writes the settings back, the clock set to
                      now and those given changed: --interval TIME the logging interval, one of
                      30s, 1m, 5m, 15m, 30m, 1h, 3h, 6h, 12h and 24h; --description TEXT (at
                      most 32 characters); --temperature-alarm LOW:HIGH (in the unit of the
                      settings), --rh-alarm LOW:HIGH and --emc-alarm LOW:HIGH the alarm limits,
                      read as the window's boxes read them; --hold-alarms or --no-hold-alarms;
                      --beep or --no-beep. Records that no log file in DATA holds are read and
                      saved first and the saved file's path is printed last, unless
                      --discard-unsaved clears them unsaved. Prints the settings read back.
                      Exit status 0 on success; 1 on a failure, whose message says whether the
                      log was cleared. Nothing is sent when an option cannot be used.
  table FILE          Prints the log file as the table window shows it, fields separated by
                      tabs. FILE is a name in DATA or a path.
  info FILE [--json] [--limit NAME=LOW:HIGH]... [--target-mc X]
                      Prints the statistics ("Log Info") of a log file, a blank line and its
                      summary: per quantity the count, lowest and highest value with the time
                      of their first record, the mean, the mean kinetic temperature, the
                      records, time and excursions beyond the alarm limits, daily figures and
                      the drying rate of wood over the last 24 hours. The limits are those the
                      logger held (kept beside the log file in SN...-NN.json); --limit replaces
                      them for one quantity (temperature, rh, mc1, mc2, mc3, gpp, emc or
                      dew_point; a side left empty is no limit). --target-mc X adds the days
                      until the drying reaches X % moisture content. --json prints only the
                      summary, as one JSON object.
  chart FILE -o OUT.png [--size WIDTHxHEIGHT] [--range LOW:HIGH]
                      Draws the chart of a log file as the chart window shows it, with the
                      readout on the last record, into a PNG picture. --range sets the Y axis
                      as the Zoom button does (top at most 150, bottom at least -40); without
                      it the axis goes from 0 to 100.
  export FILE [-o OUT.xlsx] [--csv | --json]
                      Writes the workbook of a log file (a chart sheet first, then the values)
                      without opening it, and prints its path. With --csv or --json it writes
                      the log as CSV (a header of key_unit, ISO 8601 times with the offset from
                      UTC, one decimal, CR LF) or as JSON (the log's context, the columns and
                      the records) to OUT, or to standard output without -o. The derived
                      columns follow the settings; a value that cannot be computed is an empty
                      field (null in JSON).
  report FILE -o OUT.pdf [--limit NAME=LOW:HIGH]... [--target-mc X] [--site TEXT] [--operator TEXT]
                      Writes the report of a log file to hand over, on A4 or Letter as the
                      locale has it, at most two pages: its context, the summary with the
                      time beyond the alarm limits, the chart with the limits, the daily (or
                      weekly) figures, the drying rate of wood, and the file's name and
                      SHA-256. --limit and --target-mc as for info; --site and --operator add
                      those lines (default: ReportSite and ReportOperator in KV5.INI).
  print FILE --pdf OUT.pdf [--chart] [--description TEXT]
                      Writes the table printout (with --chart the chart printout) of a log file
                      to a PDF file, titled TEXT or the log file's name.
)");

const QStringList Commands{QStringLiteral("read"),  QStringLiteral("table"),  QStringLiteral("info"),
                           QStringLiteral("chart"), QStringLiteral("export"), QStringLiteral("print"),
                           QStringLiteral("start"), QStringLiteral("report")};
// Where an option may be given: to the window, to the commands, or both.
enum OptionUse { ForWindow = 1, ForCommands = 2, ForBoth = ForWindow | ForCommands };

// An option of the command line. Its value, when it takes one, is the next argument or follows
// "=", but --simulate takes its kind only after "=": a bare --simulate means the default kind.
struct OptionRow {
    const char* name;
    const char* shortName; // or nullptr
    const char* valueName; // nullptr for an option that takes no value
    const char* help;
    int use;
    bool valueAfterEqualsOnly = false;
};

const OptionRow Options[] = {
    {"home", nullptr, "folder", "Program folder.", ForBoth},
    {"port", nullptr, "path", "Serial port of the logger.", ForBoth},
    {"simulate", nullptr, "kind", "Built-in simulated logger.", ForBoth, true},
    {"bench-startup", nullptr, nullptr, "Print the time to the first paint and end.", ForWindow},
    {"verbose", nullptr, nullptr, "Print the status line as it changes.", ForCommands},
    {"output", "o", "file", "Output file.", ForCommands},
    {"size", nullptr, "WIDTHxHEIGHT", "Picture size.", ForCommands},
    {"range", nullptr, "LOW:HIGH", "Y axis range.", ForCommands},
    {"pdf", nullptr, "file", "PDF file.", ForCommands},
    {"chart", nullptr, nullptr, "The chart printout.", ForCommands},
    {"description", nullptr, "text", "Printout title or log description.", ForCommands},
    {"interval", nullptr, "TIME", "Logging interval.", ForCommands},
    {"temperature-alarm", nullptr, "LOW:HIGH", "Alarm limits.", ForCommands},
    {"rh-alarm", nullptr, "LOW:HIGH", "Alarm limits.", ForCommands},
    {"emc-alarm", nullptr, "LOW:HIGH", "Alarm limits.", ForCommands},
    {"hold-alarms", nullptr, nullptr, "Start option.", ForCommands},
    {"no-hold-alarms", nullptr, nullptr, "Start option.", ForCommands},
    {"beep", nullptr, nullptr, "Start option.", ForCommands},
    {"no-beep", nullptr, nullptr, "Start option.", ForCommands},
    {"discard-unsaved", nullptr, nullptr, "Start option.", ForCommands},
    {"json", nullptr, nullptr, "The summary as JSON.", ForCommands},
    {"csv", nullptr, nullptr, "Export as CSV.", ForCommands},
    {"site", nullptr, "text", "The report's site.", ForCommands},
    {"operator", nullptr, "text", "The report's operator.", ForCommands},
    {"limit", nullptr, "NAME=LOW:HIGH", "Alarm limits of a quantity.", ForCommands},
    {"target-mc", nullptr, "X", "Target moisture content.", ForCommands},
};

void addOptions(QCommandLineParser& parser, OptionUse use) {
    for (const OptionRow& row : Options) {
        if (!(row.use & use)) continue;
        QStringList names;
        if (row.shortName) names << QString::fromLatin1(row.shortName);
        names << QString::fromLatin1(row.name);
        parser.addOption({names, QString::fromLatin1(row.help),
                          row.valueName ? QString::fromLatin1(row.valueName) : QString()});
    }
}

// The options of the commands that take their value as the next argument, as they are written.
const QStringList OptionsWithValue = [] {
    QStringList written;
    for (const OptionRow& row : Options) {
        if (!(row.use & ForCommands) || !row.valueName || row.valueAfterEqualsOnly) continue;
        written << QStringLiteral("--") + QString::fromLatin1(row.name);
        if (row.shortName) written << QStringLiteral("-") + QString::fromLatin1(row.shortName);
    }
    return written;
}();

void describe(const AppState& state, const MainWindowValues& values, QTextStream& out) {
    const auto choices = IntervalChoices(state.device.ExtendedFirmware);
    const QString interval = values.cboInt >= 0 && values.cboInt < static_cast<int>(choices.size())
                                 ? choices[static_cast<size_t>(values.cboInt)].text
                                 : QString();
    const auto battery = BatteryStateOf(values.picBatt);
    const QString unit = DegreeLabel(state.settings.Celsius);
    const auto yesNo = [](int on) { return on ? QStringLiteral("yes") : QStringLiteral("no"); };
    out << "Serial Number: " << values.txtSN << '\n'
        << "Battery: " << (battery ? BatteryCaption(*battery) : QStringLiteral("?")) << '\n'
        << "Log Start Date and Time: " << values.txtTime << '\n'
        << "Log Description: " << values.txtDesc << '\n'
        << "Logging Interval: " << interval << " (" << state.log.LogInterval << " ticks of "
        << state.device.SecondsPerTick() << " s)\n"
        << "RH / MC % Alarm: High Limit " << values.txtRhHi << ", Low Limit " << values.txtRhLo << '\n'
        << "Temperature " << unit << " Alarm: High Limit " << values.txtTempHi << ", Low Limit " << values.txtTempLo
        << '\n'
        << "EMC % Alarm: High Limit " << values.txtEmcHi << ", Low Limit " << values.txtEmcLo << '\n'
        << "Hold Alarms: " << yesNo(values.Check1) << '\n';
    if (state.device.ExtendedFirmware) out << "Alarms Beep: " << yesNo(values.chkBeep) << '\n';
    out << "Records: " << state.log.RecordCount << '\n';
    out.flush();
}

int runRead(AppState& state, ConsoleUi& ui, QTextStream& out) {
    SerialLink link(ui);
    DeviceObserver unobserved; // no window to update
    DeviceOperations operations(state, link, unobserved);
    MainWindowValues values;
    const QString saved = operations.DetectAndRead(values);
    ui.endProgressLine();
    if (!values.picBatt.isEmpty()) describe(state, values, out);
    if (saved.isEmpty()) {
        if (!state.device.DevicePort.isEmpty())
            std::fprintf(stderr, "kv5: no log file was saved (%d records read)\n", state.log.RecordCount);
        return 1;
    }
    out << saved << '\n';
    return 0;
}

// The commands that talk to the logger: `read` and `start`, on the built-in simulated logger
// when --simulate asks for one.
int runDeviceCommand(const QString& command, AppState& state, ConsoleUi& ui, const QCommandLineParser& parser,
                     QTextStream& out) {
    std::unique_ptr<sim::Simulator> simulator;
    if (parser.isSet(QStringLiteral("simulate"))) {
        QString error;
        simulator = StartSimulatedLogger(parser.value(QStringLiteral("simulate")), false, error);
        if (!simulator) {
            std::fprintf(stderr, "kv5: %s\n", qPrintable(error));
            return 2;
        }
        state.device.PortOverride = simulator->portPath();
    }
    if (command == QLatin1String("start"))
        return RunStartCommand(state, ui, parser, out,
                               [&](const MainWindowValues& values) { describe(state, values, out); });
    return runRead(state, ui, out);
}

int runCommand(const QStringList& arguments, QTextStream& out);

} // namespace

QString CommandOf(const QStringList& arguments) {
    for (int i = 1; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        if (OptionsWithValue.contains(argument)) {
            ++i;
            continue;
        }
        if (argument.startsWith(QLatin1Char('-'))) continue;
        return argument;
    }
    return {};
}

void AddWindowOptions(QCommandLineParser& parser) { addOptions(parser, ForWindow); }

bool WantsHelp(const QStringList& arguments) {
    for (const QString& argument : arguments.mid(1))
        if (argument == QLatin1String("--help") || argument == QLatin1String("-h") ||
            argument == QLatin1String("--version") || argument == QLatin1String("-v"))
            return true;
    return false;
}

QStringList WithSimulateKind(const QStringList& givenArguments) {
    QStringList arguments = givenArguments;
    for (QString& argument : arguments)
        if (argument == QLatin1String("--simulate")) argument = QStringLiteral("--simulate=vantorp");
    return arguments;
}

void KeepStandardErrorForOwnMessages() {
    static const QtMessageHandler qtHandler = qInstallMessageHandler(nullptr);
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext& context, const QString& text) {
        if (type == QtCriticalMsg || type == QtFatalMsg) qtHandler(type, context, text);
    });
}

int RunCommandLine(const QStringList& givenArguments) {
    const QStringList arguments = WithSimulateKind(givenArguments);
    if (WantsHelp(arguments)) {
        // The help wins over the version when both are asked for.
        const QStringList given = arguments.mid(1);
        if (given.contains(QLatin1String("--help")) || given.contains(QLatin1String("-h")))
            std::fputs(qPrintable(HelpText), stdout);
        else
            std::printf("kv5 %s\n", qPrintable(QCoreApplication::applicationVersion()));
        if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
            std::fprintf(stderr, "kv5: cannot write the output: %s\n", std::strerror(errno));
            return 1;
        }
        return 0;
    }
    // Standard output through a file of its own: a write that fails is seen, with its cause.
    QFile standardOutput;
    standardOutput.open(STDOUT_FILENO, QIODevice::WriteOnly, QFileDevice::DontCloseHandle);
    QTextStream out(&standardOutput);
    const int status = runCommand(arguments, out);
    out.flush();
    if (standardOutput.error() != QFileDevice::NoError) {
        std::fprintf(stderr, "kv5: cannot write the output: %s\n", qPrintable(standardOutput.errorString()));
        return 1;
    }
    return status;
}

namespace {

int runCommand(const QStringList& arguments, QTextStream& out) {

    QCommandLineParser parser;
    parser.addHelpOption();
    addOptions(parser, ForCommands);
    parser.addPositionalArgument(QStringLiteral("command"), Commands.join(QStringLiteral(", ")));
    if (!parser.parse(arguments)) {
        std::fprintf(stderr, "kv5: %s\n", qPrintable(parser.errorText()));
        return 2;
    }
    const QStringList positional = parser.positionalArguments();
    const QString command = positional.value(0);
    if (!Commands.contains(command)) {
        std::fprintf(stderr, "kv5: unknown command \"%s\"; see kv5 --help\n", qPrintable(command));
        return 2;
    }

    AppState state;
    QString refusal;
    state.ProgramFolder = ResolveProgramFolder(parser.value(QStringLiteral("home")), refusal);
    if (state.ProgramFolder.isEmpty()) {
        std::fprintf(stderr, "kv5: %s\n", EncodeFileName(refusal).constData());
        return 2;
    }
    state.device.PortOverride = parser.isSet(QStringLiteral("port")) ? parser.value(QStringLiteral("port"))
                                                                       : qEnvironmentVariable("KV5_PORT");
    // The command line answers the windows' questions itself: no retry when no logger is found.
    ConsoleUi ui;
    ui.okCancelAnswer = Answer::Cancel;
    ui.yesNoAnswer = Answer::No;
    ui.verbose = parser.isSet(QStringLiteral("verbose"));
    // A download shows its progress in place on a terminal; scripts and logs get nothing extra.
    ui.progressLine = isatty(fileno(stderr)) != 0;
    ui.recordCount = &state.log.RecordCount;
    LoadProgramState(state, ui, WriteBack::No);

    if (command == QLatin1String("read") || command == QLatin1String("start"))
        return runDeviceCommand(command, state, ui, parser, out);
    const QString file = positional.value(1);
    if (file.isEmpty()) {
        std::fprintf(stderr, "kv5: %s needs a log file\n", qPrintable(command));
        return 2;
    }
    if (command == QLatin1String("table")) return RunTableCommand(state, ui, file, out);
    InfoRequest request;
    request.json = parser.isSet(QStringLiteral("json"));
    if (command == QLatin1String("info") || command == QLatin1String("report")) {
        QString why;
        for (const QString& limit : parser.values(QStringLiteral("limit"))) {
            if (!ParseLimitOption(limit, request, why)) {
                std::fprintf(stderr, "kv5: %s\n", qPrintable(why));
                return 2;
            }
        }
        if (parser.isSet(QStringLiteral("target-mc"))) {
            request.targetMc = ReadNumberEitherSeparator(parser.value(QStringLiteral("target-mc")));
            if (!request.targetMc) {
                std::fprintf(stderr, "kv5: --target-mc \"%s\" is not a number\n",
                             qPrintable(parser.value(QStringLiteral("target-mc"))));
                return 2;
            }
        }
    }
    if (command == QLatin1String("info")) return RunInfoCommand(state, ui, file, out, request);
    const QString output = parser.value(QStringLiteral("output"));
    // Qt's file classes would write a file named by replacement characters instead.
    for (const QString& name : {output, parser.value(QStringLiteral("pdf"))}) {
        if (HoldsForeignBytes(name)) {
            std::fprintf(stderr, "kv5: the file name %s is not UTF-8 text; choose another\n",
                         EncodeFileName(name).constData());
            return 2;
        }
    }
    if (command == QLatin1String("report")) {
        ReportRequest report{request, std::nullopt, std::nullopt};
        if (parser.isSet(QStringLiteral("site"))) report.site = parser.value(QStringLiteral("site"));
        if (parser.isSet(QStringLiteral("operator"))) report.operatorName = parser.value(QStringLiteral("operator"));
        return RunReportCommand(state, ui, file, output, report);
    }
    if (command == QLatin1String("chart")) {
        if (output.isEmpty()) {
            std::fprintf(stderr, "kv5: chart needs -o OUT.png\n");
            return 2;
        }
        return RunChartCommand(state, ui, file, output, parser.value(QStringLiteral("size")),
                               parser.value(QStringLiteral("range")));
    }
    if (command == QLatin1String("export")) {
        const bool csv = parser.isSet(QStringLiteral("csv")), json = parser.isSet(QStringLiteral("json"));
        if (csv && json) {
            std::fprintf(stderr, "kv5: export takes --csv or --json, not both\n");
            return 2;
        }
        std::optional<OpenFormat> format;
        if (csv) format = OpenFormat::Csv;
        if (json) format = OpenFormat::Json;
        return RunExportCommand(state, ui, file, output, out, format);
    }
    const QString description =
        parser.isSet(QStringLiteral("description")) ? parser.value(QStringLiteral("description")) : QString();
    return RunPrintCommand(state, ui, file, parser.value(QStringLiteral("pdf")), parser.isSet(QStringLiteral("chart")),
                           description);
}

} // namespace

} // namespace kv5
