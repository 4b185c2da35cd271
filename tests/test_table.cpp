// The table window, the statistics box and the command line's table and info: columns, headers,
// cell texts, widths, extremes and the "Log Info" text, for both families and every setting;
// the window used as a user would. The locale's decimal separator is a comma: the windows show
// it, the files keep their points. Expected numbers come from published tables (dew point), the
// handbook's metric EMC coefficients and the vapour pressure curve worked out by hand.
#include "app/AppState.h"
#include "calc/Psychrometrics.h"
#include "device/Encodings.h"
#include "logfiles/LogFile.h"
#include "logfiles/frmOpenFile.h"
#include "support/ScriptedUi.h"
#include "app/ViewCommands.h"
#include "views/LogStatistics.h"
#include "views/LogTable.h"
#include "views/frmTable.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QScrollBar>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QTextStream>
#include <QTimer>

using namespace kv5;

namespace {

const QString Degree = QStringLiteral("\u00b0");

// Three Vantorp records in degrees C: 20 C 50 % (GPP 52.0, EMC 9.3, dew 9.3), 25 C 30 % (42.2,
// 6.1, 6.2), 10 C 90 % (49.8, 20.9, 8.4).
void fillVantorp(LogData& log) {
    const double temp[] = {20, 25, 10};
    const double rh[] = {50, 30, 90};
    for (int i = 0; i < 3; ++i) {
        log.LogTime[i] = QStringLiteral("21.05.2014 1%1:45").arg(i + 3);
        log.LogTemp[i] = temp[i];
        log.LogRh[i] = rh[i];
        log.LogRhQ7R[i] = 99;
        log.LogMc1[i] = 99;
    }
    log.RecordCount = 3;
    log.SensorType = SensorVantorp;
}

// The same air in degrees F, with three moisture channels: dew points 48.7, 43.2, 47.2 F.
void fillQ7R(LogData& log) {
    const double values[3][5] = {{68, 12, 8.5, -0.5, 50}, {77, 30.2, 9, 1, 30}, {50, 11, 15.5, 0, 90}};
    for (int i = 0; i < 3; ++i) {
        log.LogTime[i] = QStringLiteral("5/21/2014 1%1:45").arg(i + 3);
        log.LogTemp[i] = values[i][0];
        log.LogMc1[i] = values[i][1];
        log.LogMc2[i] = values[i][2];
        log.LogMc3[i] = values[i][3];
        log.LogRhQ7R[i] = values[i][4];
        log.LogRh[i] = 5;
    }
    log.RecordCount = 3;
    log.SensorType = SensorQ7R;
}

Settings settingsOf(int celsius, int gpp, int emc, int dew) {
    Settings settings;
    settings.Celsius = celsius;
    settings.AhGpp = gpp;
    settings.Emc = emc;
    settings.Dewpoint = dew;
    return settings;
}

} // namespace

class TestTable : public QObject {
    Q_OBJECT

    QTemporaryDir home;
    AppState state;
    ScriptedUi ui;

    static QStringList headers(const frmTable& window) {
        QStringList texts;
        const QAbstractItemModel* model = window.Grid1->model();
        for (int c = 0; c < model->columnCount(); ++c)
            texts << model->headerData(c, Qt::Horizontal).toString();
        return texts;
    }
    static QStringList row(const frmTable& window, int record) {
        QStringList texts;
        const QAbstractItemModel* model = window.Grid1->model();
        for (int c = 0; c < model->columnCount(); ++c) texts << model->index(record - 1, c).data().toString();
        return texts;
    }
    void saveShot(QWidget& widget, const QString& name) {
        const QString folder = qEnvironmentVariable("KV5_SCREENSHOT_DIR");
        if (!folder.isEmpty()) widget.grab().save(folder + '/' + name + QStringLiteral(".png"));
    }
    // Runs act on the library window once OpenLogFile shows it.
    void whenLibraryShown(std::function<void(frmOpenFile&)> act) {
        QTimer::singleShot(0, this, [act] {
            auto* window = qobject_cast<frmOpenFile*>(QApplication::activeModalWidget());
            QVERIFY(window);
            act(*window);
        });
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
        ui.answers.clear();
    }

