// Workbook export: every workbook is read back from its zip container (with unzip) and its
// workbook, sheet, style and chart parts are parsed here, so the checks see what a spreadsheet
// program sees. The program runs under a locale whose decimal separator is a comma: log files
// still carry points.
#include "app/AppState.h"
#include "app/ExportCommand.h"
#include "calc/Psychrometrics.h"
#include "export/ExcelExport.h"
#include "support/ScriptedUi.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTextStream>
#include <QXmlStreamReader>

#include <cmath>
#include <cstring>
#include <vector>

#include <sys/stat.h>

using namespace kv5;

namespace {

const QString Degree = QString(QChar(0x00B0));

QByteArray member(const QString& zip, const QString& name) {
    QProcess unzip;
    unzip.start(QStringLiteral("unzip"), {QStringLiteral("-p"), zip, name});
    return unzip.waitForFinished(30000) && unzip.exitCode() == 0 ? unzip.readAllStandardOutput()
                                                                 : QByteArray();
}

// An element of a part: the local names from the root down to it ("worksheet/cols/col"), its
// attributes and its text.
struct Element {
    QString path;
    QXmlStreamAttributes attributes;
    QString text;
    QString operator[](const char* name) const { return attributes.value(QLatin1String(name)).toString(); }
};

std::vector<Element> elements(const QString& zip, const QString& part) {
    std::vector<Element> found;
    QStringList path;
    std::vector<std::size_t> open;
    QXmlStreamReader reader(member(zip, part));
    while (!reader.atEnd()) {
        const QXmlStreamReader::TokenType token = reader.readNext();
        if (token == QXmlStreamReader::StartElement) {
            path << reader.name().toString();
            open.push_back(found.size());
            found.push_back({path.join('/'), reader.attributes(), {}});
        } else if (token == QXmlStreamReader::EndElement) {
            path.removeLast();
            open.pop_back();
        } else if (token == QXmlStreamReader::Characters && !open.empty()) {
            found[open.back()].text += reader.text();
        }
    }
    return found;
}

// Relationships of a part: id -> (type, the part it points to).
QMap<QString, QPair<QString, QString>> relationships(const QString& zip, const QString& part) {
    const QFileInfo info(part);
    QMap<QString, QPair<QString, QString>> found;
    for (const Element& rel : elements(zip, info.path() + "/_rels/" + info.fileName() + ".rels"))
        if (rel.path.endsWith(QLatin1String("/Relationship")))
            found.insert(rel["Id"],
                         {rel["Type"].section('/', -1), QDir::cleanPath(info.path() + '/' + rel["Target"])});
    return found;
}

struct Cell {
    bool isString = false;
    QString text; // a string cell's text
    double number = 0;
    QString format;
};

struct Workbook {
    bool valid = false;
    QStringList sheets;        // "name kind" in the workbook's order
    QMap<QString, Cell> cells; // of the worksheet, by reference ("A1")
    int columns = 0;
    double timeWidth = 0; // of column A, in characters
    QString chartType;    // the plot's element and scatter style
    QString title;
    QStringList axes;   // "position title" of each axis
    QStringList series; // "name colour x-range y-range marker line-width smooth"
};

void readWorksheet(const QString& zip, const QString& part, Workbook& book) {
    QMap<QString, QString> formats{{QStringLiteral("0"), QStringLiteral("General")}};
    QStringList styleFormats;
    for (const Element& e : elements(zip, QStringLiteral("xl/styles.xml"))) {
        if (e.path.endsWith(QLatin1String("numFmts/numFmt"))) formats.insert(e["numFmtId"], e["formatCode"]);
        if (e.path.endsWith(QLatin1String("cellXfs/xf"))) styleFormats << formats.value(e["numFmtId"], "?");
    }
    Cell* cell = nullptr;
    for (const Element& e : elements(zip, part)) {
        if (e.path == QLatin1String("worksheet/cols/col") && e["min"] == QLatin1String("1"))
            book.timeWidth = e["width"].toDouble();
        if (e.path.endsWith(QLatin1String("/row/c"))) {
            const QString reference = e["r"];
            cell = &book.cells[reference];
            cell->isString = e["t"] == QLatin1String("inlineStr") || e["t"] == QLatin1String("str");
            cell->format = styleFormats.value(e["s"].toInt(), QStringLiteral("General"));
            book.columns = std::max(book.columns, reference[0].unicode() - 'A' + 1);
        }
        if (e.path.endsWith(QLatin1String("/c/v"))) cell->number = e.text.toDouble();
        if (e.path.endsWith(QLatin1String("/c/is/t"))) cell->text += e.text;
        if (e.path.endsWith(QLatin1String("/c/f"))) cell->text = QStringLiteral("<formula>");
    }
}

void readChart(const QString& zip, const QString& part, Workbook& book) {
    QStringList paragraphs;
    QStringList series;
    for (const Element& e : elements(zip, part)) {
        const QString& path = e.path;
        if (path.endsWith(QLatin1String("chart/title/tx/rich/p"))) paragraphs << QString();
        if (path.contains(QLatin1String("chart/title/tx/rich/p/")) && path.endsWith(QLatin1String("/t")))
            paragraphs.last() += e.text;
        if (path.endsWith(QLatin1String("Chart/scatterStyle")))
            book.chartType = path.section('/', -2, -2) + ' ' + e["val"];
        if (path.endsWith(QLatin1String("valAx/axPos"))) book.axes << e["val"];
        if (path.contains(QLatin1String("valAx/title/")) && path.endsWith(QLatin1String("/t")))
            book.axes.last() += ' ' + e.text;
        if (path.endsWith(QLatin1String("Chart/ser"))) series = QStringList(7, QStringLiteral("-"));
        const QMap<QString, int> fields{{"ser/tx/v", 0}, {"ser/xVal/numRef/f", 2}, {"ser/yVal/numRef/f", 3}};
        for (auto it = fields.begin(); it != fields.end(); ++it)
            if (path.endsWith(it.key())) series[it.value()] = e.text;
        if (path.endsWith(QLatin1String("ser/spPr/ln/solidFill/srgbClr"))) series[1] = e["val"];
        if (path.endsWith(QLatin1String("ser/marker/symbol"))) series[4] = e["val"];
        if (path.endsWith(QLatin1String("ser/spPr/ln"))) series[5] = e["w"];
        if (path.endsWith(QLatin1String("ser/smooth"))) series[6] = e["val"];
        // A series ends with its values.
        if (path.endsWith(QLatin1String("ser/yVal/numRef/f"))) book.series << series.join(' ');
    }
    book.title = paragraphs.join('\n');
}

Workbook readWorkbook(const QString& zip) {
    Workbook book;
    // The container itself: every member's checksum.
    QProcess test;
    test.start(QStringLiteral("unzip"), {QStringLiteral("-tqq"), zip});
    if (!test.waitForFinished(30000) || test.exitCode() != 0) return book;
    const QString workbook = QStringLiteral("xl/workbook.xml");
    const auto rels = relationships(zip, workbook);
    for (const Element& sheet : elements(zip, workbook)) {
        if (!sheet.path.endsWith(QLatin1String("sheets/sheet"))) continue;
        const auto [kind, target] = rels.value(sheet["r:id"]);
        book.sheets << sheet["name"] + ' ' + kind;
        if (kind == QLatin1String("worksheet")) readWorksheet(zip, target, book);
        // One chart, on the chart sheet.
        if (kind == QLatin1String("chartsheet")) readChart(zip, QStringLiteral("xl/charts/chart1.xml"), book);
    }
    book.valid = true;
    return book;
}

// A series as the reader shows it: over column column of rows rows, a medium line (1.5 points of
// 12700 EMU), no markers, not smoothed.
QString seriesOf(const QString& name, const QString& colour, int column, int rows) {
    return QStringLiteral("%1 %2 Sheet1!$A$1:$A$%3 Sheet1!$%4$1:$%4$%3 none 19050 -")
        .arg(name, colour)
        .arg(rows)
        .arg(QChar(u'A' + column - 1));
}

bool writeBytes(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// A derived cell: a number rounded to one decimal, within half a tenth of the exact value.
bool isRoundedTenth(double cell, double exact) {
    const double tenths = cell * 10;
    return std::fabs(tenths - std::round(tenths)) < 1e-9 && std::fabs(cell - exact) <= 0.05 + 1e-9;
}

enum Derive { Gpp = 1, Emc = 2, Dew = 4 };

} // namespace

class TestExport : public QObject {
    Q_OBJECT

