#include "device/ReplyChecks.h"

#include "device/Commands.h"
#include "device/SerialLink.h"

namespace kv5 {

QByteArray DropLeadingZero(QByteArray reply) {
    if (!reply.isEmpty() && reply.at(0) == '\0') reply.remove(0, 1);
    return reply;
}

QByteArray QueryPayload(const QByteArray& command, const QByteArray& reply, int payloadLength) {
    const QByteArray echo = command + ' ';
    if (!reply.startsWith(echo)) return CommError;
    return reply.mid(echo.size(), payloadLength);
}

QByteArray LogBlockPayload(const QByteArray& reply) {
    if (reply.size() != LogBlockReplySize || !reply.startsWith(LogBlockHead) || !reply.endsWith(LogBlockTail))
        return CommError;
    return reply.mid(LogBlockHead.size(), LogBlockPayloadSize);
}

bool Confirmed(const QByteArray& reply, const QByteArray& confirmation) {
    return reply.startsWith(confirmation);
}

void ClassifyRevision(const QByteArray& reply, int& extendedFirmware, int& modelKV6) {
    modelKV6 = 0;
    if (reply.startsWith("PKV6")) {
        modelKV6 = 1;
        extendedFirmware = 1;
    } else if (reply.startsWith("PKV5r3fix")) {
        extendedFirmware = 1;
    } else {
        extendedFirmware = 0;
    }
}

} // namespace kv5
