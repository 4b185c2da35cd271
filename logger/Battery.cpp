#include "logger/Battery.h"

#include "device/Commands.h"
#include "device/SerialLink.h"

namespace kv5 {

std::optional<BatteryState> BatteryStateOf(const QByteArray& status) {
    if (status == CommError) return BatteryState::CommError;
    if (status.size() < StatusBattery) return std::nullopt;
    switch (status.at(StatusBattery - 1)) {
    case '5':
        return BatteryState::Good;
    case '3':
        return BatteryState::Ok;
    case '2':
        return BatteryState::Low;
    case 'L':
        return BatteryState::Replace;
    default:
        return std::nullopt;
    }
}

QString BatteryCaption(BatteryState state) {
    switch (state) {
    case BatteryState::Good:
        return QStringLiteral("GOOD");
    case BatteryState::Ok:
        return QStringLiteral("OK");
    case BatteryState::Low:
        return QStringLiteral("LOW");
    case BatteryState::Replace:
        return QStringLiteral("REPLACE");
    case BatteryState::CommError:
        break;
    }
    return QStringLiteral("COMM ERROR");
}

} // namespace kv5
