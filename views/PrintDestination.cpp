#include "views/PrintDestination.h"

#include "core/UserInterface.h"
#include "logfiles/LogFile.h"

#include <QDir>
#include <QFileInfo>
#include <QPrinterInfo>
#include <QStandardPaths>

namespace kv5 {

namespace {

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

} // namespace

bool ChoosePrintDestination(const LogView& view, UserInterface& ui, const PrintTarget& target, const QString& kind,
                            PrintDestination& destination) {
    destination = {target.pdfFile, false};
    if (!destination.pdfPath.isEmpty() || !QPrinterInfo::defaultPrinter().isNull()) return true;
    const QString path = fallbackPdfPath(view, fallbackFolder(view, target), kind);
    const QString question =
        QStringLiteral("No printer is installed. Do you want to write the printout to the PDF "
                       "file %1 instead?")
            .arg(QDir::toNativeSeparators(path));
    if (ui.message({question, Icon::Question, Buttons::YesNo, ConfirmTitle, Answer::Yes}) != Answer::Yes)
        return false;
    destination = {path, true};
    return true;
}

} // namespace kv5
