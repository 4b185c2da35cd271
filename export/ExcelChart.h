// The chart sheet of an exported workbook: one line per column of the data sheet, the two
// families with their own titles.
#pragma once

#include <xlsxwriter.h>

#include <QString>

namespace kv5 {

struct Settings;
class UserInterface;

// Name of the worksheet that holds the log's rows; the chart's ranges refer to it.
inline constexpr const char* ExcelDataSheetName = "Sheet1";
// Name of the chart sheet.
inline constexpr const char* ExcelChartSheetName = "Chart1";

// A workbook being written: its chart sheet was added before the worksheet, so that the chart
// sheet is the first sheet of the workbook.
struct ExcelWorkbook {
    lxw_workbook* workbook = nullptr;
    lxw_chartsheet* chartSheet = nullptr;
    lxw_worksheet* dataSheet = nullptr;
};

// Builds the chart of a Q7R log of rowCount rows in the chart sheet: XY scatter with straight
// lines and no markers over "A1:" + ("F" advanced by the derived columns shown) + rowCount,
// titled "Temp & Moisture Chart", a line break and fileName; axes "Elapsed Time" and
// "Temp & Moisture"; one series per quantity shown (QuantitySeriesName), in the quantity's
// colour. A failure is reported as "ERROR: MakeExcelChartMc: " and the cause; then false.
bool MakeExcelChartMc(ExcelWorkbook& book, int rowCount, const QString& fileName, const Settings& settings,
                      UserInterface& ui);

// The same for a Vantorp log: range base "C", title "Temp & Humidity Chart", value axis
// "Temp & Humidity". Failures are reported as "ERROR: ExcelChartVantorp: ".
bool ExcelChartVantorp(ExcelWorkbook& book, int rowCount, const QString& fileName, const Settings& settings,
                       UserInterface& ui);

} // namespace kv5