    void columnsForEverySetting() {
        for (int family : {SensorVantorp, SensorQ7R, 0}) {
            for (int mask = 0; mask < 16; ++mask) {
                state.settings = settingsOf(mask & 1, (mask >> 1) & 1, (mask >> 2) & 1, (mask >> 3) & 1);
                state.log.SensorType = family;
                const QString unit = Degree + (state.settings.Celsius ? "C" : "F");
                QStringList expected{"Time", "Temp " + unit};
                if (family == SensorQ7R)
                    expected << "MC1 %"
                             << "MC2 %"
                             << "MC3 %";
                expected << "RH %";
                if (state.settings.AhGpp) expected << "GPP";
                if (state.settings.Emc) expected << "EMC %";
                if (state.settings.Dewpoint) expected << "Dew " + unit;

                frmTable window(LogViewOf(state), ui, LogFileActionsOf(state, ui));
                QCOMPARE(headers(window), expected);
                QCOMPARE(window.Grid1->model()->rowCount(), 0); // an empty log: headers only

                // Widths in characters by family and column count.
                const int columns = int(expected.size());
                const int vantorp[][2] = {{19, 15}, {19, 10}, {17, 9}, {14, 9}};
                const int q7r[][2] = {{14, 9}, {14, 8}, {12, 7}, {14, 6}};
                const int* chars = family == SensorQ7R ? q7r[columns - 6] : vantorp[columns - 3];
                const QFontMetrics metrics(window.Grid1->font());
                for (int c = 0; c < columns; ++c) {
                    const int n = c == 0 ? chars[0] : chars[1];
                    const int width = window.Grid1->columnWidth(c);
                    QVERIFY2(metrics.horizontalAdvance(QString(n, '0')) <= width &&
                                 width < metrics.horizontalAdvance(QString(n + 2, '0')),
                             qPrintable(
                                 QStringLiteral("family %1 mask %2 column %3").arg(family).arg(mask).arg(c)));
                }
            }
        }
        QVERIFY(ui.messages.empty());
    }

    void cellsOfAVantorpLog() {
        fillVantorp(state.log);
        state.settings = settingsOf(1, 1, 1, 1);
        frmTable window(LogViewOf(state), ui, LogFileActionsOf(state, ui));
        QCOMPARE(window.windowTitle(), QStringLiteral("Log"));
        QCOMPARE(window.Grid1->font().pointSize(), 8);
        QCOMPARE(row(window, 1), QStringList({"21.05.2014 13:45", "20,0", "50,0", "52,0", "9,3", "9,3"}));
        QCOMPARE(row(window, 2), QStringList({"21.05.2014 14:45", "25,0", "30,0", "42,2", "6,1", "6,2"}));
        QCOMPARE(row(window, 3), QStringList({"21.05.2014 15:45", "10,0", "90,0", "49,8", "20,9", "8,4"}));

        // GPP off, EMC and dew point on: no gap where GPP was.
        state.settings = settingsOf(1, 0, 1, 1);
        window.Load();
        QCOMPARE(row(window, 2), QStringList({"21.05.2014 14:45", "25,0", "30,0", "6,1", "6,2"}));
        state.settings = settingsOf(0, 0, 0, 0);
        window.Load();
        QCOMPARE(row(window, 3), QStringList({"21.05.2014 15:45", "10,0", "90,0"}));
        QCOMPARE(window.Grid1->model()->rowCount(), 3);
        QVERIFY(ui.messages.empty());
    }

    void cellsOfAQ7RLog() {
        fillQ7R(state.log);
        state.settings = settingsOf(0, 1, 1, 1);
        frmTable window(LogViewOf(state), ui, LogFileActionsOf(state, ui));
        QCOMPARE(row(window, 1), QStringList({"5/21/2014 13:45", "68,0", "12,0", "8,5", "-0,5", "50,0",
                                              "52,0", "9,3", "48,7"}));
        QCOMPARE(row(window, 2), QStringList({"5/21/2014 14:45", "77,0", "30,2", "9,0", "1,0", "30,0", "42,2",
                                              "6,1", "43,2"}));
        QCOMPARE(row(window, 3), QStringList({"5/21/2014 15:45", "50,0", "11,0", "15,5", "0,0", "90,0",
                                              "49,8", "20,9", "47,2"}));

        // Celsius on after a Fahrenheit download: the numbers stay as held under the C headers.
        state.settings = settingsOf(1, 0, 0, 1);
        window.Load();
        QCOMPARE(headers(window), QStringList({"Time", "Temp " + Degree + "C", "MC1 %", "MC2 %", "MC3 %",
                                               "RH %", "Dew " + Degree + "C"}));
        QCOMPARE(row(window, 1).mid(1, 5), QStringList({"68,0", "12,0", "8,5", "-0,5", "50,0"}));
        QVERIFY(ui.messages.empty());
    }

