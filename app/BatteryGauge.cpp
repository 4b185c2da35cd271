#include "app/BatteryGauge.h"

#include <QFontMetricsF>
#include <QPainter>

namespace kv5 {

void PaintBattery(QPainter& painter, const QRectF& rect, BatteryState state, QFont font) {
    struct Zone {
        double width; // part of the gauge's width
        QColor color;
    };
    const QColor green(128, 255, 128), yellow(255, 255, 128), red(255, 128, 128), white(255, 255, 255);
    QList<Zone> zones;
    switch (state) {
    case BatteryState::Good:
        zones = {{1.0, green}, {0.5, yellow}, {0.25, red}};
        break;
    case BatteryState::Ok:
        zones = {{1.0, white}, {0.75, green}, {0.5, yellow}, {0.25, red}};
        break;
    case BatteryState::Low:
        zones = {{1.0, white}, {0.5, yellow}, {0.25, red}};
        break;
    case BatteryState::Replace:
        zones = {{1.0, white}, {0.25, red}};
        break;
    case BatteryState::CommError:
        zones = {{1.0, white}};
        break;
    }
    for (const Zone& zone : zones)
        painter.fillRect(QRectF(rect.left(), rect.top(), rect.width() * zone.width, rect.height()),
                         zone.color);
    const QString caption = BatteryCaption(state);
    font.setBold(state != BatteryState::CommError);
    painter.setFont(font);
    painter.setPen(Qt::black);
    const QFontMetricsF metrics(font);
    const double left = rect.left() + (rect.width() - metrics.horizontalAdvance(caption)) / 2;
    painter.drawText(QPointF(left, rect.top() + 5 + metrics.ascent()), caption);
}

BatteryGauge::BatteryGauge(QWidget* parent) : QWidget(parent) {
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

void BatteryGauge::setState(const QByteArray& statusBlock) {
    state_ = statusBlock;
    if (const auto state = BatteryStateOf(statusBlock))
        shown_ = state;
    else if (statusBlock.isEmpty())
        shown_.reset();
    update();
}

QSize BatteryGauge::sizeHint() const {
    const QFontMetrics metrics = fontMetrics();
    return {metrics.horizontalAdvance(QStringLiteral("COMM ERROR")) + 2 * metrics.averageCharWidth(),
            metrics.height() + 10};
}

void BatteryGauge::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.fillRect(rect(), Qt::white);
    if (shown_) PaintBattery(painter, QRectF(rect()), *shown_, font());
    painter.setPen(palette().color(QPalette::Mid));
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
}

} // namespace kv5
