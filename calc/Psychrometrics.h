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

// The computations themselves; they never report.
Derived EmcOf(double temperature, double rh, int celsius);
Derived AhOf(double temperature, double rh, int celsius);
Derived DewPointOf(double temperature, double rh, int celsius);

// EMC in percent (Hailwood-Horrobin with the Wood Handbook coefficients). A failure is
// reported as "ERROR: CalcEmc: " and the description, and gives 0.
double CalcEmc(double temperature, double rh, int celsius, UserInterface& ui);

// Grains of water per pound of dry air, with 273 as the kelvin offset; none where the
// saturation pressure reaches the standard atmosphere (about 100 C). A failure is reported
// as "ERROR: CalcAh: " and the description, and gives 0.
double CalcAh(double temperature, double rh, int celsius, UserInterface& ui);

// Reports the failure of a derived value ("ERROR: " procedure ": " why) the first time one
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
// below 1 % count as 1 %. A failure is not reported here: the caller reports it as its own.
Derived CalcDewPoint(double temperature, double rh, int celsius);

} // namespace kv5