    void theLastRecordIsTheActiveCell() {
        for (int i = 0; i < MaxLogRecords; ++i) {
            state.log.LogTime[i] = QString::number(i + 1);
            state.log.LogTemp[i] = i % 50;
            state.log.LogRh[i] = 40;
        }
        state.log.RecordCount = MaxLogRecords;
        state.log.SensorType = SensorVantorp;
        frmTable window(LogViewOf(state), ui, LogFileActionsOf(state, ui));
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        const QModelIndex current = window.Grid1->currentIndex();
        QCOMPARE(current.row(), MaxLogRecords - 1);
        QCOMPARE(current.column(), 0);
        QVERIFY(window.Grid1->viewport()->rect().contains(window.Grid1->visualRect(current)));
        QCOMPARE(window.Grid1->indexAt(window.Grid1->visualRect(current).center()).data().toString(),
                 QStringLiteral("17000"));
        saveShot(window, QStringLiteral("table-vantorp-17000"));
    }

    void theTimeColumnShowsWholeTimeStamps() {
        // A Q7R log with every derived column: the narrowest time column there is.
        for (int i = 0; i < 2; ++i) {
            state.log.LogTime[i] = QStringLiteral("17 Sep 2026 09:35");
            state.log.LogTemp[i] = 70;
            state.log.LogRhQ7R[i] = 40;
        }
        state.log.RecordCount = 2;
        state.log.SensorType = SensorQ7R;
        frmTable window(LogViewOf(state), ui, LogFileActionsOf(state, ui));
        const QFontMetrics metrics(window.Grid1->font());
        QVERIFY(window.Grid1->columnWidth(0) > metrics.horizontalAdvance(state.log.LogTime[0]));
        QCOMPARE(window.Grid1->model()->columnCount(), 9);
    }

    void cellsCannotBeEdited() {
        fillVantorp(state.log);
        frmTable window(LogViewOf(state), ui, LogFileActionsOf(state, ui));
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        const QModelIndex cell = window.Grid1->model()->index(1, 1);
        QVERIFY(!(cell.flags() & Qt::ItemIsEditable));
        const QPoint at = window.Grid1->visualRect(cell).center();
        QTest::mouseDClick(window.Grid1->viewport(), Qt::LeftButton, {}, at);
        QTest::keyClicks(window.Grid1, "99");
        QTest::keyClick(window.Grid1, Qt::Key_F2);
        QTest::keyClick(window.Grid1, Qt::Key_Return);
        QVERIFY(!window.Grid1->findChild<QLineEdit*>()); // no editor opened
        QCOMPARE(cell.data().toString(), QStringLiteral("25,0"));
        QCOMPARE(state.log.LogTemp[1], 25.0);
    }

