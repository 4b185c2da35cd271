#include "sim/DeviceModel.h"

#include "sim/LogGenerator.h"
#include "sim/RecordCodec.h"

#include <algorithm>

namespace kv5::sim {

namespace {

QByteArray fitted(QByteArray text, int length, char fill) {
    text.truncate(length);
    return text.leftJustified(length, fill);
}

void putByte(QByteArray& memory, int addr, int value) {
    memory[addr] = static_cast<char>(value & 0xFF);
}

void putTwo(QByteArray& memory, int addr, const QByteArray& bytes) {
    memory.replace(addr, 2, bytes);
}

} // namespace

int DeviceModel::capacityWords(int memorySizeMark) {
    return (memorySizeMark != 0 ? 127 : 254) * kWordsPerBlock;
}

QByteArray DeviceModel::serialField(const QByteArray& digits) {
    if (digits.size() >= 4) return digits.right(4);
    return digits.rightJustified(4, '0');
}

DeviceModel::DeviceModel(const Options& options)
    : family(options.family), revision(fitted(options.revision, 19, ' ')), memory(256, '\0'),
      serialNumber(serialField(options.serialNumber)), description(fitted(options.description, 32, ' ')),
      startTime(fitted(options.startTime, 10, '0')), interval(encodeCount16(options.intervalTicks)),
      tempHigh(encodeFixedPoint(options.tempHigh)), tempLow(encodeFixedPoint(options.tempLow)),
      rhHigh(encodeFixedPoint(options.rhHigh)), rhLow(encodeFixedPoint(options.rhLow)) {
    putByte(memory, address::AlarmHold, options.holdAlarms ? 0 : 1);
    putByte(memory, address::StorageMode, 0x80);
    putByte(memory, address::Beep, options.beep ? 255 : 0);
    putByte(memory, address::EmcMarker, 80);
    putTwo(memory, address::EmcHigh, encodeFixedPoint(options.emcHigh));
    putTwo(memory, address::EmcLow, encodeFixedPoint(options.emcLow));
    putByte(memory, address::MemorySizeMark, options.memorySizeMark);
    const int sensor = options.sensorCode >= 0 ? options.sensorCode : (family == Family::Q7R ? 80 : 40);
    putByte(memory, address::SensorCode, sensor);
    memory[address::Battery] = options.battery;

    const int capacityBytes = capacityWords(options.memorySizeMark) * 4;
    if (!options.log.isEmpty()) {
        log = options.log.left(std::min<qsizetype>(capacityBytes, options.log.size() / 4 * 4));
    } else {
        const int records = std::clamp(options.records, 0, capacityBytes / recordSize());
        log = generateLog(options, records, secondsPerTick() * std::max(1, options.intervalTicks));
    }
}

int DeviceModel::recordSize() const {
    return family == Family::Q7R ? kQ7RRecordSize : kVantorpRecordSize;
}

int DeviceModel::secondsPerTick() const {
    return revision.startsWith("PKV6") || revision.startsWith("PKV5r3fix") ? 30 : 34;
}

QByteArray DeviceModel::blockPayload(int block) const {
    QByteArray payload(kPayloadSize, '\xFF');
    if (block == 0) {
        payload[0] = '\0';
        payload.replace(1, 256, memory);
        payload[kPayloadSize - 1] = '\0';
        return payload;
    }
    // Where the block starts in the log memory, in blocks; -1 when it is not a log block.
    int index = -1;
    const bool largeMemory = memory[address::MemorySizeMark] == '\0';
    if (block >= 1 && block <= 127)
        index = block - 1;
    else if (largeMemory && block > kSkippedBlock && block <= kLastBlock)
        index = block - 2;
    const int words = int(log.size()) / 4;
    const int count = index < 0 ? 0 : std::clamp(words - index * kWordsPerBlock, 0, kWordsPerBlock);
    payload[0] = static_cast<char>(count);
    if (count > 0) payload.replace(1, count * 4, log.mid(index * kWordsPerBlock * 4, count * 4));
    return payload;
}

QByteArray DeviceModel::answer(const Request& request) {
    const QByteArray& command = request.command;
    const QByteArray& argument = request.argument;
    if (command.isEmpty()) return {};

    // The revision: its first character doubles as the echo of "P".
    if (command == "P") return revision + "\r\n";

    // Queries: echo, blank, payload, line end.
    auto query = [&](const QByteArray& payload) { return command + ' ' + payload + "\r\n"; };
    if (command == "GETSN") return query(serialNumber);
    if (command == "GETDESC") return query(description);
    if (command == "GETTIME") return query(startTime);
    if (command == "GETINT") return query(interval);
    if (command == "GETTEMPHI") return query(tempHigh);
    if (command == "GETTEMPLO") return query(tempLow);
    if (command == "GETRHHI") return query(rhHigh);
    if (command == "GETRHLO") return query(rhLow);
    // A block: the head marker (the block number is not echoed), the payload, the tail marker.
    if (command == "GETLOG") return "GETLOG  !@#$" + blockPayload(quint8(argument[0])) + "%^&*\r\n";

    // Settings that answer with the echoed request line and one line end.
    const QByteArray oneLineEnd = request.bytes + '\n';
    if (command == "SETTIME") {
        // Only the start time changes; the program clears the log itself with CLRLOG.
        startTime = argument;
        return oneLineEnd;
    }
    if (command == "SETDESC") {
        description = argument;
        return oneLineEnd;
    }
    if (command == "SETSN") {
        serialNumber = serialField(argument);
        return oneLineEnd;
    }

    // Settings that answer with the echoed request line and two line ends.
    const QByteArray twoLineEnds = request.bytes + "\n\r\n";
    if (command == "SETINT")
        interval = argument;
    else if (command == "SETTEMPHI")
        tempHigh = argument;
    else if (command == "SETTEMPLO")
        tempLow = argument;
    else if (command == "SETRHHI")
        rhHigh = argument;
    else if (command == "SETRHLO")
        rhLow = argument;
    else if (command == "SETMEM")
        putByte(memory, quint8(argument[2]), quint8(argument[4]));
    if (command.startsWith("SET") && !command.startsWith("SETLED")) return twoLineEnds;

    // Commands without argument: the echoed command and one line end.
    if (command == "CLRLOG")
        log.clear();
    else if (command == "SETLEDLA")
        putByte(memory, address::AlarmHold, 0);
    else if (command == "SETLEDME")
        putByte(memory, address::AlarmHold, 1);
    return command + "\r\n";
}

} // namespace kv5::sim
