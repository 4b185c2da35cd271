#include "views/LogStatistics.h"

#include "core/LogData.h"
#include "core/Numbers.h"
#include "core/Settings.h"
#include "core/UserInterface.h"
#include "logfiles/LogSummary.h"

namespace kv5 {

bool ComputeExtremes(const LogData& log, const Settings& settings, LogExtremes& e, UserInterface& ui) {
    if (log.RecordCount < 1) return true;
    const std::vector<const QuantityRow*> rows = FamilyQuantities(log.isQ7R());
    std::vector<ReportOnce> reports;
    reports.reserve(rows.size());
    for (const QuantityRow* row : rows) reports.emplace_back(row->procedure, ui);
    std::array<bool, QuantityCount> seen{};
    bool ok = true;

    const auto take = [&](std::size_t r, int slot) {
        const QuantityRow& row = *rows[r];
        const Derived value = QuantityValue(row, log, slot, settings.Celsius);
        if (row.whenUncomputable == WhenUncomputable::EndsTheRun && !value.ok()) {
            ok = false;
            return;
        }
        const std::optional<double> taken = reports[r](value);
        if (!taken) return;
        LogExtremes::Pair& pair = e[row.quantity];
        if (!seen[r]) pair.Max = pair.Min = *taken;
        seen[r] = true;
        if (*taken > pair.Max) pair.Max = *taken;
        if (*taken < pair.Min) pair.Min = *taken;
    };
    for (std::size_t r = 0; r < rows.size(); ++r) take(r, 0);
    // Record by record, so that failures are reported in the order of the records.
    for (int slot = 0; slot < log.RecordCount; ++slot)
        for (std::size_t r = 0; r < rows.size(); ++r)
            if (IsShown(*rows[r], settings)) take(r, slot);
    return ok;
}

QString LogInfoText(const LogData& log, const Settings& settings, const LogExtremes& e) {
    if (log.RecordCount < 1) return QStringLiteral("There is no log data!");
    QString text = QStringLiteral("Reading\t\tHigh  /  Low\r\r");
    for (const QuantityRow* row : ShownQuantities(log.isQ7R(), settings)) {
        const LogExtremes::Pair& pair = e[row->quantity];
        text += QuantityHeader(*row, settings.Celsius) + QStringLiteral("\t\t") + NumberText(pair.Max) +
                QStringLiteral("  /  ") + NumberText(pair.Min) + QStringLiteral("\r\r");
    }
    text += QStringLiteral("Records ") + QString::number(log.RecordCount) + QLatin1Char('\n');
    return text;
}

void ShowLogInfo(const LogData& log, const Settings& settings, const LogExtremes& extremes,
                 UserInterface& ui) {
    Message box{LogInfoText(log, settings, extremes), Icon::Information, Buttons::Ok, QStringLiteral("Log Info")};
    if (log.RecordCount > 0)
        box.detailedText =
            SummaryText(SummarizeLog(log, log.Context ? &*log.Context : nullptr, SummaryOptionsOf(settings)));
    ui.message(box);
}

} // namespace kv5
