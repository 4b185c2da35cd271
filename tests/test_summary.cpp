// The summary of a log against figures worked out by hand, and `kv5 info --json` against a
// computation of its own in the test.
#include "app/AppState.h"
#include "app/ViewCommands.h"
#include "core/LogData.h"
#include "logfiles/LogFile.h"
#include "logfiles/LogSummary.h"
#include "logger/TimeFormat.h"
#include "support/ScriptedUi.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTest>
#include <QTextStream>

#include <cmath>

using namespace kv5;

namespace {

using Values = QList<double>;
const QDateTime Start(QDate(2026, 3, 7), QTime(23, 0), Qt::UTC);

// A Vantorp log of these temperatures at 50 % RH, stamped from Start every interval seconds.
LogData temperatureLog(const Values& temperatures, int interval) {
    LogData log;
    log.SensorType = SensorVantorp;
    for (qsizetype i = 0; i < temperatures.size(); ++i) {
        log.LogTime[size_t(i)] = TimeStampText(Start.addSecs(i * interval));
        log.LogTemp[size_t(i)] = temperatures[i];
        log.LogRh[size_t(i)] = 50;
    }
    log.RecordCount = int(temperatures.size());
    return log;
}

LogContext contextOf(int interval, bool celsius) {
    LogContext context;
    context.Start = Start;
    context.IntervalSeconds = interval;
    context.Celsius = celsius;
    return context;
}

SummaryOptions noDerived() {
    SummaryOptions options;
    options.AhGpp = options.Emc = options.Dewpoint = 0;
    return options;
}

const QuantitySummary& quantity(const LogSummary& summary, const char* key) {
    for (const QuantitySummary& q : summary.quantities)
        if (q.key == QLatin1String(key)) return q;
    qFatal("no quantity %s", key);
}

} // namespace

class TestSummary : public QObject {
    Q_OBJECT

private slots:
    // ΔH/R = 10000 K: a constant temperature is its own MKT; half 20 °C and half 30 °C give
    // 26.26 °C, which is 79.27 °F for the same log in degrees F.
    void meanKineticTemperature_data() {
        QTest::addColumn<Values>("temperatures");
        QTest::addColumn<bool>("celsius");
        QTest::addColumn<int>("hundredths");
        QTest::newRow("constant 20 C") << Values{20, 20, 20} << true << 2000;
        QTest::newRow("half 20 C, half 30 C") << Values{20, 30, 30, 20} << true << 2626;
        QTest::newRow("half 68 F, half 86 F") << Values{68, 86} << false << 7927;
    }
    void meanKineticTemperature() {
        QFETCH(Values, temperatures);
        QFETCH(bool, celsius);
        const LogContext context = contextOf(60, celsius);
        const LogSummary summary = SummarizeLog(temperatureLog(temperatures, 60), &context, noDerived());
        QTEST(int(std::lround(*quantity(summary, "temperature").mkt * 100)), "hundredths");
        QCOMPARE(quantity(summary, "temperature").unit, celsius ? QStringLiteral("C") : QStringLiteral("F"));
    }

    // Limits 10 and 20, one record a minute: records strictly beyond, their time, the runs and
    // the longest run.
    void excursions_data() {
        QTest::addColumn<Values>("temperatures");
        QTest::addColumn<QList<int>>("below"); // records, excursions, longest records
        QTest::addColumn<QList<int>>("above");
        QTest::newRow("none") << Values{15, 12, 18} << QList{0, 0, 0} << QList{0, 0, 0};
        QTest::newRow("one at the start") << Values{25, 21, 15, 15} << QList{0, 0, 0} << QList{2, 1, 2};
        QTest::newRow("two") << Values{15, 25, 15, 25, 25, 15} << QList{0, 0, 0} << QList{3, 2, 2};
        QTest::newRow("one to the last record") << Values{15, 15, 25, 25, 25} << QList{0, 0, 0} << QList{3, 1, 3};
        QTest::newRow("exactly at the limits") << Values{20, 10, 20, 10} << QList{0, 0, 0} << QList{0, 0, 0};
        QTest::newRow("below, twice") << Values{5, 15, 9.9, 5, 25} << QList{3, 2, 2} << QList{1, 1, 1};
    }
    void excursions() {
        QFETCH(Values, temperatures);
        QFETCH(QList<int>, below);
        QFETCH(QList<int>, above);
        LogContext context = contextOf(60, true);
        context.Temperature = {10.0, 20.0};
        const QuantitySummary t =
            quantity(SummarizeLog(temperatureLog(temperatures, 60), &context, noDerived()), "temperature");
        for (const auto& [figures, expected] : {std::pair{*t.belowLow, below}, std::pair{*t.aboveHigh, above}}) {
            QCOMPARE(QList({figures.records, figures.excursions, figures.longestRecords}), expected);
            QCOMPARE(*figures.seconds, expected[0] * 60.0);
            QCOMPARE(*figures.longestSeconds, expected[2] * 60.0);
        }
    }

