// The chart window used as a user would: what the surface shows (pixel colours where a trace must
// and must not be), the readout in the legend as the mouse moves, the zoom's input boxes, Open,
// Delete, Info, the window kept over the run, and the command line's picture. The locale's
// decimal separator is a comma, which the legend shows. Rows and columns expected on the surface
// come from the chart's definition: the first record on the left edge, the last on the right,
// the bottom of the scale on the bottom edge and its top on the top edge.
#include "app/AppState.h"
#include "app/ViewCommands.h"
#include "calc/Psychrometrics.h"
#include "core/Numbers.h"
#include "logfiles/LogFile.h"
#include "support/ScriptedUi.h"
#include "views/ChartPicture.h"
#include "views/ChartWidgets.h"
#include "views/frmChart.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <cmath>
#include <map>

using namespace kv5;

namespace {

const QString Degree = QStringLiteral("\u00b0");
const QColor Red(255, 0, 0), Blue(0, 0, 255), Black(0, 0, 0), Magenta(255, 0, 255);
const QColor Orange(255, 127, 39), Green(0, 128, 0), Purple(128, 0, 128), SkyBlue(0, 127, 255);

// How much of colour c a pixel over the white surface shows: 1 for c itself, 0 for white, and
// 0 as well for a pixel that is no mix of white and c.
double share(QRgb pixel, const QColor& c) {
    const int p[3] = {qRed(pixel), qGreen(pixel), qBlue(pixel)};
    const int k[3] = {c.red(), c.green(), c.blue()};
    double alpha = 0;
    int used = 0;
    for (int i = 0; i < 3; ++i)
        if (255 - k[i] > 60) alpha += double(255 - p[i]) / (255 - k[i]), ++used;
    alpha /= used;
    for (int i = 0; i < 3; ++i)
        if (std::abs(p[i] - (255 - alpha * (255 - k[i]))) > 16) return 0;
    return alpha;
}

// Rows of column x that show colour c, and how many pixels of c the column holds in all,
// counting a pixel by its share: the width of a horizontal line.
int rowsShowing(const QImage& image, int x, const QColor& c) {
    int rows = 0;
    for (int y = 0; y < image.height(); ++y) rows += share(image.pixel(x, y), c) >= 0.45;
    return rows;
}
double ink(const QImage& image, int x, const QColor& c) {
    double sum = 0;
    for (int y = 0; y < image.height(); ++y) sum += share(image.pixel(x, y), c);
    return sum;
}
// Whether a trace of colour c crosses column x within a row of row, or any column.
bool shows(const QImage& image, int x, int row, const QColor& c) {
    for (int y = std::max(0, row - 1); y <= std::min(image.height() - 1, row + 1); ++y)
        if (share(image.pixel(x, y), c) >= 0.45) return true;
    return false;
}
bool anywhere(const QImage& image, const QColor& c) {
    for (int x = 0; x < image.width(); ++x)
        if (rowsShowing(image, x, c) > 0) return true;
    return false;
}

// The surface row of value v on a scale from bottom to top.
int rowOf(const QImage& image, double v, double bottom = 0, double top = 100) {
    return qRound((image.height() - 1) * (top - v) / (top - bottom));
}

// A Vantorp log of the given temperatures and humidities; times "21.05.2014 1h:45".
void setVantorp(LogData& log, const std::vector<double>& temp, const std::vector<double>& rh) {
    log.RecordCount = int(temp.size());
    log.SensorType = SensorVantorp;
    for (int i = 0; i < log.RecordCount; ++i) {
        log.LogTime[i] = QStringLiteral("21.05.2014 %1:45").arg(10 + i);
        log.LogTemp[i] = temp[i], log.LogRh[i] = rh[i];
    }
}

void setQ7R(LogData& log, int count, double temp, double mc1, double mc2, double mc3, double rh) {
    log.RecordCount = count;
    log.SensorType = SensorQ7R;
    for (int i = 0; i < count; ++i) {
        log.LogTime[i] = QStringLiteral("5/21/2014 %1:45").arg(10 + i);
        log.LogTemp[i] = temp, log.LogMc1[i] = mc1, log.LogMc2[i] = mc2, log.LogMc3[i] = mc3;
        log.LogRhQ7R[i] = rh;
    }
}

} // namespace

