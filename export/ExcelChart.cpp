#include "export/ExcelChart.h"

#include "calc/Quantities.h"
#include "core/Settings.h"
#include "core/UserInterface.h"

#include <vector>

namespace kv5 {

namespace {

// The spreadsheet's "medium" line (border weight 3), in points.
constexpr float MediumLineWidth = 1.5F;

struct SeriesPlan {
    QString name;
    Rgb colour;
};

struct ChartPlan {
    QString title;
    QString valueAxisTitle;
    std::vector<SeriesPlan> series; // one per column from B on, in column order
};

ChartPlan planOf(bool q7r, const QString& fileName, const Settings& settings) {
    ChartPlan plan;
    // The title's second line names the file.
    plan.title = (q7r ? QStringLiteral("Temp & Moisture Chart") : QStringLiteral("Temp & Humidity Chart")) +
                 QLatin1Char('\n') + fileName;
    plan.valueAxisTitle = q7r ? QStringLiteral("Temp & Moisture") : QStringLiteral("Temp & Humidity");
    for (const QuantityRow* row : ShownQuantities(q7r, settings))
        plan.series.push_back({QuantitySeriesName(*row, settings.Celsius), row->colour});
    return plan;
}

lxw_color_t rgbOf(const Rgb& colour) {
    const auto rgb = static_cast<lxw_color_t>((colour.red << 16) | (colour.green << 8) | colour.blue);
    // The library takes 0 for "no colour"; black has its own value.
    return rgb == 0 ? static_cast<lxw_color_t>(LXW_COLOR_BLACK) : rgb;
}

bool buildChart(ExcelWorkbook& book, int rowCount, const ChartPlan& plan, const QString& procedure,
                UserInterface& ui) {
    const auto fail = [&](const QString& why) {
        ui.error(procedure, why);
        return false;
    };
    // The source range of an empty sheet would name row 0, which no spreadsheet accepts.
    if (rowCount < 1) return fail(QStringLiteral("the source range A1:A%1 holds no row").arg(rowCount));
    if (book.workbook == nullptr || book.chartSheet == nullptr)
        return fail(QStringLiteral("the workbook has no chart sheet"));

    lxw_chart* chart = workbook_add_chart(book.workbook, LXW_CHART_SCATTER_STRAIGHT);
    if (chart == nullptr) return fail(QStringLiteral("cannot add a chart to the workbook"));

    chart_title_set_name(chart, plan.title.toUtf8().constData());
    chart_axis_set_name(chart->x_axis, "Elapsed Time");
    chart_axis_set_name(chart->y_axis, plan.valueAxisTitle.toUtf8().constData());

    const auto lastRow = static_cast<lxw_row_t>(rowCount - 1);
    lxw_col_t column = 1;
    for (const SeriesPlan& planned : plan.series) {
        lxw_chart_series* series = chart_add_series(chart, nullptr, nullptr);
        if (series == nullptr) return fail(QStringLiteral("cannot add the series %1").arg(planned.name));
        // Every series takes the time texts of column A along the elapsed-time axis.
        chart_series_set_categories(series, ExcelDataSheetName, 0, 0, lastRow, 0);
        chart_series_set_values(series, ExcelDataSheetName, 0, column, lastRow, column);
        chart_series_set_name(series, planned.name.toUtf8().constData());
        chart_series_set_marker_type(series, LXW_CHART_MARKER_NONE);
        lxw_chart_line line{};
        line.color = rgbOf(planned.colour);
        line.width = MediumLineWidth;
        chart_series_set_line(series, &line);
        ++column;
    }

    if (const lxw_error error = chartsheet_set_chart(book.chartSheet, chart); error != LXW_NO_ERROR)
        return fail(QString::fromUtf8(lxw_strerror(error)));
    chartsheet_activate(book.chartSheet);
    return true;
}

} // namespace

bool MakeExcelChartMc(ExcelWorkbook& book, int rowCount, const QString& fileName, const Settings& settings,
                      UserInterface& ui) {
    return buildChart(book, rowCount, planOf(true, fileName, settings), QStringLiteral("MakeExcelChartMc"),
                      ui);
}

bool ExcelChartVantorp(ExcelWorkbook& book, int rowCount, const QString& fileName, const Settings& settings,
                       UserInterface& ui) {
    return buildChart(book, rowCount, planOf(false, fileName, settings), QStringLiteral("ExcelChartVantorp"),
                      ui);
}

} // namespace kv5
