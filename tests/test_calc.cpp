// EMC, grains per pound and dew point against independent references: published table values,
// and second computations in other forms (the metric EMC coefficients, the textbook Magnus form,
// vapour pressure through kilopascals) over the whole range in both units; and the failures.
#include "calc/Psychrometrics.h"
#include "support/ScriptedUi.h"

#include <QTest>

#include <cmath>

using namespace kv5;

namespace {

double toF(double c) {
    return c * 9 / 5 + 32;
}

// EMC with the Wood Handbook's coefficients for degrees C, fitted separately from those for
// degrees F that the program uses.
double metricEmc(double celsius, double rh) {
    const double h = rh / 100;
    const double w = 349 + 1.29 * celsius + 0.0135 * celsius * celsius;
    const double k = 0.805 + 0.000736 * celsius - 0.00000273 * celsius * celsius;
    const double k1 = 6.27 - 0.00938 * celsius - 0.000303 * celsius * celsius;
    const double k2 = 1.91 + 0.0407 * celsius - 0.000293 * celsius * celsius;
    const double x = k * h;
    return 1800 / w * (x / (1 - x) + (k1 * x + 2 * k1 * k2 * x * x) / (1 + k1 * x + k1 * k2 * x * x));
}

// The textbook Magnus dew point with the natural logarithm.
double magnusDewPoint(double celsius, double rh) {
    const double gamma = std::log(rh / 100) + 17.62 * celsius / (243.12 + celsius);
    return 243.12 * gamma / (17.62 - gamma);
}

// Grains per pound from the vapour pressure in kilopascals: 1 mmHg = 0.133322 kPa, 1 psi =
// 6.894757 kPa; the same approximate vapour pressure curve.
double grainsViaKilopascal(double celsius, double rh) {
    const double saturatedKpa = std::exp(20.386 - 5132 / (celsius + 273)) * 0.133322;
    const double atmosphereKpa = 14.696 * 6.894757;
    return 18.02 / 28.85 * 7000 * saturatedKpa / (atmosphereKpa - saturatedKpa) * rh / 100;
}

Derived compute(char quantity, double temperature, double rh, int celsius) {
    return quantity == 'E'   ? CalcEmc(temperature, rh, celsius)
           : quantity == 'G' ? CalcAh(temperature, rh, celsius)
                             : CalcDewPoint(temperature, rh, celsius);
}

} // namespace

class TestCalc : public QObject {
    Q_OBJECT

private slots:
    void publishedValues_data() {
        QTest::addColumn<char>("quantity"); // E: EMC, G: grains per pound, D: dew point
        QTest::addColumn<double>("temperature");
        QTest::addColumn<int>("celsius");
        QTest::addColumn<double>("rh");
        QTest::addColumn<double>("expected");
        QTest::addColumn<double>("tolerance");
        // The Wood Handbook's EMC table at 70 degrees F, one decimal.
        const double emc70[] = {2.5, 4.5, 6.2, 7.7, 9.2, 11.0, 13.1, 16.0, 20.5};
        for (int i = 0; i < 9; ++i)
            QTest::addRow("EMC 70 F %d %%", 10 * (i + 1))
                << 'E' << 70.0 << 0 << 10.0 * (i + 1) << emc70[i] << 0.051;
        QTest::newRow("EMC 21.1 C 50 %") << 'E' << (70 - 32) / 1.8 << 1 << 50.0 << 9.25 << 0.01;
        QTest::newRow("EMC of dry air") << 'E' << 20.0 << 1 << 0.0 << 0.0 << 0.0;
        QTest::newRow("GPP 20 C 50 %") << 'G' << 20.0 << 1 << 50.0 << 51.97 << 0.005;
        QTest::newRow("GPP 68 F 50 %") << 'G' << 68.0 << 0 << 50.0 << 51.97 << 0.005;
        QTest::newRow("GPP of dry air") << 'G' << 20.0 << 1 << 0.0 << 0.0 << 0.0;
        // Published dew points, degrees C to one decimal.
        const double dew[][3] = {{20, 50, 9.3}, {25, 60, 16.7}, {30, 80, 26.2},
                                 {0, 50, -9.2}, {10, 90, 8.4},  {35, 30, 14.8}};
        for (const auto& row : dew)
            QTest::addRow("dew %g C %g %%", row[0], row[1]) << 'D' << row[0] << 1 << row[1] << row[2] << 0.1;
        QTest::newRow("dew 68 F 50 %") << 'D' << 68.0 << 0 << 50.0 << toF(9.3) << 0.18;
        QTest::newRow("dew at saturation") << 'D' << 20.0 << 1 << 100.0 << 20.0 << 1e-9;
        QTest::newRow("dew at saturation, F") << 'D' << 68.0 << 0 << 100.0 << 68.0 << 1e-9;
        // Below 1 % the humidity counts as 1 %.
        QTest::newRow("dew at 0 %") << 'D' << 20.0 << 1 << 0.0 << magnusDewPoint(20, 1) << 0.01;
        QTest::newRow("dew below 0 %") << 'D' << 20.0 << 1 << -5.0 << magnusDewPoint(20, 1) << 0.01;
    }
    void publishedValues() {
        QFETCH(char, quantity);
        QFETCH(double, temperature);
        QFETCH(int, celsius);
        QFETCH(double, rh);
        QFETCH(double, expected);
        QFETCH(double, tolerance);
        const Derived result = compute(quantity, temperature, rh, celsius);
        QVERIFY(result.ok());
        QVERIFY2(std::fabs(result.value - expected) <= tolerance, qPrintable(QString::number(result.value)));
    }

