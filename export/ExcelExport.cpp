#include "export/ExcelExport.h"

#include "calc/Quantities.h"
#include "core/LogData.h"
#include "core/Numbers.h"
#include "core/Paths.h"
#include "core/SafePublish.h"
#include "core/Settings.h"
#include "core/SystemError.h"
#include "core/UserInterface.h"
#include "export/ExcelChart.h"
#include "export/ExcelSummary.h"
#include "logfiles/LogFile.h"
#include "logfiles/LogSummary.h"

#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QProcess>
#include <QStandardPaths>
#include <QUrl>

#include <algorithm>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <utility>

namespace kv5 {

namespace {

const QString ExportProcedure = QStringLiteral("OpenInExcel");

// A new, private folder in the user's temporary folder, named after prefix. Empty text after a
// reported failure.
QString makeTemporaryFolder(UserInterface& ui, const QString& prefix) {
    const QString base = QDir::tempPath();
    // Qt gives no temporary folder when TMPDIR names a folder that is not there.
    if (base.isEmpty()) {
        ui.error(ExportProcedure,
                 QStringLiteral("the temporary folder %1 is not there").arg(qEnvironmentVariable("TMPDIR")));
        return {};
    }
    QByteArray pattern = QFile::encodeName(base + QLatin1Char('/') + prefix + QStringLiteral("-XXXXXX"));
    if (::mkdtemp(pattern.data()) == nullptr) {
        ui.error(ExportProcedure,
                 QStringLiteral("cannot create a folder in %1: %2").arg(base, systemError(errno)));
        return {};
    }
    return QFile::decodeName(pattern);
}

// The workbook's name: the log's name with ".xlsx" in place of its last suffix.
QString workbookNameOf(const QString& logPath) {
    QString base = QFileInfo(logPath).completeBaseName();
    if (base.isEmpty()) base = QStringLiteral("log");
    return base + QStringLiteral(".xlsx");
}

// Owns a workbook until it is closed; an unclosed workbook is discarded without writing.
class WorkbookHandle {
public:
    explicit WorkbookHandle(lxw_workbook* workbook) : workbook_(workbook) {}
    WorkbookHandle(const WorkbookHandle&) = delete;
    WorkbookHandle& operator=(const WorkbookHandle&) = delete;
    ~WorkbookHandle() {
        if (workbook_ != nullptr) lxw_workbook_free(workbook_);
    }
    lxw_workbook* get() const { return workbook_; }
    // Writes the file and frees the workbook, whatever the outcome.
    lxw_error close() { return workbook_close(std::exchange(workbook_, nullptr)); }

private:
    lxw_workbook* workbook_;
};

QString cellName(lxw_row_t row, lxw_col_t column) {
    char name[LXW_MAX_CELL_NAME_LENGTH];
    lxw_rowcol_to_cell(name, row, column);
    return QString::fromLatin1(name);
}

// Writes the records of a log into the data sheet. Returns false after a reported failure.
class SheetWriter {
public:
    SheetWriter(const Settings& settings, UserInterface& ui, const ExcelWorkbook& book,
                lxw_format* oneDecimalFormat)
        : settings_(settings), ui_(ui), sheet_(book.dataSheet), oneDecimalFormat_(oneDecimalFormat) {}

    bool write(const LogData& log) {
        quantities_ = ShownQuantities(log.isQ7R(), settings_);
        reports_.clear();
        for (const QuantityRow* row : quantities_) reports_.emplace_back(row->procedure, ui_);
        for (row_ = 0; row_ < log.RecordCount; ++row_)
            if (!writeRecord(log, row_)) return false;
        return true;
    }

    // Characters of the longest time text.
    qsizetype longestTime() const { return longestTime_; }

private:
    bool check(lxw_error error, lxw_col_t column) {
        if (error == LXW_NO_ERROR) return true;
        ui_.error(ExportProcedure, QStringLiteral("%1 (cell %2)")
                                       .arg(QString::fromUtf8(lxw_strerror(error)),
                                            cellName(static_cast<lxw_row_t>(row_), column)));
        return false;
    }

