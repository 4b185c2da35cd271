#include "views/PrintLayout.h"

#include "core/LogData.h"
#include "views/ChartDrawing.h"
#include "views/LogStatistics.h"

#include <QFontMetricsF>
#include <QLocale>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <array>
#include <cmath>

namespace kv5 {

namespace {

// Arial where it is installed, else a font made to its measures, else the common sans serif.
const QStringList ArialFamilies{QStringLiteral("Arial"),       QStringLiteral("Liberation Sans"),
                                QStringLiteral("Arimo"),       QStringLiteral("Helvetica"),
                                QStringLiteral("Nimbus Sans"), QStringLiteral("DejaVu Sans")};

constexpr double TitlePoints = 14;
// The grid shows 8 point text on screen; on paper 9 point stays easy to read at arm's length.
constexpr double TablePoints = 9;
constexpr double FooterPoints = 9;
// Smaller than this the table is not set even when it is too wide for the page; it is then cut
// at the right margin rather than becoming unreadable.
constexpr double SmallestTablePoints = 5;

QFont arialFont(double points, bool bold = false) {
    QFont font;
    font.setFamilies(ArialFamilies);
    font.setPointSizeF(points);
    font.setBold(bold);
    return font;
}

// Widths of text in one font on one device, added up character by character (the table's texts
// are digits, signs, separators and letters without kerning pairs), with the common characters
// measured once.
class TextWidths {
public:
    TextWidths(const QFont& font, QPaintDevice& device) : metrics_(font, &device) { latin_.fill(-1); }

    double operator()(const QString& text) {
        double width = 0;
        for (QChar c : text) {
            const ushort code = c.unicode();
            if (code < latin_.size()) {
                double& known = latin_[code];
                if (known < 0) known = metrics_.horizontalAdvance(c);
                width += known;
            } else {
                width += metrics_.horizontalAdvance(c);
            }
        }
        return width;
    }

