#include "fuzz/FuzzTargets.h"

#include "app/AppState.h"
#include "app/IniFile.h"
#include "calc/Species.h"
#include "core/MainWindowValues.h"
#include "core/Numbers.h"
#include "core/UserInterface.h"
#include "device/Commands.h"
#include "device/Encodings.h"
#include "device/ReplyChecks.h"
#include "device/SerialLink.h"
#include "logfiles/LogFile.h"
#include "logger/DeviceSettings.h"
#include "logger/Download.h"
#include "logger/TimeFormat.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <algorithm>
#include <array>
#include <cmath>
#include <memory>

namespace kv5::fuzz {

namespace {

// A user interface that answers nothing and only counts what it was told.
class SilentUi : public UserInterface {
public:
    int messages = 0;
    QString lastMessage;

    Answer message(const Message& message) override {
        ++messages;
        lastMessage = message.text;
        return message.buttons == Buttons::YesNo ? Answer::No : Answer::Ok;
    }
    bool input(const QString&, const QString&, QString&) override { return false; }
    void status(const QString&) override {}
};

// The readers take a path: inputs go to files in a folder of this process, removed at its end.
// The folder is in memory where the system offers one: the settings file is saved with a
// flush to disk, which would otherwise cost more than the read itself.
QString scratchPath(const QString& name) {
    static const QTemporaryDir folder(QFileInfo(QStringLiteral("/dev/shm")).isWritable()
                                          ? QStringLiteral("/dev/shm/kv5-fuzz-XXXXXX")
                                          : QDir::tempPath() + QStringLiteral("/kv5-fuzz-XXXXXX"));
    return folder.path() + QLatin1Char('/') + name;
}

bool writeFile(const QString& path, const QByteArray& content) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(content) == content.size();
}

QByteArray readFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The one application state of a fuzz run; it holds 17000-record arrays, so it is made once.
AppState& sharedState() {
    static const auto state = std::make_unique<AppState>();
    return *state;
}

bool inPercentRange(double value) {
    return value >= 0 && value <= 99.9;
}

// A property of the result; the message names the first one that failed.
#define EXPECT(condition, what)                                                                              \
    do {                                                                                                     \
        if (!(condition)) return QStringLiteral("%1 (%2)").arg(QString(what), QStringLiteral(#condition));   \
    } while (false)

// ---- log files -------------------------------------------------------------------------------------------

QString fieldProperties(const QString& text) {
    // Splitting off a field and the rest gives back the text.
    QString rest = text;
    const QString field = NextCommaField(rest);
    EXPECT(!field.contains(QLatin1Char(',')), "a field holds no comma");
    if (text.contains(QLatin1Char(',')))
        EXPECT(field + QLatin1Char(',') + rest == text, "field, comma and rest make the line");
    else
        EXPECT(field == text && rest.isEmpty(), "a line without comma is one field");
    EXPECT(std::isfinite(ReadPointNumber(field)), "a log number is finite");
    return {};
}

} // namespace

QString LogFileInput(const QByteArray& input) {
    if (const QString problem = fieldProperties(QString::fromLatin1(input.left(200))); !problem.isEmpty())
        return problem;

    const QString path = scratchPath(QStringLiteral("log.txt"));
    if (!writeFile(path, input)) return QStringLiteral("cannot write %1").arg(path);
    AppState& state = sharedState();
    SilentUi ui;
    const bool read = ReadLogFile(state.log, ui, path);
    const LogData& log = state.log;

    EXPECT(read == (ui.messages == 0), "a failed read reports once, a good one says nothing");
    EXPECT(ui.messages <= 1, "at most one message");
    if (!read)
        EXPECT(ui.lastMessage.startsWith(QStringLiteral("ERROR: OpenLogFile: ")), "the message's form");
    EXPECT(log.RecordCount >= 0 && log.RecordCount <= MaxLogRecords, "record count in range");
    EXPECT(log.SensorType == SensorVantorp || log.SensorType == SensorQ7R, "a known sensor type");
    const qsizetype lineEnds = input.count('\n') + input.count('\r');
    EXPECT(log.RecordCount <= lineEnds + 1, "no more records than lines");
    for (int i = 0; i < log.RecordCount; ++i) {
        const QString& time = log.LogTime[i];
        EXPECT(!time.contains(QLatin1Char(',')) && !time.contains(QLatin1Char('\n')) &&
                   !time.contains(QLatin1Char('\r')),
               QStringLiteral("record %1's time is one field").arg(i + 1));
        EXPECT(std::isfinite(log.LogTemp[i]), QStringLiteral("record %1's temperature").arg(i + 1));
        if (log.isQ7R()) {
            EXPECT(std::isfinite(log.LogMc1[i]) && std::isfinite(log.LogMc2[i]) &&
                       std::isfinite(log.LogMc3[i]) && std::isfinite(log.LogRhQ7R[i]),
                   QStringLiteral("record %1's readings").arg(i + 1));
        } else {
            EXPECT(std::isfinite(log.LogRh[i]), QStringLiteral("record %1's humidity").arg(i + 1));
        }
    }
    // What the reader took in can be written out again.
    if (log.RecordCount > 0) EXPECT(!LogFileContent(log).isEmpty(), "the log's file content");
    return {};
}

// ---- species list ----------------------------------------------------------------------------------------

QString SpeciesInput(const QByteArray& input) {
    const QString path = scratchPath(QStringLiteral("ABLIST.TXT"));
    if (!writeFile(path, input)) return QStringLiteral("cannot write %1").arg(path);
    SpeciesList species;
    SilentUi ui;
    ReadSpeciesFile(path, species, ui);

    EXPECT(ui.messages <= 1, "at most one message");
    if (ui.messages == 1)
        EXPECT(ui.lastMessage.startsWith(QStringLiteral("ERROR: ReadSpeciesFile: ")), "the message's form");
    if (input.isEmpty()) EXPECT(ui.messages == 1, "an empty list is reported");
    EXPECT(species.SpeciesCount >= 0 && species.SpeciesCount <= MaxSpecies, "species count in range");
    EXPECT(std::isfinite(ParseDecimal(QString::fromUtf8(input.left(100)))), "a decimal is finite");

    static constexpr std::array<double, 12> readings{-128, -1,    0,  0.5,  17.99, 18,
                                                     35,   64.99, 65, 99.9, 100,   127.99};
    for (int i = 0; i < species.SpeciesCount; ++i) {
        const SpeciesEntry& entry = species.SpeciesTable[static_cast<std::size_t>(i)];
        EXPECT(entry.Code != SpeciesCodeDropped1 && entry.Code != SpeciesCodeDropped2,
               QStringLiteral("entry %1 is not a dropped code").arg(i + 1));
        EXPECT(!entry.Name.contains(QLatin1Char('\t')) && !entry.Name.contains(QLatin1Char('\n')) &&
                   !entry.Name.contains(QLatin1Char('\r')),
               QStringLiteral("entry %1's name is one field").arg(i + 1));
        EXPECT(std::isfinite(entry.A) && std::isfinite(entry.B),
               QStringLiteral("entry %1's factors").arg(i + 1));
        for (const double mc : readings)
            EXPECT(inPercentRange(CorrectMcForSpecies(species, entry.Code, mc)),
                   QStringLiteral("corrected reading %1 of entry %2").arg(mc).arg(i + 1));
    }
    for (const double mc : readings) {
        EXPECT(inPercentRange(CorrectMcForSpecies(species, SpeciesCodeBuiltInCurve, mc)),
               "the built-in curve");
        EXPECT(inPercentRange(CorrectMcForSpecies(species, 123456789, mc)), "an unknown code");
    }
    return {};
}

// ---- settings file ---------------------------------------------------------------------------------------

namespace {

// What GetIniSetting gives for a value just written: without the blanks around it and one pair
// of enclosing quotes, at most 254 characters.
QString readBack(const QString& value) {
    QString text = value.trimmed();
    if (text.size() >= 2 && (text.front() == u'"' || text.front() == u'\'') && text.back() == text.front())
        text = text.mid(1, text.size() - 2);
    return text.left(254);
}

bool sameName(const QString& a, const QString& b) {
    return a.trimmed().compare(b.trimmed(), Qt::CaseInsensitive) == 0;
}

} // namespace

QString IniInput(const QByteArray& input) {
    QString section = QStringLiteral("General");
    QString key = QStringLiteral("Celsius");
    QString value = QStringLiteral("1");
    QByteArray content = input;
    const qsizetype first = input.indexOf('\0');
    const qsizetype second = first < 0 ? -1 : input.indexOf('\0', first + 1);
    const qsizetype third = second < 0 ? -1 : input.indexOf('\0', second + 1);
    if (third >= 0) {
        section = QString::fromUtf8(input.left(first));
        key = QString::fromUtf8(input.mid(first + 1, second - first - 1));
        value = QString::fromUtf8(input.mid(second + 1, third - second - 1));
        content = input.mid(third + 1);
    }

    const QString path = scratchPath(QStringLiteral("KV5.INI"));
    QFile::remove(path);
    // An empty content stands for a missing file.
    if (!content.isEmpty() && !writeFile(path, content)) return QStringLiteral("cannot write %1").arg(path);
    SilentUi ui;
    const QString fallback = QStringLiteral("fallback");
    const QString before = GetIniSetting(path, section, key, fallback, ui);
    EXPECT(ui.messages == 0, "a readable file reads without a message");
    EXPECT(before.size() <= 254, "a value has at most 254 characters");

    // A setting elsewhere that the write must leave alone.
    QString otherSection = QStringLiteral("Probe");
    QString otherKey = QStringLiteral("Other");
    if (sameName(otherSection, section) && sameName(otherKey, key)) otherKey = QStringLiteral("Another");
    const QString otherBefore = GetIniSetting(path, otherSection, otherKey, fallback, ui);
    const QString neighbourKey =
        sameName(key, QStringLiteral("Neighbour")) ? QStringLiteral("Next") : QStringLiteral("Neighbour");
    const QString neighbourBefore = GetIniSetting(path, section, neighbourKey, fallback, ui);

    const bool written = WriteIniSetting(path, section, key, value, ui);
    const QByteArray after = readFile(path);
    if (!written) {
        EXPECT(after == content, "a refused write leaves the file as it was");
        EXPECT(ui.messages == 1 && ui.lastMessage.startsWith(QStringLiteral("ERROR: WriteIniSetting:")),
               "a refused write says why");
        return {};
    }
    EXPECT(ui.messages == 0, "a write that succeeds says nothing");
    EXPECT(GetIniSetting(path, section, key, fallback, ui) == readBack(value),
           "the value written reads back");
    EXPECT(GetIniSetting(path, otherSection, otherKey, fallback, ui) == otherBefore,
           "a setting of another section stays");
    EXPECT(GetIniSetting(path, section, neighbourKey, fallback, ui) == neighbourBefore,
           "another setting of the same section stays");
    // Writing the same again changes nothing.
    EXPECT(WriteIniSetting(path, section, key, value, ui), "the second write");
    EXPECT(readFile(path) == after, "a second write of the same value leaves the file as it was");
    return {};
}

// ---- block decoders --------------------------------------------------------------------------------------

QString BlockInput(const QByteArray& input) {
    if (input.size() < 3) return {};
    const auto options = static_cast<unsigned char>(input.at(0));
    const bool q7r = options & 0x01;
    const int interval =
        (static_cast<unsigned char>(input.at(1)) << 8) | static_cast<unsigned char>(input.at(2));
    const QByteArray payload = input.mid(3);

    AppState& state = sharedState();
    state.settings.Celsius = (options & 0x02) ? 1 : 0;
    state.device.ExtendedFirmware = (options & 0x04) ? 1 : 0;
    // A species list of a reference entry and one with factors; codes chosen by the options.
    SpeciesList& species = state.species;
    species.SpeciesCount = 2;
    species.SpeciesTable[0] = {1, QStringLiteral("Reference"), 0, 1};
    species.SpeciesTable[1] = {7, QStringLiteral("Oak"), -1.5, 1.25};
    static constexpr std::array<int, 4> codes{1, 7, SpeciesCodeBuiltInCurve, 99};
    state.settings.McSp = {codes[(options >> 4) & 3], codes[(options >> 6) & 3], codes[(options >> 5) & 3]};
    LogData& log = state.log;
    log.SensorType = q7r ? SensorQ7R : SensorVantorp;
    log.LogInterval = interval;
    log.StartTime = QDateTime(QDate(2026, 5, 21), QTime(8, 0));
    const int start = (options & 0x08) ? MaxLogRecords - 20 : 0;
    log.RecordCount = start;

    SilentUi ui;
    if (q7r)
        ParseQ7RLog(payload, DecodeOptionsOf(state), log, ui);
    else
        ParseLog(payload, DecodeOptionsOf(state), log, ui);

    int expected = 0;
    int expectedMessages = 1;
    if (payload.size() >= LogBlockPayloadSize) {
        const int words = std::min(static_cast<int>(static_cast<unsigned char>(payload.at(0))), 64);
        const int records = q7r ? words / 2 : words;
        expected = std::min(records, MaxLogRecords - start);
        expectedMessages = records > MaxLogRecords - start ? 1 : 0;
    }
    EXPECT(log.RecordCount == start + expected, "the records of the block are appended");
    EXPECT(ui.messages == expectedMessages, "a short block or a full log is reported once");
    for (int i = start; i < log.RecordCount; ++i) {
        EXPECT(!log.LogTime[i].isEmpty(), QStringLiteral("record %1 has a time").arg(i + 1));
        EXPECT(std::isfinite(log.LogTemp[i]) && log.LogTemp[i] >= -199 && log.LogTemp[i] < 263,
               QStringLiteral("record %1's temperature").arg(i + 1));
        if (q7r) {
            EXPECT(inPercentRange(log.LogMc1[i]) && inPercentRange(log.LogMc2[i]) &&
                       inPercentRange(log.LogMc3[i]) && inPercentRange(log.LogRhQ7R[i]),
                   QStringLiteral("record %1's readings").arg(i + 1));
        } else {
            EXPECT(inPercentRange(log.LogRh[i]), QStringLiteral("record %1's humidity").arg(i + 1));
        }
    }
    return {};
}

// ---- reply checks ----------------------------------------------------------------------------------------

namespace {

struct Query {
    QByteArray command;
    int payloadLength;
};

QString queryReply(const Query& query, const QByteArray& reply) {
    SilentUi ui;
    const QByteArray payload = QueryPayload(query.command, reply, query.payloadLength);
    const QByteArray echo = query.command + ' ';
    if (!reply.startsWith(echo)) {
        EXPECT(payload == CommError, "a reply without the echo is a communication error");
        return {};
    }
    EXPECT(payload.size() <= query.payloadLength, "no more payload than asked for");
    EXPECT(reply.startsWith(echo + payload), "the payload follows the echo");
    // The payload as the settings read takes it.
    if (query.command == "GETTIME") {
        const QString text = FormatTime(QString::fromLatin1(payload), sharedState().log, ui);
        EXPECT(text.isEmpty() == (ui.messages == 1), "a start time that is no time is reported");
        FormatTimeISO(QString::fromLatin1(payload), ui);
    } else if (query.command == "GETINT") {
        const qint32 interval = U16ToLng(payload, ui);
        EXPECT(interval >= 0 && interval <= 65535, "an interval is a 16-bit count");
        EXPECT((payload.size() < 2) == (ui.messages == 1), "a short interval is reported");
    } else if (query.payloadLength == 2) {
        const double limit = FpToDbl(payload, ui);
        EXPECT(std::isfinite(limit) && limit >= -128 && limit < 128, "a limit is fixed point");
        EXPECT((payload.size() < 2) == (ui.messages == 1), "a short limit is reported");
        EXPECT(!NumberText(ClampPercent(limit)).isEmpty(), "a limit has a text");
    }
    return {};
}

QString blockReply(const QByteArray& reply) {
    const QByteArray payload = LogBlockPayload(reply);
    if (payload == CommError) {
        EXPECT(reply.size() != LogBlockReplySize || !reply.startsWith(LogBlockHead) ||
                   !reply.endsWith(LogBlockTail),
               "a well-framed block is taken");
        return {};
    }
    EXPECT(payload.size() == LogBlockPayloadSize, "a block payload has 258 bytes");
    EXPECT(LogBlockHead + payload + LogBlockTail == reply, "head, payload and tail make the reply");
    // The status block as the settings read takes it.
    MainWindowValues values;
    GetEmcLimits(values, payload);
    const double high = StrToDbl(values.txtEmcHi);
    const double low = StrToDbl(values.txtEmcLo);
    EXPECT(low >= 0 && high <= 100 && low < high, "the EMC limits are ordered within 0 to 100");
    SilentUi ui;
    EXPECT(ByteAt(payload, StatusSensorCode, ui) >= 0 && ui.messages == 0, "the sensor code is in the block");
    return {};
}

QString confirmationReply(int choice, const QByteArray& reply) {
    static const std::array<QByteArray, 6> confirmations{
        QByteArrayLiteral("CLRLOG\r\n"),
        QByteArrayLiteral("SETLEDLA\r\n"),
        QByteArrayLiteral("SETTIME 2605210800\r\n"),
        QByteArrayLiteral("SETINT \x00\x0a\r\n\r\n"),
        QByteArrayLiteral("SETMEM \x00\x00\x3c \xff\r\n\r\n"),
        QByteArray(),
    };
    const QByteArray& confirmation = confirmations[static_cast<std::size_t>(choice) % confirmations.size()];
    const bool confirmed = Confirmed(reply, confirmation);
    EXPECT(confirmed == (reply.left(confirmation.size()) == confirmation), "confirmed by exactly its bytes");
    if (reply.size() < confirmation.size()) EXPECT(!confirmed, "a short reply confirms nothing");
    return {};
}

QString revisionReply(const QByteArray& reply) {
    int extended = 7;
    int kv6 = 7;
    ClassifyRevision(reply, extended, kv6);
    EXPECT((extended == 0 || extended == 1) && (kv6 == 0 || kv6 == 1), "the flags are 0 or 1");
    EXPECT(!kv6 || extended, "the KV6 has extended firmware");
    EXPECT(kv6 == reply.startsWith("PKV6"), "the KV6 is known by its reply");
    if (!reply.startsWith('P')) EXPECT(extended == 0 && kv6 == 0, "noise is the original firmware");
    return {};
}

QString leadingZero(const QByteArray& reply) {
    const QByteArray kept = DropLeadingZero(reply);
    if (reply.startsWith('\0'))
        EXPECT(kept == reply.mid(1), "one leading zero byte is dropped");
    else
        EXPECT(kept == reply, "a reply without a leading zero stays");
    return {};
}

} // namespace

QString ReplyInput(const QByteArray& input) {
    if (input.size() < 2) return {};
    const auto check = static_cast<unsigned char>(input.at(0));
    const auto choice = static_cast<unsigned char>(input.at(1));
    const QByteArray reply = input.mid(2);
    static const std::array<Query, 8> queries{{
        {"GETSN", 4},
        {"GETDESC", 32},
        {"GETTIME", 10},
        {"GETINT", 2},
        {"GETTEMPHI", 2},
        {"GETTEMPLO", 2},
        {"GETRHHI", 2},
        {"GETRHLO", 2},
    }};
    switch (check % 5) {
    case 0:
        return queryReply(queries[choice % queries.size()], reply);
    case 1:
        return blockReply(reply);
    case 2:
        return confirmationReply(choice, reply);
    case 3:
        return revisionReply(reply);
    default:
        // A reply as the transaction reads it: one leading zero byte dropped, then checked.
        if (const QString problem = leadingZero(reply); !problem.isEmpty()) return problem;
        return queryReply(queries[choice % queries.size()], DropLeadingZero(reply));
    }
}

// ---- the list of targets ---------------------------------------------------------------------------------

std::span<const Target> Targets() {
    static constexpr std::array<Target, 5> targets{{
        {"fuzz_logfile", &LogFileInput},
        {"fuzz_species", &SpeciesInput},
        {"fuzz_ini", &IniInput},
        {"fuzz_blocks", &BlockInput},
        {"fuzz_replies", &ReplyInput},
    }};
    return targets;
}

const Target* FindTarget(const QString& name) {
    for (const Target& target : Targets())
        if (name == QLatin1String(target.name)) return &target;
    return nullptr;
}

} // namespace kv5::fuzz
