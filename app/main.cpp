// The kv5 program: resolves the program folder, loads and shows the main window.
#include "app/AppState.h"
#include "app/CommandLine.h"
#include "app/MainController.h"
#include "app/SimulatedLogger.h"
#include "app/ProgramFolder.h"
#include "app/frmApp.h"
#include "core/FileNames.h"
#include "core/Numbers.h"
#include "core/SafePublish.h"

#include <QApplication>
#include <QGuiApplication>
#include <QPushButton>
#include <QCommandLineParser>
#include <QEvent>
#include <QFile>
#include <QTimer>

#include <cstdio>
#include <memory>
#include <ctime>
#include <unistd.h>

namespace {

// Milliseconds since this process started, from the kernel's record of its start (in clock
// ticks since boot); -1 when it cannot be read.
double millisecondsSinceProcessStart() {
    QFile stat(QStringLiteral("/proc/self/stat"));
    if (!stat.open(QIODevice::ReadOnly)) return -1;
    const QByteArray line = stat.readAll();
    // The command name in parentheses may hold blanks; the fields after it are plain.
    const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
    // starttime is field 22 of the line, the 20th after the command name.
    if (fields.size() < 20) return -1;
    const double startTicks = fields[19].toDouble();
    timespec now{};
    clock_gettime(CLOCK_BOOTTIME, &now);
    const double nowMs = now.tv_sec * 1000.0 + now.tv_nsec / 1e6;
    return nowMs - startTicks * 1000.0 / static_cast<double>(sysconf(_SC_CLK_TCK));
}

// For the start-up benchmark: once the main window has painted itself for the first time,
// prints "shown" with the time since the process started and ends the program.
class FirstPaintReporter : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint && !reported_) {
            reported_ = true;
            QTimer::singleShot(0, qApp, [] {
                std::printf("shown %.1f ms after process start\n", millisecondsSinceProcessStart());
                std::fflush(stdout);
                QCoreApplication::quit();
            });
        }
        return QObject::eventFilter(watched, event);
    }

private:
    bool reported_ = false;
};

} // namespace

int main(int argc, char** argv) {
    // Ctrl-C, a closed terminal or a stop request ends the program without leaving the hidden
    // files of a half-written log, workbook or printout behind.
    kv5::RemoveTemporaryFilesOnSignal();

    QStringList arguments;
    for (int i = 0; i < argc; ++i) arguments << kv5::DecodeFileName(argv[i]);

    // The commands and the help need no display: they run on a server or in CI as well.
    if (!kv5::CommandOf(arguments).isEmpty() || kv5::WantsHelp(arguments)) {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
        kv5::KeepStandardErrorForOwnMessages();
        QGuiApplication app(argc, argv);
        // Workbooks and every other file get "65.3" under a comma locale too.
        kv5::UsePointInFileNumbers();
        QGuiApplication::setApplicationName(QStringLiteral("kv5"));
        QGuiApplication::setApplicationVersion(QStringLiteral(KV5_VERSION));
        return kv5::RunCommandLine(arguments);
    }

    QApplication app(argc, argv);
    kv5::UsePointInFileNumbers(); // as above; the windows show the user's separator through QLocale
    QApplication::setApplicationName(QStringLiteral("kv5"));
    QApplication::setApplicationVersion(QStringLiteral(KV5_VERSION));

    QCommandLineParser parser;
    kv5::AddWindowOptions(parser);
    const QString homeOption = QStringLiteral("home"), portOption = QStringLiteral("port"),
                  simulateOption = QStringLiteral("simulate"), benchOption = QStringLiteral("bench-startup");
    if (!parser.parse(kv5::WithSimulateKind(arguments))) {
        std::fprintf(stderr, "kv5: %s; see kv5 --help\n", qPrintable(parser.errorText()));
        return 2;
    }

    kv5::AppState state;
    QString refusal;
    state.ProgramFolder = kv5::ResolveProgramFolder(parser.value(homeOption), refusal);
    if (state.ProgramFolder.isEmpty()) {
        std::fprintf(stderr, "kv5: %s\n", kv5::EncodeFileName(refusal).constData());
        return 2;
    }
    state.device.PortOverride =
        parser.isSet(portOption) ? parser.value(portOption) : qEnvironmentVariable("KV5_PORT");

    // The built-in simulated logger answers at the logger's own pace, so a download looks real.
    std::unique_ptr<kv5::sim::Simulator> simulator;
    if (parser.isSet(simulateOption)) {
        QString error;
        simulator = kv5::StartSimulatedLogger(parser.value(simulateOption), true, error);
        if (!simulator) {
            std::fprintf(stderr, "kv5: %s\n", qPrintable(error));
            return 2;
        }
        state.device.PortOverride = simulator->portPath();
    }

    kv5::frmApp window(state);
    kv5::MainController controller(state, window);
    window.onClosing = [&controller] { return controller.mayClose(); };
    window.Load();
    FirstPaintReporter reporter;
    if (parser.isSet(benchOption)) window.installEventFilter(&reporter);
    if (simulator) {
        window.setWindowTitle(window.windowTitle() + QStringLiteral(" - simulated logger"));
        // A newcomer sees a download at once.
        QTimer::singleShot(300, window.cmdDetect, &QPushButton::click);
    }
    window.show();
    return app.exec();
}
