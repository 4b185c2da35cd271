// The built-in simulated logger: `--simulate` runs the program against it on a
// pseudo-terminal, so the program can be tried (and is demonstrated) without a logger.
#pragma once

#include "sim/Simulator.h"

#include <QString>

#include <memory>

namespace kv5 {

// Known kinds: "vantorp" (the default, also for empty text), "q7r", "kv6".
bool IsSimulatedLoggerKind(const QString& kind);

// A started simulated logger of that kind whose log ends now; null with the reason in error.
// Paced, it answers at the logger's own 9600 baud.
std::unique_ptr<sim::Simulator> StartSimulatedLogger(const QString& kind, bool paced, QString& error);

} // namespace kv5