    bool number(lxw_col_t column, double value, lxw_format* format = nullptr) {
        return check(worksheet_write_number(sheet_, static_cast<lxw_row_t>(row_), column, value, format),
                     column);
    }

    bool writeRecord(const LogData& log, int i) {
        // Written as a string, so a time text that looks like a formula stays text.
        longestTime_ = std::max(longestTime_, log.LogTime[i].size());
        const QByteArray time = log.LogTime[i].toUtf8();
        if (!check(worksheet_write_string(sheet_, static_cast<lxw_row_t>(row_), 0, time.constData(), nullptr),
                   0))
            return false;
        lxw_col_t column = 1;
        for (std::size_t r = 0; r < quantities_.size(); ++r, ++column) {
            const QuantityRow& row = *quantities_[r];
            const Derived value = QuantityValue(row, log, i, settings_.Celsius);
            // A measured value as the file has it; a derived one as the table shows it.
            if (row.series) {
                if (!number(column, value.value)) return false;
                continue;
            }
            if (!value.ok() && row.whenUncomputable == WhenUncomputable::EndsTheRun) {
                ui_.error(ExportProcedure,
                          QStringLiteral("%1 (%2 of line %3)")
                              .arg(QString::fromLatin1(value.failure), QString::fromLatin1(row.words))
                              .arg(row_ + 1));
                return false;
            }
            // A value left out leaves its cell empty.
            const std::optional<double> derived = reports_[r](value);
            if (derived && !number(column, OneDecimal(*derived), oneDecimalFormat_)) return false;
        }
        return true;
    }

    const Settings& settings_;
    UserInterface& ui_;
    lxw_worksheet* sheet_;
    lxw_format* oneDecimalFormat_;
    int row_ = 0;
    qsizetype longestTime_ = 0;
    std::vector<const QuantityRow*> quantities_;
    std::vector<ReportOnce> reports_;
};

// A private folder for libxlsxwriter's own temporary files, in the user's temporary folder: the
// library removes each file just after creating it by name, and an ending signal in between
// takes the folder with whatever is in it. The folder goes when this does.
class ScratchFolder {
public:
    ScratchFolder() = default;
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;
    ~ScratchFolder() {
        if (!path_.isEmpty()) QDir(path_).removeRecursively();
    }

    // False after a reported failure.
    bool create(UserInterface& ui) {
        const EndingSignalsHeld held;
        path_ = makeTemporaryFolder(ui, QStringLiteral("kv5-xlsx"));
        if (path_.isEmpty()) return false;
        onSignal_.emplace(path_, true);
        encoded_ = QFile::encodeName(path_);
        return true;
    }

