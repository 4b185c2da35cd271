// Export of a saved log file to a new workbook: a chart sheet first, then the worksheet with one
// row per line of the file and the derived columns the settings show. The export reads the file
// itself, not the in-memory log, and leaves the in-memory log as it is.
#pragma once

#include <QString>

#include <functional>

namespace kv5 {

struct Settings;
class UserInterface;

// Opens a written workbook for the user; false when nothing could open it.
using WorkbookOpener = std::function<bool(const QString& path)>;

// Opens the workbook with the desktop's default application for its type. False without a
// window system (no QGuiApplication), when the desktop names no default application for
// workbooks (xdg-mime), or when the desktop's opener cannot be started.
bool OpenWithDesktop(const QString& path);

// Writes the workbook of the log file at logPath to workbookPath (replacing a file of that name
// only once the whole workbook is written). The first line decides the family: a fourth field
// makes it a Q7R log (time, temperature, MC1, MC2, MC3, RH in columns A to F), else a Vantorp
// log (time, temperature, RH in A to C). Reading stops at the end or the first empty line; a
// field that is no number is 0. The derived quantities the settings show follow in the next
// columns, rounded to one decimal and formatted "0.0". The chart title names the log file
// without its folder.
//
// The workbook gets the usual mode of new files (0666 less the umask). Failures are reported
// through ui, and false is returned with no workbook left behind:
// - the workbook cannot be created in its folder: "ERROR: OpenInExcel: " and the cause;
// - an empty log (no line before the first empty one): the user is told there is nothing to
//   export;
// - the log file cannot be read, a cell or the workbook cannot be written, or a dew point
//   cannot be computed: "ERROR: OpenInExcel: " and the cause; the chart builders report as
//   "ERROR: MakeExcelChartMc: " and "ERROR: ExcelChartVantorp: ".
// A GPP or EMC that cannot be computed is reported once per export ("ERROR: CalcAh: ",
// "ERROR: CalcEmc: ") and leaves its cell empty.
bool WriteLogWorkbook(const Settings& settings, UserInterface& ui, const QString& logPath,
                      const QString& workbookPath);

// WriteLogWorkbook where the user named no place: to the log's name with ".xlsx" in a new,
// private temporary folder, so that a workbook still open from an earlier export is never
// replaced. Sets workbookPath to the workbook written; on failure no folder is left behind.
bool WriteNewExportWorkbook(const Settings& settings, UserInterface& ui, const QString& logPath,
                            QString& workbookPath);

// The library window's Export: writes the workbook of the log file at logPath into a new
// temporary folder (WriteNewExportWorkbook) and opens it with opener, leaving it there for the
// user to save or discard. When the opener fails, one message says where the workbook was saved
// and that no application for spreadsheet files is set up to open it. Returns true when the
// workbook was opened.
bool OpenInExcelWith(const Settings& settings, UserInterface& ui, const QString& logPath,
                     const WorkbookOpener& opener);

// OpenInExcelWith with the desktop's default application.
bool OpenInExcel(const Settings& settings, UserInterface& ui, const QString& logPath);

} // namespace kv5
