// The chart's pictures without widgets: the chart surface drawn from a finished set of traces,
// the window's arrangement at any size, its text boxes and fonts, and the whole picture of the
// window above its buttons for the command line. The surface has a logical coordinate system
// 156 wide and 125 high (origin top left, Y downwards) stretched over whatever size it has.
#pragma once

#include <QColor>
#include <QFont>
#include <QImage>
#include <QRect>
#include <QString>

#include <array>
#include <memory>
#include <vector>

class QPainter;

namespace kv5 {

inline constexpr double ChartWidth = 156;
inline constexpr double ChartHeight = 125;

// One trace as drawn: its colour and the Y coordinate of each record in chart units, already in
// single precision; x of record i (from 0) is i * xStep. Only the first `points` are drawn: a
// trace whose next coordinate could not be represented ends there.
struct ChartTrace {
    QColor color;
    std::vector<float> y;
    int points = 0;
};

// An alarm limit of a shown quantity: a dashed line across the surface in the quantity's colour
// at chart Y y.
struct ChartLimitLine {
    QColor color;
    double y = 0;
};

// A time under the chart: a short mark up from the bottom edge at chart X x, with its text.
struct ChartTimeMark {
    double x = 0;
    QString text;
};

// What the surface shows: nothing yet, "The log is empty.", or the traces of a log of
// recordCount records in drawing order (a later trace paints over an earlier one), over the
// limit lines, with the time marks along the bottom edge.
struct ChartPicture {
    enum class Kind { Blank, EmptyLog, Traces };
    Kind kind = Kind::Blank;
    int recordCount = 0;
    double xStep = ChartWidth;
    std::vector<ChartTrace> traces;
    std::vector<ChartLimitLine> limits;
    std::vector<ChartTimeMark> times;
};
using ChartPicturePtr = std::shared_ptr<const ChartPicture>;

// Where chart coordinates land on a surface of the given size in pixels. The line is one pixel
// wide; the outermost coordinates (0 and 156, 0 and 125) fall on the centres of the outermost
// pixel rows and columns, so that a trace along an edge is drawn whole.
struct ChartMapping {
    double width = 0, height = 0;
    double toX(double x) const { return 0.5 + x * (width - 1) / ChartWidth; }
    double toY(double y) const { return 0.5 + y * (height - 1) / ChartHeight; }
    double fromX(double pixelX) const { return width > 1 ? (pixelX - 0.5) * ChartWidth / (width - 1) : 0; }
    double fromY(double pixelY) const { return height > 1 ? (pixelY - 0.5) * ChartHeight / (height - 1) : 0; }
};

// The surface at size (device-independent pixels) times devicePixelRatio, with that ratio set
// on the image. White background; lines one pixel (of the given size) wide and antialiased,
// their points placed on whole device pixels so that they stay sharp; "The log is empty." in
// black with its top left corner at (50, 40). Where many records share a pixel column, the
// column is filled from their lowest to their highest point and the line joins the columns: the
// look of the full line at a fraction of the work.
QImage RenderChartSurface(const ChartPicture& picture, QSize size, qreal devicePixelRatio);
// The same into image, whose memory is used again when it has the size already.
void RenderChartSurface(QImage& image, const ChartPicture& picture, QSize size, qreal devicePixelRatio);
// The same on any painter (a printer's, an image's), in its device units at devicePixelRatio
// units to a pixel of size.
void PaintChartSurface(QPainter& painter, const ChartPicture& picture, QSize size, qreal devicePixelRatio);

// The fonts of the window: the empty-log message ("MS Sans Serif" 13.5 pt), the axis boxes
// (Arial 11.25 pt bold), the legend boxes (Arial, 11.25 pt for box 0, 14.25 pt for the others).
// Sizes are given in pixels of a 96 dpi screen so that window and picture match on any screen.
QFont EmptyLogFont();
QFont AxisFont();
QFont LegendFont(int index);

// A text box as the chart window shows it: white, a thin grey frame, the text in its colour.
void PaintTextBox(QPainter& painter, const QRect& box, const QString& text, const QColor& color,
                  const QFont& font);

// The chart window's controls for a client area of the given size: the surface grows with the
// window, the axis boxes stay at its left, the legend column at its right, the buttons below.
// At the first size, 603 by 457, everything sits where the window was first laid out.
struct ChartWindowLayout {
    QRect bmp;
    QRect txtAxisYmax;
    QRect txtAxisYmin;
    std::array<QRect, 9> txtLegend;
    // btnInfo, btnZoom, btnOpen, btnPrint, btnDelete, btnMeter.
    std::array<QRect, 6> buttons;
};
inline constexpr QSize ChartWindowSize{603, 457};
inline constexpr QSize ChartWindowMinimumSize{460, 345};
ChartWindowLayout LayoutChartWindow(QSize client);

// A text box's content.
struct ChartTextBoxState {
    bool visible = false;
    QString text;
    QColor color = Qt::black;
};

// Everything the window shows above its buttons: its background, the two axis boxes, the
// surface and the legend boxes. A picture of the given size lays the controls out as a window
// of the same width and 32 pixels more height would: the buttons' row is left off.
QImage ChartWindowPicture(const ChartPicture& surface, const ChartTextBoxState& axisYmax,
                          const ChartTextBoxState& axisYmin, const std::array<ChartTextBoxState, 9>& legend,
                          QSize size, const QColor& background);
inline constexpr int ChartButtonRowHeight = 32;

} // namespace kv5