class TestChart : public QObject {
    Q_OBJECT

    QTemporaryDir home;
    AppState state;
    ScriptedUi ui;

    QStringList legend(const frmChart& window) const {
        QStringList texts;
        for (ChartTextBox* box : window.txtLegend)
            if (!box->isHidden()) texts << box->text();
        return texts;
    }
    void moveTo(frmChart& window, double fraction) {
        QTest::mouseMove(window.bmp, QPoint(int(fraction * (window.bmp->width() - 1)), 40));
    }
    // The settings from four digits: Celsius, GPP, EMC, dew point ("1011").
    void set(const QString& digits) {
        state.settings.Celsius = digits[0] == '1', state.settings.AhGpp = digits[1] == '1';
        state.settings.Emc = digits[2] == '1', state.settings.Dewpoint = digits[3] == '1';
    }

private slots:
    void initTestCase() {
        QVERIFY(home.isValid());
        QCOMPARE(QLocale::system().decimalPoint(), QStringLiteral(","));
        state.ProgramFolder = home.path();
        QVERIFY(QDir(home.path()).mkdir(DataFolderName));
        SetTraceColors(state);
    }

    void init() {
        state.log = LogData();
        state.settings = Settings();
        ui.clearRecord();
        ui.answers.clear();
        ui.inputs.clear();
    }

    void readoutRecordAndInsert() {
        // X, record count, record shown: halves go to the even record (39 / 78 + 1 = 1.5 gives 2,
        // 58.5 / 39 + 1 = 2.5 gives 2, 97.5 / 39 + 1 = 3.5 gives 4); X is kept on the surface.
        const struct {
            float x;
            int count, record;
        } cases[] = {
            {0, 1, 1},     {156, 1, 1},   {38.9f, 2, 1}, {39, 2, 2},  {58.5f, 4, 2},
            {97.5f, 4, 4}, {58.6f, 4, 3}, {-20, 5, 1},   {300, 5, 5}, {156, MaxLogRecords, MaxLogRecords}};
        for (const auto& c : cases)
            QVERIFY2(ReadoutRecord(c.x, c.count) == c.record,
                     qPrintable(QStringLiteral("%1 of %2").arg(c.x).arg(c.count)));
        QCOMPARE(Insert("$ and $", "7"), QStringLiteral("7 and $"));
        QCOMPARE(Insert("no value", "1"), QStringLiteral("no value"));
    }

