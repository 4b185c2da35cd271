// Saves and opens a full log of 17000 Q7R records, the largest the program holds, and prints
// how long each takes (goal: at most 50 ms each), the save including its flush to disk. Then
// the peak memory of `kv5 info` on that file and on a 300 MB file of which only the first 17000
// records are used (goal: at most 50 MB, whatever the file's size).
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
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
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

struct InfoRun {
    int exitCode = -1; // -1 also when it could not start or crashed
    double peakMb = 0;
    double ms = 0;
};

// Runs `kv5 --home home info file`, with its own peak resident memory.
InfoRun runInfo(const QString& home, const QString& file) {
    const QByteArray program = KV5_BINARY_DIR "/app/kv5";
    const QByteArray homeArgument = QFile::encodeName(home), fileArgument = QFile::encodeName(file);
    char* arguments[] = {const_cast<char*>(program.constData()),      const_cast<char*>("--home"),
                         const_cast<char*>(homeArgument.constData()), const_cast<char*>("info"),
                         const_cast<char*>(fileArgument.constData()), nullptr};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    QElapsedTimer timer;
    timer.start();
    pid_t child = 0;
    const int spawned = posix_spawn(&child, program.constData(), &actions, nullptr, arguments, environ);
    posix_spawn_file_actions_destroy(&actions);
    int status = 0;
    rusage usage{};
    if (spawned != 0 || wait4(child, &status, 0, &usage) != child || !WIFEXITED(status)) return {};
    return {WEXITSTATUS(status), usage.ru_maxrss / 1024.0, timer.nsecsElapsed() / 1e6};
}

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

    // The same log repeated to 300 MB: the reader stops at the 17001st record.
    const QString full = kv5::LogFilePath(state, kv5::SaveLogFile(state.log, state.dataFolder(), ui));
    const QString huge = home.filePath(QStringLiteral("huge.txt"));
    {
        const QByteArray text = kv5::LogFileContent(state.log);
        QFile out(huge);
        if (!out.open(QIODevice::WriteOnly)) return 1;
        for (qint64 written = 0; written < 300LL * 1000 * 1000; written += text.size())
            if (out.write(text) != text.size()) return 1;
    }
    const InfoRun fullInfo = runInfo(home.path(), full);
    const InfoRun hugeInfo = runInfo(home.path(), huge);
    QFile::remove(huge);
    // The huge file holds too many records: the first 17000 are shown and the status says so.
    if (fullInfo.exitCode != 0 || hugeInfo.exitCode != 1) return 1;
    std::printf(
        "kv5 info, peak memory: %.1f MB on the full log (%.0f ms), %.1f MB on a 300 MB file (%.0f ms) "
        "(goal <= 50 MB)\n",
        fullInfo.peakMb, fullInfo.ms, hugeInfo.peakMb, hugeInfo.ms);
    return 0;
}
