// The table window, its Info box and the command line's table and info, with a decimal comma.
#include "app/AppState.h"
#include "app/ViewCommands.h"
#include "app/frmOpenFile.h"
#include "calc/Psychrometrics.h"
#include "logfiles/LogFile.h"
#include "support/ScriptedUi.h"
#include "views/frmTable.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QListWidget>
#include <QPushButton>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QTextStream>
#include <QTimer>

using namespace kv5;

namespace {

// 68 F 50 %, 77 F 30 %, 50 F 90 % (dew points 48.7, 43.2, 47.2 F), the other family's RH at 99.
void fill(LogData& log, int family) {
    const double values[3][5] = {{68, 12, 8.5, -0.5, 50}, {77, 30.2, 9, 1, 30}, {50, 11, 15.5, 0, 90}};
    for (int i = 0; i < 3; ++i) {
        log.LogTime[i] = QStringLiteral("5/21/2014 1%1:45").arg(i + 3);
        log.LogTemp[i] = values[i][0], log.LogMc1[i] = values[i][1], log.LogMc2[i] = values[i][2];
        log.LogMc3[i] = values[i][3], log.LogRhQ7R[i] = log.LogRh[i] = 99;
        (family == SensorQ7R ? log.LogRhQ7R : log.LogRh)[i] = values[i][4];
    }
    log.RecordCount = 3;
    log.SensorType = family;
}

// Settings from four digits: Celsius, GPP, EMC, dew point ("1011").
Settings settingsOf(const QString& digits) {
    Settings settings;
    settings.Celsius = digits[0] == '1', settings.AhGpp = digits[1] == '1';
    settings.Emc = digits[2] == '1', settings.Dewpoint = digits[3] == '1';
    return settings;
}

} // namespace

class TestTable : public QObject {
    Q_OBJECT

    QTemporaryDir home;
    AppState state;
    ScriptedUi ui;

    // The headers (record 0) or a record's cells as the grid shows them.
    static QStringList row(const frmTable& window, int record) {
        QStringList texts;
        const QAbstractItemModel* model = window.Grid1->model();
        for (int c = 0; c < model->columnCount(); ++c)
            texts << (record == 0 ? model->headerData(c, Qt::Horizontal) : model->index(record - 1, c).data())
                         .toString();
        return texts;
    }

private slots:
    void initTestCase() {
        QVERIFY(home.isValid());
        state.ProgramFolder = home.path();
        QVERIFY(QDir(home.path()).mkdir(DataFolderName));
    }

    void init() {
        state.log = LogData();
        ui.clearRecord();
    }

    // Each computed column follows its own setting, without a gap; the numbers stay as held.
    void columnsAndCells_data() {
        QTest::addColumn<int>("family");
        QTest::addColumn<QString>("settings");
        QTest::addColumn<int>("record");
        QTest::addColumn<QString>("expected"); // the headers, then the record's cells
        QTest::newRow("Vantorp, no GPP")
            << int(SensorVantorp) << "0011" << 3
            << "Time|Temp °F|RH %|EMC %|Dew °F 5/21/2014 15:45|50,0|90,0|20,9|47,2";
        QTest::newRow("Q7R, all") << int(SensorQ7R) << "0111" << 3
                                  << "Time|Temp °F|MC1 %|MC2 %|MC3 %|RH %|GPP|EMC %|Dew °F "
                                     "5/21/2014 15:45|50,0|11,0|15,5|0,0|90,0|49,8|20,9|47,2";
        QTest::newRow("empty log") << 0 << "0100" << 0 << "Time|Temp °F|RH %|GPP";
    }
    void columnsAndCells() {
        QFETCH(int, family);
        QFETCH(QString, settings);
        QFETCH(int, record);
        QFETCH(QString, expected);
        if (family != 0) fill(state.log, family);
        state.settings = settingsOf(settings);
        frmTable window(LogViewOf(state), ui);
        const QAbstractItemModel* model = window.Grid1->model();
        QCOMPARE(model->rowCount(), state.log.RecordCount);
        const QString cells = record > 0
                                  ? ' ' + row(window, record)
                                              .mid(0, int(expected.count('|')) - model->columnCount() + 2)
                                              .join('|')
                                  : QString();
        QCOMPARE(row(window, 0).join('|') + cells, expected);
    }

    // 110 C has no GPP and -243.12 C no dew point: empty cells, one message each, extremes without them.
    void failingCalculationsAreReportedOnce() {
        fill(state.log, SensorVantorp);
        state.settings = settingsOf("1111");
        state.log.LogTemp[1] = 110;
        state.log.LogTemp[2] = -243.12;
        frmTable window(LogViewOf(state), ui);
        QCOMPARE(ui.messageTexts(),
                 QStringList({"ERROR: CalcAh: Saturation pressure at or above one atmosphere",
                              "Loading grid failed"}));
        QCOMPARE(row(window, 2).mid(1, 3), QStringList({"110,0", "30,0", ""}));
        QCOMPARE(window.extremes[Quantity::DewPoint].Max, CalcDewPoint(110, 30, 1).value);

        for (int i = 0; i < 100; ++i) state.log.LogTemp[i] = -273, state.log.LogRh[i] = 50;
        state.log.RecordCount = 100;
        state.settings = settingsOf("1100");
        ui.clearRecord();
        window.Load();
        QCOMPARE(ui.messageTexts(), QStringList{"ERROR: CalcAh: Division by zero"});
    }

