#include "app/BatteryGauge.h"

#include <QPainter>

namespace kv5 {

BatteryGauge::BatteryGauge(QWidget* parent) : QWidget(parent) {
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

void BatteryGauge::setState(const QByteArray& statusBlock) {
    state_ = statusBlock;
    if (const auto picture = BatteryPictureFor(statusBlock))
        picture_ = *picture;
    else if (statusBlock.isEmpty())
        picture_ = {};
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
    PaintBattery(painter, QRectF(rect()), picture_, font());
    painter.setPen(palette().color(QPalette::Mid));
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
}

} // namespace kv5
