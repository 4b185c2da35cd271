// The chart window used as a user would: pixel colours where a trace must and must not be, the
// legend's readout as the mouse moves, Zoom, Open, Delete, Info, the one window of the run and
// `kv5 chart`. The locale's decimal separator is a comma. On the surface the first record lies on
// the left edge, the last on the right, the scale's bottom on the bottom edge and its top on top.
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
#include <QScopeGuard>
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

// How much of colour c a pixel over the white surface shows: 1 for c, 0 for white or for a pixel
// that is no mix of white and c.
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
// The rows of column x from first to last that show colour c; a line shows in as many rows as it
// is device pixels wide.
int rows(const QImage& image, int x, const QColor& c, int first = 0, int last = 1 << 20) {
    int found = 0;
    for (int y = std::max(0, first); y <= std::min(image.height() - 1, last); ++y)
        found += share(image.pixel(x, y), c) >= 0.45;
    return found;
}
// Whether a trace of colour c crosses column x within a row of row, or any column at all.
bool shows(const QImage& image, int x, int row, const QColor& c) {
    return rows(image, x, c, row - 1, row + 1) > 0;
}
bool anywhere(const QImage& image, const QColor& c) {
    for (int x = 0; x < image.width(); ++x)
        if (rows(image, x, c) > 0) return true;
    return false;
}
// The surface row of value v on a scale from bottom to top.
int rowOf(const QImage& image, double v, double bottom = 0, double top = 100) {
    return qRound((image.height() - 1) * (top - v) / (top - bottom));
}

// A log of Vantorp ({temp, rh}) or Q7R ({temp, mc1, mc2, mc3, rh}) records, one an hour from 10:45.
void setLog(LogData& log, const std::vector<std::vector<double>>& records) {
    log.RecordCount = int(records.size());
    log.SensorType = records[0].size() == 5 ? SensorQ7R : SensorVantorp;
    for (int i = 0; i < log.RecordCount; ++i) {
        log.LogTime[i] = QString(log.isQ7R() ? "5/21/2014 %1:45" : "21.05.2014 %1:45").arg(10 + i);
        const std::vector<double>& r = records[i];
        log.LogTemp[i] = r[0], (log.isQ7R() ? log.LogRhQ7R : log.LogRh)[i] = r.back();
        if (log.isQ7R()) log.LogMc1[i] = r[1], log.LogMc2[i] = r[2], log.LogMc3[i] = r[3];
    }
}

} // namespace

class TestChart : public QObject {
    Q_OBJECT

    QTemporaryDir home;
    AppState state;
    ScriptedUi ui;

    static void moveTo(frmChart& window, double fraction) {
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
    }

    void init() {
        state.log = LogData();
        state.settings = Settings();
        ui.clearRecord();
        ui.inputs.clear();
    }

    // The record under X for a record count: halves go to the even record, X stays on the surface.
    // Zoom's top and bottom as typed and as used: the top at most 150 and not below the bottom,
    // the bottom at least -40 and not above the top.
    void readoutAndZoomRules() {
        const int readout[][3] = {{39, 2, 2}, {58, 4, 2}, {-20, 5, 1}, {300, 5, 5}};
        for (const auto& [x, count, record] : readout) QCOMPARE(ReadoutRecord(float(x), count), record);
        QCOMPARE(ReadoutRecord(97.5f, 4), 4);
        qint32 zoom[][4] = {
            {200, 50, 150, 50}, {80, 120, 100, 0}, {50, -100, 50, -40}, {-300, -500, -300, 0}};
        for (auto [top, bottom, usedTop, usedBottom] : zoom) {
            AdjustZoom(top, bottom);
            QCOMPARE(QPoint(top, bottom), QPoint(usedTop, usedBottom));
        }
    }

