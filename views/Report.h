// The one-page report of a log to hand over: who, where, when, within the limits or not, a
// chart, the daily (or weekly) figures, and which file it was made from. A PDF of real text
// with its fonts embedded; every number in it is written the same under every locale.
#pragma once

#include "logfiles/LogSummary.h"

#include <QDateTime>
#include <QLocale>
#include <QPageSize>
#include <QString>

namespace kv5 {

struct Settings;
class UserInterface;

struct ReportOptions {
    SummaryOptions summary; // limits, target moisture, derived quantities, unit without a context
    QString site;           // printed when not empty
    QString operatorName;
    QPageSize::PageSizeId pageSize = QPageSize::A4;
    QString program;  // "Quorvane KV5"
    QString version;  // the program's version
    QDateTime made;   // when the report is made; now when invalid
};

// The paper of the user's locale: Letter where it is the custom (the United States, Canada,
// Mexico, the Philippines and a few others), else A4.
QPageSize::PageSizeId ReportPageSizeOf(const QLocale& locale);

// The report's options from the user's settings and locale, made now.
ReportOptions ReportOptionsOf(const Settings& settings, const QLocale& locale);

// Reads the log file at logPath with its context file and writes its report to pdfPath, which
// is replaced only once the whole report is written. At most two pages for a full log. A
// failure is reported as "ERROR: MakeReport: " with the cause; an empty log is told there is
// nothing to report. Returns true when the report was written.
bool WriteLogReport(const QString& logPath, const QString& pdfPath, const ReportOptions& options,
                    UserInterface& ui);

} // namespace kv5
