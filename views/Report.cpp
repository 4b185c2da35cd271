#include "views/Report.h"

#include "calc/Quantities.h"
#include "core/LogData.h"
#include "core/SafePublish.h"
#include "core/Settings.h"
#include "core/UserInterface.h"
#include "logfiles/LogFile.h"

#include <QBuffer>
#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>
#include <QPainter>
#include <QPainterPath>
#include <QPdfWriter>

#include <algorithm>
#include <cmath>
#include <memory>

namespace kv5 {

namespace {

const QString Procedure = QStringLiteral("MakeReport");
// Page geometry in points (the writer draws at 72 to the inch).
constexpr qreal Margin = 40;
constexpr qreal FooterHeight = 26;
constexpr qreal ChartHeight = 210;
constexpr int DailyTableDays = 31;
constexpr qint64 SecondsPerDay = 86400;

// Numbers and times of the report: a point and ASCII digits whatever the locale.
QString fixed(double value, int decimals) { return QString::number(value, 'f', decimals); }
QString timeText(const QDateTime& time) {
    return time.isValid() ? time.toString(QStringLiteral("yyyy-MM-dd HH:mm")) : QStringLiteral("?");
}
QString hoursText(std::optional<double> seconds) {
    return seconds ? fixed(*seconds / 3600, 1) + QStringLiteral(" h") : QStringLiteral("?");
}

QFont font(const char* family, qreal points, bool bold = false) {
    QFont f(QString::fromLatin1(family));
    f.setPointSizeF(points);
    f.setBold(bold);
    f.setStyleStrategy(QFont::PreferOutline);
    return f;
}
QFont textFont(qreal points, bool bold = false) { return font("Liberation Sans", points, bold); }
QFont tableFont(qreal points, bool bold = false) { return font("Liberation Sans Narrow", points, bold); }

// The quantity table's row of a summary's quantity.
const QuantityRow& rowOf(const QString& key) {
    for (const QuantityRow& row : QuantityTable)
        if (key == QLatin1String(row.key)) return row;
    return QuantityTable.front();
}

QColor colorOf(const QString& key) {
    const Rgb c = rowOf(key).colour;
    return QColor(c.red, c.green, c.blue);
}

// Rows of the period table: days, weeks from Monday or months, merged from the summary's days.
struct PeriodRow {
    QString label;
    int records = 0;
    std::vector<DayFigures> figures;
};

std::vector<PeriodRow> periodRows(const LogSummary& summary, int maxRows, QString& heading) {
    enum class Period { Day, Week, Month };
    Period period = Period::Day;
    if (summary.days.size() > size_t(DailyTableDays)) period = Period::Week;
    if (period == Period::Week && summary.days.size() / 7 + 2 > size_t(maxRows)) period = Period::Month;
    heading = period == Period::Day    ? QStringLiteral("Day")
              : period == Period::Week ? QStringLiteral("Week from")
                                       : QStringLiteral("Month");
    std::vector<PeriodRow> rows;
    QDate current;
    for (const DaySummary& day : summary.days) {
        QDate key = day.date;
        if (period == Period::Week) key = day.date.addDays(1 - day.date.dayOfWeek());
        if (period == Period::Month) key = QDate(day.date.year(), day.date.month(), 1);
        if (rows.empty() || key != current) {
            current = key;
            rows.push_back({period == Period::Month ? key.toString(QStringLiteral("yyyy-MM")) : key.toString(Qt::ISODate),
                            0, std::vector<DayFigures>(day.quantities.size())});
        }
        PeriodRow& row = rows.back();
        row.records += day.records;
        for (size_t q = 0; q < day.quantities.size(); ++q) {
            const DayFigures& d = day.quantities[q];
            DayFigures& r = row.figures[q];
            if (d.count == 0) continue;
            if (r.count == 0 || d.min < r.min) r.min = d.min;
            if (r.count == 0 || d.max > r.max) r.max = d.max;
            r.mean = (r.mean * r.count + d.mean * d.count) / (r.count + d.count);
            r.count += d.count;
        }
    }
    return rows;
}

// A step of the time axis that gives at most about eight labels, and the labels' form.
struct TimeStep {
    qint64 seconds;
    qint64 alignment; // seconds after the epoch a label falls on
    const char* format;
};
TimeStep timeStepOf(qint64 span) {
    constexpr qint64 Hour = 3600;
    // The epoch was a Thursday: weeks are aligned to Monday.
    const qint64 monday = 4 * SecondsPerDay;
    const TimeStep steps[] = {
        {Hour, 0, "MM-dd HH:mm"},          {2 * Hour, 0, "MM-dd HH:mm"},      {3 * Hour, 0, "MM-dd HH:mm"},
        {6 * Hour, 0, "MM-dd HH:mm"},      {12 * Hour, 0, "MM-dd HH:mm"},     {SecondsPerDay, 0, "yyyy-MM-dd"},
        {2 * SecondsPerDay, 0, "yyyy-MM-dd"}, {7 * SecondsPerDay, monday, "yyyy-MM-dd"},
        {14 * SecondsPerDay, monday, "yyyy-MM-dd"}, {28 * SecondsPerDay, monday, "yyyy-MM-dd"},
        {91 * SecondsPerDay, monday, "yyyy-MM-dd"},
    };
    for (const TimeStep& step : steps)
        if (span / step.seconds <= 8) return step;
    return {364 * SecondsPerDay, monday, "yyyy-MM-dd"};
}

// Draws the report, page by page.
class ReportPainter {
public:
    ReportPainter(QPdfWriter& writer, QPainter& painter, const LogData& log, const LogContext* context,
                  const LogSummary& summary, const std::vector<qint64>& times, const ReportOptions& options,
                  const QString& fileName, const QString& sha256)
        : writer_(writer), p_(painter), log_(log), context_(context), summary_(summary), times_(times),
          options_(options), fileName_(fileName), sha256_(sha256) {
        width_ = writer.width();
        height_ = writer.height();
    }

