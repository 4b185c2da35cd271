// The log file library window "Log File Library": lists the log files of DATA and lets the
// user open, export or delete one. Its result is SelectedLogFile.
#pragma once

#include "export/OpenFormats.h"

#include <QDialog>

#include <functional>

class QAction;
class QListWidget;
class QListWidgetItem;
class QPushButton;

namespace kv5 {

struct LogData;
class UserInterface;

// What the Export button runs with the path of the chosen file: the workbook, and the CSV and
// JSON choices (the library window is the parent of any window they open). Without them the
// button only closes the window (a library opened where no export is offered).
using LogFileExporter = std::function<void(const QString& path)>;
using OpenFormatExporter = std::function<void(const QString& path, OpenFormat format, QWidget* parent)>;
struct LibraryExports {
    LogFileExporter workbook;
    OpenFormatExporter openFormat;
};

class frmOpenFile : public QDialog {
    Q_OBJECT

public:
    // Loads the list (Form_Load) of the DATA folder dataFolder; the choice goes to
    // log.SelectedLogFile. Export runs exports.
    frmOpenFile(LogData& log, const QString& dataFolder, UserInterface& ui, LibraryExports exports = {},
                QWidget* parent = nullptr);

    // Fills List1 with every ordinary, not hidden file of the DATA folder whose name ends in ".TXT" in
    // any letter case, sorted by name. A folder that cannot be read is reported as
    // "OpenFile.Form_Load: " and the cause.
    void Load();

    // The export run by btnExport's workbook choice.
    LogFileExporter OpenInExcel;

    // btnExport offers its choices in a small menu: the workbook as before, CSV and JSON.
    QAction* mnuExportWorkbook;
    QAction* mnuExportCsv;
    QAction* mnuExportJson;

    QListWidget* List1;
    QPushButton* btnOpen;
    QPushButton* btnExport;
    QPushButton* btnDelete;
    QPushButton* btnCancel;

private:
    // The selected entry's text; empty (after "Select a file first.") when none is selected.
    QString selectedName();
    void openClicked();
    void exportClicked();
    void exportOpenFormat(OpenFormat format);
    void deleteClicked();
    void cancelClicked();

    LogData& log_;
    const QString dataFolder_;
    UserInterface& ui_;
    OpenFormatExporter openFormatExporter_;
};

// Shows the library window of dataFolder modally over parent and, when a file was chosen
// (SelectedLogFile not empty afterwards), reads it into log (ReadLogFile). Closing the window by
// its frame keeps the file chosen before, which is then read again. Its Export runs exports.
void OpenLogFile(LogData& log, const QString& dataFolder, UserInterface& ui, QWidget* parent,
                 LibraryExports exports = {});

} // namespace kv5
