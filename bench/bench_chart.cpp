// The chart window on a full log of 17000 Q7R records with GPP, EMC and dew point shown (eight
// traces), in a window of 1000 by 900 pixels. Prints the time of a full redraw, the chart load
// and the painting of the surface until it is on the screen (goal: at most 20 ms), split into its
// parts, and the time per mouse move of the readout with the legend painted (goal: at most 2 ms).
// For comparison it also draws the same traces as plain polylines through every record.
#include "app/AppState.h"
#include "app/ConsoleUi.h"
#include "app/ViewCommands.h"
#include "logger/TimeFormat.h"
#include "views/ChartWidgets.h"
#include "views/frmChart.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QMouseEvent>
#include <QPainter>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <vector>

namespace {

// A kiln drying over 17000 half-hour records: daily cycles, slowly falling moisture, a little
// noise from record to record as a real sensor has.
void fillKilnLog(kv5::LogData& log) {
    const QDateTime start(QDate(2014, 5, 21), QTime(13, 45));
    unsigned noise = 12345;
    const auto jitter = [&noise] {
        noise = noise * 1103515245u + 12345u;
        return ((noise >> 16) % 1000) / 1000.0 - 0.5;
    };
    for (int i = 0; i < kv5::MaxLogRecords; ++i) {
        const double day = std::sin(i * 2 * M_PI / 48);
        log.LogTime[i] = kv5::TimeStampText(start.addSecs(qint64(i) * 1800));
        log.LogTemp[i] = 118 + 10 * day + i * 0.0007 + jitter();
        log.LogMc1[i] = 28 - i * 0.0012 + 0.3 * day + 0.2 * jitter();
        log.LogMc2[i] = 31 - i * 0.0014 + 0.2 * day + 0.2 * jitter();
        log.LogMc3[i] = 25 - i * 0.0010 + 0.25 * day + 0.2 * jitter();
        log.LogRhQ7R[i] = std::clamp(65 - 12 * day - i * 0.001 + jitter(), 0.0, 99.9);
    }
    log.RecordCount = kv5::MaxLogRecords;
    log.SensorType = kv5::SensorQ7R;
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

double milliseconds(const QElapsedTimer& timer) {
    return timer.nsecsElapsed() / 1e6;
}

// Processor time of this thread in milliseconds: on a busy machine it tells the work done
// apart from the time spent waiting for a core.
double cpuMilliseconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return now.tv_sec * 1e3 + now.tv_nsec / 1e6;
}

// The traces as plain antialiased polylines through every record, for comparison.
QImage plainPolylines(const kv5::ChartPicture& picture, QSize size, qreal ratio) {
    QImage image(size * ratio, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    const kv5::ChartMapping map{double(size.width()), double(size.height())};
    std::vector<QPointF> points;
    for (const kv5::ChartTrace& trace : picture.traces) {
        QPen pen(trace.color, ratio);
        pen.setCosmetic(true);
        painter.setPen(pen);
        points.clear();
        for (int i = 0; i < trace.points; ++i)
            points.emplace_back(ratio * map.toX(float(i * picture.xStep)), ratio * map.toY(trace.y[i]));
        painter.drawPolyline(points.data(), int(points.size()));
    }
    return image;
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    kv5::AppState state;
    state.settings.AhGpp = state.settings.Emc = state.settings.Dewpoint = 1;
    fillKilnLog(state.log);
    kv5::ConsoleUi ui;

    kv5::frmChart window(kv5::LogViewOf(state), ui);
    window.resize(1000, 900);
    window.show();
    QCoreApplication::processEvents();
    const QSize surface = window.bmp->size();
    const qreal ratio = window.bmp->devicePixelRatioF();
    if (window.chart.picBase->traces.size() != 8) return 1;

    const int rounds = 21;
    std::vector<double> full, fullCpu, load, render, plain;
    for (int round = 0; round < rounds; ++round) {
        QElapsedTimer timer;
        timer.start();
        const double cpu = cpuMilliseconds();
        window.Load();
        window.bmp->repaint();
        full.push_back(milliseconds(timer));
        fullCpu.push_back(cpuMilliseconds() - cpu);

        timer.restart();
        window.chart.Load();
        load.push_back(milliseconds(timer));

        timer.restart();
        const QImage image = kv5::RenderChartSurface(*window.chart.bmp, surface, ratio);
        render.push_back(milliseconds(timer));

        timer.restart();
        const QImage reference = plainPolylines(*window.chart.bmp, surface, ratio);
        plain.push_back(milliseconds(timer));
    }
    window.Load();
    QCoreApplication::processEvents();

    // The mouse sweeps the surface from left to right and back, one pixel at a time; every move
    // is followed by the painting it causes.
    std::vector<double> moves, movesCpu;
    const int width = window.bmp->width();
    const int y = window.bmp->height() / 2;
    QElapsedTimer sweep;
    sweep.start();
    int count = 0;
    for (int pass = 0; pass < 4; ++pass) {
        for (int step = 0; step < width; ++step) {
            const int x = pass % 2 == 0 ? step : width - 1 - step;
            QElapsedTimer timer;
            timer.start();
            const double cpu = cpuMilliseconds();
            const QPointF local(x, y);
            QMouseEvent move(QEvent::MouseMove, local, window.bmp->mapToGlobal(local), Qt::NoButton,
                             Qt::NoButton, Qt::NoModifier);
            QApplication::sendEvent(window.bmp, &move);
            QCoreApplication::processEvents();
            moves.push_back(milliseconds(timer));
            movesCpu.push_back(cpuMilliseconds() - cpu);
            ++count;
        }
    }
    const double sweepTotal = milliseconds(sweep);

    std::printf("chart window %dx%d, surface %dx%d at pixel ratio %.1f, %d Q7R records, 8 traces\n",
                window.width(), window.height(), surface.width(), surface.height(), ratio,
                kv5::MaxLogRecords);
    std::printf("full redraw (load + surface painted): median %.2f ms, best %.2f ms, worst %.2f ms "
                "(goal <= 20 ms)\n",
                median(full), *std::min_element(full.begin(), full.end()),
                *std::max_element(full.begin(), full.end()));
    std::printf("  processor time of the full redraw: median %.2f ms, best %.2f ms\n", median(fullCpu),
                *std::min_element(fullCpu.begin(), fullCpu.end()));
    std::printf("  chart load (series, derived values, coordinates, readout): median %.2f ms\n",
                median(load));
    std::printf(
        "  drawing the surface into a new image (columns filled, lines between them): median %.2f ms\n",
        median(render));
    std::printf("  for comparison, plain polylines through every record: median %.2f ms\n", median(plain));
    std::printf("readout, %d mouse moves with the legend painted: median %.3f ms, worst %.3f ms, "
                "%.3f ms on average (goal <= 2 ms)\n",
                count, median(moves), *std::max_element(moves.begin(), moves.end()), sweepTotal / count);
    std::printf("  processor time per move: median %.3f ms, worst %.3f ms\n", median(movesCpu),
                *std::max_element(movesCpu.begin(), movesCpu.end()));
    return 0;
}