    void paint() {
        y_ = Margin;
        header();
        summaryTable();
        limitsTable();
        chart();
        drying();
        periodTable();
        footer();
    }

private:
    qreal right() const { return width_ - Margin; }
    qreal bottom() const { return height_ - Margin - FooterHeight; }
    qreal contentWidth() const { return width_ - 2 * Margin; }

    void text(qreal x, qreal y, const QString& s, const QFont& f, Qt::Alignment align = Qt::AlignLeft,
              qreal width = 0) {
        p_.setFont(f);
        const QFontMetricsF metrics(f, &writer_);
        qreal left = x;
        if (align & Qt::AlignRight) left = x + width - metrics.horizontalAdvance(s);
        p_.drawText(QPointF(left, y + metrics.ascent()), s);
    }
    qreal lineHeight(const QFont& f) const { return QFontMetricsF(f, &writer_).height(); }

    // A new page when fewer than needed points are left.
    void room(qreal needed) {
        if (y_ + needed <= bottom()) return;
        footer();
        writer_.newPage();
        ++page_;
        y_ = Margin;
    }

    void sectionTitle(const QString& title) {
        const QFont f = textFont(10, true);
        room(lineHeight(f) * 3);
        y_ += 6;
        text(Margin, y_, title, f);
        y_ += lineHeight(f) + 2;
    }

