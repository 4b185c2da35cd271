#include "views/Print.h"

#include "core/SafePublish.h"
#include "core/UserInterface.h"
#include "logfiles/LogFile.h"
#include "views/ChartState.h"
#include "views/ChartWidgets.h"
#include "views/frmChart.h"
#include "views/frmTable.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPainter>
#include <QPointer>
#include <QPrinter>
#include <QPrinterInfo>
#include <QProgressDialog>
#include <QStandardPaths>

#include <cups/cups.h>

#include <memory>

namespace kv5 {

namespace {

const QString WindowProcedure = QStringLiteral("btnPrint_Click");
const QString CommandProcedure = QStringLiteral("RunPrintCommand");

// The folder of the PDF written when no printer is installed.
QString fallbackFolder(const LogView& view, const PrintTarget& target) {
    if (!target.fallbackFolder.isEmpty()) return target.fallbackFolder;
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (!documents.isEmpty() && QFileInfo(documents).isDir()) return documents;
    return view.ProgramFolder;
}

// A free name for that PDF, after the log: the file last chosen in the library, else the
// logger's serial number, then "-table" or "-chart", and a number when the name is taken.
QString fallbackPdfPath(const LogView& view, const QString& folder, const QString& kind) {
    QString base = QFileInfo(view.log.SelectedLogFile).completeBaseName();
    if (base.isEmpty() && !view.log.ShownSerialNumber().isEmpty())
        base = QStringLiteral("SN") + SafeFileNamePart(view.log.ShownSerialNumber());
    if (base.isEmpty()) base = QStringLiteral("KV5");
    base += QLatin1Char('-') + kind;
    const QDir dir(folder);
    QString path = dir.filePath(base + QStringLiteral(".pdf"));
    for (int number = 2; QFileInfo::exists(path); ++number)
        path = dir.filePath(QStringLiteral("%1-%2.pdf").arg(base).arg(number));
    return path;
}

// Where the printout goes: the target's PDF file, the default printer, or, when there is no
// printer, a PDF file that the user agrees to. False when the user declined: nothing is printed.
bool chooseDestination(const LogView& view, UserInterface& ui, const PrintTarget& target, const QString& kind,
                       QString& pdfPath, bool& announce) {
    announce = false;
    pdfPath = target.pdfFile;
    if (!pdfPath.isEmpty() || !QPrinterInfo::defaultPrinter().isNull()) return true;
    const QString path = fallbackPdfPath(view, fallbackFolder(view, target), kind);
    const QString question =
        QStringLiteral("No printer is installed. Do you want to write the printout to the PDF "
                       "file %1 instead?")
            .arg(QDir::toNativeSeparators(path));
    if (ui.message({question, Icon::Question, Buttons::YesNo, ConfirmTitle, Answer::Yes}) != Answer::Yes)
        return false;
    pdfPath = path;
    announce = true;
    return true;
}

// The printer of one printout. The pages are always made into a PDF file first: for a PDF
// target a hidden file beside it that takes its name only when the printout is complete, for
// the default printer a temporary file that is handed to the print system as one finished job
// only at the end. So a cancel or a failure while the pages are made prints nothing and writes
// nothing: a print system job, once started, would print the pages made so far.
class PrintJob {
public:
    PrintJob() : printer(QPrinter::HighResolution) {}

    // Sets the printer up for the default printer, or for the PDF file path when one is given.
    bool open(const QString& path, QString& why) {
        if (path.isEmpty()) {
            printerName_ = QPrinterInfo::defaultPrinter().printerName();
            // The printer's own paper and printable area, for the pages made for it.
            QPrinter probe(QPrinter::HighResolution);
            probe.setPrinterName(printerName_);
            const QPageLayout layout = probe.pageLayout();
            // The pages wait in a hidden file of the temporary folder until they go out whole.
            if (!pending_.create(QDir::tempPath(), QStringLiteral("kv5-print"), why)) {
                why = QStringLiteral("the printout cannot be made: %1").arg(why);
                return false;
            }
            printer.setOutputFormat(QPrinter::PdfFormat);
            printer.setPageLayout(layout);
        } else {
            const QFileInfo info(QFileInfo(path).absoluteFilePath());
            finalPath_ = info.absoluteFilePath();
            if (!pending_.create(info.absolutePath(), QStringLiteral("kv5-print"), why)) {
                why =
                    QStringLiteral("%1 cannot be written: %2").arg(QDir::toNativeSeparators(finalPath_), why);
                return false;
            }
            printer.setOutputFormat(QPrinter::PdfFormat);
        }
        // The printer opens its output by name: it gets the one that names the hidden file itself.
        printer.setOutputFileName(pending_.writerPath());
        printer.setDocName(ProgramTitle);
        return true;
    }

    bool toPdf() const { return !finalPath_.isEmpty(); }

    // Why the pages could not be made.
    QString failure() const {
        return toPdf() ? QStringLiteral("%1 cannot be written").arg(QDir::toNativeSeparators(finalPath_))
                       : QStringLiteral("the printout for the printer %1 cannot be made").arg(printerName_);
    }

