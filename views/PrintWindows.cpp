#include "views/PrintWindows.h"

#include "core/UserInterface.h"
#include "views/ChartWidgets.h"
#include "views/Print.h"
#include "views/frmChart.h"
#include "views/frmTable.h"

#include <QCoreApplication>
#include <QProgressDialog>

#include <memory>

namespace kv5 {

namespace {

// The progress of a table printout, as a box over owner that comes up with the first page, once
// the page count has been accepted. Its Cancel stops the printout.
PrintProgress progressBoxOver(QWidget* owner, std::unique_ptr<QProgressDialog>& box) {
    return [&box, owner](int page, int pages) {
        if (!box) {
            box = std::make_unique<QProgressDialog>(PrintProgressText, QStringLiteral("Cancel"), 0, pages, owner);
            box->setWindowTitle(ProgramTitle);
            box->setWindowModality(Qt::WindowModal);
            box->setMinimumDuration(0);
            box->setAutoClose(false);
            box->setAutoReset(false);
            box->show();
        }
        box->setValue(page - 1);
        QCoreApplication::processEvents();
        return !box->wasCanceled();
    };
}

} // namespace

void InstallTablePrinting(frmTable& window, const LogView& view, UserInterface& ui) {
    frmTable* owner = &window;
    window.SetPrintHandler([owner, view, &ui] {
        std::unique_ptr<QProgressDialog> box;
        PrintTable(view, ui, {}, progressBoxOver(owner, box));
    });
}

void InstallChartPrinting(frmChart& window, const LogView& view, UserInterface& ui) {
    frmChart* owner = &window;
    window.SetPrintHandler([owner, view, &ui] {
        if (PrintChart(view, ui, owner->chart, owner->bmp->size()) == PrintResult::Cancelled) return;
        // The window shows what the printout shows: the readout on the last record.
        owner->showReadoutAt(owner->chart.recordCount());
    });
}

void ShowPrintableLogTable(const LogView& view, UserInterface& ui, const LogFileActions& actions,
                           QWidget* parent) {
    frmTable window(view, ui, actions, parent);
    InstallTablePrinting(window, view, ui);
    window.exec();
}

void ShowPrintableChartWindow(const LogView& view, UserInterface& ui, const LogFileActions& actions,
                              QWidget* parent) {
    frmChart& window = ChartWindow(view, ui, actions, parent);
    InstallChartPrinting(window, view, ui);
    window.exec();
}

} // namespace kv5