    // The last record of two: 10 C (50 F) and 90 %: GPP 49.8, EMC 20.9 %, dew point 8.4 C (47.2 F).
    void legend_data() {
        QTest::addColumn<int>("family");
        QTest::addColumn<QString>("settings");
        QTest::addColumn<QString>("shown");
        const QString c = Degree + "C", f = Degree + "F";
        QTest::newRow("Vantorp, C, all")
            << int(SensorVantorp) << "1111"
            << "21.05.2014 11:45|Temp 10,0" + c + "|RH 90,0%|GPP 49,8|EMC 20,9%|Dew 8,4" + c;
        QTest::newRow("Q7R, no GPP") << int(SensorQ7R) << "0011"
                                     << "5/21/2014 11:45|Temp 50,0" + f +
                                            "|MC1 12,5%|MC2 8,0%|MC3 -0,5%|RH 90,0%|EMC 20,9%|Dew 47,2" + f;
    }
    void legend() {
        QFETCH(int, family);
        QFETCH(QString, settings);
        QFETCH(QString, shown);
        set(settings);
        const double temp = state.settings.Celsius ? 10 : 50;
        if (family == SensorQ7R)
            setLog(state.log, {{temp, 12.5, 8, -0.5, 90}, {temp, 12.5, 8, -0.5, 90}});
        else
            setLog(state.log, {{temp, 90}, {temp, 90}}), state.log.SensorType = family;
        frmChart window(LogViewOf(state), ui);
        window.show();
        QStringList texts;
        for (ChartTextBox* box : window.txtLegend)
            if (!box->isHidden()) texts << box->text();
        QCOMPARE(texts.join('|'), shown);
        // The boxes come without a gap, each in its trace's colour; the trace ends at the right edge
        // at the value shown (MC3 lies below the scale); the traces not shown are not drawn.
        std::map<QString, QColor> colours{{"Temp", Red}, {"MC1", Black}, {"MC2", Magenta}, {"MC3", Orange},
                                          {"RH", Blue},  {"GPP", Green}, {"EMC", Purple},  {"Dew", SkyBlue}};
        const QImage image = window.SurfaceImage();
        for (int i = 0; i < 9; ++i) QCOMPARE(window.txtLegend[i]->isHidden(), i >= shown.count('|') + 1);
        for (int i = 1; i <= shown.count('|'); ++i) {
            const QStringList box = window.txtLegend[i]->text().split(' ');
            const double value =
                box[1].section(QRegularExpression("[^-0-9,]"), 0, 0).replace(',', '.').toDouble();
            QCOMPARE(window.txtLegend[i]->textColor(), colours.at(box[0]));
            QVERIFY2(value < 0 || shows(image, image.width() - 1, rowOf(image, value), colours.at(box[0])),
                     qPrintable(box[0]));
            colours.erase(box[0]);
        }
        for (const auto& [label, colour] : colours) QVERIFY2(!anywhere(image, colour), qPrintable(label));
        moveTo(window, 0.3);
        QCOMPARE(window.SurfaceImage(), image); // the readout draws nothing on the chart
        QVERIFY(ui.messages.empty());
    }

    void tracesWhereTheyBelong() {
        frmChart window(LogViewOf(state), ui);
        setLog(state.log, {{50, 20}, {50, 80}});
        window.show();
        QImage image = window.SurfaceImage();
        const int last = image.width() - 1;
        QCOMPARE(image.size(), window.bmp->size() * window.devicePixelRatioF());
        // Two records: the first on the left edge, the second on the right edge.
        QVERIFY(shows(image, 0, rowOf(image, 50), Red) && shows(image, last, rowOf(image, 50), Red));
        QVERIFY(shows(image, 0, rowOf(image, 20), Blue) && shows(image, last, rowOf(image, 80), Blue));
        QVERIFY(!shows(image, last, rowOf(image, 20), Blue));
        // One record: each value a line across the whole width.
        setLog(state.log, {{30, 70}});
        window.Load();
        image = window.SurfaceImage();
        for (int x = 0; x <= last; ++x)
            QVERIFY(shows(image, x, rowOf(image, 30), Red) && shows(image, x, rowOf(image, 70), Blue));
        // At twice the pixels the lines are two device pixels wide, as sharp as one at one.
        const QImage sharp = RenderChartSurface(*window.chart.bmp, QSize(200, 100), 2);
        const QImage single = RenderChartSurface(*window.chart.bmp, QSize(200, 100), 1);
        for (int column : {0, 150, 399})
            QVERIFY(rows(sharp, column, Red) == 2 && rows(single, column / 2, Red) == 1);
        // Values above the scale are cut off: 130 is never seen, RH from 50 to 150 leaves halfway.
        setLog(state.log, {{130, 50}, {130, 100}, {130, 150}});
        window.Load();
        image = window.SurfaceImage();
        QVERIFY(!anywhere(image, Red) && shows(image, 0, rowOf(image, 50), Blue));
        QCOMPARE(rows(image, last * 3 / 4, Blue), 0);
    }

