#include "views/ChartState.h"

#include "core/Numbers.h"
#include "core/UserInterface.h"
#include "logfiles/LogSummary.h"

#include <QLocale>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <limits>

namespace kv5 {

namespace {

QColor colourOf(const QuantityRow& row) {
    return QColor(row.colour.red, row.colour.green, row.colour.blue);
}

// A chart coordinate as the line drawing takes it, in single precision; false when it does not
// fit.
bool toSingle(double value, float& single) {
    if (!std::isfinite(value) || std::fabs(value) > double(FLT_MAX)) return false;
    single = float(value);
    return true;
}

} // namespace

QString Insert(const QString& text, const QString& value) {
    const qsizetype at = text.indexOf(QLatin1Char('$'));
    if (at < 0) return text;
    return text.left(at) + value + text.mid(at + 1);
}

int ReadoutRecord(float x, int recordCount) {
    if (recordCount < 1) return 0;
    if (!(x >= 0)) x = 0;
    if (x > float(ChartWidth)) x = float(ChartWidth);
    const double step = ChartWidth / recordCount;
    // nearbyint rounds in the default mode: to nearest, halves to the even neighbour.
    const double index = std::nearbyint(double(x) / step + 1);
    return std::clamp(int(index), 1, recordCount);
}

void AdjustZoom(qint32& top, qint32& bottom) {
    if (top > 150) top = 150;
    if (top < bottom) top = 100;
    if (bottom < -40) bottom = -40;
    if (bottom > top) bottom = 0;
}

ChartState::ChartState(const LogView& view, UserInterface& ui)
    : view_(view), ui_(ui), derived_(MaxLogRecords) {
    txtAxisYmax.visible = txtAxisYmin.visible = true;
}

int ChartState::recordCount() const {
    const LogData& log = view_.log;
    const std::size_t held =
        std::min({log.LogTime.size(), log.LogTemp.size(), log.LogRh.size(), log.LogMc1.size(),
                  log.LogMc2.size(), log.LogMc3.size(), log.LogRhQ7R.size()});
    return std::clamp(log.RecordCount, 0, int(std::min<std::size_t>(held, MaxLogRecords)));
}

ChartTrace ChartState::PaintTrace(const QColor& color, const std::vector<double>& series, int count,
                                  double& lowest, double& highest, double yScale) {
    ChartTrace trace;
    trace.color = color;
    trace.y.resize(count);
    const auto yOf = [this, yScale](double value) { return ChartHeight - (value - AxisYmin) * yScale; };

    // A record without a value (NaN: a derived value that cannot be computed) is a gap in the
    // line and counts for neither extreme.
    bool seen = false;
    bool drawable = true;
    for (int i = 0; i < count; ++i) {
        const double value = series[i];
        if (std::isnan(value)) {
            trace.y[i] = std::numeric_limits<float>::quiet_NaN();
        } else if (!toSingle(yOf(value), trace.y[i])) {
            drawable = false;
            break;
        } else if (!seen) {
            lowest = highest = value;
            seen = true;
        } else {
            if (highest < value) highest = value;
            if (lowest > value) lowest = value;
        }
        trace.points = i + 1;
    }
    // The line cannot be drawn on from a point that does not fit: the trace ends before it.
    if (!drawable) ui_.message({QStringLiteral("frmChart.PaintTrace: Overflow")});
    return trace;
}

const char* ChartState::fillDerived(const QuantityRow& row, int count) {
    const int celsius = view_.settings.Celsius;
    ReportOnce report(row.procedure, ui_);
    for (int i = 0; i < count; ++i) {
        const Derived value = QuantityValue(row, view_.log, i, celsius);
        if (!value.ok() && row.whenUncomputable == WhenUncomputable::EndsTheRun) return value.failure;
        derived_[i] = report(value).value_or(std::numeric_limits<double>::quiet_NaN());
    }
    return nullptr;
}

void ChartState::Load() {
    for (ChartTextBoxState& box : txtLegend) box.visible = false;
    failedRecord_ = 0;

    const LogData& log = view_.log;
    const Settings& settings = view_.settings;
    const bool q7r = log.isQ7R();
    auto picture = std::make_shared<ChartPicture>();
    const int count = recordCount();
    if (count < 1) {
        picture->kind = ChartPicture::Kind::EmptyLog;
        bmp = picture;
        return;
    }

    if (AxisYrange < 1.0) AxisYrange = 100.0;
    const double xStep = count >= 2 ? ChartWidth / (count - 1) : ChartWidth;
    const double yScale = ChartHeight / AxisYrange;
    picture->kind = ChartPicture::Kind::Traces;
    picture->recordCount = count;
    picture->xStep = xStep;
    for (const QuantityRow* row : ShownQuantities(q7r, settings)) {
        LogExtremes::Pair& pair = extremes[row->quantity];
        const std::vector<double>* series = &derived_;
        if (row->series) {
            series = &row->series(log);
        } else if (const char* failure = fillDerived(*row, count)) {
            // The chart is finished with the traces drawn so far, so that the scale, the copy for
            // the readout and the legend belong to what is drawn.
            const QString procedure =
                q7r ? QStringLiteral("LoadChartQ7R: ") : QStringLiteral("frmChart.Form_Load: ");
            ui_.message({procedure + QString::fromLatin1(failure)});
            break;
        }
        picture->traces.push_back(PaintTrace(colourOf(*row), *series, count, pair.Min, pair.Max, yScale));
    }

    addLimitLines(*picture, yScale);
    if (settings.ChartTimes != 0) picture->times = ChartTimeMarks(log);

    txtAxisYmin.text = QString::number(AxisYmin);
    txtAxisYmax.text = QString::number(qRound64(AxisYmin + AxisYrange));
    bmp = picture;
    picBase = bmp;
    bmp_MouseMove(0, 0, float(ChartWidth), float(ChartHeight));
}

void ChartState::addLimitLines(ChartPicture& picture, double yScale) const {
    const LogData& log = view_.log;
    if (!log.Context) return;
    for (const QuantityRow* row : ShownQuantities(log.isQ7R(), view_.settings)) {
        const AlarmLimits limits = QuantityLimits(*log.Context, row->quantity);
        for (const std::optional<double>& limit : {limits.low, limits.high}) {
            if (!limit) continue;
            const double y = ChartHeight - (*limit - AxisYmin) * yScale;
            // A limit off the scale has no line; zooming out brings it in.
            if (y >= 0 && y <= ChartHeight) picture.limits.push_back({colourOf(*row), y});
        }
    }
}

std::vector<ChartTimeMark> ChartTimeMarks(const LogData& log) {
    std::optional<int> interval;
    bool estimated = false;
    const std::vector<qint64> times =
        LogRecordTimes(log, log.Context ? &*log.Context : nullptr, interval, estimated);
    if (times.size() < 2 || times.back() <= times.front()) return {};
    const qint64 first = times.front(), span = times.back() - first;
    // The smallest step that leaves at most six marks: hours, days or weeks.
    constexpr qint64 Hour = 3600, Day = 24 * Hour;
    qint64 step = 0;
    for (const qint64 candidate : {Hour, 2 * Hour, 3 * Hour, 6 * Hour, 12 * Hour, Day, 2 * Day, 7 * Day, 14 * Day,
                                   28 * Day, 91 * Day, 364 * Day}) {
        step = candidate;
        if (span / candidate <= 5) break;
    }
    // Marks fall on whole steps of the day (hours), on midnights (days) or on Mondays (weeks);
    // 1 January 1970 was a Thursday.
    const qint64 origin = step >= 7 * Day ? 4 * Day : 0;
    qint64 mark = first - origin + (step - (first - origin) % step) % step + origin;
    std::vector<ChartTimeMark> marks;
    const QString format = step < Day ? QStringLiteral("MM-dd HH:mm") : QStringLiteral("yyyy-MM-dd");
    for (; mark <= times.back(); mark += step)
        marks.push_back({ChartWidth * double(mark - first) / double(span),
                         QDateTime::fromSecsSinceEpoch(mark, Qt::UTC).toString(format)});
    return marks;
}

void ChartState::bmp_MouseMove(int button, int shift, float X, float Y) {
    (void)button;
    (void)shift;
    (void)Y;
    const int count = recordCount();
    if (count < 1) return;
    if (AxisYrange < 1.0) AxisYrange = 100.0;
    const int record = ReadoutRecord(X, count);
    const int i = record - 1;
    bmp = picBase;

    // Box 0 takes the time; the quantities follow from box 1 without a gap. A value left out
    // shows no number (the chart reported it when it was drawn); one that ends the run ends the
    // readout, reported once while the mouse stays on the record.
    const LogData& log = view_.log;
    const int celsius = view_.settings.Celsius;
    const bool repeated = record == failedRecord_;
    failedRecord_ = 0;
    std::size_t box = 1;
    for (const QuantityRow* row : ShownQuantities(log.isQ7R(), view_.settings)) {
        const Derived value = QuantityValue(*row, log, i, celsius);
        if (!value.ok() && row->whenUncomputable == WhenUncomputable::EndsTheRun) {
            failedRecord_ = record;
            if (!repeated)
                ui_.message(
                    {QStringLiteral("Calculating X axis failed: ") + QString::fromLatin1(value.failure)});
            return;
        }
        txtLegend[box++] = {
            true, Insert(QuantityReadout(*row, celsius), value.ok() ? NumberText(value.value) : QString()),
            colourOf(*row)};
    }
    txtLegend[0] = {true, log.LogTime[i], Qt::black};
}

bool ChartState::btnZoom_Click() {
    const QString title = QStringLiteral("Zoom");
    QLocale locale = QLocale::system();
    locale.setNumberOptions(QLocale::OmitGroupSeparator);
    QString answer = locale.toString(AxisYmin + AxisYrange, 'g', 15);
    if (!ui_.input(QStringLiteral("Enter a new maximum Y axis value:"), title, answer) || answer.isEmpty())
        return false;
    qint32 top = StrToLng(answer);
    answer = locale.toString(AxisYmin);
    if (!ui_.input(QStringLiteral("Enter a new minimum Y axis value:"), title, answer) || answer.isEmpty())
        return false;
    SetZoom(top, StrToLng(answer));
    Load();
    return true;
}

void ChartState::SetZoom(qint32 top, qint32 bottom) {
    AdjustZoom(top, bottom);
    // Within 16 bits: the bottom lies between -40 and 150 after the adjustments.
    AxisYrange = double(top) - double(bottom);
    AxisYmin = qint16(bottom);
}

} // namespace kv5
