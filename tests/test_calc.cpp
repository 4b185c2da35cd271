// EMC, grains per pound and dew point against independent references: published table values,
// and second computations in other forms (the metric EMC coefficients, the textbook Magnus form,
// vapour pressure through kilopascals), over the whole range, in both units, and failure inputs.
#include "calc/Psychrometrics.h"
#include "support/ScriptedUi.h"

#include <QTest>

#include <cmath>

using namespace kv5;

namespace {

double toC(double f) {
    return (f - 32) * 5 / 9;
}
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
// 6.894757 kPa, atmosphere 101.325 kPa; the same approximate vapour pressure curve.
double grainsViaKilopascal(double celsius, double rh) {
    const double saturatedKpa = std::exp(20.386 - 5132 / (celsius + 273)) * 0.133322;
    const double atmosphereKpa = 14.696 * 6.894757;
    return 18.02 / 28.85 * 7000 * saturatedKpa / (atmosphereKpa - saturatedKpa) * rh / 100;
}

} // namespace

class TestCalc : public QObject {
    Q_OBJECT

    ScriptedUi ui;

private slots:
    void init() { ui.clearRecord(); }

    void emcAgainstTheWoodHandbookTable() {
        // The handbook's table at 70 degrees F, one decimal.
        const double rh[] = {10, 20, 30, 40, 50, 60, 70, 80, 90};
        const double table[] = {2.5, 4.5, 6.2, 7.7, 9.2, 11.0, 13.1, 16.0, 20.5};
        for (int i = 0; i < 9; ++i) {
            const double emc = CalcEmc(70, rh[i], 0, ui);
            QVERIFY2(std::fabs(emc - table[i]) <= 0.051, qPrintable(QString::number(emc)));
        }
        QVERIFY(std::fabs(CalcEmc(70, 50, 0, ui) - 9.25) < 0.01);
        // The same reading in degrees C.
        QVERIFY(std::fabs(CalcEmc(toC(70), 50, 1, ui) - CalcEmc(70, 50, 0, ui)) < 1e-9);
        QVERIFY(ui.messages.empty());
    }

    void emcOverTheWholeRange() {
        for (double c = -20; c <= 100; c += 5) {
            for (double rh = 0; rh <= 99.9; rh += 4.995) {
                const double celsiusResult = CalcEmc(c, rh, 1, ui);
                const double fahrenheitResult = CalcEmc(toF(c), rh, 0, ui);
                QVERIFY2(std::fabs(celsiusResult - metricEmc(c, rh)) < 0.02,
                         qPrintable(QStringLiteral("%1 C %2 %").arg(c).arg(rh)));
                QVERIFY(std::fabs(celsiusResult - fahrenheitResult) < 1e-9);
            }
        }
        QCOMPARE(CalcEmc(20, 0, 1, ui), 0.0); // dry air holds no water
        QVERIFY(ui.messages.empty());
    }

    void emcFailures() {
        // Arithmetic that overflows is reported and gives 0.
        QCOMPARE(CalcEmc(1e200, 50, 0, ui), 0.0);
        QCOMPARE(ui.messageTexts(), QStringList{"ERROR: CalcEmc: Overflow"});
        QCOMPARE(ui.messages[0].title, ProgramTitle);
        QCOMPARE(CalcEmc(std::nan(""), 50, 1, ui), 0.0);
        QCOMPARE(ui.messages.size(), std::size_t(2));

        // Where K times h is exactly 1 (a humidity of about 122 % at 70 degrees F).
        const double t = 70;
        const double k = 0.791 + 0.000463 * t - 0.000000844 * t * t;
        double rh = 100 / k;
        for (int i = 0; i < 64 && k * (rh / 100) != 1; ++i)
            rh = std::nextafter(rh, k * (rh / 100) < 1 ? 200.0 : 0.0);
        QCOMPARE(k * (rh / 100), 1.0);
        QVERIFY(rh > 120 && rh < 124);
        ui.clearRecord();
        QCOMPARE(CalcEmc(t, rh, 0, ui), 0.0);
        QCOMPARE(ui.messageTexts(), QStringList{"ERROR: CalcEmc: Division by zero"});
        QVERIFY(!EmcOf(t, rh, 0).ok());
    }