    void header() {
        const QFont title = textFont(16, true);
        p_.setPen(Qt::black);
        text(Margin, y_, QStringLiteral("Log Report"), title);
        text(Margin, y_ + 4, options_.program, textFont(9), Qt::AlignRight, contentWidth());
        y_ += lineHeight(title) + 4;

        const auto orUnknown = [](const QString& s) { return s.isEmpty() ? QStringLiteral("unknown") : s; };
        QString interval = QStringLiteral("unknown");
        if (summary_.intervalSeconds) {
            interval = QStringLiteral("%1 s").arg(*summary_.intervalSeconds);
            if (summary_.intervalEstimated) interval += QStringLiteral(" (estimated from the times)");
        }
        const QString offset =
            summary_.utcOffsetSeconds ? QStringLiteral(" (UTC%1)").arg(UtcOffsetText(*summary_.utcOffsetSeconds))
                                      : QString();
        std::vector<std::pair<QString, QString>> lines{
            {QStringLiteral("Description"), orUnknown(context_ ? context_->Description : QString())},
            {QStringLiteral("Serial number"), orUnknown(context_ ? context_->SerialNumber : QString())},
            {QStringLiteral("Family"), orUnknown(FamilyName(summary_.sensorType))},
            {QStringLiteral("Period"), timeText(summary_.start) + QStringLiteral(" to ") + timeText(summary_.end) + offset},
            {QStringLiteral("Interval"), interval},
            {QStringLiteral("Records"), QString::number(summary_.records)},
        };
        if (log_.isQ7R()) {
            QStringList species;
            for (size_t c = 0; c < 3; ++c) {
                const QString name = context_ ? context_->McSpecies[c].Name : QString();
                species << QStringLiteral("MC%1 %2").arg(c + 1).arg(orUnknown(name));
            }
            lines.emplace_back(QStringLiteral("Species"), species.join(QStringLiteral(", ")));
        }
        if (!options_.site.isEmpty()) lines.emplace_back(QStringLiteral("Site"), options_.site);
        if (!options_.operatorName.isEmpty()) lines.emplace_back(QStringLiteral("Operator"), options_.operatorName);
        const QFont label = textFont(9, true), value = textFont(9);
        const qreal step = lineHeight(value);
        for (const auto& [name, content] : lines) {
            text(Margin, y_, name, label);
            text(Margin + 90, y_, content, value);
            y_ += step;
        }
    }

    // Columns of a table: x and width of each, in points from the left margin.
    void row(const QStringList& cells, const std::vector<qreal>& widths, const QFont& f,
             const std::vector<QColor>& cellColors = {}) {
        qreal x = Margin;
        for (qsizetype c = 0; c < cells.size() && size_t(c) < widths.size(); ++c) {
            p_.setPen(size_t(c) < cellColors.size() ? cellColors[size_t(c)] : QColor(Qt::black));
            text(x, y_, cells[c], f, c == 0 ? Qt::AlignLeft : Qt::AlignRight, widths[size_t(c)] - 4);
            x += widths[size_t(c)];
        }
        p_.setPen(Qt::black);
        y_ += lineHeight(f);
    }
    void rule() {
        p_.setPen(QPen(Qt::gray, 0.5));
        p_.drawLine(QPointF(Margin, y_ + 1), QPointF(right(), y_ + 1));
        p_.setPen(Qt::black);
        y_ += 2;
    }

    void summaryTable() {
        sectionTitle(QStringLiteral("Summary"));
        const std::vector<qreal> widths{80, 45, 80, 45, 80, 50, 50, 50};
        const QFont head = tableFont(8, true), body = tableFont(8);
        row({QStringLiteral("Quantity"), QStringLiteral("Min"), QStringLiteral("at"), QStringLiteral("Max"),
             QStringLiteral("at"), QStringLiteral("Mean"), QStringLiteral("MKT"), QStringLiteral("Records")},
            widths, head);
        rule();
        for (const QuantitySummary& q : summary_.quantities) {
            if (q.count == 0) {
                row({q.label, QStringLiteral("cannot be computed")}, {80, 125}, body);
                continue;
            }
            row({q.label, fixed(q.min, 1), timeText(q.minAt), fixed(q.max, 1), timeText(q.maxAt), fixed(q.mean, 2),
                 q.mkt ? fixed(*q.mkt, 2) : QString(), QString::number(q.count)},
                widths, body, {colorOf(q.key)});
        }
    }

