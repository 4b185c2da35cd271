#include "views/ChartPicture.h"

#include "views/ChartState.h"

#include <QGuiApplication>
#include <QPalette>
#include <QRegularExpression>

namespace kv5 {

bool ParseChartSize(const QString& text, QSize& size) {
    if (text.isEmpty()) {
        size = QSize(ChartWindowSize.width(), ChartWindowSize.height() - ChartButtonRowHeight);
        return true;
    }
    static const QRegularExpression pattern(QStringLiteral("^([0-9]{1,5})x([0-9]{1,5})$"));
    const QRegularExpressionMatch match = pattern.match(text);
    if (!match.hasMatch()) return false;
    const QSize wanted(match.captured(1).toInt(), match.captured(2).toInt());
    const QSize smallest(ChartWindowMinimumSize.width(),
                         ChartWindowMinimumSize.height() - ChartButtonRowHeight);
    if (wanted.width() < smallest.width() || wanted.height() < smallest.height() || wanted.width() > 8000 ||
        wanted.height() > 8000)
        return false;
    size = wanted;
    return true;
}

bool ParseChartRange(const QString& text, qint32& low, qint32& high) {
    static const QRegularExpression pattern(QStringLiteral("^(-?[0-9]{1,6}):(-?[0-9]{1,6})$"));
    const QRegularExpressionMatch match = pattern.match(text);
    if (!match.hasMatch()) return false;
    low = match.captured(1).toInt();
    high = match.captured(2).toInt();
    return true;
}

QImage DrawChartPicture(const LogView& view, UserInterface& ui, QSize size, qint32 top, qint32 bottom) {
    ChartState chart(view, ui);
    chart.SetZoom(top, bottom);
    chart.Load();
    return ChartWindowPicture(*chart.bmp, chart.txtAxisYmax, chart.txtAxisYmin, chart.txtLegend, size,
                              QGuiApplication::palette().color(QPalette::Window));
}

} // namespace kv5
