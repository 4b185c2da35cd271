// The checks a reply of the logger must pass, apart from the serial transaction that brings
// it, so they can be tried on any bytes at all.
#pragma once

#include <QByteArray>

namespace kv5 {

// The reply without its first byte when that byte is 0x00: the logger sometimes sends one
// before it answers. Only one such byte is dropped.
QByteArray DropLeadingZero(QByteArray reply);

// A query reply is the echo of command, a blank, the payload and two line ends. Gives at most
// payloadLength bytes of payload, or "COMM ERROR" when the echo is not there.
QByteArray QueryPayload(const QByteArray& command, const QByteArray& reply, int payloadLength);

// A log block reply is exactly LogBlockReplySize bytes: LogBlockHead, the 258-byte payload and
// LogBlockTail. Gives the payload, or "COMM ERROR" for any other reply.
QByteArray LogBlockPayload(const QByteArray& reply);

// A command is confirmed when the reply begins with exactly the confirmation bytes.
bool Confirmed(const QByteArray& reply, const QByteArray& confirmation);

// The firmware revision reply: "PKV6..." is the KV6 model with extended firmware,
// "PKV5r3fix..." a KV5 with extended firmware; anything else (nothing, too little, noise) is a
// KV5 with the original firmware.
void ClassifyRevision(const QByteArray& reply, int& extendedFirmware, int& modelKV6);

} // namespace kv5