    void extremes() {
        fillQ7R(state.log);
        state.settings = settingsOf(0, 1, 1, 1);
        LogExtremes e;
        QVERIFY(ComputeExtremes(state.log, state.settings, e, ui));
        QCOMPARE(e.MaxTemp, 77.0);
        QCOMPARE(e.MinTemp, 50.0);
        QCOMPARE(e.MaxMc1, 30.2);
        QCOMPARE(e.MinMc1, 11.0);
        QCOMPARE(e.MaxMc2, 15.5);
        QCOMPARE(e.MinMc2, 8.5);
        QCOMPARE(e.MaxMc3, 1.0);
        QCOMPARE(e.MinMc3, -0.5);
        QCOMPARE(e.MaxRh, 90.0);
        QCOMPARE(e.MinRh, 30.0);
        QVERIFY(std::fabs(e.MaxGpp - 51.97) < 0.005);
        QVERIFY(std::fabs(e.MinGpp - 42.18) < 0.01);
        QVERIFY(std::fabs(e.MaxEmc - 20.9) < 0.05);
        QVERIFY(std::fabs(e.MinEmc - 6.1) < 0.05);
        QVERIFY(std::fabs(e.MaxDew - 48.66) < 0.01);
        QVERIFY(std::fabs(e.MinDew - 43.18) < 0.01);

        // An empty log leaves them as they were.
        LogExtremes before = e;
        state.log.RecordCount = 0;
        QVERIFY(ComputeExtremes(state.log, state.settings, e, ui));
        QCOMPARE(e.MaxTemp, before.MaxTemp);

        // A quantity not shown starts at the first record and goes no further.
        fillVantorp(state.log);
        state.settings = settingsOf(1, 0, 0, 0);
        QVERIFY(ComputeExtremes(state.log, state.settings, e, ui));
        QCOMPARE(e.MaxRh, 90.0); // RH of the Vantorp array
        QCOMPARE(e.MinRh, 30.0);
        QVERIFY(std::fabs(e.MaxGpp - 51.97) < 0.005);
        QCOMPARE(e.MaxGpp, e.MinGpp);
        QCOMPARE(e.MaxDew, e.MinDew);
        QCOMPARE(e.MaxMc1, before.MaxMc1); // not a Q7R log: MC pairs untouched
        QVERIFY(ui.messages.empty());

    }

    void infoTextExactly() {
        fillVantorp(state.log);
        state.settings = settingsOf(1, 1, 1, 1);
        LogExtremes e;
        QVERIFY(ComputeExtremes(state.log, state.settings, e, ui));
        QCOMPARE(LogInfoText(state.log, state.settings, e), "Reading\t\tHigh  /  Low\r\r"
                                                            "Temp " +
                                                                Degree +
                                                                "C\t\t25,0  /  10,0\r\r"
                                                                "RH %\t\t90,0  /  30,0\r\r"
                                                                "GPP\t\t52,0  /  42,2\r\r"
                                                                "EMC %\t\t20,9  /  6,1\r\r"
                                                                "Dew " +
                                                                Degree +
                                                                "C\t\t9,3  /  6,2\r\r"
                                                                "Records 3\n");

        fillQ7R(state.log);
        state.settings = settingsOf(0, 0, 1, 0);
        QVERIFY(ComputeExtremes(state.log, state.settings, e, ui));
        QCOMPARE(LogInfoText(state.log, state.settings, e), "Reading\t\tHigh  /  Low\r\r"
                                                            "Temp " +
                                                                Degree +
                                                                "F\t\t77,0  /  50,0\r\r"
                                                                "MC1 %\t\t30,2  /  11,0\r\r"
                                                                "MC2 %\t\t15,5  /  8,5\r\r"
                                                                "MC3 %\t\t1,0  /  -0,5\r\r"
                                                                "RH %\t\t90,0  /  30,0\r\r"
                                                                "EMC %\t\t20,9  /  6,1\r\r"
                                                                "Records 3\n");

        state.log.RecordCount = 0;
        QCOMPARE(LogInfoText(state.log, state.settings, e), QStringLiteral("There is no log data!"));
    }

    void infoButton() {
        frmTable window(LogViewOf(state), ui, LogFileActionsOf(state, ui));
        QTest::mouseClick(window.btnInfo, Qt::LeftButton);
        QCOMPARE(ui.messages.size(), std::size_t(1));
        QCOMPARE(ui.messages[0].text, QStringLiteral("There is no log data!"));
        QCOMPARE(ui.messages[0].title, QStringLiteral("Log Info"));
        QCOMPARE(ui.messages[0].icon, Icon::Information);
        QCOMPARE(ui.messages[0].buttons, Buttons::Ok);

        fillVantorp(state.log);
        state.settings = settingsOf(0, 0, 0, 0);
        window.Load();
        ui.clearRecord();
        QTest::mouseClick(window.btnInfo, Qt::LeftButton);
        QCOMPARE(ui.messageTexts(),
                 QStringList{"Reading\t\tHigh  /  Low\r\rTemp " + Degree +
                             "F\t\t25,0  /  10,0\r\rRH %\t\t90,0  /  30,0\r\rRecords 3\n"});
    }

