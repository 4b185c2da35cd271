// Downloads every log block of a full logger memory from the simulator, paced at 9600 baud,
// and prints how close the link comes to the wire's own limit and how much CPU it spends.
// Unpaced, it prints how many transactions a second the link manages.
#include "CountingStream.h"
#include "app/ConsoleUi.h"
#include "device/Commands.h"
#include "device/SerialLink.h"
#include "device/SerialPortStream.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>

#include <sys/resource.h>

#include <cstdio>

namespace {

double cpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

struct Run {
    int blocks = 0;
    int failures = 0;
    double wall = 0;
    double cpu = 0;
    quint64 bytes = 0;
};

Run download(const QString& simulator, bool paced) {
    QProcess sim;
    QStringList arguments{QStringLiteral("--family"), QStringLiteral("vantorp"), QStringLiteral("--mark"),
                          QStringLiteral("0"), QStringLiteral("--records"), QStringLiteral("16256")};
    if (paced) arguments << QStringLiteral("--paced");
    sim.start(simulator, arguments);
    Run run;
    if (!sim.waitForReadyRead(10000)) {
        std::fprintf(stderr, "the simulator did not start: %s\n", qPrintable(sim.errorString()));
        return run;
    }
    const QString port = QString::fromLocal8Bit(sim.readLine()).trimmed();

    kv5::ConsoleUi ui;
    kv5::SerialPortStream serialPort;
    kv5::CountingStream counted(serialPort);
    kv5::SerialLink link(ui, counted);
    if (!link.PortOpen(port)) return run;
    const double cpuBefore = cpuSeconds();
    QElapsedTimer wall;
    wall.start();
    for (int block = 1; block <= 255; ++block) {
        if (block == 128) continue;
        if (kv5::GetLog(link, block) == kv5::CommError) ++run.failures;
        ++run.blocks;
    }
    run.wall = static_cast<double>(wall.nsecsElapsed()) / 1e9;
    run.cpu = cpuSeconds() - cpuBefore;
    run.bytes = counted.written + counted.taken;
    link.PortClose();
    sim.terminate();
    sim.waitForFinished(3000);
    return run;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QString simulator = QStringLiteral(KV5_BINARY_DIR "/sim/kv5-sim");
    if (!QFileInfo::exists(simulator)) {
        std::fprintf(stderr, "build kv5-sim first\n");
        return 1;
    }

    const Run paced = download(simulator, true);
    const double wire = static_cast<double>(paced.bytes) * 10.0 / 9600.0;
    std::printf("paced at 9600 baud: %d blocks, %d failed\n", paced.blocks, paced.failures);
    std::printf("  wall time        %8.3f s\n", paced.wall);
    std::printf("  wire-time limit  %8.3f s  (%llu bytes at 10 bits a byte)\n", wire,
                static_cast<unsigned long long>(paced.bytes));
    std::printf("  ratio            %8.4f    (goal at most 1.01)\n", paced.wall / wire);
    std::printf("  CPU time         %8.3f s  = %.2f%% of wall (goal at most 0.5%%)\n", paced.cpu,
                100.0 * paced.cpu / paced.wall);

    const Run unpaced = download(simulator, false);
    std::printf("unpaced: %d blocks, %d failed, %.3f s, %.0f transactions per second\n", unpaced.blocks,
                unpaced.failures, unpaced.wall, unpaced.blocks / unpaced.wall);
    return paced.failures == 0 && unpaced.failures == 0 ? 0 : 1;
}
