#include "logger/Battery.h"

#include "device/Commands.h"
#include "device/SerialLink.h"

#include <QFontMetricsF>
#include <QPainter>

namespace kv5 {

std::optional<BatteryPicture> BatteryPictureFor(const QByteArray& status) {
    const QColor green(128, 255, 128), yellow(255, 255, 128), red(255, 128, 128), white(255, 255, 255);
    if (status == CommError) return BatteryPicture{{{1.0, white}}, QStringLiteral("COMM ERROR"), false};
    if (status.size() < StatusBattery) return std::nullopt;
    switch (status.at(StatusBattery - 1)) {
    case '5':
        return BatteryPicture{{{1.0, green}, {0.5, yellow}, {0.25, red}}, QStringLiteral("GOOD"), true};
    case '3':
        return BatteryPicture{{{1.0, white}, {0.75, green}, {0.5, yellow}, {0.25, red}}, QStringLiteral("OK"), true};
    case '2':
        return BatteryPicture{{{1.0, white}, {0.5, yellow}, {0.25, red}}, QStringLiteral("LOW"), true};
    case 'L':
        return BatteryPicture{{{1.0, white}, {0.25, red}}, QStringLiteral("REPLACE"), true};
    default:
        return std::nullopt;
    }
}

void PaintBattery(QPainter& painter, const QRectF& rect, const BatteryPicture& picture, QFont font) {
    for (const auto& zone : picture.zones)
        painter.fillRect(QRectF(rect.left(), rect.top(), rect.width() * zone.width, rect.height()), zone.color);
    if (picture.caption.isEmpty()) return;
    font.setBold(picture.bold);
    painter.setFont(font);
    painter.setPen(Qt::black);
    const QFontMetricsF metrics(font);
    const double left = rect.left() + (rect.width() - metrics.horizontalAdvance(picture.caption)) / 2;
    painter.drawText(QPointF(left, rect.top() + 5 + metrics.ascent()), picture.caption);
}

} // namespace kv5
