#include "export/ExcelSummary.h"

#include "core/UserInterface.h"
#include "logfiles/LogSummary.h"

#include <QStringList>

#include <optional>

namespace kv5 {

namespace {

// Writes the cells of one row after another; the first failure is kept and stops the rest.
class RowWriter {
public:
    RowWriter(lxw_worksheet* sheet, UserInterface& ui) : sheet_(sheet), ui_(ui) {}

    RowWriter& text(const QString& value) {
        if (ok_ && !value.isEmpty())
            check(worksheet_write_string(sheet_, row_, column_, value.toUtf8().constData(), nullptr));
        ++column_;
        return *this;
    }
    RowWriter& number(std::optional<double> value) {
        if (ok_ && value) check(worksheet_write_number(sheet_, row_, column_, *value, nullptr));
        ++column_;
        return *this;
    }
    RowWriter& hours(std::optional<double> seconds) {
        return number(seconds ? std::optional<double>(*seconds / 3600) : std::nullopt);
    }
    void next() {
        ++row_;
        column_ = 0;
    }
    bool ok() const { return ok_; }

private:
    void check(lxw_error error) {
        if (error == LXW_NO_ERROR) return;
        ok_ = false;
        ui_.error(QStringLiteral("OpenInExcel"),
                  QStringLiteral("%1 (sheet Summary)").arg(QString::fromUtf8(lxw_strerror(error))));
    }

    lxw_worksheet* sheet_;
    UserInterface& ui_;
    lxw_row_t row_ = 0;
    lxw_col_t column_ = 0;
    bool ok_ = true;
};

QString timeText(const QDateTime& time) {
    return time.isValid() ? time.toString(QStringLiteral("yyyy-MM-dd HH:mm")) : QString();
}

} // namespace

bool WriteSummarySheet(lxw_worksheet* sheet, const LogSummary& summary, UserInterface& ui) {
    RowWriter out(sheet, ui);
    const QStringList headers{"Quantity",         "Unit",        "Count",          "Min",
                              "Min at",           "Max",         "Max at",         "Mean",
                              "MKT",              "Low limit",   "Records below",  "Hours below",
                              "Excursions below", "Longest below (h)", "High limit", "Records above",
                              "Hours above",      "Excursions above", "Longest above (h)", "Drying rate (% per day)",
                              "Days to target"};
    for (const QString& header : headers) out.text(header);
    for (const QuantitySummary& q : summary.quantities) {
        out.next();
        const bool any = q.count > 0;
        const auto some = [any](double value) { return any ? std::optional<double>(value) : std::nullopt; };
        out.text(q.label).text(q.unit).number(q.count).number(some(q.min)).text(timeText(q.minAt));
        out.number(some(q.max)).text(timeText(q.maxAt)).number(some(q.mean)).number(q.mkt);
        for (const auto& [limit, figures] : {std::pair{q.limits.low, q.belowLow}, std::pair{q.limits.high, q.aboveHigh}}) {
            out.number(limit);
            if (figures)
                out.number(figures->records).hours(figures->seconds).number(figures->excursions).hours(figures->longestSeconds);
            else
                out.text({}).text({}).text({}).text({});
        }
        out.number(q.ratePerDay).number(q.daysToTarget);
    }
    out.next();
    out.next();
    out.text(QStringLiteral("Day")).text(QStringLiteral("Records"));
    for (const QuantitySummary& q : summary.quantities)
        out.text(q.label + QStringLiteral(" min")).text(q.label + QStringLiteral(" mean")).text(q.label + QStringLiteral(" max"));
    for (const DaySummary& day : summary.days) {
        out.next();
        out.text(day.date.toString(Qt::ISODate)).number(day.records);
        for (const DayFigures& f : day.quantities) {
            const bool any = f.count > 0;
            out.number(any ? std::optional<double>(f.min) : std::nullopt)
                .number(any ? std::optional<double>(f.mean) : std::nullopt)
                .number(any ? std::optional<double>(f.max) : std::nullopt);
        }
    }
    return out.ok();
}

} // namespace kv5
