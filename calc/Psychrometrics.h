// Derived quantities of one temperature and relative humidity reading: equilibrium moisture
// content of wood (EMC), absolute humidity in grains of water per pound of dry air (GPP) and
// the dew point. The temperature is in degrees C when celsius is non-zero, else in degrees F;
// the humidity is in percent.
#pragma once

#include <optional>

namespace kv5 {

class UserInterface;

// A derived value, or why the arithmetic could not give one (failure is then a short
// description and value 0).
struct Derived {
    double value = 0;
    const char* failure = nullptr;
    bool ok() const { return failure == nullptr; }
};

// EMC in percent (Hailwood-Horrobin with the Wood Handbook coefficients).
Derived CalcEmc(double temperature, double rh, int celsius);

// Grains of water per pound of dry air, with 273 as the kelvin offset; none where the
// saturation pressure reaches the standard atmosphere (about 100 C).
Derived CalcAh(double temperature, double rh, int celsius);

// Reports the failure of a derived value ("ERROR: CalcEmc: " and why, say) the first time one
// occurs in a run over a log, not once per record. Gives the value, or nothing on a failure.
class ReportOnce {
public:
    ReportOnce(const char* procedure, UserInterface& ui) : procedure_(procedure), ui_(ui) {}
    std::optional<double> operator()(const Derived& result);

private:
    const char* procedure_;
    UserInterface& ui_;
    bool reported_ = false;
};

// Dew point in the unit of the temperature (Magnus, 17.62 and 243.12 degrees C); humidities
// below 1 % count as 1 %.
Derived CalcDewPoint(double temperature, double rh, int celsius);

} // namespace kv5
