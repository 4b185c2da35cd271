// The table window "Log": the in-memory log as a grid, one row per record, with the derived
// quantities the settings show; Info, Open, Delete and Close below it.
#pragma once

#include "views/LogStatistics.h"
#include "views/LogView.h"

#include <QDialog>

#include <functional>

class QAction;
class QPushButton;
class QTableView;

namespace kv5 {

class LogTableModel;
class UserInterface;

class frmTable : public QDialog {
    Q_OBJECT

public:
    // Loads the grid (Form_Load).
    frmTable(const LogView& view, UserInterface& ui, LogFileActions actions = {}, QWidget* parent = nullptr);

    // Fills the grid from the in-memory log and works out the extremes; the last record
    // becomes the active cell. A dew point that cannot be computed shows "Loading grid failed".
    void Load();

    // Shows btnPrint and makes it run print. With a report among the window's actions the
    // button offers both in a small menu: mnuPrint and mnuReport.
    void SetPrintHandler(std::function<void()> print);
    QAction* mnuPrint = nullptr;
    QAction* mnuReport = nullptr;

    // This window's extremes, shown by Info.
    LogExtremes extremes;

    QTableView* Grid1;
    QPushButton* btnInfo;
    QPushButton* btnOpen;
    QPushButton* btnPrint;
    QPushButton* btnDelete;
    QPushButton* btnDone;

private:
    LogView view_;
    UserInterface& ui_;
    LogFileActions actions_;
    LogTableModel* model_;
    std::function<void()> print_;
};

} // namespace kv5
