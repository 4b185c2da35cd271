// The battery gauge `picBatt` of the main window. It keeps the status block it was given;
// until the gauge drawing is built it shows a plain white box.
#pragma once

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
};

} // namespace kv5
