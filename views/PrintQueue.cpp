#include "views/PrintQueue.h"

#include "core/UserInterface.h"

#include <QFile>

#include <cups/cups.h>

namespace kv5 {

bool SendToPrintQueue(const QString& printerName, const QString& path, QString& why) {
    // A print system name is the queue, or the queue and "/" and one of its instances; the
    // user's own defaults for it (lpoptions) go with the job, as lp sends them.
    const qsizetype slash = printerName.indexOf(QLatin1Char('/'));
    const QByteArray queue = printerName.left(slash).toUtf8();
    const QByteArray instance = slash < 0 ? QByteArray() : printerName.mid(slash + 1).toUtf8();
    cups_dest_t* dest =
        cupsGetNamedDest(CUPS_HTTP_DEFAULT, queue.constData(), slash < 0 ? nullptr : instance.constData());
    const QByteArray file = QFile::encodeName(path);
    const QByteArray title = ProgramTitle.toUtf8();
    const int job = cupsPrintFile(queue.constData(), file.constData(), title.constData(),
                                  dest != nullptr ? dest->num_options : 0, dest != nullptr ? dest->options : nullptr);
    if (dest != nullptr) cupsFreeDests(1, dest);
    if (job > 0) return true;
    why = QStringLiteral("the printer %1 does not accept the printout: %2")
              .arg(printerName, QString::fromUtf8(cupsLastErrorString()));
    return false;
}

} // namespace kv5