    // The last record of two: 10 C (50 F) and 90 %: GPP 49.8, EMC 20.9 %, dew point 8.4 C (47.2 F).
    void legend_data() {
        QTest::addColumn<int>("family");
        QTest::addColumn<QString>("settings");
        QTest::addColumn<QString>("shown");
        const QString c = Degree + "C", f = Degree + "F";
        QTest::newRow("Vantorp, none") << int(SensorVantorp) << "0000"
                                       << "21.05.2014 11:45|Temp 50,0" + f + "|RH 90,0%";
        QTest::newRow("Vantorp, C, all")
            << int(SensorVantorp) << "1111"
            << "21.05.2014 11:45|Temp 10,0" + c + "|RH 90,0%|GPP 49,8|EMC 20,9%|Dew 8,4" + c;
        QTest::newRow("Q7R, no GPP") << int(SensorQ7R) << "0011"
                                     << "5/21/2014 11:45|Temp 50,0" + f +
                                            "|MC1 12,5%|MC2 8,0%|MC3 -0,5%|RH 90,0%|EMC 20,9%|Dew 47,2" + f;
        QTest::newRow("no family, GPP") << 0 << "0100"
                                        << "21.05.2014 11:45|Temp 50,0" + f + "|RH 90,0%|GPP 49,8";
    }
    void legend() {
        QFETCH(int, family);
        QFETCH(QString, settings);
        QFETCH(QString, shown);
        set(settings);
        const double temp = state.settings.Celsius ? 10 : 50;
        if (family == SensorQ7R)
            setQ7R(state.log, 2, temp, 12.5, 8, -0.5, 90);
        else
            setVantorp(state.log, {temp, temp}, {90, 90}), state.log.SensorType = family;
        frmChart window(LogViewOf(state), ui);
        window.show();
        QCOMPARE(legend(window).join('|'), shown);
        // The shown boxes come without a gap, each in its trace's colour, as on the surface.
        const std::map<QString, QColor> colours{{"Temp", Red},   {"MC1", Black},  {"MC2", Magenta},
                                                {"MC3", Orange}, {"RH", Blue},    {"GPP", Green},
                                                {"EMC", Purple}, {"Dew", SkyBlue}};
        const QImage image = window.SurfaceImage();
        for (int i = 0; i < 9; ++i) QCOMPARE(window.txtLegend[i]->isHidden(), i >= legend(window).size());
        QCOMPARE(window.txtLegend[0]->textColor(), Black);
        for (const auto& [label, colour] : colours) {
            const int box = int(legend(window).indexOf(QRegularExpression("^" + label + " .*")));
            if (box > 0) QCOMPARE(window.txtLegend[box]->textColor(), colour);
            if (label != "MC3") QCOMPARE(anywhere(image, colour), box > 0); // MC3 lies below the scale
        }
        QVERIFY(ui.messages.empty());
    }

    void tracesWhereTheyBelong() {
        set("0000");
        frmChart window(LogViewOf(state), ui);
        setVantorp(state.log, {50, 50}, {20, 80});
        window.show();
        QImage image = window.SurfaceImage();
        const int last = image.width() - 1;
        const qreal ratio = window.devicePixelRatioF();
        QCOMPARE(image.size(), window.bmp->size() * ratio);
        // Two records: the first on the left edge, the second on the right edge.
        QVERIFY(shows(image, 0, rowOf(image, 50), Red) && shows(image, last, rowOf(image, 50), Red));
        QVERIFY(shows(image, 0, rowOf(image, 20), Blue) && shows(image, last, rowOf(image, 80), Blue));
        QVERIFY(!shows(image, last, rowOf(image, 20), Blue));

        // One record: each value a line across the whole width, one pixel thick.
        setVantorp(state.log, {30}, {70});
        window.Load();
        image = window.SurfaceImage();
        for (int x = 0; x <= last; ++x) {
            QVERIFY2(shows(image, x, rowOf(image, 30), Red) && shows(image, x, rowOf(image, 70), Blue),
                     qPrintable(QString::number(x)));
            QVERIFY(std::abs(ink(image, x, Red) - ratio) < 0.15 * ratio);
        }
        // Values above the top of the scale are cut off: 130 is never seen, RH from 50 to 150
        // leaves the surface halfway.
        setVantorp(state.log, {130, 130, 130}, {50, 100, 150});
        window.Load();
        image = window.SurfaceImage();
        QVERIFY(!anywhere(image, Red));
        QVERIFY(shows(image, 0, rowOf(image, 50), Blue));
        QCOMPARE(rowsShowing(image, last * 3 / 4, Blue), 0);

        // The window made larger: the surface follows, the traces still reach both edges.
        window.resize(1000, 900);
        QTRY_COMPARE(window.bmp->size(), QSize(1000 - 186, 900 - 48));
        image = window.SurfaceImage();
        // RH rises by 100 over the width: a quarter of the way it is at 75.
        QVERIFY(shows(image, (image.width() - 1) / 4, rowOf(image, 75), Blue));
    }