    void limitsTable() {
        sectionTitle(QStringLiteral("Alarm limits"));
        const std::vector<qreal> widths{80, 70, 60, 60, 70, 60, 80};
        const QFont head = tableFont(8, true), body = tableFont(8);
        bool any = false;
        for (const QuantitySummary& q : summary_.quantities) {
            for (const bool high : {false, true}) {
                const std::optional<double>& limit = high ? q.limits.high : q.limits.low;
                const std::optional<ExcursionFigures>& f = high ? q.aboveHigh : q.belowLow;
                if (!limit || !f) continue;
                if (!any) {
                    row({QStringLiteral("Quantity"), QStringLiteral("Limit"), QStringLiteral("Records"),
                         QStringLiteral("Time"), QStringLiteral("Excursions"), QStringLiteral("Longest"),
                         QStringLiteral("Longest time")},
                        widths, head);
                    rule();
                    any = true;
                }
                room(lineHeight(body));
                row({q.label, (high ? QStringLiteral("above ") : QStringLiteral("below ")) + fixed(*limit, 1),
                     QString::number(f->records), hoursText(f->seconds), QString::number(f->excursions),
                     QStringLiteral("%1 rec.").arg(f->longestRecords), hoursText(f->longestSeconds)},
                    widths, body, {colorOf(q.key)});
            }
        }
        if (!any) row({QStringLiteral("No alarm limits are known for this log.")}, {contentWidth()}, body);
    }

