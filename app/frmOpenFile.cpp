#include "app/frmOpenFile.h"

#include "core/LogData.h"
#include "core/Paths.h"
#include "core/SystemError.h"
#include "core/UserInterface.h"
#include "logfiles/LogFile.h"
#include "views/Buttons.h"

#include <QDir>
#include <QFile>
#include <QHBoxLayout>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QVBoxLayout>

#include <cerrno>
#include <dirent.h>

namespace kv5 {

frmOpenFile::frmOpenFile(LogData& log, const QString& dataFolder, UserInterface& ui, LibraryExports exports,
                         QWidget* parent)
    : QDialog(parent), OpenInExcel(std::move(exports.workbook)), log_(log), dataFolder_(dataFolder), ui_(ui),
      openFormatExporter_(std::move(exports.openFormat)) {
    setObjectName(QStringLiteral("frmOpenFile"));
    setWindowTitle(QStringLiteral("Log File Library"));
    setModal(true);

    List1 = new QListWidget(this);
    List1->setObjectName(QStringLiteral("List1"));
    List1->setSelectionMode(QAbstractItemView::SingleSelection);
    btnOpen = MakeButton(this, "btnOpen", QStringLiteral("Open"));
    btnExport = MakeButton(this, "btnExport", QStringLiteral("Export"));
    btnDelete = MakeButton(this, "btnDelete", QStringLiteral("Delete"));
    btnCancel = MakeButton(this, "btnCancel", QStringLiteral("Close"));

    // Wide enough for a few dozen names of SN1234-2014-05-21-13-45-01.txt.
    const QFontMetrics metrics = fontMetrics();
    List1->setMinimumSize(metrics.horizontalAdvance(QStringLiteral("SN12345-2014-05-21-13-45-100.txt")) +
                              metrics.averageCharWidth() * 8,
                          metrics.height() * 14);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(List1, 1);
    auto* buttons = new QHBoxLayout;
    for (QPushButton* button : {btnOpen, btnExport, btnDelete, btnCancel}) buttons->addWidget(button);
    layout->addLayout(buttons);

    connect(btnOpen, &QPushButton::clicked, this, &frmOpenFile::openClicked);
    connect(List1, &QListWidget::itemDoubleClicked, this, [this](QListWidgetItem* item) {
        List1->setCurrentItem(item);
        openClicked();
    });
    auto* exportMenu = new QMenu(btnExport);
    mnuExportWorkbook = exportMenu->addAction(QStringLiteral("Workbook (.xlsx)"), this, &frmOpenFile::exportClicked);
    mnuExportCsv = exportMenu->addAction(QStringLiteral("CSV File (.csv)..."), this,
                                         [this] { exportOpenFormat(OpenFormat::Csv); });
    mnuExportJson = exportMenu->addAction(QStringLiteral("JSON File (.json)..."), this,
                                          [this] { exportOpenFormat(OpenFormat::Json); });
    mnuExportWorkbook->setObjectName(QStringLiteral("mnuExportWorkbook"));
    mnuExportCsv->setObjectName(QStringLiteral("mnuExportCsv"));
    mnuExportJson->setObjectName(QStringLiteral("mnuExportJson"));
    btnExport->setMenu(exportMenu);
    connect(btnDelete, &QPushButton::clicked, this, &frmOpenFile::deleteClicked);
    connect(btnCancel, &QPushButton::clicked, this, &frmOpenFile::cancelClicked);

    Load();
}

void frmOpenFile::Load() {
    List1->clear();
    const QString& folder = dataFolder_;
    // QDir lists nothing on a failure without saying why; the system says it.
    if (DIR* listing = ::opendir(QFile::encodeName(folder).constData())) {
        ::closedir(listing);
    } else {
        const int error = errno;
        if (error == ENOENT) return; // no folder, no files
        ui_.message(
            {QStringLiteral("OpenFile.Form_Load: ") +
             QStringLiteral("cannot list %1: %2").arg(folder, systemError(error))});
        return;
    }
    const QDir dir(folder, QStringLiteral("*.TXT"), QDir::Name | QDir::IgnoreCase, QDir::Files);
    // The name filter of QDir matches without regard to case.
    List1->addItems(dir.entryList());
}

QString frmOpenFile::selectedName() {
    const QList<QListWidgetItem*> selected = List1->selectedItems();
    if (selected.isEmpty()) {
        ui_.message({QStringLiteral("Select a file first."), Icon::Information});
        return {};
    }
    return selected.front()->text();
}

void frmOpenFile::openClicked() {
    const QString name = selectedName();
    if (name.isEmpty()) return;
    log_.SelectedLogFile = name;
    accept();
}

void frmOpenFile::exportClicked() {
    const QString name = selectedName();
    if (name.isEmpty()) return;
    if (OpenInExcel) OpenInExcel(ProgramFile(dataFolder_, name));
    accept();
}

void frmOpenFile::exportOpenFormat(OpenFormat format) {
    const QString name = selectedName();
    if (name.isEmpty()) return;
    // The window stays open for the save dialog; the choice in the list stays as it was.
    if (openFormatExporter_) openFormatExporter_(ProgramFile(dataFolder_, name), format, this);
    accept();
}

void frmOpenFile::deleteClicked() {
    const QString name = selectedName();
    if (name.isEmpty()) return;
    if (ConfirmDeleteLogFile(dataFolder_, name, ui_)) delete List1->selectedItems().front();
}

void frmOpenFile::cancelClicked() {
    log_.SelectedLogFile.clear();
    accept();
}

void OpenLogFile(LogData& log, const QString& dataFolder, UserInterface& ui, QWidget* parent,
                 LibraryExports exports) {
    {
        frmOpenFile window(log, dataFolder, ui, std::move(exports), parent);
        window.exec();
    }
    if (log.SelectedLogFile.isEmpty()) return;
    ReadLogFile(log, ui, ProgramFile(dataFolder, log.SelectedLogFile));
}

} // namespace kv5
