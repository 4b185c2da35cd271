// The printer of one printout. The pages are always made into a PDF file first: for a PDF
// target a hidden file beside it that takes its name only when the printout is complete, for
// the default printer a temporary file that is handed to the print system as one finished job
// only at the end. So a cancel or a failure while the pages are made prints nothing and writes
// nothing: a print system job, once started, would print the pages made so far.
#pragma once

#include "core/SafePublish.h"

#include <QPrinter>
#include <QString>

namespace kv5 {

class PrintJob {
public:
    PrintJob() : printer(QPrinter::HighResolution) {}

    // Sets the printer up for the default printer, or for the PDF file path when one is given.
    bool open(const QString& path, QString& why);

    bool toPdf() const { return !finalPath_.isEmpty(); }

    // Why the pages could not be made.
    QString failure() const;

    // Delivers the finished printout: the PDF file takes its name, replacing a file of that name,
    // or the pages go to the printer as one job.
    bool commit(QString& why);

    QPrinter printer;

private:
    QString finalPath_;
    PendingFile pending_;
    QString printerName_;
};

} // namespace kv5