    QTemporaryDir home;
    QTemporaryDir temporary; // TMPDIR of the exports
    AppState state;
    ScriptedUi ui;
    QStringList opened;

    // Exports the log file name of DATA as the library window does; true when it was opened.
    bool exportLog(const QString& name, bool opens = true) {
        return OpenInExcelWith(state.settings, TraceColorsOf(state), ui, LogFilePath(state, name),
                               [this, opens](const QString& path) {
                                   opened << path;
                                   return opens;
                               });
    }
    Workbook exported(const QString& name) {
        opened.clear();
        if (exportLog(name) && opened.size() == 1) return readWorkbook(opened.front());
        qWarning("export of %s failed: %s", qPrintable(name), qPrintable(ui.messageTexts().join(" | ")));
        return {};
    }
    void writeLog(const QString& name, const QByteArray& content) {
        QVERIFY(writeBytes(LogFilePath(state, name), content));
    }
    void useSettings(int celsius, int derived) {
        state.settings.Celsius = celsius;
        state.settings.AhGpp = (derived & Gpp) ? 1 : 0;
        state.settings.Emc = (derived & Emc) ? 1 : 0;
        state.settings.Dewpoint = (derived & Dew) ? 1 : 0;
    }
    // Everything in TMPDIR: export folders and workbooks left behind.
    QStringList leftInTemporary() const {
        return QDir(temporary.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
    }

private slots:
    void initTestCase() {
        QVERIFY2(!QStandardPaths::findExecutable(QStringLiteral("unzip")).isEmpty(),
                 "unzip is needed to read the workbooks back (scripts/install-deps installs it)");
        QVERIFY(home.isValid() && temporary.isValid());
        qputenv("TMPDIR", QFile::encodeName(temporary.path()));
        state.ProgramFolder = home.path();
        QVERIFY(QDir().mkpath(state.dataFolder()));
        SetTraceColors(state);
    }

    void init() {
        ui.clearRecord();
        opened.clear();
        for (const QString& entry : leftInTemporary()) QDir(temporary.filePath(entry)).removeRecursively();
    }

    // Every cell of small logs of both families, with all, none and some derived columns. The
    // time is text, also where it looks like a formula or a number.
    void cells_data() {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<int>("celsius");
        QTest::addColumn<int>("derived");
        const QByteArray vantorpF =
            "5/21/2014 13:45,72.5,45.0\r\n5/21/2014 14:15,68.0,50.0\r\n=1+1, 70.0 ,50.0\r\n";
        const QByteArray vantorpC =
            "21.05.2014 13:45,20.0,50.0\r\n21.05.2014 14:15,20.0,100.0\r\n42,-5.5,0.0\r\n";
        const QByteArray q7rF =
            "5/21/2014 13:45,72.5,12.0,8.6,30.1,55.2\r\n5/21/2014 14:15,68.0,11.9,0.0,-0.3,50.0\r\n";
        const QByteArray q7rC =
            "21.05.2014 13:45,20.0,12.0,8.6,30.1,50.0\r\n21.05.2014 14:15,20.0,11.9,0.0,-0.3,100.0\r\n";
        QTest::newRow("Vantorp, all derived, F") << vantorpF << 0 << (Gpp | Emc | Dew);
        QTest::newRow("Vantorp, EMC only, C") << vantorpC << 1 << int(Emc);
        QTest::newRow("Q7R, all derived, C") << q7rC << 1 << (Gpp | Emc | Dew);
        QTest::newRow("Q7R, none derived, C") << q7rC << 1 << 0;
        QTest::newRow("Q7R, GPP and dew point, F") << q7rF << 0 << (Gpp | Dew);
    }

    void cells() {
        QFETCH(QByteArray, content);
        QFETCH(int, celsius);
        QFETCH(int, derived);
        useSettings(celsius, derived);
        writeLog(QStringLiteral("cells.txt"), content);
        const Workbook book = exported(QStringLiteral("cells.txt"));
        QVERIFY(book.valid);
        QVERIFY2(ui.messages.empty(), qPrintable(ui.messageTexts().join(" | ")));

        const QList<QByteArray> lines = content.trimmed().split('\n');
        const int measured = int(lines[0].count(',')) + 1;
        const int columns =
            measured + ((derived & Gpp) ? 1 : 0) + ((derived & Emc) ? 1 : 0) + ((derived & Dew) ? 1 : 0);
        QCOMPARE(book.cells.size(), lines.size() * columns);
        for (int row = 1; row <= lines.size(); ++row) {
            const QList<QByteArray> fields = lines[row - 1].trimmed().split(',');
            const Cell time = book.cells.value(QStringLiteral("A%1").arg(row));
            QVERIFY(time.isString);
            QCOMPARE(time.text, QString::fromLatin1(fields[0]));
            // No time text is cut off by the column next to it.
            QVERIFY2(book.timeWidth >= fields[0].size(), qPrintable(QString::number(book.timeWidth)));
            std::vector<std::pair<double, QString>> expected;
            for (int column = 1; column < measured; ++column)
                expected.push_back({fields[column].trimmed().toDouble(), QStringLiteral("General")});
            const double t = expected.front().first;
            const double rh = expected.back().first;
            if (derived & Gpp) expected.push_back({CalcAh(t, rh, celsius).value, QStringLiteral("0.0")});
            if (derived & Emc) expected.push_back({CalcEmc(t, rh, celsius).value, QStringLiteral("0.0")});
            if (derived & Dew)
                expected.push_back({CalcDewPoint(t, rh, celsius).value, QStringLiteral("0.0")});
            for (std::size_t k = 0; k < expected.size(); ++k) {
                const QString where = QStringLiteral("%1%2").arg(QChar(u'B' + int(k))).arg(row);
                const Cell cell = book.cells.value(where);
                QVERIFY2(!cell.isString && cell.format == expected[k].second, qPrintable(where));
                const bool exact = int(k) < measured - 1;
                QVERIFY2(
                    exact ? cell.number == expected[k].first : isRoundedTenth(cell.number, expected[k].first),
                    qPrintable(
                        QStringLiteral("%1: %2 for %3").arg(where).arg(cell.number).arg(expected[k].first)));
            }
        }
        // Values known apart from the program: 20 degrees C (68 F) at 50 % hold 51.97 grains per
        // pound; at 100 % the dew point is the temperature.
        if (derived & Gpp)
            QCOMPARE(book.cells.value(QChar(u'A' + measured) + QString::number(2 - celsius)).number, 52.0);
        if ((derived & Dew) && celsius)
            QCOMPARE(book.cells.value(QChar(u'A' + columns - 1) + QString("2")).number, 20.0);
    }

    // The chart sheet: first, XY scatter with straight lines over the data's range, its title,
    // axis titles, series names and colours. The workbook is named after the log, in a folder of
    // its own under the temporary folder.
    void chart_data() {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<int>("celsius");
        QTest::addColumn<int>("derived");
        QTest::addColumn<QStringList>("names");
        QTest::addColumn<QStringList>("colours");
        const QByteArray vantorp = "a,70.0,40.0\r\nb,71.0,41.0\r\nc,72.0,42.0\r\n";
        const QByteArray q7r = "a,70.0,10.0,11.0,12.0,40.0\r\nb,71.0,10.5,11.5,12.5,41.0\r\n";
        QTest::newRow("Vantorp, all derived, F")
            << vantorp << 0 << (Gpp | Emc | Dew)
            << QStringList{"Temp " + Degree + "F", "RH%", "GPP", "EMC%", "Dew " + Degree + "F"}
            << QStringList{"FF0000", "0000FF", "008000", "800080", "007FFF"};
        QTest::newRow("Vantorp, dew point only, C")
            << vantorp << 1 << int(Dew) << QStringList{"Temp " + Degree + "C", "RH%", "Dew " + Degree + "C"}
            << QStringList{"FF0000", "0000FF", "007FFF"};
        QTest::newRow("Q7R, all derived, C")
            << q7r << 1 << (Gpp | Emc | Dew)
            << QStringList{"Temp " + Degree + "C", "MC1%", "MC2%", "MC3%", "RH%", "GPP", "EMC%",
                           "Dew " + Degree + "C"}
            << QStringList{"FF0000", "000000", "FF00FF", "FF7F27", "0000FF", "008000", "800080", "007FFF"};
        QTest::newRow("Q7R, EMC only, F")
            << q7r << 0 << int(Emc)
            << QStringList{"Temp " + Degree + "F", "MC1%", "MC2%", "MC3%", "RH%", "EMC%"}
            << QStringList{"FF0000", "000000", "FF00FF", "FF7F27", "0000FF", "800080"};
    }

    void chart() {
        QFETCH(QByteArray, content);
        QFETCH(int, celsius);
        QFETCH(int, derived);
        QFETCH(QStringList, names);
        QFETCH(QStringList, colours);
        useSettings(celsius, derived);
        const QString name = QStringLiteral("SN12345-2014-05-21-13-45-01.txt");
        writeLog(name, content);
        const Workbook book = exported(name);
        QVERIFY(book.valid);
        QVERIFY2(ui.messages.empty(), qPrintable(ui.messageTexts().join(" | ")));
        QCOMPARE(QFileInfo(opened.front()).fileName(), QStringLiteral("SN12345-2014-05-21-13-45-01.xlsx"));
        QCOMPARE(QFileInfo(QFileInfo(opened.front()).path()).path(), QDir(temporary.path()).canonicalPath());

        QCOMPARE(book.sheets, QStringList({"Chart1 chartsheet", "Sheet1 worksheet"}));
        QCOMPARE(book.chartType, QStringLiteral("scatterChart lineMarker"));
        const QString kind =
            names.contains("MC1%") ? QStringLiteral("Temp & Moisture") : QStringLiteral("Temp & Humidity");
        QCOMPARE(book.title, kind + QStringLiteral(" Chart\n") + name);
        QCOMPARE(book.axes, QStringList({"b Elapsed Time", "l " + kind}));
        QStringList series;
        const int rows = int(content.count('\n'));
        for (int k = 0; k < names.size(); ++k) series << seriesOf(names[k], colours[k], k + 2, rows);
        QCOMPARE(book.series, series);
        // The series cover A1 to the last column of the sheet.
        QCOMPARE(book.columns, names.size() + 1);
    }

    // No application opens the workbook: the user is told so and where the workbook stays.
    void noApplicationOpensIt() {
        useSettings(0, 0);
        writeLog(QStringLiteral("log.txt"), "a,70.0,40.0\r\n");
        QVERIFY(!exportLog(QStringLiteral("log.txt"), false));
        QCOMPARE(describe(ui.messages.at(0)),
                 describe({QStringLiteral(
                               "The workbook was saved at %1, but no application for spreadsheet files is "
                               "set up to open it.")
                               .arg(opened.value(0)),
                           Icon::Exclamation}));
        QVERIFY(readWorkbook(opened.value(0)).valid);
    }

    // Each failure is reported once with its procedure and cause, or an empty log (no line before
    // the first empty one) as such; nothing is opened or left behind.
    void failures_data() {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("tmpdir");
        QTest::addColumn<QString>("message");
        const QString empty = QStringLiteral("The log file log.txt is empty: there is nothing to export.");
        QTest::newRow("empty log") << QByteArray("") << QString() << empty;
        QTest::newRow("empty first line") << QByteArray("\r\na,1.0,2.0\r\n") << QString() << empty;
        const QString procedure = QStringLiteral("ERROR: OpenInExcel: ");
        QTest::newRow("no log file") << QByteArray() << QString()
                                     << procedure + "cannot open " + home.filePath("DATA/log.txt");
        // -243.12 degrees C
        QTest::newRow("dew point") << QByteArray("a,20.0,50.0\r\nb,-243.12,50.0\r\n") << QString()
                                   << procedure + CalcDewPoint(-243.12, 50, 1).failure +
                                          " (dew point of line 2)";
        const QString missing = temporary.filePath(QStringLiteral("no/such/folder"));
        QTest::newRow("no temporary folder")
            << QByteArray("a,70.0,40.0\r\n") << missing
            << procedure + "the temporary folder " + missing + " is not there";
    }

    void failures() {
        QFETCH(QByteArray, content);
        QFETCH(QString, tmpdir);
        QFETCH(QString, message);
        useSettings(1, Dew);
        QFile::remove(LogFilePath(state, QStringLiteral("log.txt")));
        if (!content.isNull()) writeLog(QStringLiteral("log.txt"), content);
        if (!tmpdir.isEmpty()) qputenv("TMPDIR", QFile::encodeName(tmpdir));
        const bool done = exportLog(QStringLiteral("log.txt"));
        qputenv("TMPDIR", QFile::encodeName(temporary.path()));
        QVERIFY(!done);
        QCOMPARE(ui.messages.size(), std::size_t(1));
        QVERIFY2(ui.messages[0].text.startsWith(message), qPrintable(ui.messages[0].text));
        QVERIFY(opened.isEmpty());
        QCOMPARE(leftInTemporary(), QStringList());
    }

    // A GPP that cannot be computed (above boiling) is reported once for the whole export and
    // its cell left empty; the export goes on.
    void gppFailureReportedOnce() {
        useSettings(1, Gpp);
        writeLog(QStringLiteral("boiling.txt"), "a,110.0,50.0\r\nb,120.0,60.0\r\nc,20.0,50.0\r\n");
        const Workbook book = exported(QStringLiteral("boiling.txt"));
        QVERIFY(book.valid);
        QCOMPARE(ui.messageTexts(),
                 QStringList{"ERROR: CalcAh: Saturation pressure at or above one atmosphere"});
        QVERIFY(!book.cells.contains("D1") && !book.cells.contains("D2"));
        QCOMPARE(book.cells.value("D3").number, 52.0);
    }

    // `kv5 export`: the workbook is written where asked (replacing an earlier file, with the
    // mode of any new file: 0666 less the umask) or under the log's name in a new temporary
    // folder, not opened, and its path printed. A folder that is not there is reported.
    void exportCommand() {
        useSettings(0, Gpp | Emc | Dew);
        writeLog(QStringLiteral("SN7-2014-05-21-13-45-01.txt"), "a,70.0,10.0,11.0,12.0,40.0\r\n");
        const QString target = temporary.filePath(QStringLiteral("out.xlsx"));
        QVERIFY(writeBytes(target, "an older file"));
        QString printed;
        QTextStream out(&printed);
        const mode_t umask = ::umask(027);
        const int result =
            RunExportCommand(state, ui, QStringLiteral("SN7-2014-05-21-13-45-01.txt"), target, out);
        ::umask(umask);
        QCOMPARE(result, 0);
        struct stat status {};
        QCOMPARE(::stat(QFile::encodeName(target).constData(), &status), 0);
        QCOMPARE(status.st_mode & 0777, mode_t(0640));
        QCOMPARE(printed, target + QLatin1Char('\n'));
        QCOMPARE(readWorkbook(target).columns, 9);
        QVERIFY(QFile::remove(target));

        // A path outside DATA, no output named: nothing but the workbook in its new folder.
        const QString elsewhere = home.filePath(QStringLiteral("elsewhere.txt"));
        QVERIFY(writeBytes(elsewhere, "a,70.0,40.0\r\n"));
        printed.clear();
        QCOMPARE(RunExportCommand(state, ui, elsewhere, QString(), out), 0);
        const QString written = printed.trimmed();
        QCOMPARE(QFileInfo(written).fileName(), QStringLiteral("elsewhere.xlsx"));
        QCOMPARE(QFileInfo(QFileInfo(written).path()).path(), QDir(temporary.path()).canonicalPath());
        QCOMPARE(
            QDir(QFileInfo(written).path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
            QStringList{"elsewhere.xlsx"});
        QCOMPARE(readWorkbook(written).columns, 6);
        QVERIFY2(ui.messages.empty(), qPrintable(ui.messageTexts().join(" | ")));

        const QString missing = temporary.filePath(QStringLiteral("no/such"));
        QCOMPARE(RunExportCommand(state, ui, elsewhere, missing + QStringLiteral("/x.xlsx"), out), 1);
        QCOMPARE(ui.messageTexts(),
                 QStringList{QStringLiteral("ERROR: OpenInExcel: cannot open the folder %1: %2")
                                 .arg(missing, QString::fromLocal8Bit(std::strerror(ENOENT)))});
    }
};

int main(int argc, char** argv) {
    // Log files carry points whatever the user's decimal separator.
    qputenv("LC_ALL", "de_DE.UTF-8");
    QCoreApplication app(argc, argv);
    TestExport test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_export.moc"
