// Start-up time of the kv5 program: from process start to the main window shown and painted,
// under the offscreen platform. Goal: at most 300 ms. Runs the real program several times with
// --bench-startup, which quits right after the first paint, and prints the figures.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

constexpr double GoalMs = 300.0;

struct Run {
    double outsideMs = -1; // from QProcess::start to the "shown" line, as the launcher sees it
    double insideMs = -1;  // from the kernel's process start to the first paint, as kv5 reports it
};

Run runOnce(const QString& program, const QString& home) {
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    process.setProcessEnvironment(environment);
    process.setProcessChannelMode(QProcess::SeparateChannels);
    Run run;
    QElapsedTimer clock;
    clock.start();
    process.start(program, {QStringLiteral("--home"), home, QStringLiteral("--bench-startup")});
    QByteArray output;
    while (process.waitForReadyRead(10000)) {
        output += process.readAllStandardOutput();
        if (output.contains("shown")) {
            run.outsideMs = clock.nsecsElapsed() / 1e6;
            break;
        }
    }
    process.waitForFinished(10000);
    output += process.readAllStandardOutput();
    const QRegularExpressionMatch match =
        QRegularExpression(QStringLiteral("shown ([0-9.]+) ms")).match(QString::fromLatin1(output));
    if (match.hasMatch()) run.insideMs = match.captured(1).toDouble();
    return run;
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QString program = QStringLiteral(KV5_BINARY_DIR "/app/kv5");
    if (!QFile::exists(program)) {
        std::fprintf(stderr, "kv5 is not built: %s\n", qPrintable(program));
        return 1;
    }
    const int runs =
        qEnvironmentVariableIsSet("BENCH_RUNS") ? qEnvironmentVariableIntValue("BENCH_RUNS") : 11;

    QTemporaryDir home;
    if (!home.isValid() || !QFile::copy(QStringLiteral(KV5_BINARY_DIR "/app/ABLIST.TXT"),
                                        home.filePath(QStringLiteral("ABLIST.TXT")))) {
        std::fprintf(stderr, "cannot prepare a program folder\n");
        return 1;
    }

    std::printf("kv5 start-up to the first paint of the main window (offscreen), %d runs\n", runs);
    std::printf("run  launcher ms  kv5 ms\n");
    std::vector<double> outside;
    std::vector<double> inside;
    for (int i = 0; i < runs; ++i) {
        const Run run = runOnce(program, home.path());
        if (run.outsideMs < 0) {
            std::fprintf(stderr, "run %d: kv5 never reported its window shown\n", i + 1);
            return 1;
        }
        // The first run is the first start: it creates KV5.INI and DATA.
        std::printf("%3d  %11.1f  %6.1f%s\n", i + 1, run.outsideMs, run.insideMs,
                    i == 0 ? "  (first start)" : "");
        outside.push_back(run.outsideMs);
        if (run.insideMs >= 0) inside.push_back(run.insideMs);
    }
    const double medianOutside = median(outside);
    std::printf("median: launcher %.1f ms, kv5 %.1f ms; min %.1f ms, max %.1f ms (launcher)\n", medianOutside,
                inside.empty() ? -1.0 : median(inside), *std::min_element(outside.begin(), outside.end()),
                *std::max_element(outside.begin(), outside.end()));
    std::printf("goal: at most %.0f ms: %s\n", GoalMs, medianOutside <= GoalMs ? "met" : "NOT MET");
    return 0;
}