    // Delivers the finished printout: the PDF file takes its name, replacing a file of that name,
    // or the pages go to the printer as one job.
    bool commit(QString& why) {
        if (toPdf()) {
            if (pending_.publish(QFileInfo(finalPath_).fileName(), PendingFile::Publish::Replacing, why) ==
                PendingFile::Outcome::Published)
                return true;
            why = QStringLiteral("%1 cannot be written: %2").arg(QDir::toNativeSeparators(finalPath_), why);
            return false;
        }
        // A print system name is the queue, or the queue and "/" and one of its instances; the
        // user's own defaults for it (lpoptions) go with the job, as lp sends them.
        const qsizetype slash = printerName_.indexOf(QLatin1Char('/'));
        const QByteArray queue = printerName_.left(slash).toUtf8();
        const QByteArray instance = slash < 0 ? QByteArray() : printerName_.mid(slash + 1).toUtf8();
        cups_dest_t* dest = cupsGetNamedDest(CUPS_HTTP_DEFAULT, queue.constData(),
                                             slash < 0 ? nullptr : instance.constData());
        const QByteArray file = QFile::encodeName(pending_.writerPath());
        const QByteArray title = ProgramTitle.toUtf8();
        const int job =
            cupsPrintFile(queue.constData(), file.constData(), title.constData(),
                          dest != nullptr ? dest->num_options : 0, dest != nullptr ? dest->options : nullptr);
        if (dest != nullptr) cupsFreeDests(1, dest);
        if (job > 0) return true;
        why = QStringLiteral("the printer %1 does not accept the printout: %2")
                  .arg(printerName_, QString::fromUtf8(cupsLastErrorString()));
        return false;
    }

    QPrinter printer;

private:
    QString finalPath_;
    PendingFile pending_;
    QString printerName_;
};

PrintResult failed(UserInterface& ui, const QString& procedure, const QString& why) {
    ui.error(procedure, why);
    return PrintResult::Failed;
}

PrintResult finish(UserInterface& ui, const QString& procedure, PrintJob& job, const QString& pdfPath,
                   bool announce) {
    QString why;
    if (!job.commit(why)) return failed(ui, procedure, why);
    if (announce)
        ui.message({QStringLiteral("The printout was written to %1.").arg(QDir::toNativeSeparators(pdfPath)),
                    Icon::Information});
    return PrintResult::Printed;
}

// The table printout with title; asks for the page count first when ask is set.
PrintResult printTable(const LogView& view, UserInterface& ui, const PrintTarget& target,
                       const QString& title, bool ask, const PrintProgress& progress,
                       const QString& procedure) {
    QString pdfPath;
    bool announce = false;
    if (!chooseDestination(view, ui, target, QStringLiteral("table"), pdfPath, announce))
        return PrintResult::Cancelled;
    PrintJob job;
    QString why;
    if (!job.open(pdfPath, why)) return failed(ui, procedure, why);
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
    return finish(ui, procedure, job, pdfPath, announce);
}

// The chart printout with title.
PrintResult printChart(const LogView& view, UserInterface& ui, ChartState& chart, QSize surfaceSize,
                       const PrintTarget& target, const QString& title, const QString& procedure) {
    QString pdfPath;
    bool announce = false;
    if (!chooseDestination(view, ui, target, QStringLiteral("chart"), pdfPath, announce))
        return PrintResult::Cancelled;
    PrintJob job;
    QString why;
    if (!job.open(pdfPath, why)) return failed(ui, procedure, why);
    // A printer's positions count from its printable area; a PDF page is printable to its edges.
    if (job.toPdf()) job.printer.setPageMargins(QMarginsF(0, 0, 0, 0), QPageLayout::Inch);

    // The surface restored from the finished chart, and the legend on the last record.
    chart.showReadoutAt(chart.recordCount());

    QPainter painter;
    if (!painter.begin(&job.printer)) return failed(ui, procedure, job.failure());
    PaintChartPage(painter, title, ChartPrintLines(view.log, chart.extremes), chart.bmp.get(), surfaceSize);
    painter.end();
    if (job.printer.printerState() == QPrinter::Error) return failed(ui, procedure, job.failure());
    return finish(ui, procedure, job, pdfPath, announce);
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

void InstallTablePrinting(frmTable& window, const LogView& view, UserInterface& ui) {
    frmTable* owner = &window;
    window.SetPrintHandler([owner, view, &ui] {
        // The progress box comes up with the first page, once the page count has been accepted.
        std::unique_ptr<QProgressDialog> box;
        const PrintProgress progress = [&box, owner](int page, int pages) {
            if (!box) {
                box = std::make_unique<QProgressDialog>(PrintProgressText, QStringLiteral("Cancel"), 0, pages,
                                                        owner);
                box->setWindowTitle(ProgramTitle);
                box->setWindowModality(Qt::WindowModal);
                box->setMinimumDuration(0);
                box->setAutoClose(false);
                box->setAutoReset(false);
                box->show();
            }
            box->setValue(page - 1);
            QCoreApplication::processEvents();
            return !box->wasCanceled();
        };
        PrintTable(view, ui, {}, progress);
    });
}

void InstallChartPrinting(frmChart& window, const LogView& view, UserInterface& ui) {
    frmChart* owner = &window;
    window.SetPrintHandler([owner, view, &ui] {
        if (PrintChart(view, ui, owner->chart, owner->bmp->size()) == PrintResult::Cancelled) return;
        // The window shows what the printout shows: the readout on the last record.
        owner->showReadoutAt(owner->chart.recordCount());
    });
}

void ShowPrintableLogTable(const LogView& view, UserInterface& ui, const LogFileActions& actions,
                           QWidget* parent) {
    frmTable window(view, ui, actions, parent);
    InstallTablePrinting(window, view, ui);
    window.exec();
}

void ShowPrintableChartWindow(const LogView& view, UserInterface& ui, const LogFileActions& actions,
                              QWidget* parent) {
    frmChart& window = ChartWindow(view, ui, actions, parent);
    InstallChartPrinting(window, view, ui);
    window.exec();
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
