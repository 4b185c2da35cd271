// Printing of a full log: the table of 17000 Q7R records with GPP, EMC and dew point shown, laid
// out for its page count and written as a PDF file, and the chart page of the same log. Prints the
// time of each (median of several rounds), the pages and the size of the files.
#include "app/AppState.h"
#include "app/ConsoleUi.h"
#include "app/ViewCommands.h"
#include "bench/KilnLog.h"
#include "logger/TimeFormat.h"
#include "views/ChartDrawing.h"
#include "views/ChartState.h"
#include "views/Print.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QPrinter>
#include <QTemporaryDir>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

namespace {

// The kiln log with the header values this benchmark needs.
void fillKilnLog(kv5::LogData& log) {
    kv5::bench::fillKilnLog(log);
    log.Description = QStringLiteral("Kiln 4 oak, batch 17");
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir folder;
    if (!folder.isValid()) return 1;
    kv5::AppState state;
    state.ProgramFolder = folder.path();
    state.settings.AhGpp = state.settings.Emc = state.settings.Dewpoint = 1;
    fillKilnLog(state.log);
    // Accepts the description as offered and the page count.
    kv5::ConsoleUi ui;
    ui.okCancelAnswer = kv5::Answer::Ok;

    // The page count: the layout for the page of a PDF printer, as the table's Print does it.
    const int rounds = 5;
    std::vector<double> layoutTimes, printTimes, chartTimes;
    int pages = 0;
    for (int round = 0; round < rounds; ++round) {
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(folder.filePath(QStringLiteral("layout.pdf")));
        const double margin = kv5::TableMarginTwips / kv5::TwipsPerInch;
        printer.setPageMargins(QMarginsF(margin, margin, margin, margin), QPageLayout::Inch);
        QElapsedTimer timer;
        timer.start();
        const kv5::TablePrintLayout layout = kv5::LayoutTablePrint(
            state.log, state.settings, printer, QRectF(0, 0, printer.width(), printer.height()));
        layoutTimes.push_back(timer.nsecsElapsed() / 1e6);
        pages = layout.pages;
    }

    // The whole job: description, layout, page count, every page into the PDF file.
    const QString table = folder.filePath(QStringLiteral("table.pdf"));
    int progressCalls = 0;
    for (int round = 0; round < 3; ++round) {
        progressCalls = 0;
        QElapsedTimer timer;
        timer.start();
        const kv5::PrintResult result =
            kv5::PrintTable(kv5::LogViewOf(state), ui, {table, folder.path()}, [&](int, int) {
                ++progressCalls;
                return true;
            });
        printTimes.push_back(timer.nsecsElapsed() / 1e6);
        if (result != kv5::PrintResult::Printed || progressCalls != pages) return 1;
    }

    // The chart page of the same log, the surface at the window's first size.
    const QString chartFile = folder.filePath(QStringLiteral("chart.pdf"));
    kv5::ChartState chart(kv5::LogViewOf(state), ui);
    chart.Load();
    const QSize surface = kv5::LayoutChartWindow(kv5::ChartWindowSize).bmp.size();
    for (int round = 0; round < 3; ++round) {
        QElapsedTimer timer;
        timer.start();
        if (kv5::PrintChart(kv5::LogViewOf(state), ui, chart, surface, {chartFile, folder.path()}) !=
            kv5::PrintResult::Printed)
            return 1;
        chartTimes.push_back(timer.nsecsElapsed() / 1e6);
    }

    const QPrinter reference(QPrinter::HighResolution);
    std::printf("table printout, %d Q7R records, 9 columns (GPP, EMC, dew point), page %s, %d dpi\n",
                kv5::MaxLogRecords, qPrintable(reference.pageLayout().pageSize().name()),
                reference.resolution());
    std::printf("page count: %d pages (%.0f records a page), layout in median %.0f ms (best %.0f ms)\n",
                pages, std::ceil(double(kv5::MaxLogRecords) / pages), median(layoutTimes),
                *std::min_element(layoutTimes.begin(), layoutTimes.end()));
    const double total = median(printTimes);
    std::printf("PDF output: median %.0f ms in all (best %.0f ms), %.2f ms a page, %.0f KiB\n", total,
                *std::min_element(printTimes.begin(), printTimes.end()), total / pages,
                QFileInfo(table).size() / 1024.0);
    std::printf("chart page of the same log (surface %dx%d): median %.0f ms, %.0f KiB\n", surface.width(),
                surface.height(), median(chartTimes), QFileInfo(chartFile).size() / 1024.0);
    return 0;
}
