// Program-wide flags of the logger last talked to.
#pragma once

#include <QString>

namespace kv5 {

struct DeviceFlags {
    // The logger's serial device (for example /dev/ttyACM0); empty when none was found.
    QString DevicePort;
    // A port given with --port or KV5_PORT: used instead of searching the USB devices.
    QString PortOverride;
    // 1 when the revision reply begins with "PKV6" or "PKV5r3fix": 30-second ticks,
    // storage mode and the alarm beep.
    int ExtendedFirmware = 0;
    // 1 only for a revision reply beginning with "PKV6": the download drops its last record.
    int ModelKV6 = 0;
    // The logger's answer to the revision query, its printable characters; kept with its logs.
    QString Revision;

    int SecondsPerTick() const { return ExtendedFirmware ? 30 : 34; }
};

} // namespace kv5
