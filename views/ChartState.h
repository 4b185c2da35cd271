// The chart window's own state and behaviour without its widgets: the Y scale, the drawing of
// the in-memory log into traces with their extremes, the readout of the record under the mouse
// into the nine legend boxes, and the Y-axis zoom. The window shows what this holds; the command
// line draws it into a picture.
#pragma once

#include "calc/Quantities.h"
#include "views/ChartDrawing.h"
#include "views/LogStatistics.h"
#include "views/LogView.h"

#include <QtGlobal>

#include <array>
#include <vector>

namespace kv5 {

class UserInterface;

// The template with its first "$" replaced by value; a template without "$" comes back as it is.
QString Insert(const QString& text, const QString& value);

// The record (from 1) that the readout shows for the mouse at chart X: the record count spread
// over the width, X / (156 / count) + 1 rounded with halves to the even neighbour, within 1 and
// count. X is clamped to the surface first.
int ReadoutRecord(float x, int recordCount);

// The zoom's adjustments of a new top and bottom, in this order: a top above 150 becomes 150; a
// top below the bottom becomes 100; a bottom below -40 becomes -40; a bottom above the top
// becomes 0.
void AdjustZoom(qint32& top, qint32& bottom);

// The times under the chart of log: at most six, a whole number of hours, days or weeks apart,
// from its context's start and interval or from its time stamps; none when they are unknown.
std::vector<ChartTimeMark> ChartTimeMarks(const LogData& log);

class ChartState {
public:
    ChartState(const LogView& view, UserInterface& ui);

    // Value at the bottom edge and the span to the top edge. A span below 1 counts as 100 when
    // the chart is drawn or read.
    qint16 AxisYmin = 0;
    double AxisYrange = 0;

    // Highest and lowest value of every trace of the last drawing; a pair keeps its value while
    // its trace is not drawn.
    LogExtremes extremes;

    // What the surface shows now, and the last finished chart, which the readout restores.
    ChartPicturePtr bmp;
    ChartPicturePtr picBase;

    ChartTextBoxState txtAxisYmax;
    ChartTextBoxState txtAxisYmin;
    std::array<ChartTextBoxState, 9> txtLegend;

    // Draws the chart from the in-memory log: the legend hidden; an empty log only writes "The log
    // is empty."; else every trace of the family and of the settings, the axis boxes, the copy in
    // picBase, and the readout at the right edge. A failure is reported with "frmChart.Form_Load: "
    // (a Q7R log: "LoadChartQ7R: ") or, for a coordinate that cannot be drawn, with
    // "frmChart.PaintTrace: "; the chart is then finished with what could be drawn.
    void Load();

    // The readout, for the mouse at chart (X, Y); button and shift are ignored. Shows the chosen
    // record's time and values in the legend, each in its trace's colour. A value that cannot be
    // computed shows "Calculating X axis failed: " and the cause, once while the mouse stays on
    // that record, and the readout ends there.
    void bmp_MouseMove(int button, int shift, float X, float Y);

    // "Zoom": asks for the new top and bottom in two input boxes titled "Zoom"; an empty answer
    // or Cancel in either changes nothing. Otherwise the adjusted values become the scale and the
    // chart is drawn again. Returns true when it was.
    bool btnZoom_Click();
    // The scale from a new top and bottom after the zoom's adjustments (AdjustZoom); the chart is
    // not drawn again.
    void SetZoom(qint32 top, qint32 bottom);

private:
    // One trace of the first `count` values of series, its extremes written to lowest and
    // highest. A coordinate too large to draw ends the trace with "frmChart.PaintTrace: ".
    ChartTrace PaintTrace(const QColor& color, const std::vector<double>& series, int count, double& lowest,
                          double& highest, double yScale);
    // Fills derived_ with the derived quantity of the first count records. A value left out
    // when it cannot be computed is reported once as "ERROR: " procedure ": " and becomes a gap
    // (NaN); one that ends the run ends the filling and gives its description.
    const char* fillDerived(const QuantityRow& row, int count);
    int recordCount() const;
    // The dashed lines of the alarm limits of the log's context, for each shown quantity that
    // has them, within the scale.
    void addLimitLines(ChartPicture& picture, double yScale) const;

    LogView view_;
    UserInterface& ui_;
    // The derived series being drawn.
    std::vector<double> derived_;
    // The record whose readout failed last, so that moving over it does not repeat the box.
    int failedRecord_ = 0;
};

} // namespace kv5