    void everyTraceAtItsValue() {
        // Q7R at 25 C, MC 35, 45, 55, RH 60 %: GPP 84.4, EMC 10.8, dew point 16.7.
        set("1111");
        setQ7R(state.log, 5, 25, 35, 45, 55, 60);
        frmChart window(LogViewOf(state), ui);
        window.show();
        const QImage image = window.SurfaceImage();
        const std::pair<double, QColor> traces[] = {{25, Red},      {35, Black},    {45, Magenta},
                                                    {55, Orange},   {60, Blue},     {84.4, Green},
                                                    {10.8, Purple}, {16.7, SkyBlue}};
        for (const auto& [value, colour] : traces)
            QVERIFY2(shows(image, image.width() / 3, rowOf(image, value), colour), qPrintable(colour.name()));

        // At twice the pixels the lines are two device pixels wide, as sharp as at one.
        const QImage sharp = RenderChartSurface(*window.chart.bmp, QSize(200, 100), 2);
        QCOMPARE(sharp.size(), QSize(400, 200));
        const QImage single = RenderChartSurface(*window.chart.bmp, QSize(200, 100), 1);
        for (int column : {0, 150, 399}) {
            QVERIFY(std::abs(ink(sharp, column, Red) - 2) < 0.2);
            QVERIFY(std::abs(ink(single, column / 2, Red) - 1) < 0.15);
        }
        QVERIFY(ui.messages.empty());
    }

    void fullLogWithoutGaps() {
        // A kiln in degrees C over 17000 half hours: daily cycles and a little noise.
        state.settings.Celsius = 1;
        setQ7R(state.log, MaxLogRecords, 0, 30, 25, 20, 0);
        unsigned noise = 1;
        for (int i = 0; i < MaxLogRecords; ++i) {
            const double day = std::sin(i * 2 * M_PI / 48);
            noise = noise * 1103515245u + 12345u;
            state.log.LogTemp[i] = 45 + 4 * day + ((noise >> 16) % 100) / 100.0;
            state.log.LogRhQ7R[i] = 70 - 10 * day;
        }
        frmChart window(LogViewOf(state), ui);
        window.resize(1000, 900);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        // Every column holds the temperature and the RH, drawn from one record to the next.
        const QImage image = window.SurfaceImage();
        for (int x = 0; x < image.width(); ++x)
            QVERIFY2(rowsShowing(image, x, Red) > 0 && rowsShowing(image, x, Blue) > 0,
                     qPrintable(QString::number(x)));
        // The record shown is the hour of its time, less 9: at first the last, at the left edge
        // record 1, halfway record 8500, give or take the 21 records of a column.
        const auto shown = [&window] {
            return window.txtLegend[0]->text().section(' ', 1).section(':', 0, 0).toInt() - 9;
        };
        QCOMPARE(shown(), MaxLogRecords);
        moveTo(window, 0);
        QVERIFY2(shown() <= 1 + 21, qPrintable(window.txtLegend[0]->text()));
        moveTo(window, 0.5);
        QVERIFY2(std::abs(shown() - 8500) <= 21, qPrintable(window.txtLegend[0]->text()));
        QCOMPARE(window.txtLegend[1]->text().left(5), QStringLiteral("Temp "));
        QCOMPARE(window.SurfaceImage(), image); // the readout draws nothing on the chart
        QVERIFY(ui.messages.empty());
    }

