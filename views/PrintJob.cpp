#include "views/PrintJob.h"

#include "core/UserInterface.h"
#include "views/PrintQueue.h"

#include <QDir>
#include <QFileInfo>
#include <QPrinterInfo>

namespace kv5 {

bool PrintJob::open(const QString& path, QString& why) {
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
            why = QStringLiteral("%1 cannot be written: %2").arg(QDir::toNativeSeparators(finalPath_), why);
            return false;
        }
        printer.setOutputFormat(QPrinter::PdfFormat);
    }
    // The printer opens its output by name: it gets the one that names the hidden file itself.
    printer.setOutputFileName(pending_.writerPath());
    printer.setDocName(ProgramTitle);
    return true;
}

QString PrintJob::failure() const {
    return toPdf() ? QStringLiteral("%1 cannot be written").arg(QDir::toNativeSeparators(finalPath_))
                   : QStringLiteral("the printout for the printer %1 cannot be made").arg(printerName_);
}

bool PrintJob::commit(QString& why) {
    if (!toPdf()) return SendToPrintQueue(printerName_, pending_.writerPath(), why);
    if (pending_.publish(QFileInfo(finalPath_).fileName(), PendingFile::Publish::Replacing, why) ==
        PendingFile::Outcome::Published)
        return true;
    why = QStringLiteral("%1 cannot be written: %2").arg(QDir::toNativeSeparators(finalPath_), why);
    return false;
}

} // namespace kv5
