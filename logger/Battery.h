// The battery state the logger reports in its status block.
#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

namespace kv5 {

enum class BatteryState { Good, Ok, Low, Replace, CommError };

// The state of a status block, or CommError for "COMM ERROR"; no value for a battery character
// the logger is not known to send (the gauge then keeps what it showed).
std::optional<BatteryState> BatteryStateOf(const QByteArray& status);

// The gauge's caption: "GOOD", "OK", "LOW", "REPLACE" or "COMM ERROR".
QString BatteryCaption(BatteryState state);

} // namespace kv5
