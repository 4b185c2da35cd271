// The chart window's two kinds of painted controls: the chart surface, which shows a chart
// picture drawn once for its size and screen and reports the mouse in chart units, and the text
// boxes of the axis and the legend.
#pragma once

#include "views/ChartDrawing.h"

#include <QWidget>

#include <functional>

namespace kv5 {

class ChartSurface : public QWidget {
    Q_OBJECT

public:
    explicit ChartSurface(QWidget* parent = nullptr);

    // Shows picture; nothing is drawn again when it is the one shown already.
    void setPicture(ChartPicturePtr picture);
    const ChartPicturePtr& picture() const { return picture_; }

    // The surface as it shows now, at its size in device pixels.
    QImage image();

    // Where a point of the widget lies in chart units.
    QPointF chartPoint(QPointF widgetPoint) const;
    // The widget's point of a place in chart units.
    QPointF widgetPoint(QPointF chartPoint) const;

    // Called on every mouse move over the surface with the place in chart units.
    std::function<void(QPointF)> mouseMoved;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    ChartPicturePtr picture_;
    // The picture drawn for the size and pixel ratio it was drawn at.
    QImage cache_;
    ChartPicturePtr cachedPicture_;
};

class ChartTextBox : public QWidget {
    Q_OBJECT

public:
    ChartTextBox(const QFont& font, QWidget* parent = nullptr);

    void setText(const QString& text);
    QString text() const { return text_; }
    void setTextColor(const QColor& color);
    QColor textColor() const { return color_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString text_;
    QColor color_ = Qt::black;
};

} // namespace kv5
