// Plausible logs for the simulated logger: a living room for a Vantorp sensor, a lumber kiln
// charge for a Q7R sensor.
#pragma once

#include "sim/SimTypes.h"

#include <QByteArray>

namespace kv5::sim {

// The raw log memory (record words, see RecordCodec.h) of `records` records taken every
// `secondsPerRecord` seconds from the start time of `options`. The same options give the same log.
QByteArray generateLog(const Options& options, int records, int secondsPerRecord);

} // namespace kv5::sim
