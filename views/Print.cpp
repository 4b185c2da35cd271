#include "views/Print.h"

#include "core/UserInterface.h"
#include "views/ChartDrawing.h"
#include "views/ChartState.h"
#include "views/PrintJob.h"

#include <QDir>
#include <QPainter>
#include <QPrinter>

#include <optional>

namespace kv5 {

namespace {

const QString WindowProcedure = QStringLiteral("btnPrint_Click");
const QString CommandProcedure = QStringLiteral("RunPrintCommand");

PrintResult failed(UserInterface& ui, const QString& procedure, const QString& why) {
    ui.error(procedure, why);
    return PrintResult::Failed;
}

// The start of either printout: its destination chosen and its job opened there. Empty when the
// printout goes on; else what it ends with: cancelled when the user declined the PDF file
// offered, failed after a reported failure.
std::optional<PrintResult> startPrintout(const LogView& view, UserInterface& ui, const PrintTarget& target,
                                         const QString& kind, const QString& procedure,
                                         PrintDestination& destination, PrintJob& job) {
    if (!ChoosePrintDestination(view, ui, target, kind, destination)) return PrintResult::Cancelled;
    QString why;
    if (!job.open(destination.pdfPath, why)) return failed(ui, procedure, why);
    return std::nullopt;
}

PrintResult finish(UserInterface& ui, const QString& procedure, PrintJob& job, const PrintDestination& destination) {
    QString why;
    if (!job.commit(why)) return failed(ui, procedure, why);
    if (destination.announce)
        ui.message({QStringLiteral("The printout was written to %1.")
                        .arg(QDir::toNativeSeparators(destination.pdfPath)),
                    Icon::Information});
    return PrintResult::Printed;
}

// The table printout with title; asks for the page count first when ask is set.
PrintResult printTable(const LogView& view, UserInterface& ui, const PrintTarget& target,
                       const QString& title, bool ask, const PrintProgress& progress,
                       const QString& procedure) {
    PrintDestination destination;
    PrintJob job;
    if (const auto ended = startPrintout(view, ui, target, QStringLiteral("table"), procedure, destination, job))
        return *ended;
    QPrinter& printer = job.printer;
    const double margin = TableMarginTwips / TwipsPerInch;
    printer.setPageMargins(QMarginsF(margin, margin, margin, margin), QPageLayout::Inch);

    // The painter's origin is the top left corner inside the margins.
    const QRectF area(0, 0, printer.width(), printer.height());
    const TablePrintLayout layout = LayoutTablePrint(view.log, view.settings, printer, area);
    if (ask && ui.message({PrintPagesText(layout.pages), Icon::None, Buttons::OkCancel}) != Answer::Ok)
        return PrintResult::Cancelled;

    QPainter painter;
    if (!painter.begin(&printer)) return failed(ui, procedure, job.failure());
    bool cancelled = false;
    const PrintProgress asked = [&](int page, int pages) {
        if (!progress || progress(page, pages)) return true;
        cancelled = true;
        return false;
    };
    const int drawn = PrintTablePages(printer, painter, layout, view.log, view.settings, title, asked);
    if (cancelled) {
        printer.abort();
        painter.end();
        return PrintResult::Cancelled;
    }
    painter.end();
    if (drawn < layout.pages || printer.printerState() == QPrinter::Error)
        return failed(ui, procedure, job.failure());
    return finish(ui, procedure, job, destination);
}

// The chart printout with title.
PrintResult printChart(const LogView& view, UserInterface& ui, ChartState& chart, QSize surfaceSize,
                       const PrintTarget& target, const QString& title, const QString& procedure) {
    PrintDestination destination;
    PrintJob job;
    if (const auto ended = startPrintout(view, ui, target, QStringLiteral("chart"), procedure, destination, job))
        return *ended;
    // A printer's positions count from its printable area; a PDF page is printable to its edges.
    if (job.toPdf()) job.printer.setPageMargins(QMarginsF(0, 0, 0, 0), QPageLayout::Inch);

    // The surface restored from the finished chart, and the legend on the last record.
    chart.showReadoutAt(chart.recordCount());

    QPainter painter;
    if (!painter.begin(&job.printer)) return failed(ui, procedure, job.failure());
    PaintChartPage(painter, title, ChartPrintLines(view.log, chart.extremes), chart.bmp.get(), surfaceSize);
    painter.end();
    if (job.printer.printerState() == QPrinter::Error) return failed(ui, procedure, job.failure());
    return finish(ui, procedure, job, destination);
}

// The description box before either printout; false when it was cancelled or left empty.
bool askDescription(const LogView& view, UserInterface& ui, QString& description) {
    description = view.log.ShownDescription();
    return ui.input(PrintInputPrompt, PrintInputTitle, description) && !description.isEmpty();
}

} // namespace

PrintResult PrintTable(const LogView& view, UserInterface& ui, const PrintTarget& target,
                       const PrintProgress& progress) {
    QString description;
    if (!askDescription(view, ui, description)) return PrintResult::Cancelled;
    return printTable(view, ui, target, description, true, progress, WindowProcedure);
}

PrintResult PrintChart(const LogView& view, UserInterface& ui, ChartState& chart, QSize surfaceSize,
                       const PrintTarget& target) {
    QString description;
    if (!askDescription(view, ui, description)) return PrintResult::Cancelled;
    return printChart(view, ui, chart, surfaceSize, target, description, WindowProcedure);
}

PrintResult PrintLogToPdf(const LogView& view, UserInterface& ui, const QString& pdf, bool chart,
                          const QString& title) {
    const PrintTarget target{pdf, QString()};
    if (!chart) return printTable(view, ui, target, title, false, {}, CommandProcedure);
    ChartState drawing(view, ui);
    drawing.Load();
    return printChart(view, ui, drawing, LayoutChartWindow(ChartWindowSize).bmp.size(), target, title,
                      CommandProcedure);
}

} // namespace kv5
