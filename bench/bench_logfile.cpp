// Saves and opens a full log of 17000 Q7R records, the largest the program holds, and prints
// how long each takes (goal: at most 50 ms each), the save including its flush to disk.
#include "app/AppState.h"
#include "app/ConsoleUi.h"
#include "bench/KilnLog.h"
#include "logfiles/LogFile.h"
#include "logger/TimeFormat.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

namespace {

// The kiln log with the header values this benchmark needs.
void fillKilnLog(kv5::LogData& log) {
    kv5::bench::fillKilnLog(log);
    log.SerialNumber = QStringLiteral("1234");
    log.StartTimeText = QStringLiteral("1405211345");
}

struct Figures {
    std::vector<double> ms;
    void add(double value) { ms.push_back(value); }
    double median() {
        std::sort(ms.begin(), ms.end());
        return ms[ms.size() / 2];
    }
    double best() { return *std::min_element(ms.begin(), ms.end()); }
    double worst() { return *std::max_element(ms.begin(), ms.end()); }
};

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    // A folder on the disk where logs are kept (not a memory file system), so the flush counts.
    QTemporaryDir home(QDir::currentPath() + QStringLiteral("/bench-logfile-XXXXXX"));
    if (!home.isValid()) {
        std::fprintf(stderr, "cannot create a folder under %s\n", qPrintable(QDir::currentPath()));
        return 1;
    }
    kv5::AppState state;
    state.ProgramFolder = home.path();
    QDir(home.path()).mkdir(kv5::DataFolderName);
    kv5::ConsoleUi ui;
    fillKilnLog(state.log);

    const int rounds = 15;
    Figures save, open, content;
    qint64 bytes = 0;
    for (int round = 0; round < rounds; ++round) {
        state.log.RecordCount = kv5::MaxLogRecords;
        state.log.SensorType = kv5::SensorQ7R;
        QElapsedTimer timer;
        timer.start();
        const QByteArray text = kv5::LogFileContent(state.log);
        content.add(timer.nsecsElapsed() / 1e6);

        timer.restart();
        const QString name = kv5::SaveLogFile(state.log, state.dataFolder(), ui);
        save.add(timer.nsecsElapsed() / 1e6);
        if (name.isEmpty()) return 1;
        const QString path = kv5::LogFilePath(state, name);
        bytes = QFileInfo(path).size();

        timer.restart();
        const bool read = kv5::ReadLogFile(state.log, ui, path);
        open.add(timer.nsecsElapsed() / 1e6);
        if (!read || state.log.RecordCount != kv5::MaxLogRecords) return 1;
    }

    std::printf("log file of %d Q7R records, %lld bytes, %d rounds\n", kv5::MaxLogRecords,
                static_cast<long long>(bytes), rounds);
    std::printf("save (with flush to disk): median %.1f ms, best %.1f ms, worst %.1f ms (goal <= 50 ms)\n",
                save.median(), save.best(), save.worst());
    std::printf("  of which the content in memory: median %.1f ms\n", content.median());
    std::printf("open:                      median %.1f ms, best %.1f ms, worst %.1f ms (goal <= 50 ms)\n",
                open.median(), open.best(), open.worst());
    return 0;
}
