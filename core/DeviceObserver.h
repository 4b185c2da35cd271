// What only the main window cares about during a device operation, beyond messages: the
// firmware kind, the buttons and the values just read. The main window implements it; the
// command line and the benchmarks watch nothing, and take this do-nothing base as it is.
#pragma once

#include "core/MainWindowValues.h"

namespace kv5 {

class DeviceObserver {
public:
    virtual ~DeviceObserver() = default;

    // After every revision query: show and enable (or hide and disable) the controls that
    // only extended firmware supports, and rebuild the interval list for the tick length.
    virtual void firmwareChanged(int extendedFirmware) { (void)extendedFirmware; }

    // The main buttons on or off together, at the start and end of every device operation.
    virtual void buttonsEnabled(bool enabled) { (void)enabled; }

    // The logger's settings as just read, before the log download begins, so the user sees
    // them while the blocks come in.
    virtual void valuesRead(const MainWindowValues& values) { (void)values; }
};

} // namespace kv5