    void failingCalculationsAreReportedOnce() {
        fillVantorp(state.log);
        state.settings = settingsOf(1, 1, 1, 1);
        // 110 C: no GPP (above boiling); -243.12 C: no dew point. Their cells stay empty.
        state.log.LogTemp[1] = 110;
        state.log.LogTemp[2] = -243.12;
        frmTable window(LogViewOf(state), ui, LogFileActionsOf(state, ui));
        QCOMPARE(ui.messageTexts(), QStringList({"ERROR: CalcAh: Saturation pressure at or above one atmosphere",
                                                 "Loading grid failed"}));
        QCOMPARE(ui.messages[1].icon, Icon::Stop);
        QCOMPARE(row(window, 2).mid(1, 3), QStringList({"110,0", "30,0", ""}));
        // The GPP extremes leave that record out.
        QCOMPARE(window.extremes.MaxGpp, AhOf(state.log.LogTemp[0], state.log.LogRh[0], 1).value);
        QVERIFY(window.extremes.MinGpp >= 0);
        QCOMPARE(row(window, 3)[5], QString());
        QCOMPARE(row(window, 3)[1], QStringLiteral("-243,1"));
        QCOMPARE(window.Grid1->currentIndex().row(), 2);
        // The dew extremes keep what the records that had one gave.
        QCOMPARE(window.extremes.MaxDew, CalcDewPoint(110, state.log.LogRh[1], 1).value);
        QCOMPARE(window.extremes.MinDew, CalcDewPoint(state.log.LogTemp[0], state.log.LogRh[0], 1).value);

        // Many failing rows still give one message each.
        for (int i = 0; i < 100; ++i) {
            state.log.LogTemp[i] = -273;
            state.log.LogRh[i] = 50;
        }
        state.log.RecordCount = 100;
        state.settings = settingsOf(1, 1, 0, 0);
        ui.clearRecord();
        window.Load();
        QCOMPARE(ui.messageTexts(), QStringList{"ERROR: CalcAh: Division by zero"});
    }

    void openButtonLoadsTheChosenFile() {
        QVERIFY(
            QFile::copy(QStringLiteral(KV5_SOURCE_DIR "/tests/data/q7r.txt"), LogFilePath(state, "q7r.txt")));
        fillVantorp(state.log);
        state.settings = settingsOf(0, 1, 1, 1);
        frmTable window(LogViewOf(state), ui, LogFileActionsOf(state, ui));
        window.show();
        QCOMPARE(window.Grid1->model()->columnCount(), 6);
        whenLibraryShown([](frmOpenFile& library) {
            QListWidgetItem* entry = library.List1->findItems("q7r.txt", Qt::MatchExactly).value(0);
            QVERIFY(entry);
            QTest::mouseClick(library.List1->viewport(), Qt::LeftButton, {},
                              library.List1->visualItemRect(entry).center());
            QTest::mouseClick(library.btnOpen, Qt::LeftButton);
        });
        QTest::mouseClick(window.btnOpen, Qt::LeftButton);
        QCOMPARE(window.Grid1->model()->columnCount(), 9);
        QCOMPARE(row(window, 3).mid(0, 6),
                 QStringList({"21.05.2014 14:45", "-10,0", "99,9", "7,0", "15,5", "0,0"}));
        QCOMPARE(window.Grid1->currentIndex().row(), 2);
        QCOMPARE(window.extremes.MaxMc1, 99.9);

        // Close in the library: the same log is shown again.
        whenLibraryShown([](frmOpenFile& library) { QTest::mouseClick(library.btnCancel, Qt::LeftButton); });
        QTest::mouseClick(window.btnOpen, Qt::LeftButton);
        QCOMPARE(window.Grid1->model()->rowCount(), 3);
        QCOMPARE(window.Grid1->model()->columnCount(), 9);
        QVERIFY(ui.messages.empty());
        QVERIFY(QFile::remove(LogFilePath(state, "q7r.txt")));
    }

