#include "views/ChartDrawing.h"

#include <QPainter>
#include <QPen>

#include <algorithm>
#include <cmath>

namespace kv5 {

namespace {

// Draws a line given point by point, clipped to a horizontal band a little larger than the
// surface: coordinates far outside (a value far above the scale) never reach the rasteriser,
// and every part that can be seen is drawn as one continuous polyline.
class BandPolyline {
public:
    BandPolyline(QPainter& painter, double top, double bottom)
        : painter_(painter), top_(top), bottom_(bottom) {}
    ~BandPolyline() { flush(); }

    void moveTo(QPointF point) {
        flush();
        last_ = point;
    }

    void lineTo(QPointF point) {
        const QPointF from = last_;
        last_ = point;
        const double dy = point.y() - from.y();
        double enter = 0, leave = 1;
        if (dy == 0) {
            if (from.y() < top_ || from.y() > bottom_) return flush();
        } else {
            const double t0 = (top_ - from.y()) / dy;
            const double t1 = (bottom_ - from.y()) / dy;
            enter = std::max(0.0, std::min(t0, t1));
            leave = std::min(1.0, std::max(t0, t1));
            if (enter > leave) return flush();
        }
        const QPointF delta = point - from;
        if (enter > 0) {
            flush();
            run_.push_back(from + enter * delta);
        } else if (run_.empty()) {
            run_.push_back(from);
        }
        run_.push_back(leave < 1 ? from + leave * delta : point);
        if (leave < 1) flush();
    }

    void flush() {
        if (run_.size() >= 2) painter_.drawPolyline(run_.data(), int(run_.size()));
        run_.clear();
    }

private:
    QPainter& painter_;
    double top_, bottom_;
    QPointF last_;
    std::vector<QPointF> run_;
};

// Feeds the trace's points to the line, reduced per pixel column to the first, lowest, highest
// and last point in their own order: the line between them covers the same pixels.
void drawTrace(BandPolyline& line, const ChartTrace& trace, double xStep, const ChartMapping& map,
               qreal ratio) {
    const int count = std::min<int>(trace.points, int(trace.y.size()));
    if (count < 1) return;
    const auto pointAt = [&](int i) {
        const float x = float(i * xStep);
        return QPointF(ratio * map.toX(x), ratio * map.toY(trace.y[i]));
    };

    bool started = false;
    const auto add = [&](QPointF point) {
        if (started) {
            line.lineTo(point);
        } else {
            line.moveTo(point);
            started = true;
        }
    };

    int i = 0;
    while (i < count) {
        const QPointF first = pointAt(i);
        const double column = std::floor(first.x());
        int lowest = i, highest = i, last = i;
        double low = first.y(), high = first.y();
        int j = i + 1;
        for (; j < count; ++j) {
            const QPointF p = pointAt(j);
            if (std::floor(p.x()) != column) break;
            if (p.y() < low) low = p.y(), lowest = j;
            if (p.y() > high) high = p.y(), highest = j;
            last = j;
        }
        int order[4] = {i, lowest, highest, last};
        std::sort(order, order + 4);
        for (int k = 0; k < 4; ++k)
            if (k == 0 || order[k] != order[k - 1]) add(pointAt(order[k]));
        i = j;
    }
}

QFont fontOf(const QStringList& families, int pixelSize, bool bold = false) {
    QFont font;
    font.setFamilies(families);
    font.setPixelSize(pixelSize);
    font.setBold(bold);
    font.setStyleStrategy(QFont::PreferAntialias);
    return font;
}

// Arial where it is installed; else the fonts made to its measures, else a narrow sans serif.
const QStringList ArialLike{QStringLiteral("Arial"),       QStringLiteral("Liberation Sans"),
                            QStringLiteral("Arimo"),       QStringLiteral("Helvetica"),
                            QStringLiteral("Nimbus Sans"), QStringLiteral("DejaVu Sans Condensed"),
                            QStringLiteral("DejaVu Sans")};

} // namespace

void PaintChartSurface(QPainter& painter, const ChartPicture& picture, QSize size, qreal ratio) {
    const ChartMapping map{double(size.width()), double(size.height())};
    painter.save();
    painter.fillRect(QRectF(0, 0, size.width() * ratio, size.height() * ratio), Qt::white);
    if (picture.kind == ChartPicture::Kind::EmptyLog) {
        painter.setRenderHint(QPainter::TextAntialiasing);
        QFont font = EmptyLogFont();
        font.setPixelSize(qRound(font.pixelSize() * ratio));
        painter.setFont(font);
        painter.setPen(Qt::black);
        const QPointF at(ratio * map.toX(50), ratio * map.toY(40));
        painter.drawText(QRectF(at, QSizeF(size.width() * ratio, size.height() * ratio)),
                         Qt::AlignLeft | Qt::AlignTop, QStringLiteral("The log is empty."));
    } else if (picture.kind == ChartPicture::Kind::Traces) {
        painter.setRenderHint(QPainter::Antialiasing);
        for (const ChartTrace& trace : picture.traces) {
            QPen pen(trace.color, ratio);
            pen.setCosmetic(true);
            pen.setCapStyle(Qt::SquareCap);
            pen.setJoinStyle(Qt::RoundJoin);
            painter.setPen(pen);
            BandPolyline line(painter, -2 * ratio, (size.height() + 2) * ratio);
            if (picture.recordCount <= 1) {
                // One record: its value as a line across the whole width.
                if (trace.points < 1 || trace.y.empty()) continue;
                const double y = ratio * map.toY(trace.y[0]);
                line.moveTo(QPointF(ratio * map.toX(0), y));
                line.lineTo(QPointF(ratio * map.toX(float(picture.xStep)), y));
            } else {
                drawTrace(line, trace, picture.xStep, map, ratio);
            }
        }
    }
    painter.restore();
}

QImage RenderChartSurface(const ChartPicture& picture, QSize size, qreal ratio) {
    QImage image(size * ratio, QImage::Format_RGB32);
    if (image.isNull()) return image;
    {
        QPainter painter(&image);
        PaintChartSurface(painter, picture, size, ratio);
    }
    image.setDevicePixelRatio(ratio);
    return image;
}

QFont EmptyLogFont() {
    return fontOf({QStringLiteral("MS Sans Serif"), QStringLiteral("Microsoft Sans Serif"),
                   QStringLiteral("DejaVu Sans")},
                  18);
}

QFont AxisFont() {
    return fontOf(ArialLike, 15, true);
}

QFont LegendFont(int index) {
    return fontOf(ArialLike, index == 0 ? 15 : 19);
}

void PaintTextBox(QPainter& painter, const QRect& box, const QString& text, const QColor& color,
                  const QFont& font) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.fillRect(box, Qt::white);
    painter.setPen(QColor(160, 160, 160));
    painter.drawRect(box.adjusted(0, 0, -1, -1));
    const QRect inside = box.adjusted(3, 1, -2, -1);
    painter.setClipRect(inside);
    painter.setFont(font);
    painter.setPen(color);
    painter.drawText(inside, Qt::AlignLeft | Qt::AlignVCenter, text);
    painter.restore();
}

