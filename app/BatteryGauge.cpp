#include "app/BatteryGauge.h"

#include <QPainter>

namespace kv5 {

BatteryGauge::BatteryGauge(QWidget* parent) : QWidget(parent) {
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

void BatteryGauge::setState(const QByteArray& statusBlock) {
    state_ = statusBlock;
    update();
}

QSize BatteryGauge::sizeHint() const {
    const QFontMetrics metrics = fontMetrics();
    return {metrics.horizontalAdvance(QStringLiteral("COMM ERROR")) + 2 * metrics.averageCharWidth(),
            metrics.height() + 10};
}

void BatteryGauge::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), Qt::white);
    painter.setPen(palette().color(QPalette::Mid));
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
}

} // namespace kv5
