#include "device/Commands.h"

#include "core/DeviceFlags.h"
#include "core/UserInterface.h"
#include "device/ReplyChecks.h"
#include "device/SerialLink.h"

namespace kv5 {

namespace {

// One confirmed command: the first bytes of the reply must be exactly `confirmation`.
// No value: a run-time error, already reported.
std::optional<bool> confirmed(SerialLink& link, const QByteArray& request, const QByteArray& confirmation,
                              const QString& procedure) {
    const auto reply = link.transaction(request, static_cast<int>(confirmation.size()), 2.0, procedure);
    if (!reply) return std::nullopt;
    return Confirmed(*reply, confirmation);
}

void warn(SerialLink& link, const QString& text) { link.ui().message({text, Icon::Exclamation}); }

} // namespace

QByteArray SetMemArgument(int address, int value) {
    QByteArray argument(2, '\0');
    argument.append(static_cast<char>(address));
    argument.append(' ');
    argument.append(static_cast<char>(value));
    return argument;
}

QByteArray GetCmd(SerialLink& link, const QByteArray& command, int payloadLength) {
    const QByteArray echo = command + ' ';
    const auto reply = link.transaction(command + '\r', static_cast<int>(echo.size()) + payloadLength + 2, 2.0,
                                        QStringLiteral("GetCmd"));
    if (!reply) return CommError;
    return QueryPayload(command, *reply, payloadLength);
}

bool SetCmd(SerialLink& link, const QByteArray& command, const QByteArray& argument) {
    const QByteArray line = command + ' ' + argument + '\r';
    QByteArray confirmation = line + '\n';
    // The logger ends the echo of every setting but these three with a second line end.
    if (command != "SETTIME" && command != "SETDESC" && command != "SETSN") confirmation += "\r\n";
    const auto ok = confirmed(link, line, confirmation, QStringLiteral("SetCmd"));
    if (!ok) return false;
    if (!*ok) warn(link, QStringLiteral("ERROR: Saving settings failed!"));
    return *ok;
}

bool ClrCmd(SerialLink& link) {
    const auto ok = confirmed(link, "CLRLOG\r", "CLRLOG\r\n", QStringLiteral("ClrCmd"));
    if (!ok) return false;
    if (!*ok) warn(link, QStringLiteral("ERROR: Clearing the log failed!"));
    return *ok;
}

bool LatchCmd(SerialLink& link, int holdAlarms) {
    const QByteArray command = holdAlarms == 1 ? QByteArrayLiteral("SETLEDLA") : QByteArrayLiteral("SETLEDME");
    const auto ok = confirmed(link, command + '\r', command + "\r\n", QStringLiteral("LatchCmd"));
    if (!ok) return false;
    if (!*ok) warn(link, QStringLiteral("ERROR: Hold alarm command failed!"));
    return *ok;
}

bool SetMemCmd(SerialLink& link, int address, int value) {
    if (address < 0 || address > 255 || value < 0 || value > 255) {
        link.ui().error(QStringLiteral("SetMemCmd"),
                        QStringLiteral("address %1 or value %2 is outside 0 to 255").arg(address).arg(value));
        return false;
    }
    const QByteArray line = "SETMEM " + SetMemArgument(address, value) + '\r';
    const auto ok = confirmed(link, line, line + "\n\r\n", QStringLiteral("SetMemCmd"));
    if (!ok) return false;
    if (!*ok) warn(link, QStringLiteral("ERROR: SETMEM command failed!"));
    return *ok;
}

bool StoreCmd(SerialLink& link, int mode) {
    const QByteArray line = "SETMEM " + SetMemArgument(AddressStorageMode, mode != 0 ? 0xFF : 0x80) + '\r';
    const auto ok = confirmed(link, line, line + "\n\r\n", QStringLiteral("StoreCmd"));
    if (!ok) return false;
    if (!*ok) {
        warn(link, QStringLiteral("ERROR: Storage mode command failed!"));
    } else if (mode != 0) {
        link.ui().message({QStringLiteral("The device is now in storage mode to save battery power.\r"
                                          "Inserting a sensor plug will wake the device and logging will continue."),
                           Icon::Information});
    }
    return *ok;
}

void GetRevCmd(SerialLink& link, DeviceFlags& flags) {
    // Whatever arrives within 0.2 s is used; no echo check and no message.
    const QByteArray reply =
        link.transaction("P\r", 21, 0.2, QStringLiteral("GetRevCmd")).value_or(QByteArray());
    ClassifyRevision(reply, flags.ExtendedFirmware, flags.ModelKV6);
    flags.Revision.clear();
    for (const char c : reply)
        if (c >= 0x20 && c < 0x7f) flags.Revision += QLatin1Char(c);
    flags.Revision = flags.Revision.trimmed();
}

QByteArray GetLog(SerialLink& link, int block) {
    if (block < 0 || block > 255) {
        link.ui().error(QStringLiteral("GetLog"), QStringLiteral("block %1 is outside 0 to 255").arg(block));
        return CommError;
    }
    // The block number byte ends the request; no CR follows it.
    QByteArray request = QByteArrayLiteral("GETLOG ");
    request.append(static_cast<char>(block));
    const auto reply = link.transaction(request, LogBlockReplySize, 2.0, QStringLiteral("GetLog"));
    if (!reply) return CommError;
    return LogBlockPayload(*reply);
}

int GetStatusBlock(SerialLink& link) {
    const QByteArray status = GetLog(link, 0);
    return status == CommError ? 0 : static_cast<unsigned char>(status.at(StatusSensorCode - 1));
}

} // namespace kv5