    const QFontMetricsF& metrics() const { return metrics_; }

private:
    QFontMetricsF metrics_;
    std::array<double, 256> latin_;
};

bool rightAligned(TableColumn column) {
    return !column.isTime();
}

// Column edges for the table font: each column as wide as the window's width in characters or as
// its widest text, with padding on both sides; the table centred in the area.
void layoutColumns(TablePrintLayout& layout, const LogData& log, const Settings& settings,
                   QPaintDevice& device) {
    TextWidths widths(layout.tableFont, device);
    const double digit = widths(QStringLiteral("0"));
    layout.cellPadding = std::ceil(digit * 0.6);
    const ColumnWidths characters = TableColumnWidths(log.isQ7R(), int(layout.columns.size()));

    std::vector<double> columnWidths;
    for (std::size_t c = 0; c < layout.columns.size(); ++c) {
        const TableColumn column = layout.columns[c];
        double widest = (c == 0 ? characters.first : characters.other) * digit;
        widest = std::max(widest, widths(ColumnHeader(column, settings)));
        for (int slot = 0; slot < log.RecordCount; ++slot)
            widest = std::max(widest, widths(CellText(log, settings, column, slot)));
        columnWidths.push_back(std::ceil(widest + 2 * layout.cellPadding));
    }
    double total = 0;
    for (double width : columnWidths) total += width;

    layout.columnEdges.clear();
    double x = layout.area.left() + std::max(0.0, std::floor((layout.area.width() - total) / 2));
    layout.columnEdges.push_back(x);
    for (double width : columnWidths) layout.columnEdges.push_back(x += width);
}

// Where the text of a line of the given height starts, for the baseline to sit in the middle.
double baselineIn(double top, double height, const QFontMetricsF& metrics) {
    return top + (height - metrics.ascent() - metrics.descent()) / 2 + metrics.ascent();
}

} // namespace

QString PrintPagesText(int pages) {
    return QStringLiteral("Printing needs %1 pages.").arg(pages);
}

QString PageFooterText(int page, int pages) {
    return QStringLiteral("Page %1 of %2").arg(page).arg(pages);
}

QString GeneralNumberText(double value) {
    QLocale locale;
    locale.setNumberOptions(QLocale::OmitGroupSeparator);
    if (value == 0) value = 0; // no "-0"
    return locale.toString(value, 'g', 15);
}

TablePrintLayout LayoutTablePrint(const LogData& log, const Settings& settings, QPaintDevice& device,
                                  const QRectF& area) {
    TablePrintLayout layout;
    layout.columns = TableColumns(log, settings);
    layout.records = std::max(0, log.RecordCount);
    layout.area = area;
    layout.titleFont = arialFont(TitlePoints, true);
    layout.footerFont = arialFont(FooterPoints);

    // A table too wide for the page is set smaller, in steps, until it fits.
    double points = TablePoints;
    for (;;) {
        layout.tableFont = arialFont(points);
        layoutColumns(layout, log, settings, device);
        if (layout.tableWidth() <= area.width() || points <= SmallestTablePoints) break;
        points =
            std::max(SmallestTablePoints, std::floor(points * area.width() / layout.tableWidth() * 4) / 4);
    }

    const QFontMetricsF title(layout.titleFont, &device);
    const QFontMetricsF table(layout.tableFont, &device);
    const QFontMetricsF footer(layout.footerFont, &device);
    layout.titleHeight = std::ceil(2 * title.lineSpacing());
    layout.rowHeight = std::ceil(table.height() * 1.3);
    layout.footerHeight = std::ceil(1.5 * footer.lineSpacing());

    const double forRows = area.height() - layout.titleHeight - layout.footerHeight - layout.rowHeight;
    layout.rowsPerPage = std::max(1, int(std::floor(forRows / layout.rowHeight)));
    layout.pages = std::max(1, (layout.records + layout.rowsPerPage - 1) / layout.rowsPerPage);
    return layout;
}

void PaintTablePage(QPainter& painter, const TablePrintLayout& layout, const LogData& log,
                    const Settings& settings, const QString& title, int page) {
    QPaintDevice& device = *painter.device();
    const QRectF& area = layout.area;
    painter.save();
    painter.setClipRect(area);

    // The title, centred; a description too long for the line ends in an ellipsis.
    painter.setFont(layout.titleFont);
    painter.setPen(Qt::black);
    const QFontMetricsF titleMetrics(layout.titleFont, &device);
    const QString titleText = titleMetrics.elidedText(title, Qt::ElideRight, area.width());
    const double titleWidth = titleMetrics.horizontalAdvance(titleText);
    painter.drawText(QPointF(area.center().x() - titleWidth / 2, area.top() + titleMetrics.ascent()),
                     titleText);

    // The column headers, on a light band.
    const std::vector<double>& edges = layout.columnEdges;
    const double left = edges.front(), right = edges.back();
    double y = area.top() + layout.titleHeight;
    painter.fillRect(QRectF(left, y, right - left, layout.rowHeight), QColor(232, 232, 232));
    painter.setFont(layout.tableFont);
    TextWidths widths(layout.tableFont, device);
    const QFontMetricsF& metrics = widths.metrics();
    for (std::size_t c = 0; c < layout.columns.size(); ++c) {
        const QString text = ColumnHeader(layout.columns[c], settings);
        const double x = (edges[c] + edges[c + 1] - widths(text)) / 2;
        painter.drawText(QPointF(x, baselineIn(y, layout.rowHeight, metrics)), text);
    }
    const double tableTop = y;
    y += layout.rowHeight;

    // The page's records.
    const int first = (page - 1) * layout.rowsPerPage;
    const int last = std::min(layout.records, first + layout.rowsPerPage);
    for (int slot = first; slot < last; ++slot, y += layout.rowHeight) {
        const double baseline = baselineIn(y, layout.rowHeight, metrics);
        for (std::size_t c = 0; c < layout.columns.size(); ++c) {
            const TableColumn column = layout.columns[c];
            const QString text = CellText(log, settings, column, slot);
            if (text.isEmpty()) continue;
            const double x = rightAligned(column) ? edges[c + 1] - layout.cellPadding - widths(text)
                                                  : edges[c] + layout.cellPadding;
            painter.drawText(QPointF(x, baseline), text);
        }
    }

    // The grid's lines: one path for the page.
    QPainterPath lines;
    for (double rowY = tableTop; rowY <= y + 0.5; rowY += layout.rowHeight) {
        lines.moveTo(left, rowY);
        lines.lineTo(right, rowY);
    }
    for (double x : edges) {
        lines.moveTo(x, tableTop);
        lines.lineTo(x, y);
    }
    QPen pen(QColor(150, 150, 150));
    pen.setWidthF(device.logicalDpiX() / 144.0); // half a point
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(lines);

    // "Page n of m" at the right of the bottom line.
    painter.setFont(layout.footerFont);
    painter.setPen(Qt::black);
    const QFontMetricsF footer(layout.footerFont, &device);
    const QString footerText = PageFooterText(page, layout.pages);
    painter.drawText(
        QPointF(area.right() - footer.horizontalAdvance(footerText), area.bottom() - footer.descent()),
        footerText);
    painter.restore();
}

int PrintTablePages(QPagedPaintDevice& device, QPainter& painter, const TablePrintLayout& layout,
                    const LogData& log, const Settings& settings, const QString& title,
                    const PrintProgress& progress) {
    int drawn = 0;
    for (int page = 1; page <= layout.pages; ++page) {
        if (progress && !progress(page, layout.pages)) break;
        if (page > 1 && !device.newPage()) break;
        PaintTablePage(painter, layout, log, settings, title, page);
        ++drawn;
    }
    return drawn;
}

QStringList ChartPrintLines(const LogData& log, const LogExtremes& extremes) {
    if (log.RecordCount < 1) return {QStringLiteral("There is no log data!")};
    return {QStringLiteral("Log File Info"),
            QStringLiteral("Max Temp ") + GeneralNumberText(extremes[Quantity::Temperature].Max),
            QStringLiteral("Min Temp ") + GeneralNumberText(extremes[Quantity::Temperature].Min),
            QStringLiteral("Max Rh ") + GeneralNumberText(extremes[Quantity::Rh].Max),
            QStringLiteral("Min Rh ") + GeneralNumberText(extremes[Quantity::Rh].Min),
            QStringLiteral("Records ") + QString::number(log.RecordCount)};
}

ChartPagePlacement PaintChartPage(QPainter& painter, const QString& description, const QStringList& lines,
                                  const ChartPicture* picture, QSize surfaceSize) {
    QPaintDevice& device = *painter.device();
    const double dpiX = device.logicalDpiX(), dpiY = device.logicalDpiY();
    QFont font;
    font.setPointSizeF(ChartPageFontPoints);
    const QFontMetricsF metrics(font, &device);
    painter.save();
    painter.setFont(font);
    painter.setPen(Qt::black);

    // Each text line starts at the current position, which then moves to the next line.
    double x = 0, y = 0;
    const auto printLine = [&](const QString& text) {
        if (!text.isEmpty()) painter.drawText(QPointF(x, y + metrics.ascent()), text);
        y += metrics.lineSpacing();
    };
    printLine(QStringLiteral(" "));
    x = TwipsToDevice(ChartPageLeftTwips, dpiX);
    y = TwipsToDevice(ChartPageTopTwips, dpiY);
    printLine(description);
    printLine(QString());
    for (const QString& line : lines) printLine(line);
    printLine(QString());
    painter.restore();

    ChartPagePlacement placement;
    placement.pictureTopLeft = QPointF(x, y);
    if (!picture || surfaceSize.isEmpty()) return placement;

    // The surface at its size on screen, in the device's own pixels. If the page has not room
    // enough, the surface is drawn as it would be at a smaller size on screen, so that its lines
    // keep the width of a screen pixel.
    const double ratio = dpiX / ScreenPixelsPerInch;
    const double roomX = device.width() - x, roomY = device.height() - y;
    const double fit =
        std::min({1.0, roomX / (surfaceSize.width() * ratio), roomY / (surfaceSize.height() * ratio)});
    const QSize size(int(std::floor(surfaceSize.width() * fit)), int(std::floor(surfaceSize.height() * fit)));
    if (size.width() < 1 || size.height() < 1) return placement;
    placement.surfaceSize = size;
    placement.pictureSize = QSizeF(size.width() * ratio, size.height() * ratio);

    painter.save();
    painter.translate(x, y);
    painter.setClipRect(QRectF(QPointF(0, 0), placement.pictureSize));
    PaintChartSurface(painter, *picture, size, ratio);
    painter.restore();
    return placement;
}

} // namespace kv5
