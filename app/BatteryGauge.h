// The battery gauge `picBatt` of the main window, drawn from the status block it was given.
// A battery state it does not know leaves the picture it had.
#pragma once

#include "logger/Battery.h"

#include <QByteArray>
#include <QWidget>

#include <optional>

class QPainter;

namespace kv5 {

// Draws the gauge of a battery state into rect like a fuel gauge: zones filled from the left
// edge at full height, each over the ones before, then the caption centred, 5 units down.
void PaintBattery(QPainter& painter, const QRectF& rect, BatteryState state, QFont font);

class BatteryGauge : public QWidget {
    Q_OBJECT

public:
    explicit BatteryGauge(QWidget* parent = nullptr);

    // The status block to show (or "COMM ERROR"); empty text shows the empty gauge.
    void setState(const QByteArray& statusBlock);
    const QByteArray& state() const { return state_; }

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QByteArray state_;
    std::optional<BatteryState> shown_;
};

} // namespace kv5
