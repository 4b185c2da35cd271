// The chart window used as a user would: what the surface shows (pixel colours where a trace must
// and must not be), the readout in the legend as the mouse moves, the zoom's input boxes, Open,
// Delete, Info, the window kept over the run, and the command line's picture. The locale's
// decimal separator is a comma, which the legend shows. Rows and columns expected on the surface
// come from the chart's definition: the first record on the left edge, the last on the right,
// the bottom of the scale on the bottom edge and its top on the top edge.
#include "app/AppState.h"
#include "calc/Psychrometrics.h"
#include "core/Numbers.h"
#include "logfiles/LogFile.h"
#include "logfiles/frmOpenFile.h"
#include "support/ScriptedUi.h"
#include "app/ViewCommands.h"
#include "views/ChartPicture.h"
#include "views/ChartState.h"
#include "views/ChartWidgets.h"
#include "views/frmChart.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QListWidget>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <cmath>

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

// Whether a trace of colour c crosses column x within a row of row (one row either side).
bool shows(const QImage& image, int x, int row, const QColor& c) {
    for (int y = std::max(0, row - 1); y <= std::min(image.height() - 1, row + 1); ++y)
        if (share(image.pixel(x, y), c) >= 0.45) return true;
    return false;
}

// Rows of column x that show colour c.
int rowsShowing(const QImage& image, int x, const QColor& c) {
    int rows = 0;
    for (int y = 0; y < image.height(); ++y) rows += share(image.pixel(x, y), c) >= 0.45;
    return rows;
}

