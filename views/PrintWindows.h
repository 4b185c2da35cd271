// The Print buttons of the table and chart windows, and the windows the main window shows with
// them wired.
#pragma once

#include "views/LogView.h"

class QWidget;

namespace kv5 {

class frmChart;
class frmTable;
class UserInterface;

// Makes the table window's Print button print the table, with the progress box "Printing -
// Click Cancel to quit" over the window.
void InstallTablePrinting(frmTable& window, const LogView& view, UserInterface& ui);
// Makes the chart window's Print button print the chart at the size its surface has.
void InstallChartPrinting(frmChart& window, const LogView& view, UserInterface& ui);

// The main window's "Show Log" and "Show Chart": the table window (modal) and the chart window,
// each with its Print button wired and actions behind Open and Delete.
void ShowPrintableLogTable(const LogView& view, UserInterface& ui, const LogFileActions& actions,
                           QWidget* parent);
void ShowPrintableChartWindow(const LogView& view, UserInterface& ui, const LogFileActions& actions,
                              QWidget* parent);

} // namespace kv5
