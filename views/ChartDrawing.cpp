#include "views/ChartDrawing.h"

#include <QPainter>
#include <QPen>

#include <algorithm>
#include <cmath>

namespace kv5 {

namespace {

// Draws a line given point by point, clipped to a horizontal band a little larger than the
// surface: coordinates far outside (a value far above the scale) never reach the rasteriser,
// and every part that can be seen is drawn as one continuous polyline. Pieces of a single
// segment are gathered and drawn together at the end.
class BandPolyline {
public:
    BandPolyline(QPainter& painter, double top, double bottom)
        : painter_(painter), top_(top), bottom_(bottom) {}
    ~BandPolyline() {
        flush();
        if (!segments_.empty()) painter_.drawLines(segments_.data(), int(segments_.size()));
    }

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
        if (run_.size() == 2)
            segments_.emplace_back(run_[0], run_[1]);
        else if (run_.size() > 2)
            painter_.drawPolyline(run_.data(), int(run_.size()));
        run_.clear();
    }

private:
    QPainter& painter_;
    double top_, bottom_;
    QPointF last_;
    std::vector<QPointF> run_;
    std::vector<QLineF> segments_;
};

// The place nearest to position where a line of the given width covers whole pixels: a line
// between such places stays sharp where it runs along a row or a column, at any pixel ratio.
double onPixels(double position, double width) {
    const double corner = position - width / 2;
    // Far off the surface the place does not matter; near it a conversion rounds fastest.
    if (!(std::fabs(corner) < 1e15)) return position;
    return double(static_cast<long long>(corner + (corner < 0 ? -0.5 : 0.5))) + width / 2;
}

// The pixels of a 32-bit image, written directly: a painter fills a rectangle one pixel wide
// row by row, at many times the cost.
struct Pixels {
    uchar* bits = nullptr;
    qsizetype bytesPerLine = 0;
    QRect rect;

