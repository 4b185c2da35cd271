#include "views/Print.h"

#include "app/AppState.h"
#include "core/SafePublish.h"
#include "core/UserInterface.h"
#include "logfiles/LogFile.h"
#include "views/ChartState.h"
#include "views/ChartWidgets.h"
#include "views/LogCommands.h"
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
#include <QTemporaryFile>

#include <cups/cups.h>

#include <memory>

namespace kv5 {

namespace {

const QString WindowProcedure = QStringLiteral("btnPrint_Click");
const QString CommandProcedure = QStringLiteral("RunPrintCommand");

// The folder of the PDF written when no printer is installed.
QString fallbackFolder(const AppState& state, const PrintTarget& target) {
    if (!target.fallbackFolder.isEmpty()) return target.fallbackFolder;
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (!documents.isEmpty() && QFileInfo(documents).isDir()) return documents;
    return state.ProgramFolder;
}

// A free name for that PDF, after the log: the file last chosen in the library, else the
// logger's serial number, then "-table" or "-chart", and a number when the name is taken.
QString fallbackPdfPath(const AppState& state, const QString& folder, const QString& kind) {
    QString base = QFileInfo(state.log.SelectedLogFile).completeBaseName();
    if (base.isEmpty() && !state.log.SerialNumber.isEmpty())
        base = QStringLiteral("SN") + SafeFileNamePart(state.log.SerialNumber);
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
bool chooseDestination(const AppState& state, UserInterface& ui, const PrintTarget& target,
                       const QString& kind, QString& pdfPath, bool& announce) {
    announce = false;
    pdfPath = target.pdfFile;
    if (!pdfPath.isEmpty() || !QPrinterInfo::defaultPrinter().isNull()) return true;
    const QString path = fallbackPdfPath(state, fallbackFolder(state, target), kind);
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
        QString output;
        if (path.isEmpty()) {
            printerName_ = QPrinterInfo::defaultPrinter().printerName();
            // The printer's own paper and printable area, for the pages made for it.
            QPrinter probe(QPrinter::HighResolution);
            probe.setPrinterName(printerName_);
            const QPageLayout layout = probe.pageLayout();
            spool_ =
                std::make_unique<QTemporaryFile>(QDir::tempPath() + QStringLiteral("/kv5-print-XXXXXX.pdf"));
            if (!spool_->open()) {
                why = QStringLiteral("the printout cannot be made in %1: %2")
                          .arg(QDir::toNativeSeparators(QDir::tempPath()), spool_->errorString());
                return false;
            }
            spool_->close();
            output = spool_->fileName();
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
            output = pending_.path();
            printer.setOutputFormat(QPrinter::PdfFormat);
        }
        printer.setOutputFileName(output);
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
        const QByteArray file = QFile::encodeName(spool_->fileName());
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
    std::unique_ptr<QTemporaryFile> spool_;
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
PrintResult printTable(AppState& state, UserInterface& ui, const PrintTarget& target, const QString& title,
                       bool ask, const PrintProgress& progress, const QString& procedure) {
    QString pdfPath;
    bool announce = false;
    if (!chooseDestination(state, ui, target, QStringLiteral("table"), pdfPath, announce))
        return PrintResult::Cancelled;
    PrintJob job;
    QString why;
    if (!job.open(pdfPath, why)) return failed(ui, procedure, why);
    QPrinter& printer = job.printer;
    const double margin = TableMarginTwips / TwipsPerInch;
    printer.setPageMargins(QMarginsF(margin, margin, margin, margin), QPageLayout::Inch);

    // The painter's origin is the top left corner inside the margins.
    const QRectF area(0, 0, printer.width(), printer.height());
    const TablePrintLayout layout = LayoutTablePrint(state.log, state.settings, printer, area);
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
    const int drawn = PrintTablePages(printer, painter, layout, state.log, state.settings, title, asked);
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
PrintResult printChart(AppState& state, UserInterface& ui, ChartState& chart, QSize surfaceSize,
                       const PrintTarget& target, const QString& title, const QString& procedure) {
    QString pdfPath;
    bool announce = false;
    if (!chooseDestination(state, ui, target, QStringLiteral("chart"), pdfPath, announce))
        return PrintResult::Cancelled;
    PrintJob job;
    QString why;
    if (!job.open(pdfPath, why)) return failed(ui, procedure, why);
    // A printer's positions count from its printable area; a PDF page is printable to its edges.
    if (job.toPdf()) job.printer.setPageMargins(QMarginsF(0, 0, 0, 0), QPageLayout::Inch);

    // The surface restored from the finished chart, and the legend on the last record.
    chart.bmp_MouseMove(0, 0, float(ChartWidth), float(ChartHeight));

    QPainter painter;
    if (!painter.begin(&job.printer)) return failed(ui, procedure, job.failure());
    PaintChartPage(painter, title, ChartPrintLines(state.log, chart.extremes), chart.bmp.get(), surfaceSize);
    painter.end();
    if (job.printer.printerState() == QPrinter::Error) return failed(ui, procedure, job.failure());
    return finish(ui, procedure, job, pdfPath, announce);
}

// The description box before either printout; false when it was cancelled or left empty.
bool askDescription(const AppState& state, UserInterface& ui, QString& description) {
    description = state.log.Description;
    return ui.input(PrintInputPrompt, PrintInputTitle, description) && !description.isEmpty();
}

} // namespace

PrintResult PrintTable(AppState& state, UserInterface& ui, const PrintTarget& target,
                       const PrintProgress& progress) {
    QString description;
    if (!askDescription(state, ui, description)) return PrintResult::Cancelled;
    return printTable(state, ui, target, description, true, progress, WindowProcedure);
}

PrintResult PrintChart(AppState& state, UserInterface& ui, ChartState& chart, QSize surfaceSize,
                       const PrintTarget& target) {
    QString description;
    if (!askDescription(state, ui, description)) return PrintResult::Cancelled;
    return printChart(state, ui, chart, surfaceSize, target, description, WindowProcedure);
}

void InstallTablePrinting(frmTable& window, AppState& state, UserInterface& ui) {
    frmTable* owner = &window;
    window.SetPrintHandler([owner, &state, &ui] {
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
        PrintTable(state, ui, {}, progress);
    });
}

void InstallChartPrinting(frmChart& window, AppState& state, UserInterface& ui) {
    frmChart* owner = &window;
    window.SetPrintHandler([owner, &state, &ui] {
        if (PrintChart(state, ui, owner->chart, owner->bmp->size()) == PrintResult::Cancelled) return;
        // The window shows what the printout shows: the readout on the last record.
        if (owner->bmp->mouseMoved)
            owner->bmp->mouseMoved(Qt::NoButton, Qt::NoModifier, QPointF(ChartWidth, ChartHeight));
    });
}

void ShowPrintableLogTable(AppState& state, UserInterface& ui, QWidget* parent) {
    frmTable window(state, ui, parent);
    InstallTablePrinting(window, state, ui);
    window.exec();
}

void ShowPrintableChartWindow(AppState& state, UserInterface& ui, QWidget* parent) {
    frmChart& window = ChartWindow(state, ui, parent);
    InstallChartPrinting(window, state, ui);
    window.exec();
}

int RunPrintCommand(AppState& state, UserInterface& ui, const QString& file, const QString& pdf, bool chart,
                    const QString& description) {
    if (pdf.isEmpty()) {
        ui.message({QStringLiteral("The printout needs the name of the PDF file to write: --pdf OUT.pdf.")});
        return 2;
    }
    // An empty log first, so that a file that cannot be opened leaves nothing to print.
    state.log.RecordCount = 0;
    const QString path = LogFileArgumentPath(state.dataFolder(), file);
    const bool read = ReadLogFile(state.log, ui, path);
    if (!read && state.log.RecordCount == 0) return 1;

    // A log file holds no description: without one of the user's, its name is the title.
    const QString title = description.isNull() ? QFileInfo(path).fileName() : description;
    const PrintTarget target{pdf, QString()};
    PrintResult result;
    if (chart) {
        ChartState drawing(state, ui);
        drawing.Load();
        result = printChart(state, ui, drawing, LayoutChartWindow(ChartWindowSize).bmp.size(), target, title,
                            CommandProcedure);
    } else {
        result = printTable(state, ui, target, title, false, {}, CommandProcedure);
    }
    if (result != PrintResult::Printed) return 1;
    return read ? 0 : 1;
}

} // namespace kv5
