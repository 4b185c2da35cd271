// Opens the table window on a full log of 17000 Q7R records with GPP, EMC and dew point shown,
// and prints the time from the start of loading to the end of the grid's first paint (goal:
// at most 150 ms), then pages from the top of the table to the bottom, painting every page.
#include "app/AppState.h"
#include "app/ConsoleUi.h"
#include "app/ViewCommands.h"
#include "bench/KilnLog.h"
#include "logger/TimeFormat.h"
#include "views/frmTable.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QScrollBar>
#include <QTableView>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

using kv5::bench::fillKilnLog;

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
        kv5::frmTable window(kv5::LogViewOf(state), ui);
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