    void grainsPerPound() {
        QVERIFY(std::fabs(CalcAh(20, 50, 1, ui) - 51.97) < 0.005);
        QVERIFY(std::fabs(CalcAh(68, 50, 0, ui) - CalcAh(20, 50, 1, ui)) < 1e-9);
        // Linear in RH: the humidity scales the saturated value.
        for (double c = -20; c <= 60; c += 10) {
            QVERIFY(std::fabs(CalcAh(c, 100, 1, ui) - 2 * CalcAh(c, 50, 1, ui)) < 1e-9);
            QVERIFY(std::fabs(CalcAh(c, 37, 1, ui) / CalcAh(c, 100, 1, ui) - 0.37) < 1e-12);
            QCOMPARE(CalcAh(c, 0, 1, ui), 0.0);
        }
        for (double c = -30; c <= 90; c += 2.5) {
            const double expected = grainsViaKilopascal(c, 80);
            QVERIFY2(std::fabs(CalcAh(c, 80, 1, ui) / expected - 1) < 1e-4, qPrintable(QString::number(c)));
            QVERIFY(std::fabs(CalcAh(toF(c), 80, 0, ui) / expected - 1) < 1e-4);
        }
        // Against saturation humidity ratios of the psychrometric tables (kg per kg times
        // 7000): the formula's vapour pressure curve is an approximation, within 7 % here.
        const double celsius[] = {0, 10, 20, 30, 40};
        const double saturated[] = {0.003789, 0.007661, 0.014758, 0.027329, 0.049141};
        for (int i = 0; i < 5; ++i) {
            const double ratio = CalcAh(celsius[i], 100, 1, ui) / (saturated[i] * 7000);
            QVERIFY2(ratio > 0.93 && ratio < 1.07, qPrintable(QString::number(ratio)));
        }
        // 273, not 273.15: at 20 C the result lies above what 273.15 gives.
        const double with27315 = grainsViaKilopascal(20.15, 50);
        QVERIFY(CalcAh(20, 50, 1, ui) < with27315 && CalcAh(20, 50, 1, ui) > with27315 * 0.99);
        QVERIFY(ui.messages.empty());
    }

    void grainsPerPoundFailures() {
        QCOMPARE(CalcAh(-273, 50, 1, ui), 0.0);
        QCOMPARE(ui.messageTexts(), QStringList{"ERROR: CalcAh: Division by zero"});
        ui.clearRecord();
        QCOMPARE(CalcAh(-273.001, 50, 1, ui), 0.0);
        QCOMPARE(ui.messageTexts(), QStringList{"ERROR: CalcAh: Overflow"});
        QVERIFY(!AhOf(-273, 50, 1).ok());
        // Boiling: up to 100 C a value, from where the saturation pressure reaches the
        // atmosphere none, in either unit.
        QVERIFY(AhOf(100, 50, 1).ok() && AhOf(100, 50, 1).value > 0);
        for (double c : {100.2, 110.0, 150.0}) {
            QCOMPARE(AhOf(c, 50, 1).failure, "Saturation pressure at or above one atmosphere");
            QVERIFY(!AhOf(toF(c), 50, 0).ok());
        }
    }

    void dewPoint() {
        // Published values (degrees C, one decimal).
        const double t[] = {20, 25, 30, 0, 10, 35};
        const double rh[] = {50, 60, 80, 50, 90, 30};
        const double table[] = {9.3, 16.7, 26.2, -9.2, 8.4, 14.8};
        for (int i = 0; i < 6; ++i) {
            const Derived dew = CalcDewPoint(t[i], rh[i], 1);
            QVERIFY(dew.ok());
            QVERIFY2(std::fabs(dew.value - table[i]) <= 0.1, qPrintable(QString::number(dew.value)));
        }
        for (double c = -40; c <= 100; c += 5) {
            for (double humidity = 1; humidity <= 100; humidity += 3) {
                const Derived celsius = CalcDewPoint(c, humidity, 1);
                const Derived fahrenheit = CalcDewPoint(toF(c), humidity, 0);
                QVERIFY(celsius.ok() && fahrenheit.ok());
                QVERIFY2(std::fabs(celsius.value - magnusDewPoint(c, humidity)) < 0.01,
                         qPrintable(QStringLiteral("%1 C %2 %").arg(c).arg(humidity)));
                QVERIFY(std::fabs(fahrenheit.value - toF(celsius.value)) < 1e-9);
                QVERIFY(celsius.value <= c + 1e-9);
            }
        }
        QVERIFY(std::fabs(CalcDewPoint(20, 100, 1).value - 20) < 1e-9);
        QVERIFY(std::fabs(CalcDewPoint(68, 100, 0).value - 68) < 1e-9);
        // Below 1 % the humidity counts as 1 %.
        QCOMPARE(CalcDewPoint(20, 0, 1).value, CalcDewPoint(20, 1, 1).value);
        QCOMPARE(CalcDewPoint(20, -5, 1).value, CalcDewPoint(20, 1, 1).value);
        QVERIFY(CalcDewPoint(20, 0, 1).value < -30);
    }

    void dewPointFailuresGoToTheCaller() {
        const Derived dew = CalcDewPoint(-243.12, 50, 1);
        QVERIFY(!dew.ok());
        QCOMPARE(QString::fromLatin1(dew.failure), QStringLiteral("Division by zero"));
        QCOMPARE(dew.value, 0.0);
        QVERIFY(!CalcDewPoint(1e308, 50, 0).ok());
        QVERIFY(!CalcDewPoint(20, std::nan(""), 1).ok());
    }
};

QTEST_GUILESS_MAIN(TestCalc)
#include "test_calc.moc"