ChartWindowLayout LayoutChartWindow(QSize client) {
    const QSize size = client.expandedTo(ChartWindowMinimumSize);
    ChartWindowLayout layout;
    layout.bmp = QRect(32, 8, size.width() - 186, size.height() - 48);
    layout.txtAxisYmax = QRect(0, 0, 32, 22);
    layout.txtAxisYmin = QRect(0, layout.bmp.bottom() + 1 - 14, 32, 22);
    for (int i = 0; i < 9; ++i) layout.txtLegend[i] = QRect(layout.bmp.right() + 1 + 7, 8 + 32 * i, 137, 33);
    const int left[6] = {32, 96, 168, 240, 312, 384};
    for (int i = 0; i < 6; ++i)
        layout.buttons[i] = QRect(left[i], layout.bmp.bottom() + 1 + 8, i == 0 ? 57 : 65, 25);
    return layout;
}

QImage ChartWindowPicture(const ChartPicture& surface, const ChartTextBoxState& axisYmax,
                          const ChartTextBoxState& axisYmin, const std::array<ChartTextBoxState, 9>& legend,
                          QSize size, const QColor& background) {
    QImage image(size, QImage::Format_RGB32);
    if (image.isNull()) return image;
    image.fill(background);
    const ChartWindowLayout layout = LayoutChartWindow(size + QSize(0, ChartButtonRowHeight));
    QPainter painter(&image);
    const auto box = [&painter](const QRect& rect, const ChartTextBoxState& state, const QFont& font) {
        if (state.visible) PaintTextBox(painter, rect, state.text, state.color, font);
    };
    box(layout.txtAxisYmax, axisYmax, AxisFont());
    box(layout.txtAxisYmin, axisYmin, AxisFont());
    painter.save();
    painter.translate(layout.bmp.topLeft());
    painter.setClipRect(QRect(QPoint(0, 0), layout.bmp.size()));
    PaintChartSurface(painter, surface, layout.bmp.size(), 1);
    painter.restore();
    for (int i = 0; i < 9; ++i) box(layout.txtLegend[i], legend[i], LegendFont(i));
    return image;
}

} // namespace kv5
