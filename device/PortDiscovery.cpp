#include "device/PortDiscovery.h"

#include "core/SystemError.h"
#include "core/UserInterface.h"

#include <libudev.h>

#include <cerrno>

namespace kv5 {

QString ChooseLoggerPort(const std::vector<UsbSerialPort>& ports) {
    for (const auto& entry : ports) {
        if (entry.hardwareId.toUpper().contains(LoggerHardwareId) && !entry.port.isEmpty()) return entry.port;
    }
    return {};
}

namespace {

QString attribute(udev_device* device, const char* name) {
    const char* value = device ? udev_device_get_sysattr_value(device, name) : nullptr;
    return value ? QString::fromLatin1(value).trimmed() : QString();
}

} // namespace

bool EnumerateUsbSerialPorts(std::vector<UsbSerialPort>& ports, QString& error) {
    ports.clear();
    udev* context = udev_new();
    if (!context) {
        error = QStringLiteral("the device manager library could not be started");
        return false;
    }
    udev_enumerate* enumerate = udev_enumerate_new(context);
    if (!enumerate || udev_enumerate_add_match_subsystem(enumerate, "tty") < 0 ||
        udev_enumerate_scan_devices(enumerate) < 0) {
        error = QStringLiteral("the list of serial devices could not be read (%1)")
                    .arg(systemError(errno));
        if (enumerate) udev_enumerate_unref(enumerate);
        udev_unref(context);
        return false;
    }
    udev_list_entry* entry = nullptr;
    udev_list_entry_foreach(entry, udev_enumerate_get_list_entry(enumerate)) {
        udev_device* tty = udev_device_new_from_syspath(context, udev_list_entry_get_name(entry));
        if (!tty) continue;
        // The attributes are read from sysfs; the ID_* properties are empty without udevd.
        udev_device* interface = udev_device_get_parent_with_subsystem_devtype(tty, "usb", "usb_interface");
        udev_device* usbDevice = udev_device_get_parent_with_subsystem_devtype(tty, "usb", "usb_device");
        const char* node = udev_device_get_devnode(tty);
        if (interface && usbDevice && node) {
            UsbSerialPort port;
            port.hardwareId = QStringLiteral("USB\\VID_%1&PID_%2&MI_%3")
                                  .arg(attribute(usbDevice, "idVendor"), attribute(usbDevice, "idProduct"),
                                       attribute(interface, "bInterfaceNumber"));
            port.port = QString::fromLocal8Bit(node);
            ports.push_back(port);
        }
        udev_device_unref(tty);
    }
    udev_enumerate_unref(enumerate);
    udev_unref(context);
    return true;
}

QString GetUsbDevicePort(UserInterface& ui, const QString& portOverride) {
    if (!portOverride.isEmpty()) return portOverride;
    std::vector<UsbSerialPort> ports;
    QString error;
    if (!EnumerateUsbSerialPorts(ports, error)) {
        ui.message({QStringLiteral("ERROR: GetUsbDevicePort: The USB devices could not be listed: %1.").arg(error),
                    Icon::Exclamation});
        return {};
    }
    return ChooseLoggerPort(ports);
}

} // namespace kv5
