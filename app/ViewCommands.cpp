#include "app/ViewCommands.h"

#include "app/AppState.h"
#include "app/frmOpenFile.h"
#include "core/SafePublish.h"
#include "core/Numbers.h"
#include "core/UserInterface.h"
#include "export/ExcelExport.h"
#include "logfiles/LogFile.h"
#include "logfiles/LogSummary.h"
#include "views/ChartDrawing.h"
#include "views/ChartPicture.h"
#include "views/LogStatistics.h"
#include "views/LogTable.h"
#include "views/Print.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QStandardPaths>
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
    // The library window's Export writes the workbook and hands it to the desktop; its CSV and
    // JSON choices ask where the file goes, beside the user's documents by default.
    LibraryExports exports;
    exports.workbook = [&state, &ui](const QString& path) { OpenInExcel(state.settings, ui, path); };
    exports.openFormat = [&state, &ui](const QString& path, OpenFormat format, QWidget* parent) {
        const QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
        const QString suggested = QDir(folder).filePath(QFileInfo(path).completeBaseName() + OpenFormatSuffix(format));
        const QString filter = format == OpenFormat::Csv ? QStringLiteral("CSV files (*.csv)")
                                                         : QStringLiteral("JSON files (*.json)");
        const QString chosen = QFileDialog::getSaveFileName(parent, QStringLiteral("Export"), suggested, filter);
        if (chosen.isEmpty()) return;
        WriteOpenFormatFile(format, state.settings, ui, path, chosen);
    };
    return {[&state, &ui, exports](QWidget* parent) {
                OpenLogFile(state.log, state.dataFolder(), ui, parent, exports);
            },
            [&state, &ui] { return DeleteSelectedLogFile(state.log, state.dataFolder(), ui); },
            [&state, &ui](QWidget* parent) { ReportSelectedLogFile(state, ui, parent); }};
}

void ReportSelectedLogFile(const AppState& state, UserInterface& ui, QWidget* parent, const SaveNameQuestion& ask) {
    // A report names the file it was made from: it is made from a saved log, not from memory.
    if (state.log.SelectedLogFile.isEmpty()) {
        ui.message({QStringLiteral("Open a log file first: a report is made from a saved log file."),
                    Icon::Information});
        return;
    }
    const QString logPath = LogFilePath(state, state.log.SelectedLogFile);
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    const QString suggested =
        QDir(folder).filePath(QFileInfo(logPath).completeBaseName() + QStringLiteral("-report.pdf"));
    const QString pdf = ask ? ask(suggested)
                            : QFileDialog::getSaveFileName(parent, QStringLiteral("Report"), suggested,
                                                           QStringLiteral("PDF files (*.pdf)"));
    if (pdf.isEmpty()) return;
    WriteLogReport(logPath, pdf, ReportOptionsOfState(state), ui);
}

int RunTableCommand(AppState& state, UserInterface& ui, const QString& file, QTextStream& out) {
    bool read = false;
    if (!readArgument(state, ui, file, read)) return 1;
    for (const QString& line : TableLines(state.log, state.settings, QLatin1Char('\t'))) out << line << '\n';
    out.flush();
    return read ? 0 : 1;
}

bool ParseLimitOption(const QString& text, InfoRequest& request, QString& why) {
    static const QStringList keys{QStringLiteral("temperature"), QStringLiteral("rh"),  QStringLiteral("mc1"),
                                  QStringLiteral("mc2"),         QStringLiteral("mc3"), QStringLiteral("gpp"),
                                  QStringLiteral("emc"),         QStringLiteral("dew_point")};
    const qsizetype equals = text.indexOf(QLatin1Char('='));
    const QString key = text.left(equals);
    const QStringList sides = text.mid(equals + 1).split(QLatin1Char(':'));
    if (equals < 0 || !keys.contains(key) || sides.size() != 2) {
        why = QStringLiteral("--limit \"%1\" cannot be used: give NAME=LOW:HIGH with NAME one of %2")
                  .arg(text, keys.join(QStringLiteral(", ")));
        return false;
    }
    AlarmLimits limits;
    for (int side = 0; side < 2; ++side) {
        const QString number = sides[side].trimmed();
        if (number.isEmpty()) continue;
        const std::optional<double> value = ReadNumberEitherSeparator(number);
        if (!value) {
            why = QStringLiteral("--limit \"%1\": \"%2\" is not a number").arg(text, number);
            return false;
        }
        (side == 0 ? limits.low : limits.high) = value;
    }
    request.limits[key] = limits;
    return true;
}

int RunInfoCommand(AppState& state, UserInterface& ui, const QString& file, QTextStream& out,
                   const InfoRequest& request) {
    bool read = false;
    if (!readArgument(state, ui, file, read)) return 1;
    SummaryOptions options = SummaryOptionsOf(state.settings);
    options.limits = request.limits;
    if (request.targetMc) options.targetMc = request.targetMc;
    const LogContext* context = state.log.Context ? &*state.log.Context : nullptr;
    const LogSummary summary = SummarizeLog(state.log, context, options);
    if (request.json) {
        out << QString::fromUtf8(SummaryJson(summary, QFileInfo(file).fileName()));
        out.flush();
        return read ? 0 : 1;
    }
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
    if (state.log.RecordCount > 0) out << '\n' << SummaryText(summary);
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
    QByteArray png;
    QBuffer buffer(&png);
    if (picture.isNull() || !buffer.open(QIODevice::WriteOnly) || !picture.save(&buffer, "PNG")) {
        ui.message({QStringLiteral("ERROR: RunChartCommand: %1: not enough memory for the picture").arg(outPng)});
        return 1;
    }
    // Published as every file the program writes: whole or not at all, never through a link.
    const QFileInfo target(QFileInfo(outPng).absoluteFilePath());
    PendingFile written;
    QString why;
    if (!written.create(target.absolutePath(), QStringLiteral("kv5-chart"), why) || !written.write(png, why) ||
        written.publish(target.fileName(), PendingFile::Publish::Replacing, why) != PendingFile::Outcome::Published) {
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

ReportOptions ReportOptionsOfState(const AppState& state) {
    ReportOptions options = ReportOptionsOf(state.settings, QLocale::system());
    options.program = QStringLiteral("Quorvane KV5");
    options.version = QCoreApplication::applicationVersion();
    return options;
}

int RunReportCommand(AppState& state, UserInterface& ui, const QString& file, const QString& pdf,
                     const ReportRequest& request) {
    if (pdf.isEmpty()) {
        ui.message({QStringLiteral("The report needs the name of the PDF file to write: -o OUT.pdf.")});
        return 2;
    }
    ReportOptions options = ReportOptionsOfState(state);
    options.summary.limits = request.summary.limits;
    if (request.summary.targetMc) options.summary.targetMc = request.summary.targetMc;
    if (request.site) options.site = *request.site;
    if (request.operatorName) options.operatorName = *request.operatorName;
    return WriteLogReport(LogFileArgumentPath(state.dataFolder(), file), QFileInfo(pdf).absoluteFilePath(), options, ui)
               ? 0
               : 1;
}

} // namespace kv5
