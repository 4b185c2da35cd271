#include "calc/Quantities.h"

#include "core/Units.h"

namespace kv5 {

namespace {

const std::vector<double>& temperatureOf(const LogData& log) {
    return log.LogTemp;
}
const std::vector<double>& mc1Of(const LogData& log) {
    return log.LogMc1;
}
const std::vector<double>& mc2Of(const LogData& log) {
    return log.LogMc2;
}
const std::vector<double>& mc3Of(const LogData& log) {
    return log.LogMc3;
}
// The Q7R sensor's humidity has slots of its own.
const std::vector<double>& rhOf(const LogData& log) {
    return log.isQ7R() ? log.LogRhQ7R : log.LogRh;
}

constexpr auto Never = WhenUncomputable::NeverHappens;
constexpr auto Degrees = QuantityUnit::Degrees;
constexpr auto Percent = QuantityUnit::Percent;
constexpr auto NoUnit = QuantityUnit::None;

} // namespace

// The fixed colours of the measured traces, and the trace colours GppTraceColor, EmcTraceColor,
// Mc3TraceColor and DewTraceColor of the chart and the workbook chart.
// clang-format off
const std::array<QuantityRow, QuantityCount> QuantityTable{{
    // quantity             key            label   words          unit     colour          Vantorp Q7R
    //   shown by             series           derive          procedure       when uncomputable
    {Quantity::Temperature, "temperature", "Temp", "temperature", Degrees, {255, 0, 0},     true,  true,
         nullptr,             &temperatureOf,  nullptr,        nullptr,        Never},
    {Quantity::Mc1,         "mc1",         "MC1",  "MC1",         Percent, {0, 0, 0},       false, true,
         nullptr,             &mc1Of,          nullptr,        nullptr,        Never},
    {Quantity::Mc2,         "mc2",         "MC2",  "MC2",         Percent, {255, 0, 255},   false, true,
         nullptr,             &mc2Of,          nullptr,        nullptr,        Never},
    {Quantity::Mc3,         "mc3",         "MC3",  "MC3",         Percent, {255, 127, 39},  false, true,
         nullptr,             &mc3Of,          nullptr,        nullptr,        Never},
    {Quantity::Rh,          "rh",          "RH",   "RH",          Percent, {0, 0, 255},     true,  true,
         nullptr,             &rhOf,           nullptr,        nullptr,        Never},
    {Quantity::Gpp,         "gpp",         "GPP",  "GPP",         NoUnit,  {0, 128, 0},     true,  true,
         &Settings::AhGpp,    nullptr,         &CalcAh,        "CalcAh",       WhenUncomputable::LeftOut},
    {Quantity::Emc,         "emc",         "EMC",  "EMC",         Percent, {128, 0, 128},   true,  true,
         &Settings::Emc,      nullptr,         &CalcEmc,       "CalcEmc",      WhenUncomputable::LeftOut},
    // CalcDewPoint reports nothing itself: its failure is the failure of whatever shows it.
    {Quantity::DewPoint,    "dew_point",   "Dew",  "dew point",   Degrees, {0, 127, 255},   true,  true,
         &Settings::Dewpoint, nullptr,         &CalcDewPoint,  "CalcDewPoint", WhenUncomputable::EndsTheRun},
}};
// clang-format on

std::vector<const QuantityRow*> FamilyQuantities(bool q7r) {
    std::vector<const QuantityRow*> rows;
    for (const QuantityRow& row : QuantityTable)
        if (q7r ? row.q7r : row.vantorp) rows.push_back(&row);
    return rows;
}

std::vector<const QuantityRow*> ShownQuantities(bool q7r, const Settings& settings) {
    std::vector<const QuantityRow*> rows = FamilyQuantities(q7r);
    std::erase_if(rows, [&](const QuantityRow* row) { return !IsShown(*row, settings); });
    return rows;
}

Derived QuantityValue(const QuantityRow& row, const LogData& log, int slot, int celsius) {
    const auto at = std::size_t(slot);
    if (row.series) return {row.series(log)[at], nullptr};
    return row.derive(log.LogTemp[at], rhOf(log)[at], celsius);
}

QString UnitText(const QuantityRow& row, int celsius) {
    switch (row.unit) {
    case QuantityUnit::Degrees:
        return DegreeLabel(celsius);
    case QuantityUnit::Percent:
        return QStringLiteral("%");
    case QuantityUnit::None:
        break;
    }
    return {};
}

QString QuantityHeader(const QuantityRow& row, int celsius) {
    const QString label = QString::fromLatin1(row.label);
    return row.unit == QuantityUnit::None ? label : label + QLatin1Char(' ') + UnitText(row, celsius);
}

QString QuantityReadout(const QuantityRow& row, int celsius) {
    return QString::fromLatin1(row.label) + QStringLiteral(" $") + UnitText(row, celsius);
}

QString QuantitySeriesName(const QuantityRow& row, int celsius) {
    // The workbook's series names keep a blank only before the degree sign.
    const QString label = QString::fromLatin1(row.label);
    return row.unit == QuantityUnit::Degrees ? label + QLatin1Char(' ') + UnitText(row, celsius)
                                             : label + UnitText(row, celsius);
}

} // namespace kv5
