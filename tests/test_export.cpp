// Workbook export, read back as a spreadsheet program reads it: unzip takes the parts out of the
// container and the workbook, sheet, style and chart parts are parsed here. The locale's decimal
// separator is a comma: log files still carry points.
#include "app/AppState.h"
#include "app/ExportCommand.h"
#include "calc/Psychrometrics.h"
#include "core/Numbers.h"
#include "export/ExcelExport.h"
#include "support/ScriptedUi.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QProcess>
#include <QRegularExpression>
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
    QProcess unzip;
    unzip.start("unzip", {"-p", zip, part});
    unzip.waitForFinished(30000);
    QXmlStreamReader reader(unzip.readAllStandardOutput());
    while (!reader.atEnd()) {
        const QXmlStreamReader::TokenType token = reader.readNext();
        if (token == QXmlStreamReader::StartElement) {
            path << reader.name().toString();
            found.push_back({path.join('/'), reader.attributes(), {}});
        } else if (token == QXmlStreamReader::EndElement) {
            path.removeLast();
        } else if (token == QXmlStreamReader::Characters && !found.empty()) {
            found.back().text += reader.text(); // the texts read are those of elements without children
        }
    }
    return found;
}

struct Workbook {
    QStringList sheets;            // in the workbook's order
    std::vector<QStringList> rows; // of the data sheet: "text" or number
    double timeWidth = 0;          // of column A, in characters
    QStringList chart; // plot and scatter style, title, one line a series, then the axes ("position title")
    QStringList summaryFirstColumn; // the texts of column A of the summary sheet
};

Workbook readWorkbook(const QString& zip) {
    Workbook book;
    if (QProcess::execute("unzip", {"-tqq", zip}) != 0) return book; // every member's checksum
    for (const Element& e : elements(zip, "xl/workbook.xml"))
        if (e.path.endsWith("sheets/sheet")) book.sheets << e["name"];
    QString* cell = nullptr;
    qsizetype columns = 0;
    for (const Element& e : elements(zip, "xl/worksheets/sheet1.xml")) {
        if (e.path == "worksheet/cols/col" && e["min"] == "1") book.timeWidth = e["width"].toDouble();
        if (e.path.endsWith("/row")) book.rows.emplace_back();
        if (e.path.endsWith("/row/c")) {
            QStringList& row = book.rows.back();
            while (row.size() <= e["r"][0].unicode() - 'A') row << QString();
            columns = std::max(columns, row.size());
            cell = &row.last();
        }
        if (e.path.endsWith("/c/v")) *cell = QString::number(e.text.toDouble());
        if (e.path.endsWith("/c/is/t")) *cell = '"' + e.text + '"';
    }
    for (QStringList& row : book.rows) row.resize(columns);
    for (const Element& e : elements(zip, "xl/worksheets/sheet2.xml"))
        if (e.path.endsWith("/c/is/t") && e.path.contains("sheetData/row/c")) book.summaryFirstColumn << e.text;
    // The series: name, colour, X and Y ranges, marker, line width in EMU.
    const QStringList fields{"ser/tx/v",          "ln/solidFill/srgbClr", "ser/xVal/numRef/f",
                             "ser/yVal/numRef/f", "ser/marker/symbol",    "ser/spPr/ln"};
    QStringList title, series;
    for (const Element& e : elements(zip, "xl/charts/chart1.xml")) {
        if (e.path.contains("chart/title/tx/rich/p/") && e.path.endsWith("/t")) title << e.text;
        if (e.path.endsWith("Chart/scatterStyle")) book.chart << e.path.section('/', -2, -2) + ' ' + e["val"];
        if (e.path.endsWith("valAx/axPos")) book.chart << e["val"];
        if (e.path.contains("valAx/title/") && e.path.endsWith("/t")) book.chart.last() += ' ' + e.text;
        if (e.path.endsWith("Chart/ser")) series = QStringList(fields.size(), "-");
        for (int k = 0; k < fields.size(); ++k)
            if (e.path.endsWith(fields[k])) series[k] = k == 5 ? e["w"] : k % 3 == 1 ? e["val"] : e.text;
        if (e.path.endsWith("ser/smooth") && e["val"] != "0") series << "smooth";
        if (e.path.endsWith("ser/yVal/numRef/f"))
            book.chart << series.join(' '); // a series ends with its values
    }
    book.chart.insert(1, title.join('\n'));
    return book;
}

