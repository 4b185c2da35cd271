// Detect & Read of a full logger memory of each family from the simulator (a separate
// process), paced at 9600 baud: wall time against the wire's own limit, and CPU time. Then
// the decoders' own speed, unpaced.
#include "CountingStream.h"
#include "app/AppState.h"
#include "app/ConsoleUi.h"
#include "app/DeviceOperations.h"
#include "core/DeviceObserver.h"
#include "device/SerialLink.h"
#include "device/SerialPortStream.h"
#include "logger/Download.h"
#include "sim/Simulator.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>

#include <sys/resource.h>

#include <cstdio>

namespace {

double cpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

void setUpState(kv5::AppState& state, const QString& folder) {
    state.ProgramFolder = folder;
    QDir(folder).mkdir(QStringLiteral("DATA"));
    state.species.SpeciesTable[0] = {1, QStringLiteral("Reference"), 0, 1};
    state.species.SpeciesCount = 1;
}

void pacedDownload(const char* family, int records) {
    QProcess sim;
    sim.start(QStringLiteral(KV5_BINARY_DIR "/sim/kv5-sim"),
              {"--family", family, "--mark", "0", "--records", QString::number(records), "--paced"});
    if (!sim.waitForReadyRead(10000)) {
        std::printf("%s: the simulator did not start\n", family);
        return;
    }
    QTemporaryDir folder;
    kv5::AppState state;
    setUpState(state, folder.path());
    state.device.PortOverride = QString::fromLocal8Bit(sim.readLine()).trimmed();
    kv5::ConsoleUi ui;
    kv5::SerialPortStream port;
    kv5::CountingStream counted(port);
    kv5::SerialLink link(ui, counted);
    kv5::DeviceObserver unobserved;
    kv5::DeviceOperations operations(state, link, unobserved);
    kv5::MainWindowValues values;

    const double cpuBefore = cpuSeconds();
    QElapsedTimer wall;
    wall.start();
    const QString saved = operations.DetectAndRead(values);
    const double seconds = static_cast<double>(wall.nsecsElapsed()) / 1e9;
    const double cpu = cpuSeconds() - cpuBefore;
    const double wire = static_cast<double>(counted.written + counted.taken) * 10.0 / 9600.0;
    std::printf("%s, %d records, paced at 9600 baud%s\n", family, state.log.RecordCount, saved.isEmpty() ? " (NOT SAVED)" : "");
    std::printf("  wall time        %8.3f s\n", seconds);
    std::printf("  wire-time limit  %8.3f s  (%llu bytes)\n", wire,
                static_cast<unsigned long long>(counted.written + counted.taken));
    std::printf("  ratio            %8.4f    (goal at most 1.03)\n", seconds / wire);
    std::printf("  CPU time         %8.3f s  = %.2f%% of wall (goal at most 3%%)\n", cpu, 100.0 * cpu / seconds);
    sim.terminate();
    sim.waitForFinished(3000);
}

void decodeSpeed(kv5::sim::Family family, const char* name) {
    kv5::sim::Options options;
    options.family = family;
    options.memorySizeMark = 0;
    options.records = 16256;
    kv5::sim::Simulator simulator(options);
    QList<QByteArray> payloads;
    for (int block = 1; block <= 255; ++block)
        if (block != 128) payloads << simulator.blockPayload(block);
    QTemporaryDir folder;
    kv5::AppState state;
    setUpState(state, folder.path());
    state.log.StartTime = QDateTime(QDate(2026, 5, 21), QTime(8, 0));
    state.log.LogInterval = 10;
    kv5::ConsoleUi ui;
    const int rounds = 5;
    qint64 decoded = 0;
    QElapsedTimer timer;
    timer.start();
    for (int round = 0; round < rounds; ++round) {
        state.log.RecordCount = 0;
        for (const QByteArray& payload : payloads) {
            if (static_cast<unsigned char>(payload.at(0)) == 0) break;
            if (family == kv5::sim::Family::Q7R)
                kv5::ParseQ7RLog(payload, kv5::DecodeOptionsOf(state), state.log, ui);
            else
                kv5::ParseLog(payload, kv5::DecodeOptionsOf(state), state.log, ui);
        }
        decoded += state.log.RecordCount;
    }
    const double seconds = static_cast<double>(timer.nsecsElapsed()) / 1e9;
    std::printf("%s decoding, unpaced: %.0f records per second (%lld records in %.3f s)\n", name,
                static_cast<double>(decoded) / seconds, static_cast<long long>(decoded), seconds);
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    decodeSpeed(kv5::sim::Family::Vantorp, "Vantorp");
    decodeSpeed(kv5::sim::Family::Q7R, "Q7R");
    if (app.arguments().contains(QStringLiteral("--quick"))) return 0;
    pacedDownload("vantorp", 16256);
    pacedDownload("q7r", 8128);
    return 0;
}
