#include "app/ViewCommands.h"

#include "app/AppState.h"
#include "app/frmOpenFile.h"
#include "core/UserInterface.h"
#include "export/ExcelExport.h"
#include "logfiles/LogFile.h"
#include "views/ChartDrawing.h"
#include "views/ChartPicture.h"
#include "views/LogStatistics.h"
#include "views/LogTable.h"
#include "views/Print.h"

#include <QFileInfo>
#include <QSaveFile>
#include <QTextStream>

namespace kv5 {

namespace {

// Reads the file into an empty log, so that a file that cannot be opened leaves nothing to show;
// read tells whether it was read completely. False when there is nothing to show.
bool readArgument(AppState& state, UserInterface& ui, const QString& file, bool& read) {
    state.log.RecordCount = 0;
    read = ReadLogFile(state.log, ui, LogFileArgumentPath(state.dataFolder(), file));
    return read || state.log.RecordCount > 0;
}

} // namespace

LogView LogViewOf(const AppState& state) {
    return {state.log, state.settings, state.ProgramFolder};
}

LogFileActions LogFileActionsOf(AppState& state, UserInterface& ui) {
    // The library window's Export writes the workbook and hands it to the desktop.
    const auto exporter = [&state, &ui](const QString& path) { OpenInExcel(state.settings, ui, path); };
    return {[&state, &ui, exporter](QWidget* parent) { OpenLogFile(state.log, state.dataFolder(), ui, parent, exporter); },
            [&state, &ui] { return DeleteSelectedLogFile(state.log, state.dataFolder(), ui); }};
}

int RunTableCommand(AppState& state, UserInterface& ui, const QString& file, QTextStream& out) {
    bool read = false;
    if (!readArgument(state, ui, file, read)) return 1;
    for (const QString& line : TableLines(state.log, state.settings, QLatin1Char('\t'))) out << line << '\n';
    out.flush();
    return read ? 0 : 1;
}

int RunInfoCommand(AppState& state, UserInterface& ui, const QString& file, QTextStream& out) {
    bool read = false;
    if (!readArgument(state, ui, file, read)) return 1;
    LogExtremes extremes;
    const bool computed = ComputeExtremes(state.log, state.settings, extremes, ui);
    if (!computed)
        ui.error(
            QStringLiteral("RunInfoCommand"),
            QStringLiteral("the dew point of some records cannot be computed; the Dew line leaves them out"));
    QString text = LogInfoText(state.log, state.settings, extremes);
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    if (!text.endsWith(QLatin1Char('\n'))) text += QLatin1Char('\n');
    out << text;
    out.flush();
    return read && computed ? 0 : 1;
}

int RunChartCommand(AppState& state, UserInterface& ui, const QString& file, const QString& outPng,
                    const QString& size, const QString& range) {
    QSize pictureSize;
    if (!ParseChartSize(size, pictureSize)) {
        ui.message(
            {QStringLiteral("The size \"%1\" cannot be used: give WIDTHxHEIGHT in pixels, from %2x%3 to "
                            "8000x8000.")
                 .arg(size)
                 .arg(ChartWindowMinimumSize.width())
                 .arg(ChartWindowMinimumSize.height() - ChartButtonRowHeight)});
        return 2;
    }
    qint32 low = 0, high = 100;
    if (!range.isEmpty() && !ParseChartRange(range, low, high)) {
        ui.message({QStringLiteral("The range \"%1\" cannot be used: give LOW:HIGH in whole numbers, for "
                                   "example 20:80.")
                        .arg(range)});
        return 2;
    }
    if (outPng.isEmpty()) {
        ui.message({QStringLiteral("The chart needs the name of the picture to write: -o OUT.png.")});
        return 2;
    }
    bool read = false;
    if (!readArgument(state, ui, file, read)) return 1;

    const QImage picture = DrawChartPicture(LogViewOf(state), ui, pictureSize, high, low);
    QSaveFile out(outPng);
    if (picture.isNull() || !out.open(QIODevice::WriteOnly) || !picture.save(&out, "PNG") || !out.commit()) {
        const QString why =
            picture.isNull() ? QStringLiteral("not enough memory for the picture") : out.errorString();
        ui.message({QStringLiteral("ERROR: RunChartCommand: %1: %2").arg(outPng, why)});
        return 1;
    }
    return read ? 0 : 1;
}

int RunPrintCommand(AppState& state, UserInterface& ui, const QString& file, const QString& pdf, bool chart,
                    const QString& description) {
    if (pdf.isEmpty()) {
        ui.message({QStringLiteral("The printout needs the name of the PDF file to write: --pdf OUT.pdf.")});
        return 2;
    }
    bool read = false;
    if (!readArgument(state, ui, file, read)) return 1;
    // A log file holds no description: without one of the user's, its name is the title.
    const QString title =
        description.isNull() ? QFileInfo(LogFileArgumentPath(state.dataFolder(), file)).fileName() : description;
    if (PrintLogToPdf(LogViewOf(state), ui, pdf, chart, title) != PrintResult::Printed) return 1;
    return read ? 0 : 1;
}

} // namespace kv5
