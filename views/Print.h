// Printing of the table and the chart: the description box, the page-count question, the
// progress box, and the printer. The printout goes to the system's default printer without a
// print dialog, as one finished job: the pages are made into a PDF file first, so a cancel or a
// failure on the way prints nothing. With no printer installed the user is offered a PDF file
// instead and told where it went. The command line writes either printout of a log file to a
// PDF file. PDF files get the usual mode of new files (0666 less the umask).
#pragma once

#include "views/PrintLayout.h"

#include <QSize>
#include <QString>

class QWidget;

namespace kv5 {

struct AppState;
class ChartState;
class frmChart;
class frmTable;
class UserInterface;

// Where a printout goes.
struct PrintTarget {
    // A PDF file to write instead of printing (the command line); empty: the default printer.
    QString pdfFile;
    // The folder of the PDF file offered when no printer is installed; empty: the user's
    // Documents folder when it exists, else the program folder.
    QString fallbackFolder;
};

enum class PrintResult { Printed, Cancelled, Failed };

// The table window's Print button. Asks for the description ("Print Table", pre-filled with the
// log's Description; an empty answer or Cancel prints nothing), lays the table out for the
// printer's page with margins of 720 twips, asks "Printing needs n pages." (OK / Cancel) and
// prints every page under the job name "Quorvane KV5", asking progress before each page: a
// cancel there stops the job. A failure is shown as "ERROR: btnPrint_Click: " and its cause.
PrintResult PrintTable(AppState& state, UserInterface& ui, const PrintTarget& target = {},
                       const PrintProgress& progress = {});

// The chart window's Print button. Asks for the description as the table does, then prints one
// page: the description, the log's facts with the chart's extremes of its last drawing, and the
// chart surface at surfaceSize (its size on screen, in pixels at 96 to the inch), after the
// readout has been run for the right edge. Failures as for the table.
PrintResult PrintChart(AppState& state, UserInterface& ui, ChartState& chart, QSize surfaceSize,
                       const PrintTarget& target = {});

// Makes the table window's Print button print the table, with the progress box "Printing -
// Click Cancel to quit" over the window.
void InstallTablePrinting(frmTable& window, AppState& state, UserInterface& ui);
// Makes the chart window's Print button print the chart at the size its surface has.
void InstallChartPrinting(frmChart& window, AppState& state, UserInterface& ui);

// The main window's "Show Log" and "Show Chart": the table window (modal) and the chart window,
// each with its Print button wired.
void ShowPrintableLogTable(AppState& state, UserInterface& ui, QWidget* parent);
void ShowPrintableChartWindow(AppState& state, UserInterface& ui, QWidget* parent);

// `kv5 print FILE --pdf OUT.pdf [--chart] [--description TEXT]`: reads the log file (a name in
// DATA or a path) and writes its table printout, or with chart its chart printout, to pdf
// (written whole or not at all). The title is description, or the log file's name when
// description is a null text. Nothing is asked. Returns 0; 1 when the file could not be read
// completely (the records read are still printed) or the PDF could not be written; 2 without an
// output name.
int RunPrintCommand(AppState& state, UserInterface& ui, const QString& file, const QString& pdf, bool chart,
                    const QString& description);

} // namespace kv5