    // The two input boxes' top and bottom, and what the axis boxes then show.
    void zoom_data() {
        QTest::addColumn<QStringList>("typed");
        QTest::addColumn<QStringList>("shown");
        QTest::newRow("top above 150") << QStringList{"200", "50"} << QStringList{"150", "50"};
        QTest::newRow("top below bottom") << QStringList{"80", "120"} << QStringList{"100", "0"};
        QTest::newRow("bottom below -40") << QStringList{"50", "-100"} << QStringList{"50", "-40"};
        QTest::newRow("top no number") << QStringList{"abc", "10"} << QStringList{"100", "10"};
        QTest::newRow("equal: span 100") << QStringList{"60", "60"} << QStringList{"160", "60"};
        QTest::newRow("both far below") << QStringList{"-300", "-500"} << QStringList{"100", "0"};
        QTest::newRow("plain") << QStringList{"90", "-10"} << QStringList{"90", "-10"};
    }
    void zoom() {
        QFETCH(QStringList, typed);
        QFETCH(QStringList, shown);
        // The temperature lies above every scale the zoom allows.
        setVantorp(state.log, {200, 200}, {70, 70});
        frmChart window(LogViewOf(state), ui);
        window.show();
        ui.inputs = {typed[0], typed[1]};
        QTest::mouseClick(window.btnZoom, Qt::LeftButton);
        QCOMPARE(ui.inputRequests.size(), std::size_t(2));
        QCOMPARE(ui.inputRequests[0].prompt, QStringLiteral("Enter a new maximum Y axis value:"));
        QCOMPARE(ui.inputRequests[1].prompt, QStringLiteral("Enter a new minimum Y axis value:"));
        QCOMPARE(ui.inputRequests[0].title, QStringLiteral("Zoom"));
        QCOMPARE(QStringList({ui.inputRequests[0].value, ui.inputRequests[1].value}),
                 QStringList({"100", "0"}));
        QCOMPARE(QStringList({window.txtAxisYmax->text(), window.txtAxisYmin->text()}), shown);
        // The traces follow the new scale.
        const QImage image = window.SurfaceImage();
        const int row = rowOf(image, 70, shown[1].toDouble(), shown[0].toDouble());
        QCOMPARE(shows(image, image.width() / 2, std::clamp(row, -2, image.height() + 1), Blue),
                 row >= 0 && row < image.height());

        // The next zoom offers the scale shown; a cancelled or empty answer changes nothing.
        ui.clearRecord();
        ui.inputs = {std::nullopt, QStringLiteral("120"), QString()};
        QTest::mouseClick(window.btnZoom, Qt::LeftButton);
        QTest::mouseClick(window.btnZoom, Qt::LeftButton);
        QCOMPARE(ui.inputRequests.size(), std::size_t(3));
        QCOMPARE(QStringList({ui.inputRequests[0].value, ui.inputRequests[2].value}), shown);
        QCOMPARE(QStringList({window.txtAxisYmax->text(), window.txtAxisYmin->text()}), shown);
        QVERIFY(ui.messages.empty());

        // The command line takes the range in whole numbers only.
        qint32 low = 0, high = 0;
        QCOMPARE(ParseChartRange(typed[1] + ':' + typed[0], low, high), typed[0] != "abc");
    }

    void emptyLog() {
        frmChart window(LogViewOf(state), ui);
        window.show();
        const QImage image = window.SurfaceImage();
        // "The log is empty." in black from (50, 40) of 156 by 125, nothing else.
        const QRect text(image.width() * 50 / 156, image.height() * 40 / 125, image.width() / 2,
                         int(30 * image.devicePixelRatio()));
        int black = 0, outside = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                (text.contains(x, y) ? black : outside) += qGray(image.pixel(x, y)) < 100;
        QVERIFY(black > 60 && outside == 0);
        moveTo(window, 0.5);
        QCOMPARE(legend(window), QStringList());
        // Never drawn: the zoom offers 0 as the top.
        ui.inputs = {std::nullopt};
        QTest::mouseClick(window.btnZoom, Qt::LeftButton);
        QCOMPARE(ui.inputRequests.at(0).value, QStringLiteral("0"));
    }

