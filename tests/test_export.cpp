// Workbook export, read back as a spreadsheet program reads it: unzip takes the parts out of the
// container and the workbook, sheet, style and chart parts are parsed here. The locale's decimal
// separator is a comma: log files still carry points.
#include "app/AppState.h"
#include "app/ExportCommand.h"
#include "calc/Psychrometrics.h"
#include "core/LogContext.h"
#include "core/LogData.h"
#include "core/Numbers.h"
#include "export/ExcelExport.h"
#include "export/OpenFormats.h"
#include "logfiles/LogFile.h"
#include "logger/TimeFormat.h"
#include "support/ScriptedUi.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
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

#include <ctime>

#include <locale.h> // newlocale

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

// A CSV text split into records and fields as RFC 4180 reads it: fields between commas, quoted
// fields with doubled quotes, records ended by CR LF. Empty on a fault of the form (a line end
// that is no CR LF, a stray quote).
std::vector<QStringList> readCsv(const QByteArray& bytes) {
    std::vector<QStringList> records;
    QStringList fields;
    QByteArray field;
    bool quoted = false;
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const char c = bytes[i];
        if (quoted) {
            if (c != '"') field += c;
            else if (i + 1 < bytes.size() && bytes[i + 1] == '"') field += '"', ++i;
            else quoted = false;
        } else if (c == '"' && field.isEmpty()) {
            quoted = true;
        } else if (c == ',') {
            fields << QString::fromUtf8(field), field.clear();
        } else if (c == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') {
            fields << QString::fromUtf8(field), field.clear();
            records.push_back(fields), fields.clear();
            ++i;
        } else if (c == '\r' || c == '\n' || c == '"') {
            return {};
        } else {
            field += c;
        }
    }
    if (quoted || !field.isEmpty() || !fields.isEmpty()) return {}; // the last record has its CR LF too
    return records;
}

// Sets TZ for the lifetime of the object.
class TimeZone {
public:
    explicit TimeZone(const char* zone) : before_(qgetenv("TZ")), had_(qEnvironmentVariableIsSet("TZ")) {
        qputenv("TZ", zone);
        tzset();
    }
    ~TimeZone() {
        if (had_) qputenv("TZ", before_);
        else qunsetenv("TZ");
        tzset();
    }

private:
    QByteArray before_;
    bool had_;
};

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

