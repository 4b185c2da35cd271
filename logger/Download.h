// Fetching the stored log block by block and decoding the blocks of both sensor families
// into time-stamped records of the in-memory log.
#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

namespace kv5 {

struct DeviceFlags;
struct LogData;
struct Settings;
struct SpeciesList;
class SerialLink;
class UserInterface;

// What decoding needs besides the bytes: the display unit and each channel's species, the
// species list, and the logger's tick length and model. Records are timed from the log's
// StartTime and LogInterval.
struct DecodeOptions {
    const Settings& settings;
    const SpeciesList& species;
    const DeviceFlags& device;
};

// Appends the records of one Vantorp block (one 4-byte word a record) to log.
void ParseLog(const QByteArray& payload, const DecodeOptions& options, LogData& log, UserInterface& ui);
// Appends the records of one Q7R block (two words a record), species-corrected.
void ParseQ7RLog(const QByteArray& payload, const DecodeOptions& options, LogData& log, UserInterface& ui);

// How often a block is asked for before the download is given up.
constexpr int BlockAttempts = 3;
// What the user is told when a block could not be read in BlockAttempts tries.
inline QString BlockFailedText(int block) {
    return QStringLiteral("Log block %1 could not be read. The logger still holds its log: check the cable and "
                          "read it again.")
        .arg(block);
}
// The status line after such a failure.
inline const QString DownloadFailedStatus = QStringLiteral("Reading the log failed");

// What a download brought: the records now in the log, or the block that could not be read.
struct DownloadResult {
    int records = 0;
    int failedBlock = 0; // 0 when every block in use was read
    QString cause;       // why that block failed
    bool ok() const { return failedBlock == 0; }
};

// Downloads the log into log: blocks 1 to 127 when the memory-size mark is not 0, else 1 to 255
// without 128; progress in the status line; stops after the first block that is not full.
// A block that fails BlockAttempts times in a row ends the download with RecordCount 0
// and says so.
DownloadResult GetVantorpLog(SerialLink& link, const DecodeOptions& options, LogData& log, int memorySizeMark);
DownloadResult GetQ7RLog(SerialLink& link, const DecodeOptions& options, LogData& log, int memorySizeMark);

// How many records a download would bring, found from the word counts of a few blocks (a
// binary search: the log fills its blocks in order). Nothing when a block cannot be read; the
// user has been told which.
std::optional<int> CountLogRecords(SerialLink& link, const DeviceFlags& device, int sensorType, int memorySizeMark);

} // namespace kv5
