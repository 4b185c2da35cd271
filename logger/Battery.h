// The battery gauge: zones filled from the left like a fuel gauge, with a caption.
#pragma once

#include <QByteArray>
#include <QColor>
#include <QFont>
#include <QList>
#include <QRectF>
#include <QString>

#include <optional>

class QPainter;

namespace kv5 {

struct BatteryPicture {
    struct Zone {
        double width; // part of the gauge's width, from its left edge
        QColor color;
    };
    QList<Zone> zones; // in drawing order, each over the ones before
    QString caption;
    bool bold = false;
};

// What the gauge shows for a status block (or "COMM ERROR"); no value for a battery
// character the gauge does not know, when it keeps its previous picture.
std::optional<BatteryPicture> BatteryPictureFor(const QByteArray& status);

// Draws the picture into rect: the zones at full height, the caption centred, 5 units down.
void PaintBattery(QPainter& painter, const QRectF& rect, const BatteryPicture& picture, QFont font);

} // namespace kv5
