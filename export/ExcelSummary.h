// The workbook's sheet "Summary", after the values: one row per quantity with its range, mean,
// mean kinetic temperature, limits and the records, hours and excursions beyond them, and the
// drying rate; then the daily table.
#pragma once

#include <xlsxwriter.h>

namespace kv5 {

struct LogSummary;
class UserInterface;

inline constexpr const char* ExcelSummarySheetName = "Summary";

// Writes summary into sheet, its rows in order (the workbook writes rows as they come). A
// failure is reported as "ERROR: OpenInExcel: " and its cause and gives false.
bool WriteSummarySheet(lxw_worksheet* sheet, const LogSummary& summary, UserInterface& ui);

} // namespace kv5
