#include "views/LogStatistics.h"

#include "calc/Psychrometrics.h"
#include "core/LogData.h"
#include "core/Numbers.h"
#include "core/Settings.h"
#include "core/Units.h"
#include "core/UserInterface.h"
#include "logfiles/LogSummary.h"

namespace kv5 {

namespace {

void take(double value, double& highest, double& lowest) {
    if (value > highest) highest = value;
    if (value < lowest) lowest = value;
}

// A derived value joins its pair; one that cannot be computed (reported once) is left out,
// and the pair starts at the first value there is.
void takeDerived(ReportOnce& report, const Derived& result, bool& seen, double& highest, double& lowest) {
    const std::optional<double> value = report(result);
    if (!value) return;
    if (!seen) highest = lowest = *value;
    seen = true;
    take(*value, highest, lowest);
}

} // namespace

bool ComputeExtremes(const LogData& log, const Settings& settings, LogExtremes& e, UserInterface& ui) {
    if (log.RecordCount < 1) return true;
    const bool q7r = log.isQ7R();
    const std::vector<double>& rh = q7r ? log.LogRhQ7R : log.LogRh;
    const int celsius = settings.Celsius;
    ReportOnce ah("CalcAh", ui);
    ReportOnce emc("CalcEmc", ui);
    bool ok = true;

    e.MaxTemp = e.MinTemp = log.LogTemp[0];
    e.MaxRh = e.MinRh = rh[0];
    if (q7r) {
        e.MaxMc1 = e.MinMc1 = log.LogMc1[0];
        e.MaxMc2 = e.MinMc2 = log.LogMc2[0];
        e.MaxMc3 = e.MinMc3 = log.LogMc3[0];
    }
    bool gppSeen = false, emcSeen = false;
    takeDerived(ah, CalcAh(log.LogTemp[0], rh[0], celsius), gppSeen, e.MaxGpp, e.MinGpp);
    takeDerived(emc, CalcEmc(log.LogTemp[0], rh[0], celsius), emcSeen, e.MaxEmc, e.MinEmc);
    if (const Derived dew = CalcDewPoint(log.LogTemp[0], rh[0], celsius); dew.ok())
        e.MaxDew = e.MinDew = dew.value;
    else
        ok = false;

    for (int i = 0; i < log.RecordCount; ++i) {
        const double t = log.LogTemp[i];
        take(t, e.MaxTemp, e.MinTemp);
        take(rh[i], e.MaxRh, e.MinRh);
        if (q7r) {
            take(log.LogMc1[i], e.MaxMc1, e.MinMc1);
            take(log.LogMc2[i], e.MaxMc2, e.MinMc2);
            take(log.LogMc3[i], e.MaxMc3, e.MinMc3);
        }
        if (settings.AhGpp != 0) takeDerived(ah, CalcAh(t, rh[i], celsius), gppSeen, e.MaxGpp, e.MinGpp);
        if (settings.Emc != 0) takeDerived(emc, CalcEmc(t, rh[i], celsius), emcSeen, e.MaxEmc, e.MinEmc);
        if (settings.Dewpoint != 0) {
            if (const Derived dew = CalcDewPoint(t, rh[i], celsius); dew.ok())
                take(dew.value, e.MaxDew, e.MinDew);
            else
                ok = false;
        }
    }
    return ok;
}

QString LogInfoText(const LogData& log, const Settings& settings, const LogExtremes& e) {
    if (log.RecordCount < 1) return QStringLiteral("There is no log data!");
    const QString unit = DegreeLabel(settings.Celsius);
    QString text = QStringLiteral("Reading\t\tHigh  /  Low\r\r");
    const auto line = [&text](const QString& label, double highest, double lowest) {
        text += label + QStringLiteral("\t\t") + NumberText(highest) + QStringLiteral("  /  ") +
                NumberText(lowest) + QStringLiteral("\r\r");
    };
    line(QStringLiteral("Temp ") + unit, e.MaxTemp, e.MinTemp);
    if (log.isQ7R()) {
        line(QStringLiteral("MC1 %"), e.MaxMc1, e.MinMc1);
        line(QStringLiteral("MC2 %"), e.MaxMc2, e.MinMc2);
        line(QStringLiteral("MC3 %"), e.MaxMc3, e.MinMc3);
    }
    line(QStringLiteral("RH %"), e.MaxRh, e.MinRh);
    if (settings.AhGpp != 0) line(QStringLiteral("GPP"), e.MaxGpp, e.MinGpp);
    if (settings.Emc != 0) line(QStringLiteral("EMC %"), e.MaxEmc, e.MinEmc);
    if (settings.Dewpoint != 0) line(QStringLiteral("Dew ") + unit, e.MaxDew, e.MinDew);
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