    void chart() {
        sectionTitle(QStringLiteral("Chart"));
        room(ChartHeight);
        const QFont axis = tableFont(7);
        const qreal axisWidth = 30, axisHeight = lineHeight(axis) + 4, legendHeight = lineHeight(axis) + 4;
        const QRectF plot(Margin + axisWidth, y_ + legendHeight, contentWidth() - axisWidth,
                          ChartHeight - legendHeight - axisHeight);
        // The Y range: every value and every limit, on whole steps.
        double low = 0, high = 0;
        bool first = true;
        const auto take = [&](double v) {
            low = first ? v : std::min(low, v);
            high = first ? v : std::max(high, v);
            first = false;
        };
        for (const QuantitySummary& q : summary_.quantities) {
            if (q.count == 0) continue;
            take(q.min), take(q.max);
            if (q.limits.low) take(*q.limits.low);
            if (q.limits.high) take(*q.limits.high);
        }
        const double span = std::max(high - low, 1.0);
        const double magnitude = std::pow(10.0, std::floor(std::log10(span)));
        double yStep = magnitude;
        for (const double factor : {0.2, 0.5, 1.0, 2.0, 5.0})
            if (span / (magnitude * factor) <= 8) {
                yStep = magnitude * factor;
                break;
            }
        low = std::floor(low / yStep) * yStep;
        high = std::max(std::ceil(high / yStep) * yStep, low + yStep);
        const auto yOf = [&](double v) { return plot.bottom() - (v - low) / (high - low) * plot.height(); };

        // Legend.
        qreal x = plot.left();
        for (const QuantitySummary& q : summary_.quantities) {
            p_.setPen(QPen(colorOf(q.key), 1.5));
            p_.drawLine(QPointF(x, y_ + legendHeight / 2), QPointF(x + 12, y_ + legendHeight / 2));
            p_.setPen(Qt::black);
            text(x + 15, y_, q.label, axis);
            x += 15 + QFontMetricsF(axis, &writer_).horizontalAdvance(q.label) + 12;
        }

        // Grid and Y labels.
        p_.setPen(Qt::black);
        for (double v = low; v <= high + yStep / 2; v += yStep) {
            const qreal y = yOf(v);
            p_.setPen(QPen(QColor(220, 220, 220), 0.5));
            p_.drawLine(QPointF(plot.left(), y), QPointF(plot.right(), y));
            p_.setPen(Qt::black);
            text(Margin, y - lineHeight(axis) / 2, fixed(v, yStep < 1 ? 1 : 0), axis, Qt::AlignRight, axisWidth - 3);
        }
        // The time axis.
        const int n = summary_.records;
        const qint64 t0 = times_.empty() ? 0 : times_.front();
        const qint64 t1 = times_.empty() ? n - 1 : times_.back();
        const double tSpan = std::max<double>(double(t1 - t0), 1);
        const auto xOf = [&](int i) {
            const double t = times_.empty() ? i : double(times_[size_t(i)] - t0);
            return plot.left() + t / tSpan * plot.width();
        };
        if (!times_.empty()) {
            const TimeStep step = timeStepOf(t1 - t0);
            qint64 tick = t0 - ((t0 - step.alignment) % step.seconds + step.seconds) % step.seconds;
            if (tick < t0) tick += step.seconds;
            for (; tick <= t1; tick += step.seconds) {
                const qreal xt = plot.left() + double(tick - t0) / tSpan * plot.width();
                p_.setPen(QPen(QColor(220, 220, 220), 0.5));
                p_.drawLine(QPointF(xt, plot.top()), QPointF(xt, plot.bottom()));
                p_.setPen(Qt::black);
                const QString label = QDateTime::fromSecsSinceEpoch(tick, Qt::UTC).toString(QString::fromLatin1(step.format));
                const qreal w = QFontMetricsF(axis, &writer_).horizontalAdvance(label);
                text(std::clamp(xt - w / 2, Margin, right() - w), plot.bottom() + 3, label, axis);
            }
        }
        p_.setPen(QPen(Qt::black, 0.75));
        p_.drawRect(plot);

        // The traces: per column of the plot the first, lowest, highest and last value, so a
        // full log stays a few thousand points.
        const int columns = std::max(1, int(plot.width() * 2));
        const int celsius = summary_.celsius ? 1 : 0;
        p_.save();
        p_.setClipRect(plot);
        p_.setRenderHint(QPainter::Antialiasing);
        for (const QuantitySummary& q : summary_.quantities) {
            if (q.count == 0) continue;
            const QColor color = colorOf(q.key);
            const QuantityRow& quantity = rowOf(q.key);
            QPainterPath path;
            bool open = false;
            int column = -1;
            double cMin = 0, cMax = 0, cLast = 0;
            qreal cx = 0;
            const auto flushColumn = [&] {
                if (column < 0) return;
                path.lineTo(cx, yOf(cMin));
                path.lineTo(cx, yOf(cMax));
                path.lineTo(cx, yOf(cLast));
            };
            for (int i = 0; i < n; ++i) {
                const Derived value = QuantityValue(quantity, log_, i, celsius);
                const std::optional<double> v = value.ok() ? std::optional<double>(value.value) : std::nullopt;
                if (!v) {
                    flushColumn();
                    column = -1;
                    open = false;
                    continue;
                }
                const qreal xi = xOf(i);
                const int c = int((xi - plot.left()) / plot.width() * (columns - 1));
                if (!open) {
                    path.moveTo(xi, yOf(*v));
                    open = true;
                    column = c, cx = xi, cMin = cMax = cLast = *v;
                    continue;
                }
                if (c != column) {
                    flushColumn();
                    column = c, cx = xi, cMin = cMax = *v;
                    path.lineTo(xi, yOf(*v));
                }
                cMin = std::min(cMin, *v), cMax = std::max(cMax, *v), cLast = *v;
            }
            flushColumn();
            p_.setPen(QPen(color, 0.8));
            p_.setBrush(Qt::NoBrush);
            p_.drawPath(path);
            // Its limits, dashed in its colour.
            for (const std::optional<double>& limit : {q.limits.low, q.limits.high}) {
                if (!limit) continue;
                p_.setPen(QPen(color, 0.8, Qt::DashLine));
                p_.drawLine(QPointF(plot.left(), yOf(*limit)), QPointF(plot.right(), yOf(*limit)));
            }
        }
        p_.restore();
        y_ += ChartHeight;
    }