    void deleteButton() {
        fillQ7R(state.log);
        frmTable window(LogViewOf(state), ui, LogFileActionsOf(state, ui));
        window.show();
        QTest::mouseClick(window.btnDelete, Qt::LeftButton);
        QCOMPARE(ui.messageTexts(), QStringList{"Select a file first."});
        QCOMPARE(window.Grid1->model()->rowCount(), 3);

        QVERIFY(QFile::copy(QStringLiteral(KV5_SOURCE_DIR "/tests/data/vantorp.txt"),
                            LogFilePath(state, "v.txt")));
        state.log.SelectedLogFile = QStringLiteral("v.txt");
        ui.clearRecord();
        ui.answers = {Answer::No};
        QTest::mouseClick(window.btnDelete, Qt::LeftButton);
        QCOMPARE(ui.messageTexts(), QStringList{"Do you want to delete v.txt ?"});
        QVERIFY(QFile::exists(LogFilePath(state, "v.txt")));
        QCOMPARE(window.Grid1->model()->rowCount(), 3);

        ui.answers = {Answer::Yes};
        QTest::mouseClick(window.btnDelete, Qt::LeftButton);
        QVERIFY(!QFile::exists(LogFilePath(state, "v.txt")));
        QCOMPARE(window.Grid1->model()->rowCount(), 0);
        QCOMPARE(window.Grid1->model()->columnCount(), 6); // a Vantorp table with headers only
        QCOMPARE(state.log.SensorType, SensorVantorp);
        QCOMPARE(state.log.SelectedLogFile, QString());

        ui.clearRecord();
        QTest::mouseClick(window.btnDelete, Qt::LeftButton);
        QCOMPARE(ui.messageTexts(), QStringList{"Select a file first."});
        saveShot(window, QStringLiteral("table-empty"));
    }

    void buttonsAndClose() {
        frmTable window(LogViewOf(state), ui, LogFileActionsOf(state, ui));
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QStringList captions;
        for (QPushButton* button :
             {window.btnInfo, window.btnOpen, window.btnPrint, window.btnDelete, window.btnDone})
            captions << button->text();
        QCOMPARE(captions, QStringList({"Info", "Open", "Print", "Delete", "Close"}));
        // Print keeps its place in the row until printing is there.
        QVERIFY(!window.btnPrint->isVisible());
        QVERIFY(window.btnDelete->x() - window.btnOpen->x() >=
                window.btnOpen->width() + window.btnPrint->width());
        int printed = 0;
        window.SetPrintHandler([&] { ++printed; });
        QVERIFY(window.btnPrint->isVisible());
        QTest::mouseClick(window.btnPrint, Qt::LeftButton);
        QCOMPARE(printed, 1);
        QVERIFY(window.btnPrint->x() > window.btnOpen->x() && window.btnPrint->x() < window.btnDelete->x());

        QTest::mouseClick(window.btnDone, Qt::LeftButton);
        QVERIFY(!window.isVisible());
        QVERIFY(ui.messages.empty());
    }

    void screenshotOfQ7RTable() {
        fillQ7R(state.log);
        for (int i = 3; i < 40; ++i) {
            state.log.LogTime[i] =
                QStringLiteral("5/22/2014 %1:%2").arg(i % 24, 2, 10, QChar('0')).arg(i % 2 ? "15" : "45");
            state.log.LogTemp[i] = 60 + i % 7 * 2.3;
            state.log.LogMc1[i] = 20 - i * 0.1;
            state.log.LogMc2[i] = 18 - i * 0.05;
            state.log.LogMc3[i] = 25 - i * 0.12;
            state.log.LogRhQ7R[i] = 55 + i % 5 * 3.1;
        }
        state.log.RecordCount = 40;
        state.settings = settingsOf(0, 1, 1, 1);
        frmTable window(LogViewOf(state), ui, LogFileActionsOf(state, ui));
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        // Every header and cell text fits its column.
        const QFontMetrics metrics(window.Grid1->font());
        for (int c = 0; c < window.Grid1->model()->columnCount(); ++c) {
            const int width = window.Grid1->columnWidth(c);
            QVERIFY2(metrics.horizontalAdvance(row(window, 40)[c]) < width, qPrintable(row(window, 40)[c]));
        }
        saveShot(window, QStringLiteral("table-q7r"));
        fillVantorp(state.log);
        window.Load();
        saveShot(window, QStringLiteral("table-vantorp"));
    }

