// The temperature unit the user chose: degrees C when the Celsius setting is non-zero, else
// degrees F. The one conversion and the one label of the program.
#pragma once

#include <QString>

namespace kv5 {

inline double ToFahrenheit(double celsius) { return celsius * 1.8 + 32; }
inline double ToCelsius(double fahrenheit) { return (fahrenheit - 32) / 1.8; }

// "°C" or "°F".
inline QString DegreeLabel(int celsius) {
    return celsius != 0 ? QStringLiteral("\u00b0C") : QStringLiteral("\u00b0F");
}

} // namespace kv5