    // Open and Delete run the actions they were given and draw whatever log is there then; Info
    // shows the extremes of the last drawing, a trace not drawn keeping those before.
    void openDeleteAndInfo() {
        state.settings.Celsius = 1;
        setVantorp(state.log, {20, 25, 10}, {50, 30, 90});
        bool deleted = false;
        LogFileActions actions{[&](QWidget*) {
                                   setVantorp(state.log, {5, 6}, {10, 20}), state.settings.AhGpp = 0;
                               },
                               [&] { return deleted ? (state.log.RecordCount = 0, true) : false; }};
        frmChart window(LogViewOf(state), ui, actions);
        window.show();
        QTest::mouseClick(window.btnInfo, Qt::LeftButton);
        QCOMPARE(ui.messages.at(0).title, QStringLiteral("Log Info"));
        QVERIFY2(ui.messages[0].text.contains("Temp " + Degree +
                                              "C\t\t25,0  /  10,0\r\rRH %\t\t90,0  /  30,0\r\r"
                                              "GPP\t\t52,0  /  42,2\r\r"),
                 qPrintable(ui.messages[0].text));

        QTest::mouseClick(window.btnOpen, Qt::LeftButton);
        QCOMPARE(window.txtLegend[0]->text(), QStringLiteral("21.05.2014 11:45"));
        QCOMPARE(window.chart.extremes.MaxTemp, 6.0);
        QCOMPARE(NumberText(window.chart.extremes.MaxGpp), QStringLiteral("52,0"));
        QVERIFY(window.chart.bmp == window.chart.picBase);

        QTest::mouseClick(window.btnDelete, Qt::LeftButton);
        QVERIFY(anywhere(window.SurfaceImage(), Red));
        deleted = true;
        QTest::mouseClick(window.btnDelete, Qt::LeftButton);
        QCOMPARE(window.chart.bmp->kind, ChartPicture::Kind::EmptyLog);
        QCOMPARE(legend(window), QStringList());
    }

    void failuresAreReportedOnce() {
        // A coordinate too large to draw ends its trace; the others are drawn.
        set("0000");
        setVantorp(state.log, {50, 1e300, 50}, {20, 20, 20});
        frmChart window(LogViewOf(state), ui);
        window.show();
        QCOMPARE(ui.messageTexts(), QStringList{"frmChart.PaintTrace: Overflow"});
        QVERIFY(!anywhere(window.SurfaceImage(), Red) && anywhere(window.SurfaceImage(), Blue));
        QCOMPARE(window.chart.extremes.MaxTemp, 50.0);

        // A dew point that cannot be computed (at -243.12 C): the chart is finished without it,
        // and the readout over that record says why, once while the mouse stays there.
        ui.clearRecord();
        set("1001");
        setVantorp(state.log, {20, -243.12, 20}, {50, 50, 50});
        window.Load();
        QCOMPARE(ui.messageTexts(), QStringList{"frmChart.Form_Load: Division by zero"});
        QVERIFY(!anywhere(window.SurfaceImage(), SkyBlue));
        QCOMPARE(window.txtLegend[3]->text(), "Dew 9,3" + Degree + "C");
        moveTo(window, 0.4);
        moveTo(window, 0.45);
        QCOMPARE(ui.messageTexts().size(), 2);
        QCOMPARE(ui.messages[1].text, QStringLiteral("Calculating X axis failed: Division by zero"));
        QCOMPARE(window.txtLegend[0]->text(), QStringLiteral("21.05.2014 12:45")); // not reached
        moveTo(window, 0);
        moveTo(window, 0.4);
        QCOMPARE(ui.messageTexts().size(), 3);

        // Above boiling there is no GPP: one box for the series, a gap in its trace, no number
        // in the readout.
        ui.clearRecord();
        set("1100");
        setVantorp(state.log, {20, 20, 110, 20, 20}, {50, 50, 50, 50, 50});
        window.Load();
        QCOMPARE(ui.messageTexts(),
                 QStringList{"ERROR: CalcAh: Saturation pressure at or above one atmosphere"});
        const QImage gap = window.SurfaceImage();
        const int gpp = rowOf(gap, CalcAh(20, 50, 1).value);
        QVERIFY(shows(gap, 0, gpp, Green) && shows(gap, gap.width() - 1, gpp, Green));
        QVERIFY(!shows(gap, gap.width() / 2, gpp, Green));
        moveTo(window, 0.5);
        QCOMPARE(window.txtLegend[3]->text(), QStringLiteral("GPP "));
        QCOMPARE(ui.messageTexts().size(), 1);
    }

