// The logger's command set. None of these opens or closes the port: the device operation
// that calls them has opened it. Each reports its own failure and is never retried; the
// results tell the caller whether the logger confirmed the command.
#pragma once

#include <QByteArray>

namespace kv5 {

class SerialLink;
struct DeviceFlags;

// The query transaction: command CR out, echo + SP + payload + two line ends back. Yields at
// most payloadLength bytes of payload, or "COMM ERROR".
QByteArray GetCmd(SerialLink& link, const QByteArray& command, int payloadLength);
// Sends one setting (SETTIME, SETDESC, SETSN, SETINT, SETRHHI, SETRHLO, SETTEMPHI, SETTEMPLO,
// SETMEM); an unconfirmed one shows "ERROR: Saving settings failed!".
bool SetCmd(SerialLink& link, const QByteArray& command, const QByteArray& argument);
// Clears the logger's log memory.
bool ClrCmd(SerialLink& link);
// Sends "SETLEDLA" when the alarms are to be held (`Check1` checked), else "SETLEDME".
bool LatchCmd(SerialLink& link, int holdAlarms);
// Not 0: storage mode (0xFF at address 60), with the information box; 0: normal (0x80).
bool StoreCmd(SerialLink& link, int mode);
// The argument of "SETMEM": 0x00, 0x00, the address byte, a blank, the value byte.
QByteArray SetMemArgument(int address, int value);
// Writes one byte of device memory.
bool SetMemCmd(SerialLink& link, int address, int value);
// Asks for the firmware revision and sets ExtendedFirmware and ModelKV6 from it.
void GetRevCmd(SerialLink& link, DeviceFlags& flags);
// The 258-byte payload of one log block, or "COMM ERROR".
QByteArray GetLog(SerialLink& link, int block);
// Reads block 0 and gives its sensor code (0 when the read fails).
int GetStatusBlock(SerialLink& link);

// Bytes of a log block reply: the head and tail markers around the payload.
inline const QByteArray LogBlockHead = QByteArrayLiteral("GETLOG  !@#$");
inline const QByteArray LogBlockTail = QByteArrayLiteral("%^&*\r\n");
constexpr int LogBlockPayloadSize = 258;
constexpr int LogBlockReplySize = 276;
// Status block payload positions (1-based); memory address a is at position a + 2.
constexpr int StatusAlarmHold = 61;
constexpr int StatusBeep = 63;
constexpr int StatusEmcHigh = 71;
constexpr int StatusEmcLow = 73;
constexpr int StatusMemorySizeMark = 125;
constexpr int StatusSensorCode = 128;
constexpr int StatusBattery = 129;
// Memory addresses the program writes.
constexpr int AddressStorageMode = 60;
constexpr int AddressBeep = 61;
constexpr int AddressEmcMarker = 68;
constexpr int AddressEmcHigh = 69;
constexpr int AddressEmcLow = 71;

} // namespace kv5
