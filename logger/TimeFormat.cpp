#include "logger/TimeFormat.h"

#include "core/LogData.h"
#include "core/UserInterface.h"

#include <QLocale>

namespace kv5 {

namespace {

// The user's short date pattern with the year always in four digits: a two-digit year in a
// stored file would be ambiguous.
QString dateFormat() {
    QString format = QLocale::system().dateFormat(QLocale::ShortFormat);
    if (!format.contains(QLatin1String("yyyy"))) format.replace(QLatin1String("yy"), QLatin1String("yyyy"));
    return format;
}

// The user's separator between hours and minutes (":" in most places, "." in some).
QString timeSeparator() {
    const QString format = QLocale::system().timeFormat(QLocale::ShortFormat);
    const qsizetype hour = format.indexOf(QLatin1Char('h'), 0, Qt::CaseInsensitive);
    if (hour < 0) return QStringLiteral(":");
    qsizetype at = hour;
    while (at < format.size() && format[at].toLower() == QLatin1Char('h')) ++at;
    const qsizetype minute = format.indexOf(QLatin1Char('m'), at);
    if (minute <= at) return QStringLiteral(":");
    const QString separator = format.mid(at, minute - at);
    return separator.isEmpty() || separator.contains(QLatin1Char('\'')) ? QStringLiteral(":") : separator;
}

} // namespace

QString TimeStampText(const QDateTime& time) {
    if (!time.isValid()) return {};
    static const QLocale locale = QLocale::system();
    static const QString format = dateFormat();
    static const QString separator = timeSeparator();
    // A download stamps thousands of records a day apart by minutes: the date text is made
    // once a day, the time by hand.
    thread_local QDate lastDate;
    thread_local QString lastDateText;
    const QDate date = time.date();
    if (date != lastDate) {
        lastDate = date;
        lastDateText = locale.toString(date, format);
    }
    const QTime clock = time.time();
    const auto twoDigits = [](int value) { return QString::number(value).rightJustified(2, QLatin1Char('0')); };
    return lastDateText + QLatin1Char(' ') + twoDigits(clock.hour()) + separator + twoDigits(clock.minute());
}

QDateTime ReadTimeStampText(const QString& text) {
    static const QLocale locale = QLocale::system();
    static const QString format = dateFormat();
    static const QString separator = timeSeparator();
    const qsizetype blank = text.lastIndexOf(QLatin1Char(' '));
    if (blank < 0) return {};
    // The records of a day share their date text: it is read once.
    thread_local QString lastDateText;
    thread_local QDate lastDate;
    const QStringView dateText = QStringView(text).left(blank);
    if (dateText != lastDateText) {
        lastDateText = dateText.toString();
        lastDate = locale.toDate(lastDateText, format);
    }
    const QStringView clock = QStringView(text).mid(blank + 1);
    const qsizetype at = clock.indexOf(separator);
    if (!lastDate.isValid() || at < 1 || at > 2 || clock.size() != at + separator.size() + 2) return {};
    bool hourOk = false, minuteOk = false;
    const int hour = clock.left(at).toInt(&hourOk);
    const int minute = clock.mid(at + separator.size()).toInt(&minuteOk);
    const QTime time(hour, minute);
    if (!hourOk || !minuteOk || !time.isValid()) return {};
    return QDateTime(lastDate, time, Qt::UTC);
}

QString FormatTime(const QString& startTimeText, LogData& log, UserInterface& ui) {
    int parts[5] = {};
    for (int i = 0; i < 5; ++i) {
        bool ok = false;
        const QString digits = startTimeText.mid(2 * i, 2);
        parts[i] = digits.size() == 2 ? digits.toInt(&ok) : 0;
        if (!ok || !digits[0].isDigit() || !digits[1].isDigit()) {
            ui.error(QStringLiteral("FormatTime"),
                     QStringLiteral("\"%1\" is not a start time of the form YYMMDDhhmm").arg(startTimeText));
            log.StartTime = QDateTime();
            return {};
        }
    }
    // Date and time are built separately and added, so a part out of its range rolls over:
    // month 13 is January of the next year, day 0 the last day of the month before, minute
    // 60 the next hour.
    QDate date(2000 + parts[0], 1, 1);
    date = date.addMonths(parts[1] - 1).addDays(parts[2] - 1);
    const QDateTime start =
        QDateTime(date, QTime(0, 0), Qt::UTC).addSecs(qint64(parts[3]) * 3600 + qint64(parts[4]) * 60);
    log.StartTime = start;
    return TimeStampText(start);
}

QString FormatTimeISO(const QString& startTimeText, UserInterface& ui) {
    if (startTimeText.size() < 10) {
        ui.error(QStringLiteral("FormatTimeISO"),
                 QStringLiteral("\"%1\" is shorter than ten characters").arg(startTimeText));
        return {};
    }
    const auto part = [&](int i) { return startTimeText.mid(2 * i, 2); };
    return QStringLiteral("20") + part(0) + '-' + part(1) + '-' + part(2) + '-' + part(3) + '-' + part(4);
}

} // namespace kv5
