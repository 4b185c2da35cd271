#include "core/LogContext.h"

#include "core/JsonText.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

#include <cmath>
#include <cstdlib>

namespace kv5 {

namespace {

QByteArray limitsText(const AlarmLimits& limits) {
    return JsonObjectText().add("low", JsonNumber(limits.low)).add("high", JsonNumber(limits.high)).text();
}

QByteArray optionalBool(std::optional<bool> value) {
    return value ? JsonBool(*value) : JsonNull;
}

// The reader's checks: a field is either missing, null or of its kind.
class Fields {
public:
    Fields(const QJsonObject& object, QString& why) : object_(object), why_(why) {}

    bool string(const char* key, QString& out) {
        const QJsonValue value = object_.value(QLatin1String(key));
        if (value.isUndefined() || value.isNull()) return true;
        if (!value.isString()) return wrong(key, "a text");
        out = value.toString();
        return true;
    }
    bool number(const char* key, std::optional<double>& out) {
        const QJsonValue value = object_.value(QLatin1String(key));
        if (value.isUndefined() || value.isNull()) return true;
        if (!value.isDouble()) return wrong(key, "a number");
        out = value.toDouble();
        return true;
    }
    bool integer(const char* key, std::optional<int>& out) {
        std::optional<double> number;
        if (!this->number(key, number)) return false;
        if (!number) return true;
        if (*number != std::floor(*number) || std::abs(*number) > 2e9) return wrong(key, "a whole number");
        out = static_cast<int>(*number);
        return true;
    }
    bool boolean(const char* key, std::optional<bool>& out) {
        const QJsonValue value = object_.value(QLatin1String(key));
        if (value.isUndefined() || value.isNull()) return true;
        if (!value.isBool()) return wrong(key, "true or false");
        out = value.toBool();
        return true;
    }
    bool limits(const char* key, AlarmLimits& out) {
        const QJsonValue value = object_.value(QLatin1String(key));
        if (value.isUndefined() || value.isNull()) return true;
        if (!value.isObject()) return wrong(key, "an object");
        Fields inner(value.toObject(), why_);
        return inner.number("low", out.low) && inner.number("high", out.high);
    }
    bool wrong(const char* key, const char* kind) {
        why_ = QStringLiteral("\"%1\" is not %2").arg(QLatin1String(key), QLatin1String(kind));
        return false;
    }

private:
    QJsonObject object_;
    QString& why_;
};

// "+HH:MM" or "-HH:MM" to seconds; nothing for another text.
std::optional<int> readOffset(const QString& text) {
    static const QRegularExpression pattern(QStringLiteral("^([+-])(\\d\\d):(\\d\\d)$"));
    const QRegularExpressionMatch match = pattern.match(text);
    if (!match.hasMatch()) return std::nullopt;
    const int seconds = match.captured(2).toInt() * 3600 + match.captured(3).toInt() * 60;
    return match.captured(1) == QLatin1String("-") ? -seconds : seconds;
}

} // namespace

QString FamilyName(int sensorType) {
    if (sensorType == 40) return QStringLiteral("Vantorp");
    if (sensorType == 80) return QStringLiteral("Q7R");
    return {};
}

int SensorTypeOfFamily(const QString& family) {
    if (family == QLatin1String("Vantorp")) return 40;
    if (family == QLatin1String("Q7R")) return 80;
    return 0;
}

QString UtcOffsetText(int seconds) {
    const int minutes = std::abs(seconds) / 60;
    return QStringLiteral("%1%2:%3")
        .arg(seconds < 0 ? QLatin1Char('-') : QLatin1Char('+'))
        .arg(minutes / 60, 2, 10, QLatin1Char('0'))
        .arg(minutes % 60, 2, 10, QLatin1Char('0'));
}

QString WallClockIso(const QDateTime& wallClock, std::optional<int> utcOffsetSeconds) {
    if (!wallClock.isValid()) return {};
    const QString text = wallClock.toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss"));
    return utcOffsetSeconds ? text + UtcOffsetText(*utcOffsetSeconds) : text;
}

QByteArray LogContextJsonText(const LogContext& c, int indent) {
    std::vector<QByteArray> species;
    for (size_t i = 0; i < c.McSpecies.size(); ++i)
        species.push_back(JsonObjectText()
                              .add("channel", JsonInteger(qint64(i) + 1))
                              .add("code", JsonInteger(c.McSpecies[i].Code))
                              .add("name", JsonString(c.McSpecies[i].Name))
                              .text());
    const QByteArray alarms = JsonObjectText()
                                  .add("temperature", limitsText(c.Temperature))
                                  .add("rh_mc", limitsText(c.RhMc))
                                  .add("emc", limitsText(c.EmcAlarm))
                                  .add("hold", optionalBool(c.HoldAlarms))
                                  .add("beep", optionalBool(c.Beep))
                                  .text();
    const auto stringOrNull = [](const QString& text) {
        return text.isEmpty() ? JsonNull : JsonString(text);
    };
    return JsonObjectText()
        .add("format", JsonInteger(LogContext::FormatVersion))
        .add("serial_number", JsonString(c.SerialNumber))
        .add("description", JsonString(c.Description))
        .add("family", stringOrNull(FamilyName(c.SensorType)))
        .add("firmware_revision", JsonString(c.FirmwareRevision))
        .add("start", stringOrNull(WallClockIso(c.Start, std::nullopt)))
        .add("utc_offset", c.UtcOffsetSeconds ? JsonString(UtcOffsetText(*c.UtcOffsetSeconds)) : JsonNull)
        .add("interval_s", c.IntervalSeconds ? JsonInteger(*c.IntervalSeconds) : JsonNull)
        .add("records", JsonInteger(c.Records))
        .add("unit", JsonString(c.Celsius ? QStringLiteral("C") : QStringLiteral("F")))
        .add("alarms", alarms)
        .add("species", JsonArray(species))
        .add("downloaded",
             stringOrNull(c.Downloaded.isValid() ? c.Downloaded.toUTC().toString(Qt::ISODate) : QString()))
        .add("program", JsonString(c.Program))
        .add("version", JsonString(c.Version))
        .add("sha256", JsonString(c.Sha256))
        .text(indent);
}

QByteArray LogContextJson(const LogContext& context) {
    return LogContextJsonText(context, 2) + '\n';
}

bool ReadLogContextJson(const QByteArray& bytes, LogContext& c, QString& why) {
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &error);
    if (error.error != QJsonParseError::NoError) {
        why = QStringLiteral("not JSON: %1 at byte %2").arg(error.errorString()).arg(error.offset);
        return false;
    }
    if (!document.isObject()) {
        why = QStringLiteral("not a JSON object");
        return false;
    }
    const QJsonObject object = document.object();
    Fields fields(object, why);
    std::optional<int> format, interval, records;
    if (!fields.integer("format", format)) return false;
    if (!format || *format < 1 || *format > LogContext::FormatVersion) {
        why = QStringLiteral("format %1 is not one this program reads").arg(format ? *format : 0);
        return false;
    }
    QString family, start, offset, unit, downloaded;
    if (!fields.string("serial_number", c.SerialNumber) || !fields.string("description", c.Description) ||
        !fields.string("family", family) || !fields.string("firmware_revision", c.FirmwareRevision) ||
        !fields.string("start", start) || !fields.string("utc_offset", offset) ||
        !fields.integer("interval_s", interval) || !fields.integer("records", records) ||
        !fields.string("unit", unit) || !fields.string("downloaded", downloaded) ||
        !fields.string("program", c.Program) || !fields.string("version", c.Version) ||
        !fields.string("sha256", c.Sha256))
        return false;
    c.SensorType = SensorTypeOfFamily(family);
    const QDateTime wallClock = QDateTime::fromString(start, QStringLiteral("yyyy-MM-ddTHH:mm:ss"));
    c.Start = wallClock.isValid() ? QDateTime(wallClock.date(), wallClock.time(), Qt::UTC) : QDateTime();
    if (!offset.isEmpty() && !(c.UtcOffsetSeconds = readOffset(offset)))
        return fields.wrong("utc_offset", "+HH:MM");
    if (interval && *interval <= 0) return fields.wrong("interval_s", "a positive number");
    c.IntervalSeconds = interval;
    c.Records = records.value_or(0);
    if (unit != QLatin1String("C") && unit != QLatin1String("F"))
        return fields.wrong("unit", "\"C\" or \"F\"");
    c.Celsius = unit == QLatin1String("C");
    c.Downloaded = QDateTime::fromString(downloaded, Qt::ISODate);

    const QJsonValue alarms = object.value(QLatin1String("alarms"));
    if (alarms.isObject()) {
        Fields inner(alarms.toObject(), why);
        if (!inner.limits("temperature", c.Temperature) || !inner.limits("rh_mc", c.RhMc) ||
            !inner.limits("emc", c.EmcAlarm) || !inner.boolean("hold", c.HoldAlarms) ||
            !inner.boolean("beep", c.Beep))
            return false;
    }
    const QJsonArray species = object.value(QLatin1String("species")).toArray();
    for (const QJsonValue& item : species) {
        const QJsonObject entry = item.toObject();
        const int channel = entry.value(QLatin1String("channel")).toInt();
        if (channel < 1 || channel > 3) continue;
        c.McSpecies[size_t(channel - 1)] = {entry.value(QLatin1String("code")).toInt(),
                                            entry.value(QLatin1String("name")).toString()};
    }
    return true;
}

QString ContextFileName(const QString& logFile) {
    QString name = logFile;
    if (name.endsWith(QLatin1String(".txt"), Qt::CaseInsensitive)) name.chop(4);
    return name + QStringLiteral(".json");
}

} // namespace kv5
