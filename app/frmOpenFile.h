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

// What the Export button runs with the path of the chosen file. Empty until the spreadsheet
// export is there; the button then only closes the window.
using LogFileExporter = std::function<void(UserInterface& ui, const QString& path)>;
// Sets the exporter every library window created afterwards uses.
void SetLogFileExporter(LogFileExporter exporter);
// What the Export button's CSV and JSON choices run with the path of the chosen file; the
// library window is the parent of any window it opens.
using OpenFormatExporter = std::function<void(UserInterface& ui, const QString& path, OpenFormat format, QWidget* parent)>;
void SetOpenFormatExporter(OpenFormatExporter exporter);

class frmOpenFile : public QDialog {
    Q_OBJECT

public:
    // Loads the list (Form_Load) of the DATA folder dataFolder; the choice goes to
    // log.SelectedLogFile.
    frmOpenFile(LogData& log, const QString& dataFolder, UserInterface& ui, QWidget* parent = nullptr);

    // Fills List1 with every ordinary, not hidden file of the DATA folder whose name ends in ".TXT" in
    // any letter case, sorted by name. A folder that cannot be read is reported as
    // "OpenFile.Form_Load: " and the cause.
    void Load();

    // The export run by btnExport's workbook choice; taken from SetLogFileExporter when the
    // window is made.
    std::function<void(const QString& path)> OpenInExcel;

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
// its frame keeps the file chosen before, which is then read again.
void OpenLogFile(LogData& log, const QString& dataFolder, UserInterface& ui, QWidget* parent);

} // namespace kv5