    void fill(QRect area, QRgb color) const {
        area &= rect;
        for (int y = area.top(); y <= area.bottom(); ++y) {
            QRgb* row = reinterpret_cast<QRgb*>(bits + y * bytesPerLine);
            std::fill(row + area.left(), row + area.right() + 1, color);
        }
    }
};

// Draws a trace of many records per pixel column quickly and with the look of the full line.
// All points of a column lie on the column's centre once placed on whole pixels, so the line
// through them covers the column from its lowest to its highest point: that part is filled as
// one rectangle, and the line only joins the last point of each column to the first of the
// next. Few records per column give the plain line through every point.
void drawTrace(QPainter& painter, BandPolyline& line, const ChartTrace& trace, double xStep,
               const ChartMapping& map, qreal ratio, double top, double bottom, const Pixels* direct) {
    const int count = std::min<int>(trace.points, int(trace.y.size()));
    if (count < 1) return;
    const auto pointAt = [&](int i) {
        const float x = float(i * xStep);
        return QPointF(onPixels(ratio * map.toX(x), ratio), onPixels(ratio * map.toY(trace.y[i]), ratio));
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
        // A record without a value breaks the line.
        if (std::isnan(trace.y[i])) {
            started = false;
            ++i;
            continue;
        }
        const QPointF first = pointAt(i);
        QPointF last = first;
        double low = first.y(), high = first.y();
        int j = i + 1;
        for (; j < count && !std::isnan(trace.y[j]); ++j) {
            const QPointF point = pointAt(j);
            if (point.x() != first.x()) break;
            low = std::min(low, point.y());
            high = std::max(high, point.y());
            last = point;
        }
        add(first);
        if (j > i + 1) {
            // Within the band only: a value far off the scale must not reach the rasteriser.
            low = std::max(low, top);
            high = std::min(high, bottom);
            if (low <= high) {
                const QRectF span(first.x() - ratio / 2, low - ratio / 2, ratio, high - low + ratio);
                if (direct)
                    direct->fill(span.toRect(), trace.color.rgb());
                else
                    painter.fillRect(span, trace.color);
            }
            line.moveTo(last);
        }
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

// The times along the bottom edge: a mark and its text, centred on it where it fits.
void paintTimeMarks(QPainter& painter, const ChartPicture& picture, const ChartMapping& map, QSize size,
                    qreal ratio) {
    if (picture.times.empty()) return;
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.setFont(fontOf(ArialLike, qRound(11 * ratio)));
    painter.setPen(QPen(Qt::black, ratio));
    const QFontMetricsF metrics(painter.font());
    const double bottom = size.height() * ratio;
    for (const ChartTimeMark& mark : picture.times) {
        const double x = onPixels(ratio * map.toX(mark.x), ratio);
        painter.drawLine(QPointF(x, bottom), QPointF(x, bottom - 5 * ratio));
        const double width = metrics.horizontalAdvance(mark.text);
        const double left = std::clamp(x - width / 2, 2 * ratio, size.width() * ratio - width - 2 * ratio);
        const double base = bottom - 7 * ratio - metrics.descent();
        // On white, so that a trace or a limit line under it does not hide it.
        painter.fillRect(QRectF(left - ratio, base - metrics.ascent(), width + 2 * ratio, metrics.height()), Qt::white);
        painter.drawText(QPointF(left, base), mark.text);
    }
}

// Paints the surface; direct, when given, is the image the painter paints on without a
// transformation, at a whole pixel ratio.
void paintSurface(QPainter& painter, const ChartPicture& picture, QSize size, qreal ratio,
                  const Pixels* direct) {
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
        for (const ChartLimitLine& limit : picture.limits) {
            QPen pen(limit.color, ratio, Qt::DashLine);
            pen.setCosmetic(true);
            painter.setPen(pen);
            const double y = onPixels(ratio * map.toY(limit.y), ratio);
            painter.drawLine(QPointF(0, y), QPointF(size.width() * ratio, y));
        }
        painter.setRenderHint(QPainter::Antialiasing);
        for (const ChartTrace& trace : picture.traces) {
            QPen pen(trace.color, ratio);
            pen.setCosmetic(true);
            pen.setCapStyle(Qt::SquareCap);
            pen.setJoinStyle(Qt::RoundJoin);
            painter.setPen(pen);
            const double top = -2 * ratio, bottom = (size.height() + 2) * ratio;
            BandPolyline line(painter, top, bottom);
            if (picture.recordCount <= 1) {
                // One record: its value as a line across the whole width.
                if (trace.points < 1 || trace.y.empty() || std::isnan(trace.y[0])) continue;
                const double y = onPixels(ratio * map.toY(trace.y[0]), ratio);
                line.moveTo(QPointF(onPixels(ratio * map.toX(0), ratio), y));
                line.lineTo(QPointF(onPixels(ratio * map.toX(float(picture.xStep)), ratio), y));
            } else {
                drawTrace(painter, line, trace, picture.xStep, map, ratio, top, bottom, direct);
            }
        }
        paintTimeMarks(painter, picture, map, size, ratio);
    }
    painter.restore();
}

} // namespace

void PaintChartSurface(QPainter& painter, const ChartPicture& picture, QSize size, qreal ratio) {
    paintSurface(painter, picture, size, ratio, nullptr);
}

void RenderChartSurface(QImage& image, const ChartPicture& picture, QSize size, qreal ratio) {
    if (image.size() != size * ratio || image.format() != QImage::Format_RGB32)
        image = QImage(size * ratio, QImage::Format_RGB32);
    if (image.isNull()) return;
    image.setDevicePixelRatio(1);
    const Pixels pixels{image.bits(), image.bytesPerLine(), image.rect()};
    {
        QPainter painter(&image);
        const bool whole = ratio == std::round(ratio);
        paintSurface(painter, picture, size, ratio, whole ? &pixels : nullptr);
    }
    image.setDevicePixelRatio(ratio);
}

QImage RenderChartSurface(const ChartPicture& picture, QSize size, qreal ratio) {
    QImage image;
    RenderChartSurface(image, picture, size, ratio);
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
    const QRect inside = box.adjusted(2, 1, -1, -1);
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