    const QByteArray& encodedPath() const { return encoded_; }

private:
    QString path_;
    QByteArray encoded_;
    std::optional<RemovedOnSignal> onSignal_;
};

// A new workbook writing to the hidden file of pending; null after a reported failure.
lxw_workbook* newWorkbook(UserInterface& ui, const PendingFile& pending, const ScratchFolder& scratch) {
    lxw_workbook_options options{};
    // Rows go straight to a temporary file as they are written, and the chart takes its data
    // from the sheet when it is opened instead of from a copy of every series in the chart
    // part: a full log is written three times faster.
    options.constant_memory = 1;
    options.tmpdir = const_cast<char*>(scratch.encodedPath().constData());
    // The library opens its output by name: it gets the one that names the hidden file itself.
    const QByteArray pendingPath = QFile::encodeName(pending.writerPath());
    lxw_workbook* workbook = workbook_new_opt(pendingPath.constData(), &options);
    if (workbook == nullptr)
        ui.error(ExportProcedure, QString::fromUtf8(lxw_strerror(LXW_ERROR_MEMORY_MALLOC_FAILED)));
    return workbook;
}

// The three sheets and the values' number format of a new workbook.
struct WorkbookSheets {
    ExcelWorkbook book;
    lxw_worksheet* summarySheet = nullptr;
    lxw_format* oneDecimalFormat = nullptr;
};

// Adds the sheets in their order: sheets keep their order of creation, and the chart sheet comes
// first. False after a reported failure.
bool addSheets(UserInterface& ui, lxw_workbook* workbook, WorkbookSheets& sheets) {
    ExcelWorkbook& book = sheets.book;
    book.workbook = workbook;
    book.chartSheet = workbook_add_chartsheet(workbook, ExcelChartSheetName);
    book.dataSheet = workbook_add_worksheet(workbook, ExcelDataSheetName);
    sheets.summarySheet = workbook_add_worksheet(workbook, ExcelSummarySheetName);
    sheets.oneDecimalFormat = workbook_add_format(workbook);
    if (book.chartSheet == nullptr || book.dataSheet == nullptr || sheets.summarySheet == nullptr ||
        sheets.oneDecimalFormat == nullptr) {
        ui.error(ExportProcedure, QStringLiteral("cannot add the sheets to the workbook"));
        return false;
    }
    format_set_num_format(sheets.oneDecimalFormat, "0.0");
    return true;
}

// The values sheet: a row a record and a column as wide as the longest time text. False after a
// reported failure, and for a log without records, which has nothing to export.
bool writeValuesSheet(const Settings& settings, UserInterface& ui, const WorkbookSheets& sheets,
                      const LogData& log, const QString& fileName) {
    SheetWriter writer(settings, ui, sheets.book, sheets.oneDecimalFormat);
    if (!writer.write(log)) return false;
    if (log.RecordCount == 0) {
        ui.message({QStringLiteral("The log file %1 is empty: there is nothing to export.").arg(fileName),
                    Icon::Information});
        return false;
    }
    // Column A as wide as its longest time text, so no time is cut off by the next column (up
    // to the widest column a spreadsheet allows).
    const double timeWidth = std::clamp(double(writer.longestTime()) + 1, LXW_DEF_COL_WIDTH, 255.0);
    if (const lxw_error error = worksheet_set_column(sheets.book.dataSheet, 0, 0, timeWidth, nullptr);
        error != LXW_NO_ERROR) {
        ui.error(ExportProcedure, QString::fromUtf8(lxw_strerror(error)));
        return false;
    }
    return true;
}

// The chart sheet, drawn as the log's family is charted. False after a reported failure.
bool writeChartSheet(const Settings& settings, UserInterface& ui, ExcelWorkbook& book, const LogData& log,
                     const QString& fileName) {
    return log.isQ7R() ? MakeExcelChartMc(book, log.RecordCount, fileName, settings, ui)
                       : ExcelChartVantorp(book, log.RecordCount, fileName, settings, ui);
}

// The summary with the limits of the log's context; a context that cannot be read leaves only
// the limits out. False after a reported failure.
bool writeSummarySheet(const Settings& settings, UserInterface& ui, lxw_worksheet* sheet, const LogData& log,
                       const QString& logPath) {
    std::optional<LogContext> context;
    QString why;
    ReadLogContext(logPath, context, why);
    return WriteSummarySheet(sheet, SummarizeLog(log, context ? &*context : nullptr, SummaryOptionsOf(settings)),
                             ui);
}

// Writes the workbook out and puts it in place of target. False after a reported failure.
bool publishWorkbook(UserInterface& ui, WorkbookHandle& workbook, PendingFile& pending, const QFileInfo& target) {
    if (const lxw_error error = workbook.close(); error != LXW_NO_ERROR) {
        ui.error(ExportProcedure, QStringLiteral("%1 (%2)").arg(QString::fromUtf8(lxw_strerror(error)),
                                                                target.absoluteFilePath()));
        return false;
    }
    QString why;
    if (pending.publish(target.fileName(), PendingFile::Publish::Replacing, why) !=
        PendingFile::Outcome::Published) {
        ui.error(ExportProcedure, why);
        return false;
    }
    return true;
}

} // namespace

bool OpenWithDesktop(const QString& path) {
    if (qobject_cast<QGuiApplication*>(QCoreApplication::instance()) == nullptr) return false;
    // The desktop's opener starts, and reports success, even when no application takes
    // workbooks; ask first which application would.
    const QString xdgMime = QStandardPaths::findExecutable(QStringLiteral("xdg-mime"));
    if (!xdgMime.isEmpty()) {
        QProcess query;
        query.start(xdgMime,
                    {QStringLiteral("query"), QStringLiteral("default"),
                     QStringLiteral("application/vnd.openxmlformats-officedocument.spreadsheetml.sheet")});
        if (query.waitForFinished(5000) && query.exitStatus() == QProcess::NormalExit &&
            query.exitCode() == 0 && query.readAllStandardOutput().trimmed().isEmpty())
            return false;
    }
    return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

bool WriteLogWorkbook(const Settings& settings, UserInterface& ui, const QString& logPath,
                      const QString& workbookPath) {
    // The workbook goes to a hidden file beside its final name; creating it first tells at once
    // whether the folder takes a workbook.
    const QFileInfo target(workbookPath);
    PendingFile pending;
    QString why;
    if (!pending.createFor(workbookPath, QStringLiteral("kv5-export"), why)) {
        ui.error(ExportProcedure, why);
        return false;
    }
    ScratchFolder scratch;
    if (!scratch.create(ui)) return false;
    WorkbookHandle workbook(newWorkbook(ui, pending, scratch));
    WorkbookSheets sheets;
    if (workbook.get() == nullptr || !addSheets(ui, workbook.get(), sheets)) return false;

    // The log is read by the one log-file reader, into a log of its own: the in-memory log
    // stays as it is.
    const auto log = std::make_unique<LogData>();
    if (!ReadLogRecords(*log, logPath, why)) {
        ui.error(ExportProcedure, why);
        return false;
    }
    const QString fileName = QFileInfo(logPath).fileName();
    return writeValuesSheet(settings, ui, sheets, *log, fileName) &&
           writeChartSheet(settings, ui, sheets.book, *log, fileName) &&
           writeSummarySheet(settings, ui, sheets.summarySheet, *log, logPath) &&
           publishWorkbook(ui, workbook, pending, target);
}

bool WriteNewExportWorkbook(const Settings& settings, UserInterface& ui, const QString& logPath,
                            QString& workbookPath) {
    // A new folder for each workbook, so that a workbook still open from an earlier export is
    // never replaced.
    auto held = std::make_optional<EndingSignalsHeld>();
    const QString folder = makeTemporaryFolder(ui, QStringLiteral("kv5-export"));
    if (folder.isEmpty()) return false;
    const RemovedOnSignal emptyFolder(folder, true);
    held.reset();
    workbookPath = ProgramFile(folder, workbookNameOf(logPath));
    if (WriteLogWorkbook(settings, ui, logPath, workbookPath)) return true;
    QDir().rmdir(folder);
    return false;
}

bool OpenInExcelWith(const Settings& settings, UserInterface& ui, const QString& logPath,
                     const WorkbookOpener& opener) {
    QString workbook;
    if (!WriteNewExportWorkbook(settings, ui, logPath, workbook)) return false;
    if (opener && opener(workbook)) return true;
    const QString noApplication =
        QStringLiteral("no application for spreadsheet files is set up to open it.");
    ui.message({QStringLiteral("The workbook was saved at %1, but %2").arg(workbook, noApplication),
                Icon::Exclamation});
    return false;
}

bool OpenInExcel(const Settings& settings, UserInterface& ui, const QString& logPath) {
    return OpenInExcelWith(settings, ui, logPath, OpenWithDesktop);
}

} // namespace kv5
