// What the simulated logger remembers, and how it answers one request.
#pragma once

#include "sim/RequestFramer.h"
#include "sim/SimTypes.h"

#include <QByteArray>

namespace kv5::sim {

// Memory addresses the program reads or writes; the status block mirrors address a at payload
// position a + 2 (1-based), with one extra byte before and after the 256 memory bytes.
namespace address {
constexpr int AlarmHold = 59;   // 0 = alarms held
constexpr int StorageMode = 60; // 0xFF = storage mode, 0x80 = normal
constexpr int Beep = 61;        // 255 = on, 0 = off
constexpr int EmcMarker = 68;   // the program writes 80 before the EMC limits
constexpr int EmcHigh = 69;     // two bytes, fixed-point %
constexpr int EmcLow = 71;      // two bytes, fixed-point %
constexpr int MemorySizeMark = 123;
constexpr int SensorCode = 126; // 40 = Vantorp, 80 = Q7R
constexpr int Battery = 127;    // '5', '3', '2' or 'L'
} // namespace address

constexpr int kPayloadSize = 258;
constexpr int kWordsPerBlock = 64;
constexpr int kLastBlock = 255;
constexpr int kSkippedBlock = 128;

// Not thread-safe: the simulator guards it with its mutex.
class DeviceModel {
public:
    explicit DeviceModel(const Options& options);

    // The logger's reply to one complete request; empty for a request it does not understand.
    QByteArray answer(const Request& request);
    // Block 0 is the status block; blocks 1..127 hold the log, or 1..255 without 128 when the
    // memory-size mark is 0. Unused record bytes read as erased memory (0xFF); a block outside the
    // log range, and block 128, read as an empty block (count 0).
    QByteArray blockPayload(int block) const;

    int recordSize() const;
    int recordCount() const { return int(log.size()) / recordSize(); }
    // How many 4-byte words the log memory holds with the given memory-size mark.
    static int capacityWords(int memorySizeMark);
    // 30 s for a revision that begins with "PKV6" or "PKV5r3fix", otherwise 34 s.
    int secondsPerTick() const;

    Family family;
    QByteArray revision;                         // 19 characters
    QByteArray memory;                           // 256 bytes
    QByteArray serialNumber;                     // 4 characters
    QByteArray description;                      // 32 characters
    QByteArray startTime;                        // 10 characters
    QByteArray interval;                         // 16-bit count
    QByteArray tempHigh, tempLow, rhHigh, rhLow; // fixed-point
    QByteArray log;                              // record words, a multiple of 4 bytes

    // The logger keeps its serial number in a 4-character field: a shorter one is right-aligned
    // and filled with '0' ("25" → "0025"), a longer one keeps its last four characters.
    static QByteArray serialField(const QByteArray& digits);
};

} // namespace kv5::sim