    // Records of 23:00 and 23:30 belong to 7 March, those of 00:00 and 00:30 to 8 March; the
    // extremes name the first record that has them.
    void dayBoundary() {
        const LogContext context = contextOf(1800, true);
        const LogSummary summary = SummarizeLog(temperatureLog({10, 20, 50, 30, 50}, 1800), &context, noDerived());
        QCOMPARE(summary.days.size(), size_t(2));
        const auto day = [&](size_t d) {
            const DayFigures& f = summary.days[d].quantities[0];
            return QList<double>{double(summary.days[d].records), f.min, f.mean, f.max};
        };
        QCOMPARE(summary.days[0].date, QDate(2026, 3, 7));
        QCOMPARE(day(0), (QList<double>{2, 10, 15, 20}));
        QCOMPARE(summary.days[1].date, QDate(2026, 3, 8));
        QCOMPARE(day(1), (QList<double>{3, 30, 130.0 / 3, 50}));
        const QuantitySummary& t = quantity(summary, "temperature");
        QCOMPARE(t.maxAt, QDateTime(QDate(2026, 3, 8), QTime(0, 0), Qt::UTC));
        QCOMPARE(t.minAt, Start);
        QCOMPARE(t.mean, 32.0);
    }

    // MC falling 1 % a day over the last day (12 % a day before), one record an hour: -1 % per
    // day, and from 28 % at the end 8 days to 20 %. Under a day of records there is no rate; a
    // target above the end is never reached.
    void dryingRate_data() {
        QTest::addColumn<int>("records");
        QTest::addColumn<double>("target");
        QTest::addColumn<bool>("rated");
        QTest::addColumn<double>("days");
        QTest::newRow("two days, to 20 %") << 49 << 20.0 << true << 8.0;
        QTest::newRow("two days, target above") << 49 << 29.0 << true << -1.0;
        QTest::newRow("23 hours") << 24 << 20.0 << false << -1.0;
    }
    void dryingRate() {
        QFETCH(int, records);
        QFETCH(double, target);
        LogData log = temperatureLog(Values(records, 40.0), 3600);
        log.SensorType = SensorQ7R;
        for (int i = 0; i < records; ++i) {
            log.LogMc1[size_t(i)] = i >= 24 || records < 49 ? 30 - i / 24.0 : 29 + (24 - i) * 0.5;
            log.LogRhQ7R[size_t(i)] = 50;
        }
        const LogContext context = contextOf(3600, true);
        SummaryOptions options = noDerived();
        options.targetMc = target;
        const QuantitySummary mc1 = quantity(SummarizeLog(log, &context, options), "mc1");
        QFETCH(bool, rated);
        QCOMPARE(mc1.ratePerDay.has_value(), rated);
        if (!rated) return;
        QVERIFY(std::abs(*mc1.ratePerDay + 1) < 1e-9);
        QFETCH(double, days);
        QCOMPARE(mc1.daysToTarget.value_or(-1), days);
    }

    // A log without its context: the interval from its time stamps, no limits but those given.
    void withoutContext() {
        SummaryOptions options = noDerived();
        options.Celsius = 1;
        options.limits[QStringLiteral("temperature")] = {std::nullopt, 20.0};
        const LogSummary summary = SummarizeLog(temperatureLog({10, 25, 25, 10}, 1800), nullptr, options);
        QCOMPARE(summary.intervalSeconds, std::optional<int>(1800));
        QVERIFY(summary.intervalEstimated);
        const QuantitySummary& t = quantity(summary, "temperature");
        QVERIFY(!t.belowLow);
        QCOMPARE(*t.aboveHigh->seconds, 3600.0);
        QCOMPARE(summary.end, Start.addSecs(3 * 1800));
        QCOMPARE(quantity(summary, "rh").limits.high, std::nullopt);
    }

