// The printouts of the table and the chart: the description box, the page-count question and
// the pages. The printout goes to the system's default printer without a print dialog, as one
// finished job: the pages are made into a PDF file first, so a cancel or a failure on the way
// prints nothing. With no printer installed the user is offered a PDF file instead and told
// where it went. The command line writes either printout of a log file to a PDF file. PDF files
// get the usual mode of new files (0666 less the umask), or the mode of the file they replace; a
// symbolic link at a PDF file's name is neither followed nor replaced.
#pragma once

#include "views/LogView.h"
#include "views/PrintDestination.h"
#include "views/PrintLayout.h"

#include <QSize>
#include <QString>

namespace kv5 {

class ChartState;
class UserInterface;

enum class PrintResult { Printed, Cancelled, Failed };

// The table window's Print button. Asks for the description ("Print Table", pre-filled with the
// log's Description; an empty answer or Cancel prints nothing), lays the table out for the
// printer's page with margins of 720 twips (the Description is that of the log's context
// file when it was opened from a file with one), asks "Printing needs n pages." (OK / Cancel) and
// prints every page under the job name "Quorvane KV5", asking progress before each page: a
// cancel there stops the job. A failure is shown as "ERROR: btnPrint_Click: " and its cause.
PrintResult PrintTable(const LogView& view, UserInterface& ui, const PrintTarget& target = {},
                       const PrintProgress& progress = {});

// The chart window's Print button. Asks for the description as the table does, then prints one
// page: the description, the log's facts with the chart's extremes of its last drawing, and the
// chart surface at surfaceSize (its size on screen, in pixels at 96 to the inch), after the
// readout has been run for the right edge. Failures as for the table.
PrintResult PrintChart(const LogView& view, UserInterface& ui, ChartState& chart, QSize surfaceSize,
                       const PrintTarget& target = {});

// The command line's printout: the table, or with chart the chart as the window at its own size
// draws it, titled title, written to the PDF file pdf (whole or not at all). Nothing is asked; a
// failure is reported as "ERROR: RunPrintCommand: " and its cause.
PrintResult PrintLogToPdf(const LogView& view, UserInterface& ui, const QString& pdf, bool chart,
                          const QString& title);

} // namespace kv5
