#include "export/OpenFormats.h"

#include "calc/Quantities.h"
#include "core/JsonText.h"
#include "core/LogContext.h"
#include "core/LogData.h"
#include "core/Numbers.h"
#include "core/SafePublish.h"
#include "core/Settings.h"
#include "core/UserInterface.h"
#include "logfiles/LogFile.h"
#include "logfiles/LogSummary.h"

#include <QFileInfo>

#include <algorithm>
#include <memory>
#include <optional>
#include <vector>

namespace kv5 {

namespace {

// Output goes to the sink in pieces of about this size.
constexpr qsizetype ChunkBytes = 64 * 1024;
constexpr qint64 SecondsPerDay = 86400;

QString procedureOf(OpenFormat format) {
    return format == OpenFormat::Csv ? QStringLiteral("ExportCsv") : QStringLiteral("ExportJson");
}

// A column of values: its quantity, and its unit as the CSV header names it and as JSON does.
struct Column {
    const QuantityRow* row;
    QByteArray headerUnit; // "C", "F", "percent", or empty for none
    QByteArray unit;       // "C", "F", "%", "gr/lb"
};

// The columns in the order people read them first: temperature and humidity, then the wood,
// then what is derived from them; as far as the family has them and the settings show them.
std::vector<Column> columnsOf(const LogData& log, const Settings& settings, bool celsius) {
    static constexpr Quantity Order[] = {Quantity::Temperature, Quantity::Rh,  Quantity::Mc1,
                                         Quantity::Mc2,         Quantity::Mc3, Quantity::Gpp,
                                         Quantity::Emc,         Quantity::DewPoint};
    const std::vector<const QuantityRow*> shown = ShownQuantities(log.isQ7R(), settings);
    const QByteArray degrees = celsius ? QByteArrayLiteral("C") : QByteArrayLiteral("F");
    std::vector<Column> columns;
    for (const Quantity quantity : Order) {
        const QuantityRow& row = RowOf(quantity);
        if (std::find(shown.begin(), shown.end(), &row) == shown.end()) continue;
        switch (row.unit) {
        case QuantityUnit::Degrees:
            columns.push_back({&row, degrees, degrees});
            break;
        case QuantityUnit::Percent:
            columns.push_back({&row, QByteArrayLiteral("percent"), QByteArrayLiteral("%")});
            break;
        case QuantityUnit::None: // grains per pound
            columns.push_back({&row, {}, QByteArrayLiteral("gr/lb")});
            break;
        }
    }
    return columns;
}

void appendDigits(QByteArray& out, int value, int width) {
    char digits[12];
    int at = sizeof digits;
    do {
        digits[--at] = char('0' + value % 10);
        value /= 10;
        --width;
    } while (value > 0 || width > 0);
    out.append(digits + at, qsizetype(sizeof digits) - at);
}

// ISO 8601 times of a wall clock held as UTC with one offset, the date text made once a day.
class IsoTimes {
public:
    explicit IsoTimes(int offsetSeconds) : offset_(UtcOffsetText(offsetSeconds).toLatin1()) {}

