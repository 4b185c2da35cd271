// The quantities of a log, one row each: what every view, printout and export shows of a log and
// in which order, under which label, unit and colour, and what happens to a derived value that
// cannot be computed. A new quantity is one new row.
#pragma once

#include "calc/Psychrometrics.h"
#include "core/LogData.h"
#include "core/Settings.h"

#include <QString>

#include <array>
#include <cstddef>
#include <vector>

namespace kv5 {

// In the order of the rows: the order of the columns, lines, traces, legend boxes and series.
enum class Quantity { Temperature, Mc1, Mc2, Mc3, Rh, Gpp, Emc, DewPoint };
inline constexpr std::size_t QuantityCount = 8;

enum class QuantityUnit { Degrees, Percent, None };

// What a derived value that cannot be computed does.
enum class WhenUncomputable {
    // Measured values always have one.
    NeverHappens,
    // Reported once per run over the log ("ERROR: " procedure ": " and why); the value is left
    // out: a blank cell, a gap in the trace, no part in the extremes.
    LeftOut,
    // Each place ends what it was doing and says why: the chart is finished without the trace,
    // the readout stops, the export fails. The table leaves the cell blank.
    EndsTheRun,
};

struct Rgb {
    int red, green, blue;
};

struct QuantityRow {
    Quantity quantity;
    // Name in files and on the command line ("temperature", "dew_point").
    const char* key;
    // Short label of headers, legends and series ("Temp", "MC1", "Dew").
    const char* label;
    // Words for a message ("dew point of line 7").
    const char* words;
    QuantityUnit unit;
    Rgb colour;
    bool vantorp; // a Vantorp log has it
    bool q7r;     // a Q7R log has it
    // The setting that shows it; nullptr: always shown where the family has it.
    int Settings::*shownBy;
    // A measured quantity: its values in the log. Else nullptr.
    const std::vector<double>& (*series)(const LogData& log);
    // A derived quantity: of temperature and RH in the log's unit. Else nullptr.
    Derived (*derive)(double temperature, double rh, int celsius);
    // Its name in a failure report ("CalcAh").
    const char* procedure;
    WhenUncomputable whenUncomputable;
};

// The rows, in the order of Quantity.
extern const std::array<QuantityRow, QuantityCount> QuantityTable;

inline const QuantityRow& RowOf(Quantity quantity) {
    return QuantityTable[std::size_t(quantity)];
}

// Whether the settings show the quantity (where its family has it).
inline bool IsShown(const QuantityRow& row, const Settings& settings) {
    return row.shownBy == nullptr || settings.*row.shownBy != 0;
}

// The rows a log of that family has, whatever the settings.
std::vector<const QuantityRow*> FamilyQuantities(bool q7r);
// The rows shown for a log of that family under the settings.
std::vector<const QuantityRow*> ShownQuantities(bool q7r, const Settings& settings);

// The value of record slot (from 0): a measured one, or the derived one of its temperature and
// RH in the unit of the settings.
Derived QuantityValue(const QuantityRow& row, const LogData& log, int slot, int celsius);

// "°C", "°F", "%" or nothing.
QString UnitText(const QuantityRow& row, int celsius);
// Table header and statistics line: "Temp °C", "MC1 %", "GPP".
QString QuantityHeader(const QuantityRow& row, int celsius);
// The readout's template, whose "$" takes the value: "Temp $°C", "MC1 $%", "GPP $".
QString QuantityReadout(const QuantityRow& row, int celsius);
// The workbook chart's series name: "Temp °C", "MC1%", "GPP".
QString QuantitySeriesName(const QuantityRow& row, int celsius);

} // namespace kv5