    // Open through the log library, Info, Delete and Close as the main window wires them.
    void buttons() {
        QVERIFY(QFile::copy(KV5_SOURCE_DIR "/tests/data/q7r.txt", LogFilePath(state, "q7r.txt")));
        state.settings = settingsOf("0000");
        frmTable window(LogViewOf(state), ui, LogFileActionsOf(state, ui));
        window.show();
        QTimer::singleShot(0, this, [] {
            auto* library = qobject_cast<frmOpenFile*>(QApplication::activeModalWidget());
            QListWidgetItem* entry = library->List1->findItems("q7r.txt", Qt::MatchExactly).value(0);
            QVERIFY(library && entry);
            QTest::mouseClick(library->List1->viewport(), Qt::LeftButton, {},
                              library->List1->visualItemRect(entry).center());
            QTest::mouseClick(library->btnOpen, Qt::LeftButton);
        });
        QTest::mouseClick(window.btnOpen, Qt::LeftButton);
        QCOMPARE(row(window, 3), QStringList({"21.05.2014 14:45", "-10,0", "99,9", "7,0", "15,5", "0,0"}));
        QCOMPARE(window.Grid1->currentIndex().row(), 2);
        // The highs and lows of every record, the last one too.
        QTest::mouseClick(window.btnInfo, Qt::LeftButton);
        QCOMPARE(ui.messageTexts(),
                 QStringList{"Reading\t\tHigh  /  Low\r\rTemp °F\t\t21,8  /  -10,0\r\rMC1 %\t\t99,9  /  "
                             "11,9\r\rMC2 %\t\t8,6  /  0,0\r\r"
                             "MC3 %\t\t30,1  /  -0,3\r\rRH %\t\t56,0  /  0,0\r\rRecords 3\n"});
        // Its details: the summary, with the user's decimal comma.
        const QString details = ui.messages.back().detailedText;
        QVERIFY2(details.startsWith("Summary\n") && details.contains("\nTemp °F: min -10,0 at 2014-05-21 14:45,"),
                 qPrintable(details));

        // Delete answered No keeps the log; Yes empties it and the grid shows headers only.
        ui.answers = {Answer::No, Answer::Yes};
        QTest::mouseClick(window.btnDelete, Qt::LeftButton);
        QCOMPARE(window.Grid1->model()->rowCount(), 3);
        QTest::mouseClick(window.btnDelete, Qt::LeftButton);
        QCOMPARE(window.Grid1->model()->rowCount(), 0);

        QTest::mouseClick(window.btnDone, Qt::LeftButton);
        QVERIFY(!window.isVisible());
        QVERIFY2(ui.failures.isEmpty(), qPrintable(ui.failures.join('\n')));
    }

    // kv5 table FILE and kv5 info FILE.
    void commandLine() {
        QVERIFY(QFile::copy(KV5_SOURCE_DIR "/tests/data/vantorp.txt", LogFilePath(state, "v.txt")));
        QFile huge(LogFilePath(state, "huge.txt"));
        QVERIFY(huge.open(QIODevice::WriteOnly) && huge.write("5/21/2014 13:45,1e308,50\r\n") > 0 &&
                QFile(LogFilePath(state, "empty.txt")).open(QIODevice::WriteOnly));
        huge.close();
        state.settings = settingsOf("0101");
        QString printed;
        QTextStream out(&printed);
        // The header and five records, as the window shows them.
        QCOMPARE(RunTableCommand(state, ui, QStringLiteral("v.txt"), out), 0);
        frmTable window(LogViewOf(state), ui);
        QStringList rows;
        for (int record = 0; record <= 5; ++record) rows << row(window, record).join('\t');
        QCOMPARE(printed, rows.join('\n') + '\n');

        printed.clear();
        QCOMPARE(RunInfoCommand(state, ui, LogFilePath(state, "v.txt"), out), 0);
        QVERIFY2(printed.startsWith("Reading\t\tHigh  /  Low\n\nTemp °F\t\t72,5  /  -3,3\n\n") &&
                     printed.contains("\n\nRecords 5\n\nSummary\n") && !printed.contains('\r'),
                 qPrintable(printed));
        QCOMPARE(RunInfoCommand(state, ui, huge.fileName(), out), 1);
        QVERIFY(ui.messageTexts().contains("ERROR: RunInfoCommand: the dew point of some records cannot be "
                                           "computed; the Dew line leaves them out"));
        // An empty file: the headers or "no log data".
        printed.clear();
        QCOMPARE(RunInfoCommand(state, ui, QStringLiteral("empty.txt"), out), 0);
        QCOMPARE(RunTableCommand(state, ui, QStringLiteral("empty.txt"), out), 0);
        QCOMPARE(printed, "There is no log data!\nTime\tTemp °F\tRH %\tGPP\tDew °F\n");
    }
};

int main(int argc, char** argv) {
    qputenv("LC_ALL", "de_DE.UTF-8"); // the windows' decimal comma
    QApplication app(argc, argv);
    TestTable test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_table.moc"