// How many pixels of colour c column x holds in all, counting a pixel by its share: the width of
// a horizontal line.
double ink(const QImage& image, int x, const QColor& c) {
    double sum = 0;
    for (int y = 0; y < image.height(); ++y) sum += share(image.pixel(x, y), c);
    return sum;
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
        log.LogTemp[i] = temp[i];
        log.LogRh[i] = rh[i];
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
    void saveShot(QWidget& widget, const QString& name) {
        const QString folder = qEnvironmentVariable("KV5_SCREENSHOT_DIR");
        if (!folder.isEmpty()) widget.grab().save(folder + '/' + name + QStringLiteral(".png"));
    }
    void moveTo(frmChart& window, double fraction) {
        QTest::mouseMove(window.bmp, QPoint(int(fraction * (window.bmp->width() - 1)), 40));
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

    void insertFillsTheFirstDollar() {
        QCOMPARE(Insert("GPP $", "12.3"), QStringLiteral("GPP 12.3"));
        QCOMPARE(Insert("Temp $" + Degree + "F", "-4,5"), "Temp -4,5" + Degree + "F");
        QCOMPARE(Insert("no value", "1"), QStringLiteral("no value"));
        QCOMPARE(Insert("$ and $", "7"), QStringLiteral("7 and $"));
    }

    void readoutPicksTheRecordUnderTheMouse() {
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
    }

    void readoutFollowsTheMouse() {
        setVantorp(state.log, {20, 21, 22, 23}, {50, 51, 52, 53});
        state.settings.AhGpp = state.settings.Emc = state.settings.Dewpoint = 0;
        frmChart window(LogViewOf(state), ui, LogFileActionsOf(state, ui));
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        // A fresh chart shows the last record.
        QCOMPARE(legend(window), QStringList({"21.05.2014 13:45", "Temp 23,0" + Degree + "F", "RH 53,0%"}));
        const QImage drawn = window.SurfaceImage();
        // Record 2 of 4 covers X 19.5 to 58.5 of 156, record 3 up to 97.5.
        const std::pair<double, QString> places[] = {{0, "10"},    {0.1, "10"}, {0.25, "11"}, {0.5, "12"},
                                                     {0.75, "13"}, {1, "13"},   {0.02, "10"}};
        for (const auto& [fraction, hour] : places) {
            moveTo(window, fraction);
            QCOMPARE(window.txtLegend[0]->text(), "21.05.2014 " + hour + ":45");
        }
        QCOMPARE(window.txtLegend[1]->text(), "Temp 20,0" + Degree + "F");
        QCOMPARE(window.txtLegend[1]->textColor(), Red);
        QCOMPARE(window.txtLegend[2]->textColor(), Blue);
        QCOMPARE(window.SurfaceImage(), drawn); // the readout draws nothing on the chart
        QVERIFY(ui.messages.empty());
    }

    void legendSlotsByFamilyAndSettings() {
        // The last record: 10 C (50 F) and 90 %: GPP 49.8, EMC 20.9 %, dew point 8.4 C (47.2 F).
        for (int family : {SensorVantorp, SensorQ7R, 0}) {
            for (int mask = 0; mask < 16; ++mask) {
                state.settings.Celsius = mask & 1;
                state.settings.AhGpp = (mask >> 1) & 1;
                state.settings.Emc = (mask >> 2) & 1;
                state.settings.Dewpoint = (mask >> 3) & 1;
                const double temp = state.settings.Celsius ? 10 : 50;
                const QString unit = Degree + (state.settings.Celsius ? "C" : "F");
                QStringList expected{"Temp " + QString::number(temp) + ",0" + unit};
                QList<QColor> colours{Red};
                if (family == SensorQ7R) {
                    setQ7R(state.log, 2, temp, 12.5, 8, -0.5, 90);
                    expected = QStringList{"5/21/2014 11:45"} + expected;
                    expected << "MC1 12,5%"
                             << "MC2 8,0%"
                             << "MC3 -0,5%";
                    colours << Black << Magenta << Orange;
                } else {
                    setVantorp(state.log, {temp, temp}, {90, 90});
                    state.log.SensorType = family;
                    expected = QStringList{"21.05.2014 11:45"} + expected;
                }
                expected << "RH 90,0%";
                colours << Blue;
                if (state.settings.AhGpp) expected << "GPP 49,8", colours << Green;
                if (state.settings.Emc) expected << "EMC 20,9%", colours << Purple;
                if (state.settings.Dewpoint)
                    expected << (state.settings.Celsius ? "Dew 8,4" : "Dew 47,2") + unit, colours << SkyBlue;

                frmChart window(LogViewOf(state), ui, LogFileActionsOf(state, ui));
                window.show();
                const QString which = QStringLiteral("family %1 mask %2").arg(family).arg(mask);
                QVERIFY2(legend(window) == expected, qPrintable(which + ": " + legend(window).join('|')));
                // The shown boxes are 0, 1, 2, ... without a gap.
                for (int i = 0; i < 9; ++i) QCOMPARE(window.txtLegend[i]->isHidden(), i >= expected.size());
                for (int i = 1; i < expected.size(); ++i)
                    QVERIFY2(window.txtLegend[i]->textColor() == colours[i - 1], qPrintable(which));
                QCOMPARE(window.txtLegend[0]->textColor(), Black);
                QCOMPARE(window.txtLegend[0]->font().pixelSize(), 15);
                QCOMPARE(window.txtLegend[1]->font().pixelSize(), 19);
            }
        }
        QVERIFY(ui.messages.empty());
    }

    void tracesWhereTheyBelong() {
        state.settings.AhGpp = state.settings.Emc = state.settings.Dewpoint = 0;
        frmChart window(LogViewOf(state), ui, LogFileActionsOf(state, ui));
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
        QVERIFY(!anywhere(image, Green) && !anywhere(image, Black));

        // One record: each value a line across the whole width, one pixel thick.
        setVantorp(state.log, {30}, {70});
        window.Load();
        image = window.SurfaceImage();
        for (int x = 0; x <= last; ++x) {
            QVERIFY2(shows(image, x, rowOf(image, 30), Red) && shows(image, x, rowOf(image, 70), Blue),
                     qPrintable(QString::number(x)));
            QVERIFY(std::abs(ink(image, x, Red) - ratio) < 0.15 * ratio);
        }
        // Where two traces meet, the later one (RH) lies on top.
        setVantorp(state.log, {50}, {50});
        window.Load();
        image = window.SurfaceImage();
        QVERIFY(!anywhere(image, Red));
        QVERIFY(shows(image, 0, rowOf(image, 50), Blue) && shows(image, last, rowOf(image, 50), Blue));

        // Values above the top of the scale are cut off: 130 is never seen, RH from 50 to 150
        // leaves the surface halfway.
        setVantorp(state.log, {130, 130, 130}, {50, 100, 150});
        window.Load();
        image = window.SurfaceImage();
        QVERIFY(!anywhere(image, Red));
        QVERIFY(shows(image, 0, rowOf(image, 50), Blue));
        QCOMPARE(rowsShowing(image, last, Blue), 0);
        QCOMPARE(rowsShowing(image, last * 3 / 4, Blue), 0);
        QCOMPARE(window.chart.extremes.MaxRh, 150.0);
        QCOMPARE(window.chart.extremes.MinTemp, 130.0);

        // The window made larger: the surface follows, the traces still reach both edges.
        window.resize(1000, 900);
        QTRY_COMPARE(window.bmp->size(), QSize(1000 - 186, 900 - 48));
        image = window.SurfaceImage();
        QCOMPARE(image.size(), window.bmp->size() * ratio);
        QCOMPARE(window.txtLegend[0]->geometry(), QRect(32 + 814 + 7, 8, 137, 33));
        // RH rises by 100 over the width: a quarter of the way it is at 75.
        const int quarter = (image.width() - 1) / 4;
        QVERIFY(shows(image, 0, rowOf(image, 50), Blue) && shows(image, quarter, rowOf(image, 75), Blue));
    }

    void everyTraceInItsColour() {
        // Q7R with the derived traces: temperature 25 C, MC 35, 45, 55, RH 60 %: GPP 84.4, EMC
        // 10.8, dew point 16.7; all on the default scale, apart from one another.
        state.settings.Celsius = 1;
        setQ7R(state.log, 5, 25, 35, 45, 55, 60);
        frmChart window(LogViewOf(state), ui, LogFileActionsOf(state, ui));
        window.show();
        QImage image = window.SurfaceImage();
        const int x = image.width() / 3;
        const std::pair<double, QColor> traces[] = {{25, Red},      {35, Black},    {45, Magenta},
                                                    {55, Orange},   {60, Blue},     {84.4, Green},
                                                    {10.8, Purple}, {16.7, SkyBlue}};
        for (const auto& [value, colour] : traces)
            QVERIFY2(shows(image, x, rowOf(image, value), colour), qPrintable(colour.name()));
        saveShot(window, "chart-q7r");

        // With the derived quantities off: five traces, none of the derived colours.
        state.settings.AhGpp = state.settings.Emc = state.settings.Dewpoint = 0;
        window.Load();
        image = window.SurfaceImage();
        for (const QColor& c : {Green, Purple, SkyBlue}) QVERIFY(!anywhere(image, c));
        for (const QColor& c : {Red, Black, Magenta, Orange, Blue}) QVERIFY(anywhere(image, c));

        // At twice the pixels the lines are two device pixels wide, as sharp as at one.
        const QImage sharp = RenderChartSurface(*window.chart.bmp, QSize(200, 100), 2);
        QCOMPARE(sharp.size(), QSize(400, 200));
        QCOMPARE(sharp.devicePixelRatio(), 2.0);
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
        setQ7R(state.log, MaxLogRecords, 0, 0, 0, 0, 0);
        unsigned noise = 1;
        for (int i = 0; i < MaxLogRecords; ++i) {
            const double day = std::sin(i * 2 * M_PI / 48);
            noise = noise * 1103515245u + 12345u;
            state.log.LogTemp[i] = 45 + 4 * day + ((noise >> 16) % 100) / 100.0;
            state.log.LogMc1[i] = 30 - i * 0.001, state.log.LogMc2[i] = 25 - i * 0.0008;
            state.log.LogMc3[i] = 20 - i * 0.0006, state.log.LogRhQ7R[i] = 70 - 10 * day;
        }
        frmChart window(LogViewOf(state), ui, LogFileActionsOf(state, ui));
        window.resize(1000, 900);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        // Every column holds the temperature and the RH, drawn from one record to the next.
        const QImage image = window.SurfaceImage();
        for (int x = 0; x < image.width(); ++x)
            QVERIFY2(rowsShowing(image, x, Red) > 0 && rowsShowing(image, x, Blue) > 0,
                     qPrintable(QString::number(x)));
        // The record shown is the hour of its time, less 9.
        const auto shown = [&window] {
            return window.txtLegend[0]->text().section(' ', 1).section(':', 0, 0).toInt() - 9;
        };
        QCOMPARE(shown(), MaxLogRecords);
        // At the left edge record 1, halfway record 8500, give or take the 21 records of a column.
        moveTo(window, 0);
        QVERIFY2(shown() <= 1 + 21, qPrintable(window.txtLegend[0]->text()));
        moveTo(window, 0.5);
        QVERIFY2(std::abs(shown() - 8500) <= 21, qPrintable(window.txtLegend[0]->text()));
        saveShot(window, "chart-full");
        QVERIFY(ui.messages.empty());
    }

    void zoom_data() {
        QTest::addColumn<QString>("top");
        QTest::addColumn<QString>("bottom");
        QTest::addColumn<QString>("shownTop");
        QTest::addColumn<QString>("shownBottom");
        QTest::newRow("top above 150") << "200"
                                       << "50"
                                       << "150"
                                       << "50";
        QTest::newRow("top below bottom") << "80"
                                          << "120"
                                          << "100"
                                          << "0";
        QTest::newRow("bottom below -40") << "50"
                                          << "-100"
                                          << "50"
                                          << "-40";
        QTest::newRow("top no number") << "abc"
                                       << "10"
                                       << "100"
                                       << "10";
        QTest::newRow("equal: span 100") << "60"
                                         << "60"
                                         << "160"
                                         << "60";
        QTest::newRow("both far below") << "-300"
                                        << "-500"
                                        << "100"
                                        << "0";
        QTest::newRow("plain") << "90"
                               << "-10"
                               << "90"
                               << "-10";
    }
    void zoom() {
        QFETCH(QString, top);
        QFETCH(QString, bottom);
        QFETCH(QString, shownTop);
        QFETCH(QString, shownBottom);
        // The temperature lies above every scale the zoom allows.
        setVantorp(state.log, {200, 200}, {70, 70});
        frmChart window(LogViewOf(state), ui, LogFileActionsOf(state, ui));
        window.show();
        QCOMPARE(window.txtAxisYmax->text(), QStringLiteral("100"));
        QCOMPARE(window.txtAxisYmin->text(), QStringLiteral("0"));
        ui.inputs = {top, bottom};
        QTest::mouseClick(window.btnZoom, Qt::LeftButton);
        QCOMPARE(ui.inputRequests.size(), std::size_t(2));
        QCOMPARE(ui.inputRequests[0].prompt, QStringLiteral("Enter a new maximum Y axis value:"));
        QCOMPARE(ui.inputRequests[0].title, QStringLiteral("Zoom"));
        QCOMPARE(ui.inputRequests[0].value, QStringLiteral("100"));
        QCOMPARE(ui.inputRequests[1].prompt, QStringLiteral("Enter a new minimum Y axis value:"));
        QCOMPARE(ui.inputRequests[1].value, QStringLiteral("0"));
        QCOMPARE(window.txtAxisYmax->text(), shownTop);
        QCOMPARE(window.txtAxisYmin->text(), shownBottom);
        // The traces follow the new scale.
        const QImage image = window.SurfaceImage();
        const int row = rowOf(image, 70, shownBottom.toDouble(), shownTop.toDouble());
        if (row >= 0 && row < image.height())
            QVERIFY(shows(image, image.width() / 2, row, Blue));
        else
            QVERIFY(!anywhere(image, Blue));

        // The next zoom offers the scale now shown; a cancelled or empty answer changes nothing.
        ui.clearRecord();
        ui.inputs = {std::nullopt};
        QTest::mouseClick(window.btnZoom, Qt::LeftButton);
        QCOMPARE(ui.inputRequests.size(), std::size_t(1));
        QCOMPARE(ui.inputRequests[0].value, shownTop);
        ui.inputs = {QStringLiteral("120"), QString()};
        QTest::mouseClick(window.btnZoom, Qt::LeftButton);
        QCOMPARE(ui.inputRequests.size(), std::size_t(3));
        QCOMPARE(ui.inputRequests[2].value, shownBottom);
        QCOMPARE(window.txtAxisYmax->text(), shownTop);
        QCOMPARE(window.txtAxisYmin->text(), shownBottom);
        QVERIFY(ui.messages.empty());

        // The command line's --range LOW:HIGH draws what the window shows after this zoom, and
        // takes whole numbers only.
        const QImage shown = window.grab().toImage();
        QFile log(LogFilePath(state, "zoom.txt"));
        QVERIFY(log.open(QIODevice::WriteOnly) && log.write(LogFileContent(state.log)) > 0);
        log.close();
        const QString range = bottom + QLatin1Char(':') + top;
        const QString out = home.filePath("zoom.png");
        qint32 low = 0, high = 0;
        if (!ParseChartRange(range, low, high)) {
            QCOMPARE(RunChartCommand(state, ui, "zoom.txt", out, QString(), range), 2);
            QCOMPARE(ui.messageTexts(),
                     QStringList{QStringLiteral("The range \"%1\" cannot be used: give "
                                                "LOW:HIGH in whole numbers, for example 20:80.")
                                     .arg(range)});
            return;
        }
        QCOMPARE(RunChartCommand(state, ui, "zoom.txt", out, QString(), range), 0);
        const QImage picture(out);
        QCOMPARE(picture.size(), QSize(603, 425));
        if (window.devicePixelRatioF() == 1)
            QCOMPARE(shown.convertToFormat(picture.format()).copy(0, 0, 603, 425), picture);
        QVERIFY(ui.messages.empty());
    }

    void emptyLog() {
        frmChart window(LogViewOf(state), ui, LogFileActionsOf(state, ui));
        window.show();
        QImage image = window.SurfaceImage();
        // "The log is empty." in black from (50, 40) of 156 by 125, nothing else.
        const qreal ratio = image.devicePixelRatio();
        const QRect text(image.width() * 50 / 156, image.height() * 40 / 125, image.width() / 2,
                         int(30 * ratio));
        int black = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                if (qGray(image.pixel(x, y)) < 100) {
                    QVERIFY2(text.contains(x, y), qPrintable(QStringLiteral("%1,%2").arg(x).arg(y)));
                    ++black;
                }
        QVERIFY(black > 60);
        QCOMPARE(legend(window), QStringList());
        moveTo(window, 0.5);
        QCOMPARE(legend(window), QStringList());
        // Never drawn: the zoom offers 0 as the top.
        ui.inputs = {std::nullopt};
        QTest::mouseClick(window.btnZoom, Qt::LeftButton);
        QCOMPARE(ui.inputRequests.at(0).value, QStringLiteral("0"));
        saveShot(window, "chart-empty");
    }

    void deleteTheShownFile() {
        QFile file(LogFilePath(state, "shown.txt"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("21.05.2014 13:45,68.0,50.0\r\n21.05.2014 14:45,69.0,51.0\r\n");
        file.close();
        frmChart window(LogViewOf(state), ui, LogFileActionsOf(state, ui));
        window.show();
        QTest::mouseClick(window.btnDelete, Qt::LeftButton);
        QCOMPARE(ui.messageTexts(), QStringList{"Select a file first."});
        QCOMPARE(ui.messages[0].icon, Icon::Information);

        state.log.SelectedLogFile = QStringLiteral("shown.txt");
        QVERIFY(ReadLogFile(state, ui, file.fileName()));
        window.Load();
        QVERIFY(anywhere(window.SurfaceImage(), Red));
        ui.clearRecord();
        ui.answers = {Answer::No, Answer::Yes};
        QTest::mouseClick(window.btnDelete, Qt::LeftButton);
        QVERIFY(file.exists());
        QCOMPARE(state.log.RecordCount, 2);
        QTest::mouseClick(window.btnDelete, Qt::LeftButton);
        QCOMPARE(ui.messages.size(), std::size_t(2));
        QCOMPARE(ui.messages[1].text, QStringLiteral("Do you want to delete shown.txt ?"));
        QCOMPARE(ui.messages[1].title, QStringLiteral("Confirm"));
        QCOMPARE(ui.messages[1].buttons, Buttons::YesNo);
        QVERIFY(!file.exists());
        QCOMPARE(state.log.RecordCount, 0);
        QCOMPARE(state.log.SensorType, SensorVantorp);
        QVERIFY(state.log.SelectedLogFile.isEmpty());
        QVERIFY(!anywhere(window.SurfaceImage(), Red));
        QCOMPARE(legend(window), QStringList());
        QCOMPARE(window.chart.bmp->kind, ChartPicture::Kind::EmptyLog);
    }

    void openLeftWithCloseRedrawsTheSameLog() {
        setVantorp(state.log, {40, 60, 45}, {55, 35, 65});
        frmChart window(LogViewOf(state), ui, LogFileActionsOf(state, ui));
        window.show();
        const QImage before = window.SurfaceImage();
        QTimer::singleShot(0, this, [] {
            auto* library = qobject_cast<frmOpenFile*>(QApplication::activeModalWidget());
            QVERIFY(library);
            QTest::mouseClick(library->btnCancel, Qt::LeftButton);
        });
        QTest::mouseClick(window.btnOpen, Qt::LeftButton);
        QCOMPARE(state.log.RecordCount, 3);
        QCOMPARE(window.SurfaceImage(), before);
        QVERIFY(window.chart.bmp != nullptr && window.chart.bmp == window.chart.picBase);
        QCOMPARE(window.txtLegend[0]->text(), QStringLiteral("21.05.2014 12:45"));
    }

    void infoShowsTheChartsExtremes() {
        state.settings.Celsius = 1;
        setVantorp(state.log, {20, 25, 10}, {50, 30, 90});
        frmChart window(LogViewOf(state), ui, LogFileActionsOf(state, ui));
        window.show();
        QTest::mouseClick(window.btnInfo, Qt::LeftButton);
        QCOMPARE(ui.messages.size(), std::size_t(1));
        QCOMPARE(ui.messages[0].title, QStringLiteral("Log Info"));
        const QString text = ui.messages[0].text;
        QVERIFY2(text.contains("Temp " + Degree + "C\t\t25,0  /  10,0\r\r"), qPrintable(text));
        QVERIFY(text.contains("RH %\t\t90,0  /  30,0\r\r"));
        QVERIFY(text.contains("GPP\t\t52,0  /  42,2\r\r"));
        QVERIFY(text.endsWith("Records 3\n"));
        // A trace not drawn keeps the extremes of the drawing before.
        state.settings.AhGpp = 0;
        setVantorp(state.log, {5, 6}, {10, 20});
        window.Load();
        QCOMPARE(NumberText(window.chart.extremes.MaxGpp), QStringLiteral("52,0"));
        QCOMPARE(window.chart.extremes.MaxTemp, 6.0);
    }

    void failuresAreReportedOnce() {
        // A coordinate too large to draw ends its trace; the others are drawn.
        state.settings.AhGpp = state.settings.Emc = state.settings.Dewpoint = 0;
        setVantorp(state.log, {50, 1e300, 50}, {20, 20, 20});
        frmChart window(LogViewOf(state), ui, LogFileActionsOf(state, ui));
        window.show();
        QCOMPARE(ui.messageTexts(), QStringList{"frmChart.PaintTrace: Overflow"});
        QVERIFY(!anywhere(window.SurfaceImage(), Red));
        QVERIFY(anywhere(window.SurfaceImage(), Blue));
        QCOMPARE(window.chart.extremes.MaxTemp, 50.0);

        // A dew point that cannot be computed (at -243.12 C): the chart is finished without it,
        // and the readout over that record says why, once while the mouse stays there.
        ui.clearRecord();
        state.settings.Celsius = state.settings.Dewpoint = 1;
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
        state.settings.AhGpp = 1;
        state.settings.Dewpoint = 0;
        setVantorp(state.log, {20, 20, 110, 20, 20}, {50, 50, 50, 50, 50});
        window.Load();
        QCOMPARE(ui.messageTexts(), QStringList{"ERROR: CalcAh: Saturation pressure at or above one atmosphere"});
        const QImage gap = window.SurfaceImage();
        const int gpp = rowOf(gap, AhOf(20, 50, 1).value);
        QVERIFY(shows(gap, 0, gpp, state.GppTraceColor) && shows(gap, gap.width() - 1, gpp, state.GppTraceColor));
        QVERIFY(!shows(gap, gap.width() / 2, gpp, state.GppTraceColor));
        moveTo(window, 0.5);
        QCOMPARE(window.txtLegend[3]->text(), QStringLiteral("GPP "));
        QCOMPARE(ui.messageTexts().size(), 1);
    }

    void oneWindowForTheRun() {
        QWidget main;
        setVantorp(state.log, {70, 70}, {40, 40});
        frmChart* shown = nullptr;
        const auto zoomThenClose = [&] {
            shown = qobject_cast<frmChart*>(QApplication::activeModalWidget());
            QVERIFY(shown);
            ui.inputs = {QStringLiteral("150"), QStringLiteral("50")};
            QTest::mouseClick(shown->btnZoom, Qt::LeftButton);
            QTest::mouseClick(shown->btnMeter, Qt::LeftButton);
        };
        QTimer::singleShot(0, this, zoomThenClose);
        ShowChartWindow(LogViewOf(state), ui, {}, &main);
        QVERIFY(shown && shown->isHidden());
        frmChart* first = shown;

        // Shown again with another log: the same window, the zoom kept, the new log drawn.
        setVantorp(state.log, {100, 100, 100}, {90, 90, 90});
        QTimer::singleShot(0, this, [&] {
            shown = qobject_cast<frmChart*>(QApplication::activeModalWidget());
            QVERIFY(shown);
            QCOMPARE(shown->txtAxisYmax->text(), QStringLiteral("150"));
            QCOMPARE(shown->txtAxisYmin->text(), QStringLiteral("50"));
            QCOMPARE(shown->txtLegend[0]->text(), QStringLiteral("21.05.2014 12:45"));
            const QImage image = shown->SurfaceImage();
            QVERIFY(shows(image, image.width() / 2, rowOf(image, 100, 50, 150), Red));
            shown->close();
        });
        ShowChartWindow(LogViewOf(state), ui, {}, &main);
        QCOMPARE(shown, first);
        QCOMPARE(&ChartWindow(LogViewOf(state), ui, {}, &main), first);
    }

    void chartCommandDrawsTheWindow() {
        QFile file(LogFilePath(state, "cmd.txt"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(
            "21.05.2014 13:45,20.0,12.0,14.0,16.0,50.0\r\n21.05.2014 14:45,30.0,13.0,15.0,17.0,60.0\r\n");
        file.close();
        const QString out = home.filePath("chart.png");
        QCOMPARE(RunChartCommand(state, ui, "cmd.txt", out, QString()), 0);
        const QImage picture(out);
        QCOMPARE(picture.size(), QSize(603, 425));

        // The same as the window shows above its buttons.
        frmChart window(LogViewOf(state), ui, LogFileActionsOf(state, ui));
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        if (window.devicePixelRatioF() == 1) {
            const QImage grabbed = window.grab().toImage().convertToFormat(picture.format());
            QCOMPARE(grabbed.copy(0, 0, 603, 425), picture);
        }
        saveShot(window, "chart-window");

        QCOMPARE(RunChartCommand(state, ui, file.fileName(), out, "1000x700"), 0);
        QCOMPARE(QImage(out).size(), QSize(1000, 700));
        QVERIFY(ui.messages.empty());

        for (const char* size : {"100x100", "800*600", "x", "9000x600"}) {
            QCOMPARE(RunChartCommand(state, ui, "cmd.txt", out, size), 2);
            QVERIFY(ui.messages.back().text.startsWith(
                QStringLiteral("The size \"%1\" cannot be used").arg(size)));
        }
        QCOMPARE(RunChartCommand(state, ui, "missing.txt", out, QString()), 1);
        QVERIFY(ui.messages.back().text.startsWith("ERROR: OpenLogFile: "));
        QCOMPARE(RunChartCommand(state, ui, "cmd.txt", home.filePath("no/such/folder/c.png"), QString()), 1);
        QVERIFY(ui.messages.back().text.startsWith("ERROR: RunChartCommand: "));
        QVERIFY(!QFile::exists(home.filePath("no/such/folder/c.png")));
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
