// The colours of the derived traces, shared by the chart window and the workbook's chart.
#pragma once

#include <QColor>

namespace kv5 {

struct TraceColors {
    QColor GppTraceColor;
    QColor EmcTraceColor;
    QColor Mc3TraceColor;
    QColor DewTraceColor;
};

} // namespace kv5