    void append(QByteArray& out, qint64 seconds) {
        qint64 day = seconds / SecondsPerDay;
        qint64 inDay = seconds % SecondsPerDay;
        if (inDay < 0) inDay += SecondsPerDay, day -= 1;
        if (day != day_ || dateText_.isEmpty()) {
            day_ = day;
            const QDate date = QDate(1970, 1, 1).addDays(day);
            dateText_.clear();
            appendDigits(dateText_, date.year(), 4);
            dateText_ += '-';
            appendDigits(dateText_, date.month(), 2);
            dateText_ += '-';
            appendDigits(dateText_, date.day(), 2);
            dateText_ += 'T';
        }
        out += dateText_;
        appendDigits(out, int(inDay / 3600), 2);
        out += ':';
        appendDigits(out, int(inDay / 60 % 60), 2);
        out += ':';
        appendDigits(out, int(inDay % 60), 2);
        out += offset_;
    }

private:
    QByteArray offset_;
    qint64 day_ = 0;
    QByteArray dateText_;
};

// "log" of a file without a context file: what its records tell.
QByteArray knownContext(const LogData& log, const std::vector<qint64>& times, std::optional<int> interval,
                        int offsetSeconds, bool celsius) {
    const QDateTime start =
        times.empty() ? QDateTime() : QDateTime::fromSecsSinceEpoch(times.front(), Qt::UTC);
    const QString family = FamilyName(log.SensorType);
    return JsonObjectText()
        .add("family", family.isEmpty() ? JsonNull : JsonString(family))
        .add("start", start.isValid() ? JsonString(WallClockIso(start, std::nullopt)) : JsonNull)
        .add("utc_offset", start.isValid() ? JsonString(UtcOffsetText(offsetSeconds)) : JsonNull)
        .add("interval_s", interval ? JsonInteger(*interval) : JsonNull)
        .add("records", JsonInteger(log.RecordCount))
        .add("unit", JsonString(celsius ? QStringLiteral("C") : QStringLiteral("F")))
        .text();
}

} // namespace

QString OpenFormatSuffix(OpenFormat format) {
    return format == OpenFormat::Csv ? QStringLiteral(".csv") : QStringLiteral(".json");
}

bool WriteOpenFormat(OpenFormat format, const Settings& settings, UserInterface& ui, const QString& logPath,
                     const ByteSink& sink) {
    const QString procedure = procedureOf(format);
    const auto log = std::make_unique<LogData>();
    if (!ReadLogForOutput(*log, ui, logPath, procedure, QStringLiteral("export"))) return false;
    const QString fileName = QFileInfo(logPath).fileName();
    const std::optional<LogContext>& context = log->Context;

    const bool celsius = context ? context->Celsius : settings.Celsius != 0;
    std::optional<int> interval;
    bool estimated = false;
    const std::vector<qint64> times = LogRecordTimes(*log, context ? &*context : nullptr, interval, estimated);
    if (times.empty())
        ui.error(procedure, QStringLiteral("the time stamps of %1 are not in this computer's date format; the "
                                           "times are left out")
                                .arg(fileName));
    // The logger's clock knows no daylight-saving change: one offset holds for the whole log.
    int offset = 0;
    if (context && context->UtcOffsetSeconds)
        offset = *context->UtcOffsetSeconds;
    else if (!times.empty()) {
        const QDateTime first = QDateTime::fromSecsSinceEpoch(times.front(), Qt::UTC);
        offset = QDateTime(first.date(), first.time(), Qt::LocalTime).offsetFromUtc();
    }
    IsoTimes isoTimes(offset);
    const std::vector<Column> columns = columnsOf(*log, settings, celsius);
    const int degrees = celsius ? 1 : 0;
    const bool csv = format == OpenFormat::Csv;

    QByteArray chunk;
    chunk.reserve(ChunkBytes + 1024);
    QString why;
    const auto flush = [&](bool always) {
        if (chunk.isEmpty() || (!always && chunk.size() < ChunkBytes)) return true;
        if (!sink(chunk, why)) {
            ui.error(procedure, why);
            return false;
        }
        chunk.clear();
        return true;
    };

    if (csv) {
        chunk += "time";
        for (const Column& column : columns) {
            chunk += ',' + QByteArray(column.row->key);
            if (!column.headerUnit.isEmpty()) chunk += '_' + column.headerUnit;
        }
        chunk += "\r\n";
    } else {
        std::vector<QByteArray> described{
            JsonObjectText().add("name", JsonString(QStringLiteral("time"))).add("unit", JsonString(QStringLiteral("ISO 8601"))).text()};
        for (const Column& column : columns)
            described.push_back(JsonObjectText()
                                    .add("name", JsonString(QString::fromLatin1(column.row->key)))
                                    .add("unit", JsonString(QString::fromLatin1(column.unit)))
                                    .text());
        chunk += "{\n  \"log\": ";
        chunk += context ? LogContextJsonText(*context) : knownContext(*log, times, interval, offset, celsius);
        chunk += ",\n  \"columns\": " + JsonArray(described) + ",\n  \"records\": [\n";
    }

    for (int i = 0; i < log->RecordCount; ++i) {
        if (csv) {
            if (!times.empty()) isoTimes.append(chunk, times[size_t(i)]);
        } else {
            chunk += i == 0 ? "    [" : ",\n    [";
            if (times.empty()) {
                chunk += JsonNull;
            } else {
                chunk += '"';
                isoTimes.append(chunk, times[size_t(i)]);
                chunk += '"';
            }
        }
        for (const Column& column : columns) {
            chunk += ',';
            if (const Derived value = QuantityValue(*column.row, *log, i, degrees); value.ok())
                AppendNumberText(chunk, value.value);
            else if (!csv)
                chunk += JsonNull;
        }
        chunk += csv ? "\r\n" : "]";
        if (!flush(false)) return false;
    }
    if (!csv) chunk += "\n  ]\n}\n";
    return flush(true);
}

bool WriteOpenFormatFile(OpenFormat format, const Settings& settings, UserInterface& ui, const QString& logPath,
                         const QString& outPath) {
    const QString procedure = procedureOf(format);
    const QFileInfo target(outPath);
    PendingFile pending;
    QString why;
    if (!pending.createFor(outPath, QStringLiteral("kv5-export"), why)) {
        ui.error(procedure, why);
        return false;
    }
    const auto toFile = [&pending](const QByteArray& bytes, QString& cause) { return pending.write(bytes, cause); };
    if (!WriteOpenFormat(format, settings, ui, logPath, toFile)) return false;
    if (pending.publish(target.fileName(), PendingFile::Publish::Replacing, why) != PendingFile::Outcome::Published) {
        ui.error(procedure, why);
        return false;
    }
    return true;
}

} // namespace kv5
