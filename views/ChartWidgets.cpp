#include "views/ChartWidgets.h"

#include <QMouseEvent>
#include <QPainter>

namespace kv5 {

ChartSurface::ChartSurface(QWidget* parent) : QWidget(parent) {
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setCursor(Qt::CrossCursor);
}

void ChartSurface::setPicture(ChartPicturePtr picture) {
    if (picture == picture_) return;
    picture_ = std::move(picture);
    update();
}

QImage ChartSurface::image() {
    const qreal ratio = devicePixelRatioF();
    if (cachedPicture_ != picture_ || cache_.isNull() || cache_.size() != size() * ratio ||
        cache_.devicePixelRatio() != ratio) {
        static const ChartPicture blank;
        RenderChartSurface(cache_, picture_ ? *picture_ : blank, size(), ratio);
        cachedPicture_ = picture_;
    }
    return cache_;
}

QPointF ChartSurface::chartPoint(QPointF point) const {
    const ChartMapping map{double(width()), double(height())};
    return {map.fromX(point.x()), map.fromY(point.y())};
}

QPointF ChartSurface::widgetPoint(QPointF point) const {
    const ChartMapping map{double(width()), double(height())};
    return {map.toX(point.x()), map.toY(point.y())};
}

void ChartSurface::paintEvent(QPaintEvent* event) {
    (void)event;
    QPainter painter(this);
    painter.drawImage(QPointF(0, 0), image());
}

void ChartSurface::mouseMoveEvent(QMouseEvent* event) {
    if (mouseMoved) mouseMoved(chartPoint(event->position()));
    QWidget::mouseMoveEvent(event);
}

ChartTextBox::ChartTextBox(const QFont& font, QWidget* parent) : QWidget(parent) {
    setFont(font);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void ChartTextBox::setText(const QString& text) {
    if (text == text_) return;
    text_ = text;
    update();
}

void ChartTextBox::setTextColor(const QColor& color) {
    if (color == color_) return;
    color_ = color;
    update();
}

void ChartTextBox::paintEvent(QPaintEvent* event) {
    (void)event;
    QPainter painter(this);
    PaintTextBox(painter, rect(), text_, color_, font());
}

} // namespace kv5