QByteArray readBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class TestExport : public QObject {
    Q_OBJECT

    QTemporaryDir home;
    QTemporaryDir temporary; // TMPDIR of the exports
    AppState state;
    ScriptedUi ui;
    QStringList opened;
    QByteArrayList inCLocale; // the outputs of localeIndependence under C.UTF-8

    static constexpr int DstRecords = 10;
    static constexpr int DstInterval = 1800;
    static constexpr int HotRecord = 5;
    // A Q7R log in °C from 7 March 2026 23:00 every half hour, record HotRecord at 105 °C, with
    // a context file giving offset when there is one.
    void writeDstLog(const QString& path, std::optional<int> offset) {
        LogData log;
        log.SensorType = SensorQ7R;
        const QDateTime start(QDate(2026, 3, 7), QTime(23, 0), Qt::UTC);
        for (int i = 0; i < DstRecords; ++i) {
            log.LogTime[size_t(i)] = TimeStampText(start.addSecs(qint64(i) * DstInterval));
            log.LogTemp[size_t(i)] = i == HotRecord ? 105 : 20 + 0.3 * i;
            log.LogMc1[size_t(i)] = 14.2 - 0.1 * i;
            log.LogMc2[size_t(i)] = 16.05 - 0.1 * i;
            log.LogMc3[size_t(i)] = 9.9;
            log.LogRhQ7R[size_t(i)] = 40 + i;
        }
        log.RecordCount = DstRecords;
        QVERIFY(writeBytes(path, LogFileContent(log)));
        QFile::remove(ContextFileName(path));
        if (!offset) return;
        LogContext context;
        context.SerialNumber = "12345";
        context.SensorType = SensorQ7R;
        context.Start = start;
        context.UtcOffsetSeconds = offset;
        context.IntervalSeconds = DstInterval;
        context.Records = DstRecords;
        context.Celsius = true;
        QVERIFY(writeBytes(ContextFileName(path), LogContextJson(context)));
    }

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
        // A folder at the workbook's name is refused, and nothing is written in it.
        ui.clearRecord();
        const QString folder = temporary.filePath("folder.xlsx");
        QVERIFY(QDir().mkdir(folder));
        QCOMPARE(RunExportCommand(state, ui, "SN7.txt", folder, out), 1);
        QCOMPARE(ui.messageTexts(), QStringList{"ERROR: OpenInExcel: " + folder + " is a folder"});
        QCOMPARE(QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot),
                 QStringList());
    }

    // CSV and JSON of a Q7R log in °C through the night the clocks go forward in New York
    // (8 March 2026, 02:00): the times keep the logger's clock with one offset, a step of the
    // interval from row to row; the values are the file's; a GPP above boiling is blank (null).
    void openFormats_data() {
        QTest::addColumn<bool>("context");
        QTest::addColumn<int>("offset");
        QTest::addColumn<QString>("unit");
        // The context's unit and offset; without one the settings' unit (°F here) and New York's
        // offset on 7 March.
        QTest::newRow("context, New York") << true << -5 * 3600 << "C";
        QTest::newRow("context, Berlin") << true << 3600 << "C";
        QTest::newRow("no context") << false << -5 * 3600 << "F";
    }
    void openFormats() {
        QFETCH(bool, context);
        QFETCH(int, offset);
        QFETCH(QString, unit);
        const TimeZone newYork("America/New_York");
        useSettings("GPP EMC Dew");
        const QString path = LogFilePath(state, "SN12345-2026-03-07-23-00-01.txt");
        writeDstLog(path, context ? std::optional<int>(offset) : std::nullopt);
        const QByteArray fileText = readBytes(path);
        const QList<QByteArray> lines = fileText.trimmed().split('\n');

        QVERIFY(WriteOpenFormatFile(OpenFormat::Csv, state.settings, ui, path, temporary.filePath("out.csv")));
        QVERIFY(WriteOpenFormatFile(OpenFormat::Json, state.settings, ui, path, temporary.filePath("out.json")));
        QCOMPARE(ui.messageTexts(), QStringList());
        const QByteArray csvBytes = readBytes(temporary.filePath("out.csv"));
        QVERIFY(!csvBytes.startsWith("\xEF\xBB\xBF"));
        const std::vector<QStringList> csv = readCsv(csvBytes);
        QCOMPARE(csv.size(), size_t(DstRecords + 1));
        QCOMPARE(csv[0].join(','), QStringLiteral("time,temperature_%1,rh_percent,mc1_percent,mc2_percent,mc3_percent,"
                                                  "gpp,emc_percent,dew_point_%1")
                                       .arg(unit));
        const QString offsetText = offset < 0 ? "-05:00" : "+01:00";
        QCOMPARE(csv[1][0], "2026-03-07T23:00:00" + offsetText);
        const int celsius = unit == "C";
        for (int i = 0; i < DstRecords; ++i) {
            const QStringList& row = csv[size_t(i) + 1];
            QCOMPARE(row.size(), 9);
            const QDateTime time = QDateTime::fromString(row[0], Qt::ISODate);
            QVERIFY2(time.isValid() && time.offsetFromUtc() == offset, qPrintable(row[0]));
            if (i > 0)
                QCOMPARE(time.toSecsSinceEpoch() - QDateTime::fromString(csv[size_t(i)][0], Qt::ISODate).toSecsSinceEpoch(),
                         qint64(DstInterval));
            // The file's fields are time, temperature, MC1, MC2, MC3, RH.
            const QStringList file = QString::fromLatin1(lines[i].trimmed()).split(',');
            QCOMPARE(row.mid(1, 5), QStringList({file[1], file[5], file[2], file[3], file[4]}));
            const double t = file[1].toDouble(), rh = file[5].toDouble();
            const auto text = [](const Derived& d) { return d.ok() ? NumberText(d.value, Separator::Point) : QString(); };
            QCOMPARE(row[6], text(CalcAh(t, rh, celsius)));
            QCOMPARE(row[7], text(CalcEmc(t, rh, celsius)));
            QCOMPARE(row[8], text(CalcDewPoint(t, rh, celsius)));
            QCOMPARE(row[6].isEmpty(), i == HotRecord && celsius); // 105 °C is above boiling, 105 °F is not
        }

        const QJsonObject json = QJsonDocument::fromJson(readBytes(temporary.filePath("out.json"))).object();
        QStringList names, units;
        for (const QJsonValue& column : json["columns"].toArray())
            names << column["name"].toString(), units << column["unit"].toString();
        QCOMPARE(names, QStringList({"time", "temperature", "rh", "mc1", "mc2", "mc3", "gpp", "emc", "dew_point"}));
        QCOMPARE(units, QStringList({"ISO 8601", unit, "%", "%", "%", "%", "gr/lb", "%", unit}));
        const QJsonArray records = json["records"].toArray();
        QCOMPARE(records.size(), DstRecords);
        for (int i = 0; i < DstRecords; ++i) {
            const QJsonArray record = records[i].toArray();
            const QStringList& row = csv[size_t(i) + 1];
            QCOMPARE(record.size(), 9);
            QCOMPARE(record[0].toString(), row[0]);
            for (int c = 1; c < 9; ++c) {
                if (row[c].isEmpty()) QVERIFY(record[c].isNull());
                else QCOMPARE(record[c].toDouble(), row[c].toDouble());
            }
        }
        const QJsonObject log = json["log"].toObject();
        QCOMPARE(log["utc_offset"].toString(), offsetText);
        QCOMPARE(log["records"].toInt(), DstRecords);
        QCOMPARE(log["serial_number"].toString(), context ? "12345" : "");
        QCOMPARE(log["interval_s"].toInt(), DstInterval);
    }

    // `kv5 export --csv`/`--json`: to the file named or to standard output, the same bytes.
    void openFormatCommand() {
        const QString path = LogFilePath(state, "SN12345-2026-03-07-23-00-01.txt");
        writeDstLog(path, -5 * 3600);
        QString printed;
        QTextStream out(&printed);
        for (const OpenFormat format : {OpenFormat::Csv, OpenFormat::Json}) {
            const QString target = temporary.filePath("command" + OpenFormatSuffix(format));
            QCOMPARE(RunExportCommand(state, ui, QFileInfo(path).fileName(), target, out, format), 0);
            QVERIFY(printed.isEmpty());
            QProcess kv5;
            kv5.start(KV5_BINARY_DIR "/app/kv5", {"--home", home.path(), "export", path,
                                                 format == OpenFormat::Csv ? "--csv" : "--json"});
            QVERIFY(kv5.waitForFinished(30000));
            QCOMPARE(kv5.exitCode(), 0);
            QCOMPARE(kv5.readAllStandardOutput(), readBytes(target));
        }
        QCOMPARE(ui.messageTexts(), QStringList());
    }

    // The files of this program come out byte for byte the same under every user's locale:
    // decimal commas, Arabic digits. A locale the machine lacks fails the test.
    void localeIndependence_data() {
        QTest::addColumn<QByteArray>("locale");
        for (const char* locale : {"C.UTF-8", "de_DE.UTF-8", "fr_FR.UTF-8", "ar_EG.UTF-8"})
            QTest::newRow(locale) << QByteArray(locale);
    }
    void localeIndependence() {
        QFETCH(QByteArray, locale);
        const locale_t installed = newlocale(LC_ALL_MASK, locale.constData(), locale_t(nullptr));
        QVERIFY2(installed != locale_t(nullptr), "the locale is not installed: scripts/install-deps generates it");
        freelocale(installed);
        const QString path = home.filePath("locale/SN12345-2026-03-07-23-00-01.txt");
        QVERIFY(QDir().mkpath(home.filePath("locale")));
        if (!QFile::exists(path)) writeDstLog(path, -5 * 3600);
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("LC_ALL", QString::fromLatin1(locale));
        const auto run = [&](const QString& program, const QStringList& arguments) {
            QProcess process;
            process.setProcessEnvironment(environment);
            process.start(program, arguments);
            const bool done = process.waitForFinished(60000) && process.exitCode() == 0;
            return done ? process.readAllStandardOutput() : QByteArray("failed: " + process.readAllStandardError());
        };
        const QString kv5 = KV5_BINARY_DIR "/app/kv5", pdf = temporary.filePath("report.pdf");
        QByteArrayList outputs{run(kv5, {"--home", home.path(), "export", path, "--csv"}),
                               run(kv5, {"--home", home.path(), "export", path, "--json"})};
        // The report's text but the line of when it was made.
        QCOMPARE(run(kv5, {"--home", home.path(), "report", path, "-o", pdf, "--limit", "rh=42.5:"}), QByteArray());
        QByteArrayList report = run("pdftotext", {"-layout", pdf, "-"}).split('\n');
        QCOMPARE(report.removeIf([](const QByteArray& line) { return line.contains("Made by"); }), qsizetype(1)); // one page
        outputs << report.join('\n');
        if (locale == "C.UTF-8") inCLocale = outputs;
        QVERIFY2(!inCLocale.isEmpty(), "the C.UTF-8 row runs first");
        for (qsizetype i = 0; i < outputs.size(); ++i) QCOMPARE(outputs[i], inCLocale[i]);
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
