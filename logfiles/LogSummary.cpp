#include "logfiles/LogSummary.h"

#include "core/JsonText.h"
#include "core/LogData.h"
#include "core/Settings.h"
#include "core/Units.h"
#include "logger/TimeFormat.h"

#include <QLocale>

#include <cmath>
#include <limits>

namespace kv5 {

namespace {

constexpr double SecondsPerDay = 86400;
// ΔH/R of the mean kinetic temperature, kelvin (83.144 kJ/mol).
constexpr double MktActivation = 10000;
constexpr double KelvinOffset = 273.15;

bool isMoisture(Quantity quantity) {
    return quantity == Quantity::Mc1 || quantity == Quantity::Mc2 || quantity == Quantity::Mc3;
}

// The unit of a quantity in the summary's files.
QString unitOf(const QuantityRow& row, bool celsius) {
    switch (row.unit) {
    case QuantityUnit::Degrees:
        return celsius ? QStringLiteral("C") : QStringLiteral("F");
    case QuantityUnit::Percent:
        return QStringLiteral("%");
    case QuantityUnit::None:
        break;
    }
    return row.quantity == Quantity::Gpp ? QStringLiteral("gr/lb") : QString();
}

// Runs of records beyond one limit, counted as they come.
struct RunCounter {
    ExcursionFigures figures;
    int run = 0;
    void take(bool beyond) {
        if (beyond) {
            if (run++ == 0) ++figures.excursions;
            figures.records += 1;
            figures.longestRecords = std::max(figures.longestRecords, run);
        } else {
            run = 0;
        }
    }
};

// What one pass gathers for one quantity.
struct Accumulator {
    double sum = 0;
    double mktSum = 0;
    RunCounter low, high;
    // Least-squares sums over the last day: x in days before the last record, y the value.
    double n = 0, sx = 0, sy = 0, sxx = 0, sxy = 0;
    DayFigures day;
    double daySum = 0;
};

QDateTime timeOf(qint64 seconds) { return QDateTime::fromSecsSinceEpoch(seconds, Qt::UTC); }

} // namespace

std::vector<qint64> LogRecordTimes(const LogData& log, const LogContext* context, std::optional<int>& interval,
                                   bool& estimated) {
    const int n = log.RecordCount;
    std::vector<qint64> times;
    estimated = false;
    if (context && context->Start.isValid() && context->IntervalSeconds) {
        // The logger stamps its records by plain arithmetic from its start time.
        interval = context->IntervalSeconds;
        const qint64 start = context->Start.toSecsSinceEpoch();
        times.resize(size_t(n));
        for (int i = 0; i < n; ++i) times[size_t(i)] = start + qint64(i) * *interval;
        return times;
    }
    if (context) interval = context->IntervalSeconds;
    // A file from elsewhere: its own time stamps, as the program writes them.
    constexpr qint64 Unknown = std::numeric_limits<qint64>::min();
    times.assign(size_t(n), Unknown);
    int first = -1, last = -1;
    for (int i = 0; i < n; ++i) {
        const QDateTime time = ReadTimeStampText(log.LogTime[size_t(i)]);
        if (!time.isValid()) continue;
        times[size_t(i)] = time.toSecsSinceEpoch();
        if (first < 0) first = i;
        last = i;
    }
    if (first < 0) return {};
    if (!interval && last > first) {
        interval = static_cast<int>(std::lround(double(times[size_t(last)] - times[size_t(first)]) / (last - first)));
        estimated = true;
    }
    // A stamp that cannot be read follows the one before it by the interval.
    const qint64 step = interval.value_or(0);
    for (int i = 0; i < n; ++i)
        if (times[size_t(i)] == Unknown)
            times[size_t(i)] = i > first ? times[size_t(i - 1)] + step : times[size_t(first)] - (first - i) * step;
    return times;
}

AlarmLimits QuantityLimits(const LogContext& context, Quantity quantity) {
    switch (quantity) {
    case Quantity::Temperature:
        return context.Temperature;
    case Quantity::Mc1:
    case Quantity::Mc2:
    case Quantity::Mc3:
    case Quantity::Rh:
        return context.RhMc;
    case Quantity::Emc:
        return context.EmcAlarm;
    case Quantity::Gpp:
    case Quantity::DewPoint:
        break;
    }
    return {};
}

SummaryOptions SummaryOptionsOf(const Settings& settings) {
    SummaryOptions options;
    options.Celsius = settings.Celsius;
    options.AhGpp = settings.AhGpp;
    options.Emc = settings.Emc;
    options.Dewpoint = settings.Dewpoint;
    if (settings.TargetMc > 0) options.targetMc = settings.TargetMc;
    return options;
}

LogSummary SummarizeLog(const LogData& log, const LogContext* context, const SummaryOptions& options) {
    LogSummary summary;
    const int n = log.RecordCount;
    summary.sensorType = log.SensorType;
    summary.records = n;
    summary.celsius = context ? context->Celsius : options.Celsius != 0;
    summary.targetMc = options.targetMc;
    if (context) summary.utcOffsetSeconds = context->UtcOffsetSeconds;
    const int celsius = summary.celsius ? 1 : 0;
    const std::vector<qint64> times = LogRecordTimes(log, context, summary.intervalSeconds, summary.intervalEstimated);
    const bool timed = !times.empty() && n > 0;
    if (timed) {
        summary.start = timeOf(times.front());
        summary.end = timeOf(times.back());
    }

    Settings shownBy;
    shownBy.AhGpp = options.AhGpp;
    shownBy.Emc = options.Emc;
    shownBy.Dewpoint = options.Dewpoint;
    const std::vector<const QuantityRow*> chosen = ShownQuantities(log.isQ7R(), shownBy);
    for (const QuantityRow* row : chosen) {
        QuantitySummary s;
        s.quantity = row->quantity;
        s.key = QLatin1String(row->key);
        s.label = QuantityHeader(*row, celsius);
        s.unit = unitOf(*row, summary.celsius);
        s.moisture = isMoisture(row->quantity);
        const auto given = options.limits.find(s.key);
        s.limits = given != options.limits.end() ? given->second
                   : context                     ? QuantityLimits(*context, row->quantity)
                                                 : AlarmLimits();
        summary.quantities.push_back(s);
    }
    const size_t count = chosen.size();
    std::vector<Accumulator> acc(count);
    // The drying rate needs a full day of records; it is taken over the last one.
    const bool fullDay = timed && times.back() - times.front() >= SecondsPerDay;
    const qint64 lastDayFrom = timed ? times.back() - qint64(SecondsPerDay) : 0;

    QDate day;
    const auto closeDay = [&] {
        if (!day.isValid()) return;
        DaySummary& d = summary.days.back();
        for (size_t q = 0; q < count; ++q) {
            DayFigures& f = acc[q].day;
            if (f.count > 0) f.mean = acc[q].daySum / f.count;
            d.quantities[q] = f;
            f = DayFigures();
            acc[q].daySum = 0;
        }
    };

    for (int i = 0; i < n; ++i) {
        if (timed) {
            const QDate date = timeOf(times[size_t(i)]).date();
            if (date != day) {
                closeDay();
                day = date;
                summary.days.push_back({date, 0, std::vector<DayFigures>(count)});
            }
            summary.days.back().records += 1;
        }
        for (size_t q = 0; q < count; ++q) {
            QuantitySummary& s = summary.quantities[q];
            Accumulator& a = acc[q];
            const Derived value = QuantityValue(*chosen[q], log, i, celsius);
            // A value that cannot be computed is beyond no limit and breaks no run.
            if (!value.ok()) continue;
            const double v = value.value;
            if (s.count == 0 || v < s.min) s.min = v, s.minRecord = i;
            if (s.count == 0 || v > s.max) s.max = v, s.maxRecord = i;
            s.count += 1;
            a.sum += v;
            if (s.quantity == Quantity::Temperature)
                a.mktSum += std::exp(-MktActivation / ((celsius ? v : ToCelsius(v)) + KelvinOffset));
            if (s.limits.low) a.low.take(v < *s.limits.low);
            if (s.limits.high) a.high.take(v > *s.limits.high);
            if (s.moisture && fullDay && times[size_t(i)] >= lastDayFrom) {
                const double x = double(times[size_t(i)] - times.back()) / SecondsPerDay;
                a.n += 1, a.sx += x, a.sy += v, a.sxx += x * x, a.sxy += x * v;
            }
            if (timed) {
                DayFigures& f = a.day;
                if (f.count == 0 || v < f.min) f.min = v;
                if (f.count == 0 || v > f.max) f.max = v;
                f.count += 1;
                a.daySum += v;
            }
        }
    }
    closeDay();

    for (size_t q = 0; q < count; ++q) {
        QuantitySummary& s = summary.quantities[q];
        const Accumulator& a = acc[q];
        if (s.count > 0) {
            s.mean = a.sum / s.count;
            if (timed) s.minAt = timeOf(times[size_t(s.minRecord)]), s.maxAt = timeOf(times[size_t(s.maxRecord)]);
            if (s.quantity == Quantity::Temperature) {
                const double kelvin = MktActivation / -std::log(a.mktSum / s.count);
                s.mkt = celsius ? kelvin - KelvinOffset : ToFahrenheit(kelvin - KelvinOffset);
            }
        }
        const auto figures = [&summary](const RunCounter& counter) {
            ExcursionFigures f = counter.figures;
            if (summary.intervalSeconds) {
                f.seconds = double(f.records) * *summary.intervalSeconds;
                f.longestSeconds = double(f.longestRecords) * *summary.intervalSeconds;
            }
            return f;
        };
        if (s.limits.low) s.belowLow = figures(a.low);
        if (s.limits.high) s.aboveHigh = figures(a.high);
        const double spread = a.n * a.sxx - a.sx * a.sx;
        if (s.moisture && a.n >= 2 && spread > 0) {
            const double slope = (a.n * a.sxy - a.sx * a.sy) / spread;
            const double atEnd = (a.sy - slope * a.sx) / a.n; // the line at the last record
            s.ratePerDay = slope;
            if (options.targetMc && slope < 0 && *options.targetMc < atEnd)
                s.daysToTarget = (*options.targetMc - atEnd) / slope;
        }
    }
    return summary;
}

namespace {

QString number(double value, int decimals = 2) { return QLocale::system().toString(value, 'f', decimals); }

QString hoursText(std::optional<double> seconds) {
    if (!seconds) return QStringLiteral("time unknown");
    return number(*seconds / 3600, 1) + QStringLiteral(" h");
}

QString timeText(const QDateTime& time) {
    return time.isValid() ? time.toString(QStringLiteral("yyyy-MM-dd HH:mm")) : QStringLiteral("?");
}

QString excursionText(const char* side, double limit, const ExcursionFigures& f) {
    QString text = QStringLiteral("  %1 %2: ").arg(QLatin1String(side), number(limit, 1));
    if (f.records == 0) return text + QStringLiteral("never beyond\n");
    return text + QStringLiteral("%1 records (%2), excursions %3, the longest %4 records (%5)\n")
                      .arg(f.records)
                      .arg(hoursText(f.seconds))
                      .arg(f.excursions)
                      .arg(f.longestRecords)
                      .arg(hoursText(f.longestSeconds));
}

QByteArray excursionJson(const std::optional<ExcursionFigures>& f) {
    if (!f) return JsonNull;
    return JsonObjectText()
        .add("records", JsonInteger(f->records))
        .add("seconds", JsonNumber(f->seconds))
        .add("excursions", JsonInteger(f->excursions))
        .add("longest_s", JsonNumber(f->longestSeconds))
        .text();
}

} // namespace

QString SummaryText(const LogSummary& summary) {
    QString text = QStringLiteral("Summary\n");
    if (summary.records == 0) return text + QStringLiteral("There is no log data!\n");
    text += QStringLiteral("From %1 to %2, %3 records")
                .arg(timeText(summary.start), timeText(summary.end))
                .arg(summary.records);
    if (summary.intervalSeconds)
        text += QStringLiteral(", every %1 s%2")
                    .arg(*summary.intervalSeconds)
                    .arg(summary.intervalEstimated ? QStringLiteral(" (estimated from the times)") : QString());
    text += QLatin1Char('\n');
    for (const QuantitySummary& q : summary.quantities) {
        text += QLatin1Char('\n') + q.label + QStringLiteral(": ");
        if (q.count == 0) {
            text += QStringLiteral("cannot be computed\n");
            continue;
        }
        text += QStringLiteral("min %1 at %2, max %3 at %4, mean %5")
                    .arg(number(q.min, 1), timeText(q.minAt), number(q.max, 1), timeText(q.maxAt), number(q.mean));
        if (q.mkt) text += QStringLiteral(", MKT %1").arg(number(*q.mkt));
        text += QLatin1Char('\n');
        if (q.belowLow) text += excursionText("below", *q.limits.low, *q.belowLow);
        if (q.aboveHigh) text += excursionText("above", *q.limits.high, *q.aboveHigh);
        if (q.moisture) {
            text += QStringLiteral("  drying rate: ") +
                    (q.ratePerDay ? number(*q.ratePerDay) + QStringLiteral(" % per day")
                                  : QStringLiteral("needs 24 hours of records"));
            if (summary.targetMc && q.ratePerDay)
                text += QStringLiteral(", %1 % reached ").arg(number(*summary.targetMc, 1)) +
                        (q.daysToTarget ? QStringLiteral("in %1 days").arg(number(*q.daysToTarget, 1))
                                        : QStringLiteral("never at this rate"));
            text += QLatin1Char('\n');
        }
    }
    if (!summary.days.empty()) {
        text += QStringLiteral("\nDay         Records");
        for (const QuantitySummary& q : summary.quantities) text += QStringLiteral("  ") + q.label + QStringLiteral(" min/mean/max");
        text += QLatin1Char('\n');
        for (const DaySummary& day : summary.days) {
            text += day.date.toString(Qt::ISODate) + QStringLiteral("  ") + QString::number(day.records).rightJustified(7);
            for (const DayFigures& f : day.quantities)
                text += QStringLiteral("  ") + (f.count ? QStringLiteral("%1/%2/%3").arg(number(f.min, 1), number(f.mean, 1), number(f.max, 1))
                                                        : QStringLiteral("-"));
            text += QLatin1Char('\n');
        }
    }
    return text;
}

QByteArray SummaryJson(const LogSummary& summary, const QString& file) {
    const auto time = [&summary](const QDateTime& t) {
        return t.isValid() ? JsonString(WallClockIso(t, summary.utcOffsetSeconds)) : JsonNull;
    };
    std::vector<QByteArray> quantities;
    for (const QuantitySummary& q : summary.quantities) {
        const bool any = q.count > 0;
        JsonObjectText item;
        item.add("name", JsonString(q.key))
            .add("unit", JsonString(q.unit))
            .add("count", JsonInteger(q.count))
            .add("min", any ? JsonNumber(q.min) : JsonNull)
            .add("min_at", any ? time(q.minAt) : JsonNull)
            .add("max", any ? JsonNumber(q.max) : JsonNull)
            .add("max_at", any ? time(q.maxAt) : JsonNull)
            .add("mean", any ? JsonNumber(q.mean) : JsonNull);
        if (q.quantity == Quantity::Temperature) item.add("mkt", JsonNumber(q.mkt));
        item.add("low_limit", JsonNumber(q.limits.low))
            .add("high_limit", JsonNumber(q.limits.high))
            .add("below_low", excursionJson(q.belowLow))
            .add("above_high", excursionJson(q.aboveHigh));
        if (q.moisture) item.add("rate_per_day", JsonNumber(q.ratePerDay)).add("days_to_target", JsonNumber(q.daysToTarget));
        quantities.push_back(item.text());
    }
    std::vector<QByteArray> days;
    for (const DaySummary& day : summary.days) {
        JsonObjectText figures;
        std::vector<QByteArray> perQuantity;
        for (size_t q = 0; q < day.quantities.size(); ++q) {
            const DayFigures& f = day.quantities[q];
            if (f.count == 0) continue;
            figures.add(summary.quantities[q].key.toLatin1().constData(),
                        JsonObjectText().add("min", JsonNumber(f.min)).add("mean", JsonNumber(f.mean)).add("max", JsonNumber(f.max)).text());
        }
        days.push_back(JsonObjectText()
                           .add("date", JsonString(day.date.toString(Qt::ISODate)))
                           .add("records", JsonInteger(day.records))
                           .add("quantities", figures.text())
                           .text());
    }
    return JsonObjectText()
               .add("file", JsonString(file))
               .add("family", JsonString(FamilyName(summary.sensorType)))
               .add("records", JsonInteger(summary.records))
               .add("start", time(summary.start))
               .add("end", time(summary.end))
               .add("interval_s", summary.intervalSeconds ? JsonInteger(*summary.intervalSeconds) : JsonNull)
               .add("unit", JsonString(summary.celsius ? QStringLiteral("C") : QStringLiteral("F")))
               .add("quantities", JsonArray(quantities, 4))
               .add("days", JsonArray(days, 4))
               .text(2) +
           '\n';
}

} // namespace kv5
