// The battery gauge `picBatt` of the main window, drawn from the status block it was given.
// A battery state it does not know leaves the picture it had.
#pragma once

#include "logger/Battery.h"

#include <QByteArray>
#include <QWidget>

namespace kv5 {

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
    BatteryPicture picture_;
};

} // namespace kv5
