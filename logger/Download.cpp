#include "logger/Download.h"

#include "calc/Species.h"
#include "core/DeviceFlags.h"
#include "core/LogData.h"
#include "core/Numbers.h"
#include "core/Settings.h"
#include "core/Units.h"
#include "core/UserInterface.h"
#include "device/Commands.h"
#include "device/Encodings.h"
#include "device/SerialLink.h"
#include "logger/TimeFormat.h"

namespace kv5 {

namespace {

constexpr int WordsPerBlock = 64;

double toDisplayUnit(double celsius, const Settings& settings) {
    return settings.Celsius ? celsius : ToFahrenheit(celsius);
}

// The time of record k (from 1): the start plus interval x tick x (k - 1) seconds, in 64 bits
// so that a long interval over a full memory cannot overflow.
QString recordTime(const LogData& log, const DeviceFlags& device, int record) {
    const qint64 seconds = qint64(log.LogInterval) * device.SecondsPerTick() * qint64(record - 1);
    return TimeStampText(log.StartTime.addSecs(seconds));
}

// The words a block holds; a count above a full block is taken as a full block, so a decoder
// never reads past the record data.
int wordCount(const QByteArray& payload, UserInterface& ui) {
    return std::min<int>(ByteAt(payload, 1, ui), WordsPerBlock);
}

bool checkPayload(const QByteArray& payload, const QString& procedure, UserInterface& ui) {
    if (payload.size() >= LogBlockPayloadSize) return true;
    ui.error(procedure, QStringLiteral("a block payload needs %1 bytes, got %2")
                            .arg(LogBlockPayloadSize)
                            .arg(payload.size()));
    return false;
}

// The block's payload, asked for up to BlockAttempts times. A block request only reads, so a
// failed one is safe to send again, once the line is quiet: the logger answers every request in
// turn, and a late answer to the failed one would otherwise be taken for the next block.
QByteArray readBlock(SerialLink& link, int block) {
    QByteArray reply = GetLog(link, block);
    for (int attempt = 2; attempt <= BlockAttempts && reply == CommError; ++attempt) {
        link.drainInput(0.5);
        reply = GetLog(link, block);
    }
    return reply;
}

// Why a block could not be read, for the caller; the user is told by BlockFailedText.
QString blockFailure(SerialLink& link) {
    const QString lost = link.lostReason();
    return lost.isEmpty() ? QStringLiteral("no whole log block came back in %1 tries").arg(BlockAttempts) : lost;
}

// The block numbers in use, in order: 1 to 127, or 1 to 255 without 128.
int lastBlockIndex(int memorySizeMark) { return memorySizeMark != 0 ? 127 : 254; }
int blockNumber(int index) { return index < 128 ? index : index + 1; }

DownloadResult downloadBlocks(SerialLink& link, const DecodeOptions& options, LogData& log, int memorySizeMark,
                              const QString& family,
                              void (*decode)(const QByteArray&, const DecodeOptions&, LogData&, UserInterface&)) {
    UserInterface& ui = link.ui();
    const int lastBlock = memorySizeMark != 0 ? 127 : 255;
    DownloadResult result;
    log.RecordCount = 0;
    for (int block = 1; block <= lastBlock; ++block) {
        // Block 128 is never requested.
        if (block == 128) {
            ui.status(QStringLiteral("Skipping %1 Log Block 128").arg(family));
            continue;
        }
        ui.status(QStringLiteral("Getting %1 Log Block %2").arg(family).arg(block));
        const QByteArray reply = readBlock(link, block);
        if (reply == CommError) {
            log.RecordCount = 0;
            result.failedBlock = block;
            result.cause = blockFailure(link);
            ui.message({BlockFailedText(block), Icon::Exclamation});
            break;
        }
        const int count = ByteAt(reply, 1, ui);
        if (count != 0) decode(reply, options, log, ui);
        // A block that is not full was the last one in use.
        if (count < WordsPerBlock) break;
    }
    // The KV6 model's last record is not a finished measurement.
    if (options.device.ModelKV6 && log.RecordCount >= 1) --log.RecordCount;
    result.records = log.RecordCount;
    return result;
}

bool roomFor(LogData& log, const QString& procedure, UserInterface& ui) {
    if (log.RecordCount < MaxLogRecords) return true;
    ui.error(procedure, QStringLiteral("the log holds no more than %1 records").arg(MaxLogRecords));
    return false;
}

} // namespace

void ParseLog(const QByteArray& payload, const DecodeOptions& options, LogData& log, UserInterface& ui) {
    const QString procedure = QStringLiteral("ParseLog");
    if (!checkPayload(payload, procedure, ui)) return;
    const int words = wordCount(payload, ui);
    for (int i = 0; i < words; ++i) {
        if (!roomFor(log, procedure, ui)) return;
        const int at = 4 * i + 2;
        const double temperature = fixedPointValue(ByteAt(payload, at, ui), ByteAt(payload, at + 1, ui));
        const double humidity = fixedPointValue(ByteAt(payload, at + 2, ui), ByteAt(payload, at + 3, ui));
        const int n = log.RecordCount++;
        log.LogTime[n] = recordTime(log, options.device, n + 1);
        log.LogRh[n] = ClampPercent(humidity);
        log.LogTemp[n] = toDisplayUnit(temperature, options.settings);
    }
}

void ParseQ7RLog(const QByteArray& payload, const DecodeOptions& options, LogData& log, UserInterface& ui) {
    const QString procedure = QStringLiteral("ParseQ7RLog");
    if (!checkPayload(payload, procedure, ui)) return;
    const int records = wordCount(payload, ui) / 2;
    const auto& species = options.species;
    const auto& codes = options.settings.McSp;
    for (int i = 0; i < records; ++i) {
        if (!roomFor(log, procedure, ui)) return;
        unsigned char b[9];
        for (int j = 1; j <= 8; ++j) b[j] = ByteAt(payload, 8 * i + 1 + j, ui);
        // Four 12-bit values in the high byte and upper half of the low byte; the temperature
        // spread over the lower halves of bytes 2, 4 and 6.
        const double mc1 = fixedPointValue(b[1], b[2] & 0xF0);
        const double mc2 = fixedPointValue(b[3], b[4] & 0xF0);
        const double mc3 = fixedPointValue(b[5], b[6] & 0xF0);
        const double rh = fixedPointValue(b[7], b[8] & 0xF0);
        const double temperature =
            fixedPointValue(static_cast<unsigned char>(((b[2] & 0x0F) << 4) | (b[4] & 0x0F)),
                            static_cast<unsigned char>((b[6] & 0x0F) << 4));
        const int n = log.RecordCount++;
        log.LogMc1[n] = CorrectMcForSpecies(species, codes[0], mc1);
        log.LogMc2[n] = CorrectMcForSpecies(species, codes[1], mc2);
        log.LogMc3[n] = CorrectMcForSpecies(species, codes[2], mc3);
        log.LogRhQ7R[n] = ClampPercent(rh);
        log.LogTemp[n] = toDisplayUnit(temperature, options.settings);
        log.LogTime[n] = recordTime(log, options.device, n + 1);
    }
}

DownloadResult GetVantorpLog(SerialLink& link, const DecodeOptions& options, LogData& log, int memorySizeMark) {
    return downloadBlocks(link, options, log, memorySizeMark, QStringLiteral("Vantorp"), &ParseLog);
}

DownloadResult GetQ7RLog(SerialLink& link, const DecodeOptions& options, LogData& log, int memorySizeMark) {
    return downloadBlocks(link, options, log, memorySizeMark, QStringLiteral("Q7R"), &ParseQ7RLog);
}

std::optional<int> CountLogRecords(SerialLink& link, const DeviceFlags& device, int sensorType, int memorySizeMark) {
    UserInterface& ui = link.ui();
    // The first block in use that is not full, between low and high: the blocks below low are
    // full, high is not full or one past the last.
    int low = 1;
    int high = lastBlockIndex(memorySizeMark) + 1;
    int wordsInHigh = 0;
    while (low < high) {
        const int middle = (low + high) / 2;
        const QByteArray reply = readBlock(link, blockNumber(middle));
        if (reply == CommError) {
            ui.message({BlockFailedText(blockNumber(middle)), Icon::Exclamation});
            return std::nullopt;
        }
        const int count = ByteAt(reply, 1, ui);
        if (count >= WordsPerBlock) {
            low = middle + 1;
        } else {
            high = middle;
            wordsInHigh = count;
        }
    }
    const int words = (low - 1) * WordsPerBlock + wordsInHigh;
    int records = sensorType == SensorQ7R ? words / 2 : words;
    // As the download does: the KV6 model's last record is not a finished measurement.
    if (device.ModelKV6 && records >= 1) --records;
    return std::min(records, MaxLogRecords);
}

} // namespace kv5