bool writeBytes(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

} // namespace

class TestExport : public QObject {
    Q_OBJECT

    QTemporaryDir home;
    QTemporaryDir temporary; // TMPDIR of the exports
    AppState state;
    ScriptedUi ui;
    QStringList opened;

    // Exports log file name of DATA as the library window does; true when it was opened.
    bool exportLog(const QString& name, bool opens = true) {
        return OpenInExcelWith(state.settings, ui, LogFilePath(state, name),
                               [this, opens](const QString& path) { return opened << path, opens; });
    }
    // The settings that give a chart of these series.
    void useSettings(const QString& series) {
        state.settings.Celsius = series.contains(Degree + "C"), state.settings.AhGpp = series.contains("GPP");
        state.settings.Emc = series.contains("EMC"), state.settings.Dewpoint = series.contains("Dew");
    }
    // Everything in TMPDIR: export folders and workbooks left behind.
    QStringList leftInTemporary() const {
        return QDir(temporary.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
    }

private slots:
    void initTestCase() {
        QVERIFY(home.isValid() && temporary.isValid());
        qputenv("TMPDIR", QFile::encodeName(temporary.path()));
        state.ProgramFolder = home.path();
        QVERIFY(QDir().mkpath(state.dataFolder()));
    }

    void init() {
        ui.clearRecord();
        opened.clear();
        for (const QString& entry : leftInTemporary()) QDir(temporary.filePath(entry)).removeRecursively();
    }

    // Every cell and the chart sheet of small logs of both families, with all, none and some
    // derived columns. The time is text, also where it looks like a formula or a number; a GPP
    // that cannot be computed (above boiling) is reported once and its cell left empty. When no
    // application opens the workbook, the user is told so and where it stays.
    void workbook_data() {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("series");
        QTest::addColumn<QString>("message");
        const QString c = Degree + "C", f = Degree + "F";
        QTest::newRow("Vantorp, all, F")
            << QByteArray("5/21/2014 13:45,72.5,45.0\r\n5/21/2014 14:15,68.0,50.0\r\n=1+1, 70.0 ,50.0\r\n")
            << "Temp " + f + "|RH%|GPP|EMC%|Dew " + f << "";
        QTest::newRow("Vantorp, dew point, C")
            << QByteArray("21.05.2014 13:45,20.0,50.0\r\n42,20.0,100.0\r\n") << "Temp " + c + "|RH%|Dew " + c
            << "";
        QTest::newRow("Q7R, all, C") << QByteArray(
                                            "a,20.0,12.0,8.6,30.1,50.0\r\nb,20.0,11.9,0.0,-0.3,100.0\r\n")
                                     << "Temp " + c + "|MC1%|MC2%|MC3%|RH%|GPP|EMC%|Dew " + c << "";
        QTest::newRow("GPP above boiling, not opened")
            << QByteArray("a,110.0,50.0\r\nb,120.0,60.0\r\nc,20.0,50.0\r\n") << "Temp " + c + "|RH%|GPP"
            << "ERROR: CalcAh: Saturation pressure at or above one atmosphere|The workbook was saved at %1, "
               "but "
               "no application for spreadsheet files is set up to open it.";
    }
    void workbook() {
        QFETCH(QByteArray, content);
        QFETCH(QString, series);
        QFETCH(QString, message);
        useSettings(series);
        const QString name = "SN12345-2014-05-21-13-45-01.txt";
        QVERIFY(writeBytes(LogFilePath(state, name), content));
        const bool opens = !message.contains("no application");
        QCOMPARE(exportLog(name, opens), opens);
        QCOMPARE(ui.messageTexts().join('|'), message.arg(opened.value(0)));
        // Named after the log, alone in a folder of its own under the temporary folder.
        QCOMPARE(QFileInfo(opened.value(0)).fileName(), QStringLiteral("SN12345-2014-05-21-13-45-01.xlsx"));
        QCOMPARE(QFileInfo(QFileInfo(opened.value(0)).path()).path(), QDir(temporary.path()).canonicalPath());
        QCOMPARE(QFileInfo(opened.value(0)).dir().entryList(QDir::Files | QDir::Hidden),
                 QStringList{"SN12345-2014-05-21-13-45-01.xlsx"});
        const Workbook book = readWorkbook(opened.value(0));

        // The measured values as they are, the derived ones rounded to one decimal.
        const QStringList names = series.split('|');
        const QList<QByteArray> lines = content.trimmed().split('\n');
        const int measured = int(lines[0].count(','));
        for (int i = 0; i < lines.size(); ++i) {
            const QList<QByteArray> fields = lines[i].trimmed().split(',');
            QStringList row{'"' + fields[0] + '"'};
            for (int column = 1; column <= measured; ++column)
                row << QString::number(fields[column].trimmed().toDouble());
            const double t = row[1].toDouble(), rh = row.last().toDouble();
            const int celsius = state.settings.Celsius;
            for (const QString& derived : names.mid(measured)) {
                const Derived value = derived == "GPP"    ? CalcAh(t, rh, celsius)
                                      : derived == "EMC%" ? CalcEmc(t, rh, celsius)
                                                          : CalcDewPoint(t, rh, celsius);
                row << (value.ok() ? QString::number(std::round(value.value * 10) / 10) : "");
            }
            QCOMPARE(book.rows.at(i), row);
            QVERIFY(book.timeWidth >= fields[0].size()); // no time cut off by the next column
        }
        QCOMPARE(book.rows.size(), std::size_t(lines.size()));

        // The chart sheet first: XY scatter with straight lines over the data's rows, titled,
        // each series in its trace's colour, a medium line (1.5 points of 12700 EMU), no markers.
        QCOMPARE(book.sheets, QStringList({"Chart1", "Sheet1", "Summary"}));
        // The summary's rows start with the quantities' labels as the chart's series name them.
        for (const QString& series : names)
            QVERIFY2(book.summaryFirstColumn.contains(QString(series).replace(QRegularExpression("(\\S)%$"), "\\1 %")),
                     qPrintable(series + " in " + book.summaryFirstColumn.join('|')));
        const QString kind = measured == 5 ? "Temp & Moisture" : "Temp & Humidity";
        QStringList chart{"scatterChart lineMarker", kind + " Chart\n" + name};
        const QMap<QString, QString> colours{{"Temp", "FF0000"}, {"MC1%", "000000"}, {"MC2%", "FF00FF"},
                                             {"MC3%", "FF7F27"}, {"RH%", "0000FF"},  {"GPP", "008000"},
                                             {"EMC%", "800080"}, {"Dew", "007FFF"}};
        for (int k = 0; k < names.size(); ++k)
            chart << QStringLiteral("%1 %2 Sheet1!$A$1:$A$%3 Sheet1!$%4$1:$%4$%3 none 19050")
                         .arg(names[k], colours.value(names[k].section(' ', 0, 0)))
                         .arg(lines.size())
                         .arg(QChar(u'B' + k));
        QCOMPARE(book.chart, chart << "b Elapsed Time"
                                   << "l " + kind);
    }

    // Each failure is reported once with its procedure and cause, or an empty log as such; nothing
    // is opened or left behind.
    void failures_data() {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("tmpdir");
        QTest::addColumn<QString>("message");
        const QString procedure = "ERROR: OpenInExcel: ";
        const QString missing = temporary.filePath("no/such/folder");
        QTest::newRow("empty log") << QByteArray("") << QString()
                                   << "The log file log.txt is empty: there is nothing to export.";
        QTest::newRow("no log file") << QByteArray() << QString()
                                     << procedure + "cannot open " + home.filePath("DATA/log.txt");
        QTest::newRow("dew point at -243.12 C")
            << QByteArray("a,20.0,50.0\r\nb,-243.12,50.0\r\n") << QString()
            << procedure + CalcDewPoint(-243.12, 50, 1).failure + " (dew point of line 2)";
        QTest::newRow("no temporary folder")
            << QByteArray("a,70.0,40.0\r\n") << missing
            << procedure + "the temporary folder " + missing + " is not there";
    }
    void failures() {
        QFETCH(QByteArray, content);
        QFETCH(QString, tmpdir);
        QFETCH(QString, message);
        useSettings("Dew " + Degree + "C");
        QFile::remove(LogFilePath(state, "log.txt"));
        if (!content.isNull()) QVERIFY(writeBytes(LogFilePath(state, "log.txt"), content));
        if (!tmpdir.isEmpty()) qputenv("TMPDIR", QFile::encodeName(tmpdir));
        const bool done = exportLog("log.txt");
        qputenv("TMPDIR", QFile::encodeName(temporary.path()));
        QVERIFY(!done && opened.isEmpty());
        QCOMPARE(ui.messages.size(), std::size_t(1));
        QVERIFY2(ui.messages[0].text.startsWith(message), qPrintable(ui.messages[0].text));
        QCOMPARE(leftInTemporary(), QStringList());
    }

    // `kv5 export`: the workbook is written where asked (replacing an earlier file and keeping its
    // mode, whatever the umask) or under the log's name in a new temporary folder, not opened, and
    // its path printed. A folder that is not there is reported.
    void exportCommand() {
        useSettings("GPP EMC Dew");
        QVERIFY(writeBytes(LogFilePath(state, "SN7.txt"), "a,70.0,10.0,11.0,12.0,40.0\r\n"));
        const QString target = temporary.filePath("out.xlsx");
        QVERIFY(writeBytes(target, "an older file") && ::chmod(QFile::encodeName(target).constData(), 0604) == 0);
        QString printed;
        QTextStream out(&printed);
        const mode_t umask = ::umask(027);
        const int result = RunExportCommand(state, ui, "SN7.txt", target, out);
        ::umask(umask);
        QCOMPARE(result, 0);
        struct stat status {};
        QCOMPARE(::stat(QFile::encodeName(target).constData(), &status), 0);
        QCOMPARE(status.st_mode & 0777, mode_t(0604));
        QCOMPARE(printed, target + '\n');
        QCOMPARE(readWorkbook(target).rows.at(0).size(), 9);

        // A path outside DATA, no output named: the workbook under the log's name in a new folder.
        QVERIFY(writeBytes(home.filePath("elsewhere.txt"), "a,70.0,40.0\r\n"));
        printed.clear();
        QCOMPARE(RunExportCommand(state, ui, home.filePath("elsewhere.txt"), QString(), out), 0);
        QCOMPARE(QFileInfo(printed.trimmed()).fileName(), QStringLiteral("elsewhere.xlsx"));
        QVERIFY(ui.messages.empty());
        const QString missing = temporary.filePath("no/such");
        QCOMPARE(RunExportCommand(state, ui, "SN7.txt", missing + "/x.xlsx", out), 1);
        QCOMPARE(ui.messageTexts(),
                 QStringList{QStringLiteral("ERROR: OpenInExcel: cannot open the folder %1: %2")
                                 .arg(missing, QString::fromLocal8Bit(std::strerror(ENOENT)))});
    }
};

int main(int argc, char** argv) {
    qputenv("LC_ALL", "de_DE.UTF-8"); // log files carry points whatever the user's decimal separator
    QCoreApplication app(argc, argv);
    UsePointInFileNumbers(); // as the program does
    TestExport test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_export.moc"