    void drying() {
        if (!log_.isQ7R()) return;
        sectionTitle(QStringLiteral("Drying over the last 24 hours"));
        const QFont body = tableFont(8);
        for (const QuantitySummary& q : summary_.quantities) {
            if (!q.moisture) continue;
            QString line = q.label + QStringLiteral(": ");
            if (!q.ratePerDay) {
                line += QStringLiteral("needs 24 hours of records");
            } else {
                line += fixed(*q.ratePerDay, 2) + QStringLiteral(" % per day");
                if (summary_.targetMc)
                    line += QStringLiteral(", %1 % reached ").arg(fixed(*summary_.targetMc, 1)) +
                            (q.daysToTarget ? QStringLiteral("in %1 days").arg(fixed(*q.daysToTarget, 1))
                                            : QStringLiteral("never at this rate"));
            }
            room(lineHeight(body));
            text(Margin, y_, line, body);
            y_ += lineHeight(body);
        }
    }

    void periodTable() {
        if (summary_.days.empty()) return;
        const QFont head = tableFont(7, true), body = tableFont(7);
        const qreal rowHeight = lineHeight(body);
        // Rows that fit on this page and a second one.
        const int fit = int((bottom() - y_ - 4 * rowHeight) / rowHeight + (bottom() - Margin - 2 * rowHeight) / rowHeight);
        QString heading;
        const std::vector<PeriodRow> rows = periodRows(summary_, fit, heading);
        sectionTitle(heading == QLatin1String("Day") ? QStringLiteral("Daily figures (min / mean / max)")
                     : heading == QLatin1String("Month") ? QStringLiteral("Monthly figures (min / mean / max)")
                                                          : QStringLiteral("Weekly figures (min / mean / max)"));
        const size_t count = summary_.quantities.size();
        const qreal lead = 46, records = 34;
        const qreal each = (contentWidth() - lead - records) / qreal(std::max<size_t>(count, 1));
        std::vector<qreal> widths{lead, records};
        QStringList titles{heading, QStringLiteral("Records")};
        std::vector<QColor> titleColors{Qt::black, Qt::black};
        for (const QuantitySummary& q : summary_.quantities) {
            widths.push_back(each);
            titles << q.label;
            titleColors.push_back(colorOf(q.key));
        }
        const auto titleRow = [&] {
            row(titles, widths, head, titleColors);
            rule();
        };
        titleRow();
        for (const PeriodRow& r : rows) {
            if (y_ + rowHeight > bottom()) {
                room(2 * rowHeight + 1);
                titleRow();
            }
            QStringList cells{r.label, QString::number(r.records)};
            for (const DayFigures& f : r.figures)
                cells << (f.count ? QStringLiteral("%1 / %2 / %3").arg(fixed(f.min, 1), fixed(f.mean, 1), fixed(f.max, 1))
                                  : QStringLiteral("-"));
            row(cells, widths, body);
        }
    }

    void footer() {
        const QFont f = tableFont(7);
        const qreal line = lineHeight(f);
        qreal y = height_ - Margin - 2 * line;
        p_.setPen(QPen(Qt::gray, 0.5));
        p_.drawLine(QPointF(Margin, y - 3), QPointF(right(), y - 3));
        p_.setPen(Qt::black);
        text(Margin, y, QStringLiteral("File %1    SHA-256 %2").arg(fileName_, sha256_), f);
        y += line;
        const QDateTime made = options_.made.isValid() ? options_.made : QDateTime::currentDateTime();
        text(Margin, y,
             QStringLiteral("Made by %1 %2 on %3").arg(options_.program, options_.version,
                                                       made.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")) +
                                                           QStringLiteral(" UTC") + UtcOffsetText(made.offsetFromUtc())),
             f);
        text(Margin, y, QStringLiteral("Page %1").arg(page_), f, Qt::AlignRight, contentWidth());
    }