    // The alarm limits of the log's context as dashed lines in the quantity's colour, within the
    // scale only; the times under the chart only when the setting asks for them.
    void limitLinesAndTimes() {
        frmChart window(LogViewOf(state), ui);
        setLog(state.log, {{50, 20}, {50, 20}});
        state.log.Context = LogContext();
        state.log.Context->Temperature = {25.0, 75.0};
        state.log.Context->RhMc = {std::nullopt, 140.0};
        window.show();
        QImage image = window.SurfaceImage();
        const auto dashed = [&](int row, const QColor& c) {
            int on = 0;
            for (int x = 0; x < image.width(); ++x) on += share(image.pixel(x, row), c) >= 0.45;
            return on > image.width() / 4 && on < image.width() * 3 / 4;
        };
        QVERIFY(dashed(rowOf(image, 25), Red) && dashed(rowOf(image, 75), Red));
        QVERIFY(!anywhere(image, Blue) || rows(image, image.width() / 2, Blue) == rows(image, 0, Blue));
        QCOMPARE(window.chart.bmp->limits.size(), size_t(2));
        QVERIFY(window.chart.bmp->times.empty());
        // 23:00 on 7 March and every half hour for two days: marks every 12 hours from midnight.
        for (int i = 0; i < 97; ++i) state.log.LogTime[i] = "x", state.log.LogTemp[i] = 50, state.log.LogRh[i] = 20;
        state.log.RecordCount = 97;
        state.log.Context->Start = QDateTime(QDate(2026, 3, 7), QTime(23, 0), Qt::UTC);
        state.log.Context->IntervalSeconds = 1800;
        state.settings.ChartTimes = 1;
        window.Load();
        QStringList texts;
        for (const ChartTimeMark& mark : window.chart.bmp->times) texts << mark.text;
        QCOMPARE(texts, QStringList({"03-08 00:00", "03-08 12:00", "03-09 00:00", "03-09 12:00"}));
        QCOMPARE(window.chart.bmp->times[1].x, 156.0 * 13 / 48);
        image = window.SurfaceImage();
        image.save(home.filePath("limits-and-times.png"));
        const int markX = qRound((image.width() - 1) * 13.0 / 48);
        QVERIFY(rows(image, markX, Black, image.height() - 6, image.height() - 1) >= 3);
    }

    // Open and Delete run their actions and draw the log there then, an empty one too; Info shows
    // the extremes of the last drawing, a trace not drawn keeping those before.
    void openDeleteAndInfo() {
        state.settings.Celsius = 1;
        setLog(state.log, {{20, 50}, {25, 30}, {10, 90}});
        bool deleted = false;
        LogFileActions actions{[&](QWidget*) {
                                   setLog(state.log, {{5, 10}, {6, 20}}), state.settings.AhGpp = 0;
                               },
                               [&] { return deleted ? (state.log.RecordCount = 0, true) : false; },
                               {}};
        frmChart window(LogViewOf(state), ui, actions);
        window.show();
        QTest::mouseClick(window.btnInfo, Qt::LeftButton);
        QVERIFY(ui.messages.at(0).text.contains("Temp " + Degree + "C\t\t25,0  /  10,0\r\r"));
        QTest::mouseClick(window.btnOpen, Qt::LeftButton);
        QCOMPARE(window.txtLegend[0]->text(), QStringLiteral("21.05.2014 11:45"));
        QCOMPARE(window.chart.extremes[Quantity::Temperature].Max, 6.0);
        QCOMPARE(NumberText(window.chart.extremes[Quantity::Gpp].Max), QStringLiteral("52,0"));
        QTest::mouseClick(window.btnDelete, Qt::LeftButton);
        QVERIFY(anywhere(window.SurfaceImage(), Red));
        deleted = true;
        QTest::mouseClick(window.btnDelete, Qt::LeftButton);
        // "The log is empty." in black, no trace and no readout.
        QVERIFY(anywhere(window.SurfaceImage(), Black) && !anywhere(window.SurfaceImage(), Red));
        moveTo(window, 0.5);
        QVERIFY(window.txtLegend[0]->isHidden());
    }

