// Finding the logger's serial device among the USB devices present.
#pragma once

#include <QString>

#include <vector>

namespace kv5 {

class UserInterface;

// What the logger's first USB interface answers to, in any letter case.
inline const QString LoggerHardwareId = QStringLiteral("VID_04D8&PID_5A3C&MI_00");

struct UsbSerialPort {
    QString hardwareId; // USB\VID_vvvv&PID_pppp&MI_ii
    QString port;       // the device node, for example /dev/ttyACM0
};

// The port of the first entry whose hardware id contains the logger's, or empty text.
QString ChooseLoggerPort(const std::vector<UsbSerialPort>& ports);

// Every tty device with a USB interface parent, in enumeration order. False (with a reason)
// when the device list cannot be had at all.
bool EnumerateUsbSerialPorts(std::vector<UsbSerialPort>& ports, QString& error);

// The logger's port: the override when one is given (--port, KV5_PORT), else the first
// matching USB device; empty text when there is none. A failure to enumerate is reported.
QString GetUsbDevicePort(UserInterface& ui, const QString& portOverride = {});

} // namespace kv5
