// The summary of a full log of 17000 Q7R records with GPP, EMC and dew point shown (goal: at
// most 20 ms): with its context (times from the start and the interval) and without one (times
// read back from the time stamps), and its JSON.
#include "bench/KilnLog.h"
#include "core/LogContext.h"
#include "logfiles/LogSummary.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

template <typename Work> double medianMs(Work work) {
    std::vector<double> times;
    for (int round = 0; round < 15; ++round) {
        QElapsedTimer timer;
        timer.start();
        work();
        times.push_back(double(timer.nsecsElapsed()) / 1e6);
    }
    return median(times);
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    kv5::LogData log;
    kv5::bench::fillKilnLog(log);
    kv5::LogContext context;
    context.Start = QDateTime(QDate(2014, 5, 21), QTime(13, 45), Qt::UTC);
    context.IntervalSeconds = 1800;
    context.Celsius = false;
    context.Temperature = {100.0, 125.0};
    context.RhMc = {10.0, 60.0};
    context.EmcAlarm = {6.0, 12.0};
    kv5::SummaryOptions options;
    options.targetMc = 8;

    size_t days = 0;
    const double withContext =
        medianMs([&] { days += kv5::SummarizeLog(log, &context, options).days.size(); });
    const double withoutContext =
        medianMs([&] { days += kv5::SummarizeLog(log, nullptr, options).days.size(); });
    const kv5::LogSummary summary = kv5::SummarizeLog(log, &context, options);
    size_t bytes = 0;
    const double json =
        medianMs([&] { bytes += size_t(kv5::SummaryJson(summary, QStringLiteral("kiln.txt")).size()); });
    std::printf("summary of %d Q7R records, %zu days (goal: at most 20 ms):\n", log.RecordCount,
                summary.days.size());
    std::printf("  with its context:     %.2f ms\n", withContext);
    std::printf("  without a context:    %.2f ms\n", withoutContext);
    std::printf("  as JSON:              %.2f ms\n", json);
    return days > 0 && bytes > 0 ? 0 : 1;
}