    QPdfWriter& writer_;
    QPainter& p_;
    const LogData& log_;
    const LogContext* context_;
    const LogSummary& summary_;
    const std::vector<qint64>& times_;
    const ReportOptions& options_;
    QString fileName_, sha256_;
    qreal width_ = 0, height_ = 0, y_ = 0;
    int page_ = 1;
};

} // namespace

QPageSize::PageSizeId ReportPageSizeOf(const QLocale& locale) {
    switch (locale.territory()) {
    case QLocale::UnitedStates:
    case QLocale::Canada:
    case QLocale::Mexico:
    case QLocale::Philippines:
    case QLocale::Chile:
    case QLocale::Colombia:
    case QLocale::Venezuela:
    case QLocale::PuertoRico:
        return QPageSize::Letter;
    default:
        return QPageSize::A4;
    }
}

ReportOptions ReportOptionsOf(const Settings& settings, const QLocale& locale) {
    ReportOptions options;
    options.summary = SummaryOptionsOf(settings);
    options.site = settings.ReportSite;
    options.operatorName = settings.ReportOperator;
    options.pageSize = ReportPageSizeOf(locale);
    options.made = QDateTime::currentDateTime();
    return options;
}

bool WriteLogReport(const QString& logPath, const QString& pdfPath, const ReportOptions& options,
                    UserInterface& ui) {
    const auto log = std::make_unique<LogData>();
    if (!ReadLogForOutput(*log, ui, logPath, Procedure, QStringLiteral("report"))) return false;
    const QString fileName = QFileInfo(logPath).fileName();
    const std::optional<LogContext>& context = log->Context;
    QString why;
    // The hash of the bytes the report was made from, not the one the context file claims.
    QFile file(logPath);
    QCryptographicHash hash(QCryptographicHash::Sha256);
    if (!file.open(QIODevice::ReadOnly) || !hash.addData(&file)) {
        ui.error(Procedure, QStringLiteral("cannot read %1: %2").arg(logPath, file.errorString()));
        return false;
    }
    const QString sha256 = QString::fromLatin1(hash.result().toHex());
    const LogContext* known = context ? &*context : nullptr;
    const LogSummary summary = SummarizeLog(*log, known, options.summary);
    std::optional<int> interval;
    bool estimated = false;
    const std::vector<qint64> times = LogRecordTimes(*log, known, interval, estimated);

    const QFileInfo target(pdfPath);
    PendingFile pending;
    if (!pending.createFor(pdfPath, QStringLiteral("kv5-report"), why)) {
        ui.error(Procedure, why);
        return false;
    }
    QByteArray pdf;
    {
        QBuffer buffer(&pdf);
        buffer.open(QIODevice::WriteOnly);
        QPdfWriter writer(&buffer);
        writer.setPageSize(QPageSize(options.pageSize));
        writer.setPageMargins(QMarginsF(0, 0, 0, 0));
        writer.setResolution(72);
        writer.setCreator(options.program + QLatin1Char(' ') + options.version);
        writer.setTitle(QStringLiteral("Log report of %1").arg(fileName));
        QPainter painter;
        if (!painter.begin(&writer)) {
            ui.error(Procedure, QStringLiteral("cannot start the PDF of %1").arg(target.absoluteFilePath()));
            return false;
        }
        ReportPainter(writer, painter, *log, known, summary, times, options, fileName, sha256).paint();
        painter.end();
    }
    if (!pending.write(pdf, why) ||
        pending.publish(target.fileName(), PendingFile::Publish::Replacing, why) != PendingFile::Outcome::Published) {
        ui.error(Procedure, why);
        return false;
    }
    return true;
}

} // namespace kv5
