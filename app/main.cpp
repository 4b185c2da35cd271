// The kv5 program: resolves the program folder, loads and shows the main window.
#include "app/AppState.h"
#include "app/ProgramFolder.h"
#include "app/frmApp.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QEvent>
#include <QFile>
#include <QTimer>

#include <cstdio>
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
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("kv5"));
    QApplication::setApplicationVersion(QStringLiteral("1.17"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Desktop companion of the KV5 data logger."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption homeOption(
        QStringLiteral("home"),
        QStringLiteral(
            "Keep the settings, the species list, the help document and the DATA folder of logs in "
            "<folder> (default: KV5_HOME, else the program's own folder when writable, else "
            "~/.local/share/quorvane-kv5)."),
        QStringLiteral("folder"));
    QCommandLineOption benchOption(QStringLiteral("bench-startup"),
                                   QStringLiteral("Print the time from process start to the first paint of "
                                                  "the main window, then quit."));
    benchOption.setFlags(QCommandLineOption::HiddenFromHelp);
    parser.addOption(homeOption);
    parser.addOption(benchOption);
    parser.process(app);

    kv5::AppState state;
    state.ProgramFolder = kv5::ResolveProgramFolder(parser.value(homeOption));

    kv5::frmApp window(state);
    window.Load();
    FirstPaintReporter reporter;
    if (parser.isSet(benchOption)) window.installEventFilter(&reporter);
    window.show();
    return app.exec();
}