    // Over the whole range, each against its second computation, and the same reading in
    // degrees F giving the same value (the dew point in degrees F).
    void secondComputations() {
        for (double c = -30; c <= 90; c += 5) {
            for (double rh = 1; rh <= 100; rh += 4.95) {
                const QByteArray at = QStringLiteral("%1 C %2 %").arg(c).arg(rh).toLatin1();
                const double emc = CalcEmc(c, rh, 1).value, gpp = CalcAh(c, rh, 1).value;
                const double dew = CalcDewPoint(c, rh, 1).value;
                QVERIFY2(c < -20 || std::fabs(emc - metricEmc(c, rh)) < 0.02, at);
                QVERIFY2(std::fabs(gpp / grainsViaKilopascal(c, rh) - 1) < 1e-4, at);
                QVERIFY2(std::fabs(dew - magnusDewPoint(c, rh)) < 0.01, at);
                QVERIFY2(dew <= c + 1e-9, at);
                QVERIFY2(std::fabs(CalcEmc(toF(c), rh, 0).value - emc) < 1e-9, at);
                QVERIFY2(std::fabs(CalcAh(toF(c), rh, 0).value - gpp) < 1e-9, at);
                QVERIFY2(std::fabs(CalcDewPoint(toF(c), rh, 0).value - toF(dew)) < 1e-9, at);
            }
        }
    }

    void failures_data() {
        QTest::addColumn<char>("quantity");
        QTest::addColumn<double>("temperature");
        QTest::addColumn<int>("celsius");
        QTest::addColumn<double>("rh");
        QTest::addColumn<QString>("failure");
        // K times h exactly 1: a humidity of about 122 % at 70 degrees F.
        const double k = 0.791 + 0.000463 * 70 - 0.000000844 * 70 * 70;
        double rh = 100 / k;
        for (int i = 0; i < 64 && k * (rh / 100) != 1; ++i)
            rh = std::nextafter(rh, k * (rh / 100) < 1 ? 200.0 : 0.0);
        QTest::newRow("EMC where K h is 1") << 'E' << 70.0 << 0 << rh << "Division by zero";
        QTest::newRow("EMC overflow") << 'E' << 1e200 << 0 << 50.0 << "Overflow";
        QTest::newRow("EMC of no number") << 'E' << std::nan("") << 1 << 50.0 << "Overflow";
        QTest::newRow("GPP at -273 C") << 'G' << -273.0 << 1 << 50.0 << "Division by zero";
        QTest::newRow("GPP below -273 C") << 'G' << -273.001 << 1 << 50.0 << "Overflow";
        for (double c : {100.2, 110.0, 150.0}) {
            QTest::addRow("GPP boiling at %g C", c)
                << 'G' << c << 1 << 50.0 << "Saturation pressure at or above one atmosphere";
            QTest::addRow("GPP boiling at %g F", toF(c))
                << 'G' << toF(c) << 0 << 50.0 << "Saturation pressure at or above one atmosphere";
        }
        QTest::newRow("dew at -243.12 C") << 'D' << -243.12 << 1 << 50.0 << "Division by zero";
        QTest::newRow("dew overflow") << 'D' << 1e308 << 0 << 50.0 << "Overflow";
        QTest::newRow("dew of no humidity") << 'D' << 20.0 << 1 << std::nan("") << "Overflow";
    }
    void failures() {
        QFETCH(char, quantity);
        QFETCH(double, temperature);
        QFETCH(int, celsius);
        QFETCH(double, rh);
        QFETCH(QString, failure);
        const Derived result = compute(quantity, temperature, rh, celsius);
        QCOMPARE(QString::fromLatin1(result.failure), failure);
        QCOMPARE(result.value, 0.0);
        // Over a log, the first failure is reported, with the procedure's name, and no other.
        const char* procedure = quantity == 'E' ? "CalcEmc" : quantity == 'G' ? "CalcAh" : "CalcDewPoint";
        ScriptedUi ui;
        ReportOnce report(procedure, ui);
        QCOMPARE(report(result), std::nullopt);
        QCOMPARE(report(result), std::nullopt);
        QCOMPARE(report(Derived{1.5, nullptr}), std::optional<double>(1.5));
        QCOMPARE(ui.messageTexts(), QStringList{QStringLiteral("ERROR: %1: %2").arg(procedure, failure)});
        QCOMPARE(ui.messages[0].title, ProgramTitle);
    }

    void valuesUpToBoiling() { QVERIFY(CalcAh(100, 50, 1).value > 0 && CalcEmc(70, 50, 0).ok()); }
};

QTEST_GUILESS_MAIN(TestCalc)
#include "test_calc.moc"
