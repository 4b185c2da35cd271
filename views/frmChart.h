// The chart window "Chart": the in-memory log as line traces on a surface stretched over the
// window, the Y range in two axis boxes at its left, the readout of the record under the mouse
// in nine legend boxes at its right, and Info, Zoom, Open, Print, Delete and Close below it.
// One window serves the whole run, so its zoom stays when it is closed and shown again.
#pragma once

#include "views/ChartState.h"

#include <QDialog>

#include <array>
#include <functional>

class QAction;
class QPushButton;

namespace kv5 {

class ChartSurface;
class ChartTextBox;
class UserInterface;

class frmChart : public QDialog {
    Q_OBJECT

public:
    frmChart(const LogView& view, UserInterface& ui, LogFileActions actions = {}, QWidget* parent = nullptr);

    // Draws the chart from the in-memory log (Form_Load); runs every time the window is shown.
    void Load();

    // The readout of record (from 1, within the log) in the legend.
    void showReadoutAt(int record);

    // Shows btnPrint and makes it run print. With a report among the window's actions the
    // button offers both in a small menu: mnuPrint and mnuReport.
    void SetPrintHandler(std::function<void()> print);
    QAction* mnuPrint = nullptr;
    QAction* mnuReport = nullptr;

    // The surface as it shows now, at its size in device pixels.
    QImage SurfaceImage();

    // The scale, the extremes of the last drawing and what the surface and boxes show.
    ChartState chart;

    ChartSurface* bmp;
    ChartTextBox* txtAxisYmax;
    ChartTextBox* txtAxisYmin;
    std::array<ChartTextBox*, 9> txtLegend;
    QPushButton* btnInfo;
    QPushButton* btnZoom;
    QPushButton* btnOpen;
    QPushButton* btnPrint;
    QPushButton* btnDelete;
    QPushButton* btnMeter;

    const LogView& view() const { return view_; }
    const UserInterface& userInterface() const { return ui_; }

protected:
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    // Brings the controls in line with chart.
    void showState();

    LogView view_;
    UserInterface& ui_;
    LogFileActions actions_;
    std::function<void()> print_;
};

// The one chart window of the run for this log, created on first use (with actions) as a child
// window of parent (and destroyed with it), else kept until the program ends.
frmChart& ChartWindow(const LogView& view, UserInterface& ui, const LogFileActions& actions, QWidget* parent);

// The main window's "Show Chart": loads the chart window and shows it modally over parent until
// it is closed.
void ShowChartWindow(const LogView& view, UserInterface& ui, const LogFileActions& actions, QWidget* parent);

} // namespace kv5
