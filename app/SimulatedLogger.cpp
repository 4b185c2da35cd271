#include "app/SimulatedLogger.h"

#include <QDateTime>

namespace kv5 {

bool IsSimulatedLoggerKind(const QString& kind) {
    return kind.isEmpty() || kind == QLatin1String("vantorp") || kind == QLatin1String("q7r") ||
           kind == QLatin1String("kv6");
}

std::unique_ptr<sim::Simulator> StartSimulatedLogger(const QString& kind, bool paced, QString& error) {
    if (!IsSimulatedLoggerKind(kind)) {
        error = QStringLiteral("unknown simulated logger \"%1\" (vantorp, q7r or kv6)").arg(kind);
        return nullptr;
    }
    sim::Options options;
    options.paced = paced;
    options.intervalTicks = 10; // five minutes of 30-second ticks
    if (kind == QLatin1String("q7r")) {
        // A kiln charge drying over three days.
        options.family = sim::Family::Q7R;
        options.records = 900;
        options.serialNumber = "3107";
        options.description = "Kiln 2 red oak 4/4";
    } else {
        // A room over five days.
        options.records = 1500;
        options.serialNumber = "2417";
        options.description = "Archive room east wall";
        if (kind == QLatin1String("kv6")) options.revision = "PKV6r2";
    }
    const QDateTime start = QDateTime::currentDateTime().addSecs(-qint64(options.records) * 300);
    options.startTime = start.toString(QStringLiteral("yyMMddHHmm")).toLatin1();
    auto simulator = std::make_unique<sim::Simulator>(options);
    if (!simulator->start(&error)) return nullptr;
    return simulator;
}

} // namespace kv5
