#include "views/ChartState.h"

#include "core/Numbers.h"
#include "core/Units.h"
#include "core/UserInterface.h"
#include "logfiles/LogSummary.h"

#include <QLocale>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <limits>

namespace kv5 {

namespace {

const QColor TempColor(255, 0, 0);
const QColor RhColor(0, 0, 255);
const QColor Mc1Color(0, 0, 0);
const QColor Mc2Color(255, 0, 255);

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

const char* ChartState::fillDerived(Derived (*of)(double, double, int), const char* procedure,
                                    const std::vector<double>& rh, int count) {
    const std::vector<double>& temp = view_.log.LogTemp;
    const int celsius = view_.settings.Celsius;
    ReportOnce report(procedure, ui_);
    for (int i = 0; i < count; ++i) {
        const Derived value = of(temp[i], rh[i], celsius);
        if (!value.ok() && procedure == nullptr) return value.failure;
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
    const auto paint = [&](const QColor& color, const std::vector<double>& series, double& lowest,
                           double& highest) {
        picture->traces.push_back(PaintTrace(color, series, count, lowest, highest, yScale));
    };

    LogExtremes& e = extremes;
    paint(TempColor, log.LogTemp, e.MinTemp, e.MaxTemp);
    if (q7r) {
        paint(Mc1Color, log.LogMc1, e.MinMc1, e.MaxMc1);
        paint(Mc2Color, log.LogMc2, e.MinMc2, e.MaxMc2);
        paint(view_.colors.Mc3TraceColor, log.LogMc3, e.MinMc3, e.MaxMc3);
    }
    const std::vector<double>& rh = q7r ? log.LogRhQ7R : log.LogRh;
    paint(RhColor, rh, e.MinRh, e.MaxRh);

    if (settings.AhGpp != 0) {
        fillDerived(&CalcAh, "CalcAh", rh, count);
        paint(view_.colors.GppTraceColor, derived_, e.MinGpp, e.MaxGpp);
    }
    if (settings.Emc != 0) {
        fillDerived(&CalcEmc, "CalcEmc", rh, count);
        paint(view_.colors.EmcTraceColor, derived_, e.MinEmc, e.MaxEmc);
    }
    if (settings.Dewpoint != 0) {
        if (const char* failure = fillDerived(&CalcDewPoint, nullptr, rh, count)) {
            // The dew point is the last trace: the chart is finished without it, so that the
            // scale, the copy for the readout and the legend belong to what is drawn.
            const QString procedure =
                q7r ? QStringLiteral("LoadChartQ7R: ") : QStringLiteral("frmChart.Form_Load: ");
            ui_.message({procedure + QString::fromLatin1(failure)});
        } else {
            paint(view_.colors.DewTraceColor, derived_, e.MinDew, e.MaxDew);
        }
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
    const LogContext& context = *log.Context;
    const auto add = [&](const QColor& color, const AlarmLimits& limits) {
        for (const std::optional<double>& limit : {limits.low, limits.high}) {
            if (!limit) continue;
            const double y = ChartHeight - (*limit - AxisYmin) * yScale;
            // A limit off the scale has no line; zooming out brings it in.
            if (y >= 0 && y <= ChartHeight) picture.limits.push_back({color, y});
        }
    };
    add(TempColor, context.Temperature);
    if (log.isQ7R()) {
        add(Mc1Color, context.RhMc);
        add(Mc2Color, context.RhMc);
        add(view_.colors.Mc3TraceColor, context.RhMc);
    }
    add(RhColor, context.RhMc);
    if (view_.settings.Emc != 0) add(view_.colors.EmcTraceColor, context.EmcAlarm);
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

    const LogData& log = view_.log;
    const Settings& settings = view_.settings;
    const int celsius = settings.Celsius;
    const double temp = log.LogTemp[i];
    const double rh = log.isQ7R() ? log.LogRhQ7R[i] : log.LogRh[i];
    const QString unit = DegreeLabel(settings.Celsius);
    const auto show = [this](int box, const QColor& color, const QString& text) {
        txtLegend[box] = {true, text, color};
    };
    const auto value = [&](const QString& text, double number) { return Insert(text, NumberText(number)); };

    show(1, TempColor, value(QStringLiteral("Temp $") + unit, temp));
    int next = 3;
    if (!log.isQ7R()) {
        show(2, RhColor, value(QStringLiteral("RH $%"), rh));
    } else {
        show(2, Mc1Color, value(QStringLiteral("MC1 $%"), log.LogMc1[i]));
        show(3, Mc2Color, value(QStringLiteral("MC2 $%"), log.LogMc2[i]));
        show(4, view_.colors.Mc3TraceColor, value(QStringLiteral("MC3 $%"), log.LogMc3[i]));
        show(5, RhColor, value(QStringLiteral("RH $%"), rh));
        next = 6;
    }

    // A GPP or EMC that cannot be computed shows no number (the chart reported it when it was
    // drawn); a dew point that cannot be computed ends the readout, reported once while the
    // mouse stays on the record.
    const bool repeated = record == failedRecord_;
    failedRecord_ = 0;
    const auto derived = [&](const QString& text, const Derived& result) {
        return Insert(text, result.ok() ? NumberText(result.value) : QString());
    };
    if (settings.AhGpp != 0)
        show(next++, view_.colors.GppTraceColor, derived(QStringLiteral("GPP $"), CalcAh(temp, rh, celsius)));
    if (settings.Emc != 0)
        show(next++, view_.colors.EmcTraceColor, derived(QStringLiteral("EMC $%"), CalcEmc(temp, rh, celsius)));
    if (settings.Dewpoint != 0) {
        const Derived dew = CalcDewPoint(temp, rh, celsius);
        if (!dew.ok()) {
            failedRecord_ = record;
            if (!repeated)
                ui_.message(
                    {QStringLiteral("Calculating X axis failed: ") + QString::fromLatin1(dew.failure)});
            return;
        }
        show(next++, view_.colors.DewTraceColor, value(QStringLiteral("Dew $") + unit, dew.value));
    }

    show(0, Qt::black, log.LogTime[i]);
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
