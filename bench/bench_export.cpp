// Exports a log file of 17000 Q7R records with GPP, EMC and dew point to CSV and JSON (goal: at
// most 100 ms each, a few MB of memory) and to a workbook with its chart sheet (goal: at most
// 1 s), and prints the times. Where LibreOffice is installed, the same
// file is also converted to a workbook by "soffice --headless --convert-to xlsx" as a reference,
// and the ratio of the two times is printed.
//
//     bench_export [--keep FOLDER] [--no-reference]
//     --keep FOLDER     keeps the exported workbook in FOLDER for a look
//     --no-reference    skips the LibreOffice reference
#include "app/AppState.h"
#include "app/ConsoleUi.h"
#include "bench/KilnLog.h"
#include "export/ExcelExport.h"
#include "export/OpenFormats.h"
#include "logfiles/LogFile.h"
#include "logger/TimeFormat.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <vector>

#include <sys/resource.h>

namespace {

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// The process's peak resident memory so far, kB.
long peakKilobytes() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

// Times the CSV or JSON export of logPath; true when its median met the goal of 100 ms.
bool timeOpenFormat(kv5::OpenFormat format, const kv5::AppState& state, kv5::UserInterface& ui,
                    const QString& logPath, const QString& out) {
    std::vector<double> times;
    const long before = peakKilobytes();
    for (int round = 0; round < 5; ++round) {
        QElapsedTimer timer;
        timer.start();
        if (!kv5::WriteOpenFormatFile(format, state.settings, ui, logPath, out)) return false;
        times.push_back(timer.nsecsElapsed() / 1e6);
    }
    const double ours = median(times);
    std::printf("%s export: median %.1f ms, best %.1f ms of 5 rounds (goal: at most 100 ms); %lld bytes; "
                "peak memory grew by %ld kB\n",
                format == kv5::OpenFormat::Csv ? "CSV" : "JSON", ours, *std::min_element(times.begin(), times.end()),
                static_cast<long long>(QFileInfo(out).size()), peakKilobytes() - before);
    return ours <= 100;
}

using kv5::bench::fillKilnLog;

// Converts csv to a workbook in folder with LibreOffice; the time in ms, or -1 on failure.
double convertWithLibreOffice(const QString& soffice, const QString& profile, const QString& csv,
                              const QString& folder) {
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    QElapsedTimer timer;
    timer.start();
    process.start(soffice, {QStringLiteral("-env:UserInstallation=file://") + profile,
                            QStringLiteral("--headless"), QStringLiteral("--convert-to"),
                            QStringLiteral("xlsx"), QStringLiteral("--outdir"), folder, csv});
    if (!process.waitForFinished(300000) || process.exitCode() != 0) return -1;
    const double elapsed = timer.nsecsElapsed() / 1e6;
    return QFileInfo(folder + QStringLiteral("/") + QFileInfo(csv).completeBaseName() +
                     QStringLiteral(".xlsx"))
                       .size() > 0
               ? elapsed
               : -1;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList arguments = app.arguments();
    const qsizetype keepAt = arguments.indexOf(QStringLiteral("--keep"));
    const QString keep = keepAt > 0 ? arguments.value(keepAt + 1) : QString();

    QTemporaryDir home;
    if (!home.isValid()) return 1;
    kv5::AppState state;
    state.ProgramFolder = home.path();
    state.settings.AhGpp = state.settings.Emc = state.settings.Dewpoint = 1;
    QDir().mkpath(state.dataFolder());
    fillKilnLog(state.log);
    const QString name = QStringLiteral("SN12345-2014-05-21-13-45-01.txt");
    const QString logPath = kv5::LogFilePath(state, name);
    {
        QFile file(logPath);
        if (!file.open(QIODevice::WriteOnly) || file.write(kv5::LogFileContent(state.log)) < 0) return 1;
    }
    kv5::ConsoleUi ui;

    // The open formats first, so that the memory they take is not hidden by the workbook's.
    const bool openFormatsFast =
        timeOpenFormat(kv5::OpenFormat::Csv, state, ui, logPath, home.path() + QStringLiteral("/kiln.csv")) &
        timeOpenFormat(kv5::OpenFormat::Json, state, ui, logPath, home.path() + QStringLiteral("/kiln.json"));
    if (!openFormatsFast) std::printf("the CSV or JSON export missed its goal\n");

    const int rounds = 5;
    std::vector<double> times;
    const QString workbook = home.path() + QStringLiteral("/SN12345-2014-05-21-13-45-01.xlsx");
    for (int round = 0; round < rounds; ++round) {
        QElapsedTimer timer;
        timer.start();
        if (!kv5::WriteLogWorkbook(state.settings, ui, logPath, workbook)) return 1;
        times.push_back(timer.nsecsElapsed() / 1e6);
    }
    const double ours = median(times);
    std::printf("export of %d Q7R records with GPP, EMC and dew point (9 columns, 8 series):\n",
                kv5::MaxLogRecords);
    std::printf("  median %.0f ms, best %.0f ms of %d rounds (goal: at most 1000 ms); workbook %lld bytes\n",
                ours, *std::min_element(times.begin(), times.end()), rounds,
                static_cast<long long>(QFileInfo(workbook).size()));
    if (!keep.isEmpty()) {
        const QString kept = QDir(keep).absoluteFilePath(QFileInfo(workbook).fileName());
        QFile::remove(kept);
        if (QFile::copy(workbook, kept)) std::printf("  kept as %s\n", qPrintable(kept));
    }

    const QString soffice = QStandardPaths::findExecutable(QStringLiteral("soffice"));
    if (arguments.contains(QStringLiteral("--no-reference"))) return ours <= 1000 && openFormatsFast ? 0 : 2;
    if (soffice.isEmpty()) {
        std::printf("reference: LibreOffice (soffice) is not installed; no comparison\n");
        return ours <= 1000 && openFormatsFast ? 0 : 2;
    }
    // The same data as a comma-separated file, converted by LibreOffice (cells only, no chart).
    const QString csv = home.path() + QStringLiteral("/kiln-reference.csv");
    if (!QFile::copy(logPath, csv)) return 1;
    const QString profile = home.path() + QStringLiteral("/lo-profile");
    const QString out = home.path() + QStringLiteral("/lo");
    QDir().mkpath(out);
    // The first run creates LibreOffice's profile; it is not timed.
    if (convertWithLibreOffice(soffice, profile, csv, out) < 0) {
        std::printf("reference: soffice --convert-to xlsx failed\n");
        return 1;
    }
    std::vector<double> reference;
    for (int round = 0; round < 3; ++round) {
        const double elapsed = convertWithLibreOffice(soffice, profile, csv, out);
        if (elapsed < 0) return 1;
        reference.push_back(elapsed);
    }
    const double theirs = median(reference);
    std::printf("reference: soffice --headless --convert-to xlsx of the same file (cells only, no chart):\n");
    std::printf("  median %.0f ms of 3 runs, start-up included\n", theirs);
    std::printf("ratio: the export takes %.2f of LibreOffice's time (%.1f times faster)\n", ours / theirs,
                theirs / ours);
    return ours <= 1000 && openFormatsFast ? 0 : 2;
}