    void commandLine() {
        QVERIFY(QFile::copy(QStringLiteral(KV5_SOURCE_DIR "/tests/data/vantorp.txt"),
                            LogFilePath(state, "v.txt")));
        state.settings = settingsOf(0, 1, 0, 1);
        QString printed;
        QTextStream out(&printed);
        QCOMPARE(RunTableCommand(state, ui, QStringLiteral("v.txt"), out), 0);
        const QStringList lines = printed.split('\n');
        QCOMPARE(lines.size(), 7); // header, five records, the end of the last line
        QCOMPARE(lines[0], "Time\tTemp " + Degree + "F\tRH %\tGPP\tDew " + Degree + "F");
        QCOMPARE(lines[1].section('\t', 0, 2), QStringLiteral("5/21/2014 13:45\t72,5\t45,0"));
        QCOMPARE(lines[5].section('\t', 0, 2), QStringLiteral("5/21/2014 14:45\t23,5\t100,0"));
        QCOMPARE(lines[6], QString());

        // The same as the window shows.
        frmTable window(LogViewOf(state), ui, LogFileActionsOf(state, ui));
        for (int record = 1; record <= 5; ++record) QCOMPARE(lines[record], row(window, record).join('\t'));

        printed.clear();
        QCOMPARE(RunInfoCommand(state, ui, LogFilePath(state, "v.txt"), out), 0);
        QVERIFY2(printed.startsWith("Reading\t\tHigh  /  Low\n\nTemp " + Degree +
                                    "F\t\t72,5  /  -3,3\n\nRH %\t\t100,0  /  0,0\n\n"),
                 qPrintable(printed));
        QVERIFY(printed.endsWith(QStringLiteral("\n\nRecords 5\n")));
        QVERIFY(!printed.contains('\r'));
        QVERIFY(ui.messages.empty());

        // A value that cannot be computed is said on the error side, not only by the status.
        QFile huge(LogFilePath(state, "huge.txt"));
        QVERIFY(huge.open(QIODevice::WriteOnly));
        huge.write("5/21/2014 13:45,1e308,50\r\n");
        huge.close();
        QCOMPARE(RunInfoCommand(state, ui, huge.fileName(), out), 1);
        QVERIFY(ui.messageTexts().contains("ERROR: RunInfoCommand: the dew point of some records cannot be computed; "
                                           "the Dew line leaves them out"));
        ui.clearRecord();

        // A file that is not there.
        printed.clear();
        QCOMPARE(RunTableCommand(state, ui, QStringLiteral("nothing.txt"), out), 1);
        QCOMPARE(printed, QString());
        QCOMPARE(ui.messages.size(), std::size_t(1));
        QVERIFY(ui.messages[0].text.startsWith(QStringLiteral("ERROR: OpenLogFile: ")));
        ui.clearRecord();
        state.log.RecordCount = 0;
        QCOMPARE(RunInfoCommand(state, ui, home.filePath("nothing.txt"), out), 1);
        QCOMPARE(ui.messages.size(), std::size_t(1));

        // An empty file.
        QVERIFY(QFile(LogFilePath(state, "empty.txt")).open(QIODevice::WriteOnly));
        printed.clear();
        QCOMPARE(RunInfoCommand(state, ui, QStringLiteral("empty.txt"), out), 0);
        QCOMPARE(printed, QStringLiteral("There is no log data!\n"));
        printed.clear();
        QCOMPARE(RunTableCommand(state, ui, QStringLiteral("empty.txt"), out), 0);
        QCOMPARE(printed, "Time\tTemp " + Degree + "F\tRH %\tGPP\tDew " + Degree + "F\n");
    }
};

int main(int argc, char** argv) {
    // The windows show numbers with this locale's decimal comma.
    qputenv("LC_ALL", "de_DE.UTF-8");
    QApplication app(argc, argv);
    TestTable test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_table.moc"
