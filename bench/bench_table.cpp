// Opens the table window on a full log of 17000 Q7R records with GPP, EMC and dew point shown,
// and prints the time from the start of loading to the end of the grid's first paint (goal:
// at most 150 ms), then pages from the top of the table to the bottom, painting every page.
#include "app/AppState.h"
#include "app/ConsoleUi.h"
#include "logger/TimeFormat.h"
#include "views/frmTable.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QScrollBar>
#include <QTableView>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

namespace {

// A kiln drying over 17000 half-hour records: daily cycles, slowly falling moisture.
void fillKilnLog(kv5::LogData& log) {
    const QDateTime start(QDate(2014, 5, 21), QTime(13, 45));
    for (int i = 0; i < kv5::MaxLogRecords; ++i) {
        const double day = std::sin(i * 2 * M_PI / 48);
        log.LogTime[i] = kv5::TimeStampText(start.addSecs(qint64(i) * 1800));
        log.LogTemp[i] = 118 + 10 * day + i * 0.0007;
        log.LogMc1[i] = 28 - i * 0.0012 + 0.3 * day;
        log.LogMc2[i] = 31 - i * 0.0014 + 0.2 * day;
        log.LogMc3[i] = 25 - i * 0.0010 + 0.25 * day;
        log.LogRhQ7R[i] = 65 - 12 * day - i * 0.001;
    }
    log.RecordCount = kv5::MaxLogRecords;
    log.SensorType = kv5::SensorQ7R;
}

// Notes the first paint of the widget it watches.
class PaintWatcher : public QObject {
public:
    bool painted = false;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint) painted = true;
        return QObject::eventFilter(watched, event);
    }
};

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    kv5::AppState state;
    state.settings.AhGpp = state.settings.Emc = state.settings.Dewpoint = 1;
    fillKilnLog(state.log);
    kv5::ConsoleUi ui;

    const int rounds = 7;
    std::vector<double> firstPaint, scrollTotal, perPage;
    int pages = 0;
    for (int round = 0; round < rounds; ++round) {
        QElapsedTimer timer;
        timer.start();
        kv5::frmTable window(state, ui);
        PaintWatcher watcher;
        window.Grid1->viewport()->installEventFilter(&watcher);
        window.show();
        while (!watcher.painted) QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        firstPaint.push_back(timer.nsecsElapsed() / 1e6);
        if (window.Grid1->model()->rowCount() != kv5::MaxLogRecords ||
            window.Grid1->model()->columnCount() != 9)
            return 1;

        // Top to bottom, one page at a time, each page painted before the next.
        QScrollBar* bar = window.Grid1->verticalScrollBar();
        bar->setValue(0);
        window.Grid1->viewport()->repaint();
        pages = 0;
        timer.restart();
        for (int value = 0;; value = std::min(value + bar->pageStep(), bar->maximum())) {
            bar->setValue(value);
            window.Grid1->viewport()->repaint();
            ++pages;
            if (value == bar->maximum()) break;
        }
        const double total = timer.nsecsElapsed() / 1e6;
        scrollTotal.push_back(total);
        perPage.push_back(total / pages);
    }

    std::printf("table window, %d Q7R records, 9 columns (GPP, EMC, dew point), %d rounds\n",
                kv5::MaxLogRecords, rounds);
    std::printf("load to end of first paint: median %.1f ms, best %.1f ms, worst %.1f ms (goal <= 150 ms)\n",
                median(firstPaint), *std::min_element(firstPaint.begin(), firstPaint.end()),
                *std::max_element(firstPaint.begin(), firstPaint.end()));
    std::printf("top to bottom in %d pages: median %.0f ms in all, %.2f ms a page\n", pages,
                median(scrollTotal), median(perPage));
    return 0;
}