    void failuresAreReportedOnce() {
        // A coordinate too large to draw ends its trace; the others are drawn.
        set("0000");
        setLog(state.log, {{50, 20}, {1e300, 20}, {50, 20}});
        frmChart window(LogViewOf(state), ui);
        window.show();
        QCOMPARE(ui.messageTexts(), QStringList{"frmChart.PaintTrace: Overflow"});
        QVERIFY(!anywhere(window.SurfaceImage(), Red) && anywhere(window.SurfaceImage(), Blue));

        // A dew point that cannot be computed (at -243.12 C): the chart is finished without it, and
        // the readout over that record says why, once while the mouse stays there.
        ui.clearRecord();
        set("1001");
        setLog(state.log, {{20, 50}, {-243.12, 50}, {20, 50}});
        window.Load();
        QCOMPARE(ui.messageTexts(), QStringList{"frmChart.Form_Load: Division by zero"});
        QVERIFY(!anywhere(window.SurfaceImage(), SkyBlue));
        moveTo(window, 0.4);
        moveTo(window, 0.45);
        QCOMPARE(ui.messageTexts().size(), 2);
        QCOMPARE(ui.messages[1].text, QStringLiteral("Calculating X axis failed: Division by zero"));
        QCOMPARE(window.txtLegend[0]->text(), QStringLiteral("21.05.2014 12:45")); // not reached

        // Above boiling there is no GPP: one message for the series, a gap in its trace, no number
        // in the readout.
        ui.clearRecord();
        set("1100");
        setLog(state.log, {{20, 50}, {20, 50}, {110, 50}, {20, 50}, {20, 50}});
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

    // One window for the run, keeping its zoom; `kv5 chart` draws what the window shows above its
    // buttons, at any size within limits.
    void oneWindowAndChartCommand() {
        setLog(state.log, {{200, 70}, {200, 70}});
        QFile file(LogFilePath(state, "cmd.txt"));
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(LogFileContent(state.log)) > 0);
        file.close();
        QWidget main;
        frmChart* window = &ChartWindow(LogViewOf(state), ui, {}, &main);
        window->chart.SetZoom(90, -10);
        const QString out = home.filePath("chart.png");
        QTimer::singleShot(0, this, [&] {
            const auto close = qScopeGuard([&] { QTest::mouseClick(window->btnMeter, Qt::LeftButton); });
            QCOMPARE(QApplication::activeModalWidget(), window);
            QCOMPARE(window->txtAxisYmax->text() + ':' + window->txtAxisYmin->text(),
                     QStringLiteral("90:-10"));
            // Zoom offers the scale shown; a cancelled or empty answer changes nothing.
            ui.inputs = {std::nullopt, QStringLiteral("120"), QString()};
            QTest::mouseClick(window->btnZoom, Qt::LeftButton);
            QTest::mouseClick(window->btnZoom, Qt::LeftButton);
            QCOMPARE(ui.inputRequests.at(0).value, QStringLiteral("90"));
            QCOMPARE(RunChartCommand(state, ui, "cmd.txt", out, QString(), "-10:90"), 0);
            const QImage picture(out);
            QCOMPARE(picture.size(), QSize(603, 425));
            if (window->devicePixelRatioF() == 1)
                QCOMPARE(window->grab().toImage().convertToFormat(picture.format()).copy(0, 0, 603, 425),
                         picture);
            // What no scale can show takes the default: no number for the top, no span.
            const auto zoom = [&](const QString& top, const QString& bottom) {
                ui.inputs = {top, bottom};
                QTest::mouseClick(window->btnZoom, Qt::LeftButton);
                return window->txtAxisYmax->text() + ':' + window->txtAxisYmin->text();
            };
            QCOMPARE(zoom("60", "60"), QStringLiteral("160:60"));
            QCOMPARE(zoom("-300", "-500"), QStringLiteral("100:0"));
            QCOMPARE(zoom("abc", "10"), QStringLiteral("100:10"));
            const QImage image = window->SurfaceImage(); // the traces follow the scale
            QVERIFY(shows(image, image.width() / 2, rowOf(image, 70, 10, 100), Blue) &&
                    !anywhere(image, Red));
        });
        ShowChartWindow(LogViewOf(state), ui, {}, &main);
        QVERIFY(window->isHidden());
        QCOMPARE(&ChartWindow(LogViewOf(state), ui, {}, &main), window);
        QCOMPARE(RunChartCommand(state, ui, file.fileName(), out, "1000x700"), 0);
        QCOMPARE(QImage(out).size(), QSize(1000, 700));
        QVERIFY(ui.messages.empty());
        for (const char* size : {"100x100", "800*600", "9000x600"}) {
            QCOMPARE(RunChartCommand(state, ui, "cmd.txt", out, size), 2);
            QVERIFY(ui.messages.back().text.startsWith(
                QStringLiteral("The size \"%1\" cannot be used").arg(size)));
        }
        QCOMPARE(RunChartCommand(state, ui, "cmd.txt", out, QString(), "20:eighty"), 2);
        QVERIFY(ui.messages.back().text.startsWith("The range \"20:eighty\" cannot be used: give LOW:HIGH"));
        QCOMPARE(RunChartCommand(state, ui, "missing.txt", out, QString()), 1);
        QVERIFY(ui.messages.back().text.startsWith("ERROR: OpenLogFile: "));
        QCOMPARE(RunChartCommand(state, ui, "cmd.txt", home.filePath("no/such/folder/c.png"), QString()), 1);
        QVERIFY(ui.messages.back().text.startsWith("ERROR: RunChartCommand: "));
    }
};

int main(int argc, char** argv) {
    qputenv("LC_ALL", "de_DE.UTF-8"); // the legend shows this locale's decimal comma
    QApplication app(argc, argv);
    TestChart test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_chart.moc"