    // One window for the run: shown again with another log it keeps its zoom.
    void oneWindowForTheRun() {
        QWidget main;
        setVantorp(state.log, {100, 100, 100}, {90, 90, 90});
        frmChart* first = &ChartWindow(LogViewOf(state), ui, {}, &main);
        first->chart.SetZoom(150, 50);
        QTimer::singleShot(0, this, [&] {
            QCOMPARE(QApplication::activeModalWidget(), first);
            QCOMPARE(first->txtAxisYmax->text() + ':' + first->txtAxisYmin->text(), QStringLiteral("150:50"));
            QCOMPARE(first->txtLegend[0]->text(), QStringLiteral("21.05.2014 12:45"));
            const QImage image = first->SurfaceImage();
            QVERIFY(shows(image, image.width() / 2, rowOf(image, 100, 50, 150), Red));
            QTest::mouseClick(first->btnMeter, Qt::LeftButton);
        });
        ShowChartWindow(LogViewOf(state), ui, {}, &main);
        QVERIFY(first->isHidden());
        QCOMPARE(&ChartWindow(LogViewOf(state), ui, {}, &main), first);
    }

    // kv5 chart: what the window shows above its buttons, at any size within limits.
    void chartCommand() {
        setVantorp(state.log, {200, 200}, {70, 70});
        QFile file(LogFilePath(state, "cmd.txt"));
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(LogFileContent(state.log)) > 0);
        file.close();
        frmChart window(LogViewOf(state), ui);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        ui.inputs = {QStringLiteral("90"), QStringLiteral("-10")};
        QTest::mouseClick(window.btnZoom, Qt::LeftButton);
        const QString out = home.filePath("chart.png");
        QCOMPARE(RunChartCommand(state, ui, "cmd.txt", out, QString(), "-10:90"), 0);
        const QImage picture(out);
        QCOMPARE(picture.size(), QSize(603, 425));
        if (window.devicePixelRatioF() == 1)
            QCOMPARE(window.grab().toImage().convertToFormat(picture.format()).copy(0, 0, 603, 425), picture);
        QCOMPARE(RunChartCommand(state, ui, file.fileName(), out, "1000x700"), 0);
        QCOMPARE(QImage(out).size(), QSize(1000, 700));
        QVERIFY(ui.messages.empty());
        for (const char* size : {"100x100", "800*600", "9000x600"}) {
            QCOMPARE(RunChartCommand(state, ui, "cmd.txt", out, size), 2);
            QVERIFY(ui.messages.back().text.startsWith(
                QStringLiteral("The size \"%1\" cannot be used").arg(size)));
        }
        QCOMPARE(RunChartCommand(state, ui, "cmd.txt", out, QString(), "20:eighty"), 2);
        QCOMPARE(ui.messages.back().text,
                 QStringLiteral("The range \"20:eighty\" cannot be used: give LOW:HIGH in "
                                "whole numbers, for example 20:80."));
        QCOMPARE(RunChartCommand(state, ui, "missing.txt", out, QString()), 1);
        QVERIFY(ui.messages.back().text.startsWith("ERROR: OpenLogFile: "));
        QCOMPARE(RunChartCommand(state, ui, "cmd.txt", home.filePath("no/such/folder/c.png"), QString()), 1);
        QVERIFY(ui.messages.back().text.startsWith("ERROR: RunChartCommand: "));
    }
};

int main(int argc, char** argv) {
    // The legend shows numbers with this locale's decimal comma.
    qputenv("LC_ALL", "de_DE.UTF-8");
    QApplication app(argc, argv);
    TestChart test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_chart.moc"