    // kv5 info --json of a saved Q7R log with its context, against sums worked out here.
    void infoJson() {
        QTemporaryDir home;
        AppState state;
        state.ProgramFolder = home.path();
        ScriptedUi ui;
        MakeFolders(state.ProgramFolder, ui);
        LogData& log = state.log;
        log = temperatureLog(Values(60, 0), 1800);
        log.SensorType = SensorQ7R;
        log.SerialNumber = QStringLiteral("77");
        log.StartTimeText = QStringLiteral("2603072300");
        for (int i = 0; i < 60; ++i) {
            log.LogTemp[size_t(i)] = 20 + (i % 7);
            log.LogMc1[size_t(i)] = 25 - i * 0.1;
            log.LogMc2[size_t(i)] = log.LogMc3[size_t(i)] = 12;
            log.LogRhQ7R[size_t(i)] = 40 + (i % 5);
        }
        LogContext context = contextOf(1800, true);
        context.UtcOffsetSeconds = -5 * 3600;
        context.Temperature = {21.0, 25.0};
        context.RhMc = {std::nullopt, 43.0};
        context.EmcAlarm = {5.0, std::nullopt};
        const QString name = SaveLogFile(log, state.dataFolder(), ui, &context);
        QCOMPARE(name, QStringLiteral("SN77-2026-03-07-23-00-01.txt"));

        QString text;
        QTextStream out(&text);
        InfoRequest request;
        request.json = true;
        QString why;
        QVERIFY(ParseLimitOption(QStringLiteral("mc2=11.5:"), request, why));
        QVERIFY(!ParseLimitOption(QStringLiteral("pressure=1:2"), request, why));
        request.targetMc = 10;
        QCOMPARE(RunInfoCommand(state, ui, name, out, request), 0);
        const QJsonObject json = QJsonDocument::fromJson(text.toUtf8()).object();
        QCOMPARE(json["file"].toString(), name);
        QCOMPARE(json["family"].toString(), QStringLiteral("Q7R"));
        QCOMPARE(json["records"].toInt(), 60);
        QCOMPARE(json["start"].toString(), QStringLiteral("2026-03-07T23:00:00-05:00"));
        QCOMPARE(json["end"].toString(), QStringLiteral("2026-03-09T04:30:00-05:00"));
        QCOMPARE(json["interval_s"].toInt(), 1800);
        QCOMPARE(json["unit"].toString(), QStringLiteral("C"));

        // The same figures computed here, record by record.
        const QJsonArray quantities = json["quantities"].toArray();
        QStringList names;
        for (const QJsonValue& q : quantities) names << q["name"].toString();
        QCOMPARE(names, QStringList({"temperature", "mc1", "mc2", "mc3", "rh", "gpp", "emc", "dew_point"}));
        struct Expected {
            const char* name;
            const std::vector<double>* values;
            std::optional<double> low, high;
        };
        for (const Expected& e : {Expected{"temperature", &log.LogTemp, 21.0, 25.0},
                                  Expected{"mc2", &log.LogMc2, 11.5, std::nullopt},
                                  Expected{"rh", &log.LogRhQ7R, std::nullopt, 43.0}}) {
            QJsonObject q;
            for (const QJsonValue& v : quantities)
                if (v["name"].toString() == QLatin1String(e.name)) q = v.toObject();
            double sum = 0, low = 1e9, high = -1e9;
            int lowAt = 0, highAt = 0, aboveRecords = 0, runs = 0, run = 0, longest = 0;
            for (int i = 0; i < 60; ++i) {
                const double v = (*e.values)[size_t(i)];
                sum += v;
                if (v < low) low = v, lowAt = i;
                if (v > high) high = v, highAt = i;
                const bool above = e.high && v > *e.high;
                aboveRecords += above;
                runs += above && run == 0;
                run = above ? run + 1 : 0;
                longest = std::max(longest, run);
            }
            const auto at = [](int i) {
                return QDateTime(QDate(2026, 3, 7), QTime(23, 0)).addSecs(i * 1800).toString(Qt::ISODate) + "-05:00";
            };
            QCOMPARE(q["count"].toInt(), 60);
            QCOMPARE(q["min"].toDouble(), low);
            QCOMPARE(q["min_at"].toString(), at(lowAt));
            QCOMPARE(q["max"].toDouble(), high);
            QCOMPARE(q["max_at"].toString(), at(highAt));
            QVERIFY(std::abs(q["mean"].toDouble() - sum / 60) < 1e-12);
            QCOMPARE(q["low_limit"].isNull(), !e.low);
            QCOMPARE(q["high_limit"].isNull(), !e.high);
            if (e.high) {
                const QJsonObject a = q["above_high"].toObject();
                QCOMPARE(a["records"].toInt(), aboveRecords);
                QCOMPARE(a["seconds"].toDouble(), aboveRecords * 1800.0);
                QCOMPARE(a["excursions"].toInt(), runs);
                QCOMPARE(a["longest_s"].toDouble(), longest * 1800.0);
            } else {
                QVERIFY(q["above_high"].isNull());
            }
        }
        // MC1 falls 0.1 % a record, 4.8 % a day; from 19.1 % at the end 10 % is 91/48 days away.
        const QJsonObject mc1 = quantities[1].toObject();
        QVERIFY(std::abs(mc1["rate_per_day"].toDouble() + 4.8) < 1e-9);
        QVERIFY(std::abs(mc1["days_to_target"].toDouble() - 9.1 / 4.8) < 1e-9);
        QVERIFY(quantities[0].toObject().contains("mkt") && !mc1.contains("mkt"));
        QCOMPARE(quantities[6]["name"].toString(), QStringLiteral("emc"));
        QCOMPARE(quantities[6]["low_limit"].toDouble(), 5.0);
        QVERIFY(quantities[6]["high_limit"].isNull() && quantities[5]["low_limit"].isNull());
        // Days: 23:00 and 23:30 on the 7th, 48 records on the 8th, ten on the 9th.
        const QJsonArray days = json["days"].toArray();
        QCOMPARE(days.size(), 3);
        QCOMPARE(days[1]["date"].toString(), QStringLiteral("2026-03-08"));
        QCOMPARE(days[1]["records"].toInt(), 48);
        QCOMPARE(days[0]["quantities"]["temperature"]["mean"].toDouble(), 20.5);
        QCOMPARE(days[2]["quantities"]["mc1"]["max"].toDouble(), log.LogMc1[50]);
        QVERIFY2(ui.messages.empty(), qPrintable(ui.messageTexts().join('\n')));
    }
};

QTEST_GUILESS_MAIN(TestSummary)

#include "test_summary.moc"
