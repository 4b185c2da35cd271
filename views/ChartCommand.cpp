#include "views/ChartCommand.h"

#include "app/AppState.h"
#include "core/UserInterface.h"
#include "logfiles/LogFile.h"
#include "views/ChartState.h"
#include "views/LogCommands.h"

#include <QGuiApplication>
#include <QPalette>
#include <QRegularExpression>
#include <QSaveFile>

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

int RunChartCommand(AppState& state, UserInterface& ui, const QString& file, const QString& outPng,
                    const QString& size, const QString& range) {
    QSize pictureSize;
    if (!ParseChartSize(size, pictureSize)) {
        ui.message(
            {QStringLiteral("The size \"%1\" cannot be used: give WIDTHxHEIGHT in pixels, from %2x%3 to "
                            "8000x8000.")
                 .arg(size)
                 .arg(ChartWindowMinimumSize.width())
                 .arg(ChartWindowMinimumSize.height() - ChartButtonRowHeight)});
        return 2;
    }
    qint32 low = 0, high = 100;
    if (!range.isEmpty() && !ParseChartRange(range, low, high)) {
        ui.message({QStringLiteral("The range \"%1\" cannot be used: give LOW:HIGH in whole numbers, for "
                                   "example 20:80.")
                        .arg(range)});
        return 2;
    }
    if (outPng.isEmpty()) {
        ui.message({QStringLiteral("The chart needs the name of the picture to write: -o OUT.png.")});
        return 2;
    }

    // An empty log first, so that a file that cannot be opened leaves nothing to draw.
    state.log.RecordCount = 0;
    const bool read = ReadLogFile(state.log, ui, LogFileArgumentPath(state.dataFolder(), file));
    if (!read && state.log.RecordCount == 0) return 1;

    ChartState chart(state, ui);
    chart.SetZoom(high, low);
    chart.Load();
    const QImage picture =
        ChartWindowPicture(*chart.bmp, chart.txtAxisYmax, chart.txtAxisYmin, chart.txtLegend, pictureSize,
                           QGuiApplication::palette().color(QPalette::Window));
    QSaveFile out(outPng);
    if (picture.isNull() || !out.open(QIODevice::WriteOnly) || !picture.save(&out, "PNG") || !out.commit()) {
        const QString why =
            picture.isNull() ? QStringLiteral("not enough memory for the picture") : out.errorString();
        ui.message({QStringLiteral("ERROR: RunChartCommand: %1: %2").arg(outPng, why)});
        return 1;
    }
    return read ? 0 : 1;
}

} // namespace kv5
