#include "calc/Psychrometrics.h"

#include "core/Units.h"
#include "core/UserInterface.h"

#include <cmath>

namespace kv5 {

namespace {

const char* const DivisionByZero = "Division by zero";
const char* const Overflow = "Overflow";
const char* const AboveBoiling = "Saturation pressure at or above one atmosphere";

Derived failed(const char* why) {
    return {0, why};
}

// A result that is no finite number is an overflow (or an invalid operation on one).
Derived checked(double value) {
    return std::isfinite(value) ? Derived{value, nullptr} : failed(Overflow);
}


} // namespace

Derived CalcEmc(double temperature, double rh, int celsius) {
    const double t = celsius != 0 ? ToFahrenheit(temperature) : temperature;
    const double h = rh / 100;
    const double w = 330 + 0.452 * t + 0.00415 * t * t;
    const double k = 0.791 + 0.000463 * t - 0.000000844 * t * t;
    const double k1 = 6.34 + 0.000775 * t - 0.0000935 * t * t;
    const double k2 = 1.09 + 0.0284 * t - 0.0000904 * t * t;
    const double x = k * h;
    const double sorbed = 1 + k1 * x + k1 * k2 * x * x;
    if (w == 0 || 1 - x == 0 || sorbed == 0) return failed(DivisionByZero);
    return checked((1800 / w) * (x / (1 - x) + (k1 * x + 2 * k1 * k2 * x * x) / sorbed));
}

Derived CalcAh(double temperature, double rh, int celsius) {
    const double t = celsius == 0 ? ToCelsius(temperature) : temperature;
    const double kelvin = t + 273;
    if (kelvin == 0) return failed(DivisionByZero);
    // Saturation vapour pressure in mm of mercury, then in psi.
    const double ps = std::exp(20.386 - 5132 / kelvin) * 0.0193368;
    if (!std::isfinite(ps)) return failed(Overflow);
    if (14.696 - ps == 0) return failed(DivisionByZero);
    // From about 100 C the water would boil: no air is left to hold it, and the formula turns
    // negative.
    if (14.696 - ps < 0) return failed(AboveBoiling);
    // Molar masses of water and dry air, grains per pound, the standard atmosphere in psi.
    const double saturated = (18.02 / 28.85) * 7000 * ps / (14.696 - ps);
    return checked(saturated * rh / 100);
}

Derived CalcDewPoint(double temperature, double rh, int celsius) {
    const double t = celsius == 0 ? ToCelsius(temperature) : temperature;
    // 1 % keeps the logarithm defined for 0 % and negative readings.
    const double r = rh < 1 ? 1 : rh;
    const double log10r = std::log(r) / std::log(10.0);
    if (243.12 + t == 0) return failed(DivisionByZero);
    const double g = 17.62 * t / (243.12 + t) + (log10r - 2) / 0.4343;
    if (17.62 - g == 0) return failed(DivisionByZero);
    const Derived dew = checked(243.12 * g / (17.62 - g));
    if (!dew.ok() || celsius != 0) return dew;
    return checked(ToFahrenheit(dew.value));
}

std::optional<double> ReportOnce::operator()(const Derived& result) {
    if (result.ok()) return result.value;
    if (!reported_) ui_.error(QString::fromLatin1(procedure_), QString::fromLatin1(result.failure));
    reported_ = true;
    return std::nullopt;
}

} // namespace kv5
