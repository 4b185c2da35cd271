// The printouts of the table and the chart, laid out and drawn on any paged device (a printer or
// a PDF writer) without widgets: the table's pagination with its title and page footer, the chart
// page's text block and picture, and the texts of the printing dialogue. Positions given in twips
// (1440 to the inch) are turned into the device's own units by its resolution.
#pragma once

#include "views/LogTable.h"

#include <QFont>
#include <QRectF>
#include <QSize>
#include <QString>
#include <QStringList>

#include <functional>
#include <vector>

class QPagedPaintDevice;
class QPaintDevice;
class QPainter;

namespace kv5 {

struct ChartPicture;
struct LogData;
struct LogExtremes;
struct Settings;

inline constexpr double TwipsPerInch = 1440;
// The table printout's margin on every side: half an inch.
inline constexpr double TableMarginTwips = 720;
// The chart page's text block and picture start this far from the left and the top of the
// printable area.
inline constexpr double ChartPageLeftTwips = 1440;
inline constexpr double ChartPageTopTwips = 1440;
// Size of the chart page's text, in points.
inline constexpr double ChartPageFontPoints = 14;
// The chart surface is drawn at the size it has on a screen of this many pixels to the inch.
inline constexpr double ScreenPixelsPerInch = 96;

// The description box before either printout.
inline const QString PrintInputTitle = QStringLiteral("Print Table");
inline const QString PrintInputPrompt = QStringLiteral("Enter a description for the printout:");
// The text of the progress box while the table prints.
inline const QString PrintProgressText = QStringLiteral("Printing - Click Cancel to quit");

// A length in twips in units of a device with dpi dots to the inch.
inline double TwipsToDevice(double twips, double dpi) {
    return twips * dpi / TwipsPerInch;
}

// "Printing needs " + pages + " pages."
QString PrintPagesText(int pages);
// "Page " + page + " of " + pages.
QString PageFooterText(int page, int pages);

// A number in the general form: at most 15 significant digits, no trailing zeros, no digit
// grouping, the user's decimal separator; an exponent only for very large or small numbers.
QString GeneralNumberText(double value);

// Called before each page is drawn with its number (from 1) and the number of pages; returns
// false when the user cancelled, and no further page is drawn.
using PrintProgress = std::function<bool(int page, int pages)>;

// The table printout as laid out for one device and page area: fonts in the device's resolution,
// column edges, line heights and the pagination. Every page has the title (the description
// centred, Arial 14 point bold, and a blank line), the column headers, its rows, and the footer
// "Page n of m" at the right of the bottom line.
struct TablePrintLayout {
    std::vector<TableColumn> columns;
    QFont titleFont;
    QFont tableFont;
    QFont footerFont;
    // The page area inside the margins, in device units, relative to the painter's origin.
    QRectF area;
    // Left edge of each column, then the right edge of the last one.
    std::vector<double> columnEdges;
    double cellPadding = 0;
    double titleHeight = 0;  // the title line and the blank line below it
    double rowHeight = 0;    // the header row and every record row
    double footerHeight = 0; // the footer line and the space above it
    // Records on a full page, below the column headers repeated on every page.
    int rowsPerPage = 1;
    // At least one: an empty log prints its column headers.
    int pages = 1;
    int records = 0;

    double tableWidth() const { return columnEdges.empty() ? 0 : columnEdges.back() - columnEdges.front(); }
};

// Lays out the table of the log as the settings show it for device within area. Column widths are
// the window's widths in characters (digits of the table font), widened where a header or a cell
// needs more; a table wider than the area is set in a smaller font until it fits.
TablePrintLayout LayoutTablePrint(const LogData& log, const Settings& settings, QPaintDevice& device,
                                  const QRectF& area);

// Draws page (from 1) of the layout with title as its title.
void PaintTablePage(QPainter& painter, const TablePrintLayout& layout, const LogData& log,
                    const Settings& settings, const QString& title, int page);

// Draws every page on the device the painter is active on, starting a new page of device between
// them; asks progress before each page. Returns the number of pages drawn, which is below
// layout.pages when the user cancelled.
int PrintTablePages(QPagedPaintDevice& device, QPainter& painter, const TablePrintLayout& layout,
                    const LogData& log, const Settings& settings, const QString& title,
                    const PrintProgress& progress);

// The chart page's facts below the description: "There is no log data!" for an empty log, else
// "Log File Info", "Max Temp ", "Min Temp ", "Max Rh ", "Min Rh " each with its extreme in the
// general form, and "Records " with the count.
QStringList ChartPrintLines(const LogData& log, const LogExtremes& extremes);

// Where the chart page puts its picture: the top left corner, and the size in device units.
struct ChartPagePlacement {
    QPointF pictureTopLeft;
    QSizeF pictureSize;
    // The size on screen that the surface was drawn for: smaller than asked only when the page
    // had not room enough for it.
    QSize surfaceSize;
};

// Draws the chart page on the painter's device, whose printable area starts at the painter's
// origin: in the device's default font at 14 points a line with one blank; the description at
// 1440, 1440 twips; an empty line; the facts, each at 1440 twips from the left; an empty line; then
// below it the picture (when there is one) at its size on screen (surfaceSize pixels at 96 to the
// inch), drawn in the device's resolution. A picture larger than the room left on the page is
// drawn as for a smaller surface that fits, in the same proportions. Returns where it went.
ChartPagePlacement PaintChartPage(QPainter& painter, const QString& description, const QStringList& lines,
                                  const ChartPicture* picture, QSize surfaceSize);

} // namespace kv5
