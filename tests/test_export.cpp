// Workbook export: every workbook is read back from its zip container (with unzip) and its
// workbook, sheet, style, shared-string and chart parts are parsed here, so the checks see what
// a spreadsheet program sees. The program runs under a locale whose decimal separator is a
// comma: log files still carry points.
#include "app/AppState.h"
#include "app/ExportCommand.h"
#include "calc/Psychrometrics.h"
#include "export/ExcelExport.h"
#include "logfiles/LogFile.h"
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
#include <memory>
#include <vector>

#include <sys/stat.h>

using namespace kv5;

namespace {

const QString Degree = QString(QChar(0x00B0));

// ---- A small reader of the workbook's parts ----

struct XmlNode {
    QString name;                      // local name
    QMap<QString, QString> attributes; // by qualified name
    QString text;
    std::vector<std::unique_ptr<XmlNode>> children;

    const XmlNode* child(const QString& local) const {
        for (const auto& node : children)
            if (node->name == local) return node.get();
        return nullptr;
    }
    std::vector<const XmlNode*> all(const QString& local) const {
        std::vector<const XmlNode*> found;
        for (const auto& node : children)
            if (node->name == local) found.push_back(node.get());
        return found;
    }
    // The first node of that name at any depth below.
    const XmlNode* find(const QString& local) const {
        for (const auto& node : children) {
            if (node->name == local) return node.get();
            if (const XmlNode* deeper = node->find(local)) return deeper;
        }
        return nullptr;
    }
    // The texts of every node of that name below, in document order.
    void texts(const QString& local, QStringList& into) const {
        for (const auto& node : children) {
            if (node->name == local) into << node->text;
            node->texts(local, into);
        }
    }
    QString attribute(const QString& qualified) const { return attributes.value(qualified); }
};

std::unique_ptr<XmlNode> parseXml(const QByteArray& bytes) {
    auto root = std::make_unique<XmlNode>();
    if (bytes.isEmpty()) return root; // a part the workbook does not have
    std::vector<XmlNode*> open{root.get()};
    QXmlStreamReader reader(bytes);
    while (!reader.atEnd()) {
        switch (reader.readNext()) {
        case QXmlStreamReader::StartElement: {
            auto node = std::make_unique<XmlNode>();
            node->name = reader.name().toString();
            for (const QXmlStreamAttribute& attribute : reader.attributes())
                node->attributes.insert(attribute.qualifiedName().toString(), attribute.value().toString());
            XmlNode* raw = node.get();
            open.back()->children.push_back(std::move(node));
            open.push_back(raw);
            break;
        }
        case QXmlStreamReader::EndElement:
            open.pop_back();
            break;
        case QXmlStreamReader::Characters:
            open.back()->text += reader.text();
            break;
        default:
            break;
        }
    }
    if (reader.hasError()) qWarning("XML error: %s", qPrintable(reader.errorString()));
    return root;
}

struct Cell {
    bool isString = false;
    bool isFormula = false;
    QString text; // a string cell's text
    double number = 0;
    QString format = QStringLiteral("General");
};

struct Series {
    QString name;
    QString xRange;
    QString yRange;
    QString colour;    // RRGGBB
    QString lineWidth; // EMU
    QString marker;
    bool smooth = false;
};

struct Chart {
    QString type; // the plot area's chart element
    QString scatterStyle;
    QString title;
    QString xAxisTitle;
    QString yAxisTitle;
    std::vector<Series> series;
};

struct Sheet {
    QString name;
    QString kind; // "chartsheet" or "worksheet"
};

struct Workbook {
    bool valid = false;
    std::vector<Sheet> sheets;
    int activeTab = 0;
    QMap<QString, Cell> cells;   // of the worksheet, by reference ("A1")
    int rows = 0;                // highest row with a cell
    int columns = 0;             // highest column with a cell
    double firstColumnWidth = 0; // in characters; 0 when the sheet does not set it
    Chart chart;
};

QByteArray member(const QString& zip, const QString& name) {
    QProcess unzip;
    unzip.start(QStringLiteral("unzip"), {QStringLiteral("-p"), zip, name});
    if (!unzip.waitForFinished(30000) || unzip.exitCode() != 0) return {};
    return unzip.readAllStandardOutput();
}

// "xl/" + "charts/chart1.xml", or a target relative to the part that names it.
QString resolve(const QString& fromPart, const QString& target) {
    if (target.startsWith(QLatin1Char('/'))) return target.mid(1);
    return QDir::cleanPath(QFileInfo(fromPart).path() + QLatin1Char('/') + target);
}

QString relsOf(const QString& part) {
    const QFileInfo info(part);
    return info.path() + QStringLiteral("/_rels/") + info.fileName() + QStringLiteral(".rels");
}

// Id -> (type, target part).
QMap<QString, QPair<QString, QString>> relationships(const QString& zip, const QString& part) {
    QMap<QString, QPair<QString, QString>> found;
    const auto root = parseXml(member(zip, relsOf(part)));
    if (const XmlNode* list = root->child(QStringLiteral("Relationships")))
        for (const XmlNode* rel : list->all(QStringLiteral("Relationship")))
            found.insert(rel->attribute(QStringLiteral("Id")),
                         {rel->attribute(QStringLiteral("Type")).section(QLatin1Char('/'), -1),
                          resolve(part, rel->attribute(QStringLiteral("Target")))});
    return found;
}

// Column letters and row number of a reference such as "AB12"; columns from 1.
void splitReference(const QString& reference, int& column, int& row) {
    column = 0;
    qsizetype i = 0;
    while (i < reference.size() && reference[i].isLetter())
        column = column * 26 + (reference[i++].unicode() - 'A' + 1);
    row = reference.mid(i).toInt();
}

QString richText(const XmlNode* title) {
    if (title == nullptr) return QStringLiteral("<none>");
    QStringList paragraphs;
    if (const XmlNode* rich = title->find(QStringLiteral("rich")))
        for (const XmlNode* paragraph : rich->all(QStringLiteral("p"))) {
            QStringList runs;
            paragraph->texts(QStringLiteral("t"), runs);
            paragraphs << runs.join(QString());
        }
    return paragraphs.join(QLatin1Char('\n'));
}

QString rangeOf(const XmlNode* values) {
    if (values == nullptr) return {};
    const XmlNode* formula = values->find(QStringLiteral("f"));
    return formula ? formula->text : QString();
}

void readChart(const QString& zip, const QString& part, Chart& chart) {
    const auto root = parseXml(member(zip, part));
    const XmlNode* space = root->child(QStringLiteral("chartSpace"));
    const XmlNode* body = space ? space->child(QStringLiteral("chart")) : nullptr;
    if (body == nullptr) return;
    chart.title = richText(body->child(QStringLiteral("title")));
    const XmlNode* plot = body->child(QStringLiteral("plotArea"));
    if (plot == nullptr) return;
    for (const auto& node : plot->children) {
        if (node->name.endsWith(QLatin1String("Chart"))) {
            chart.type = node->name;
            if (const XmlNode* style = node->child(QStringLiteral("scatterStyle")))
                chart.scatterStyle = style->attribute(QStringLiteral("val"));
            for (const XmlNode* ser : node->all(QStringLiteral("ser"))) {
                Series series;
                if (const XmlNode* tx = ser->child(QStringLiteral("tx")))
                    if (const XmlNode* v = tx->find(QStringLiteral("v"))) series.name = v->text;
                series.xRange = rangeOf(ser->child(QStringLiteral("xVal")));
                series.yRange = rangeOf(ser->child(QStringLiteral("yVal")));
                if (const XmlNode* marker = ser->child(QStringLiteral("marker")))
                    if (const XmlNode* symbol = marker->child(QStringLiteral("symbol")))
                        series.marker = symbol->attribute(QStringLiteral("val"));
                if (const XmlNode* properties = ser->child(QStringLiteral("spPr")))
                    if (const XmlNode* line = properties->child(QStringLiteral("ln"))) {
                        series.lineWidth = line->attribute(QStringLiteral("w"));
                        if (const XmlNode* colour = line->find(QStringLiteral("srgbClr")))
                            series.colour = colour->attribute(QStringLiteral("val"));
                    }
                if (const XmlNode* smooth = ser->child(QStringLiteral("smooth")))
                    series.smooth = smooth->attribute(QStringLiteral("val")) != QLatin1String("0");
                chart.series.push_back(series);
            }
        } else if (node->name == QLatin1String("valAx") || node->name == QLatin1String("catAx")) {
            const XmlNode* position = node->child(QStringLiteral("axPos"));
            const QString title = richText(node->child(QStringLiteral("title")));
            if (position && position->attribute(QStringLiteral("val")) == QLatin1String("b"))
                chart.xAxisTitle = title;
            if (position && position->attribute(QStringLiteral("val")) == QLatin1String("l"))
                chart.yAxisTitle = title;
        }
    }
}

void readWorksheet(const QString& zip, const QString& part, Workbook& book) {
    QStringList shared;
    const auto strings = parseXml(member(zip, QStringLiteral("xl/sharedStrings.xml")));
    for (const auto& node : strings->children)
        for (const XmlNode* item : node->all(QStringLiteral("si"))) {
            QStringList runs;
            item->texts(QStringLiteral("t"), runs);
            shared << runs.join(QString());
        }

    // Number formats of the cell styles: the built-in General and the workbook's own.
    QMap<QString, QString> formats{{QStringLiteral("0"), QStringLiteral("General")}};
    QStringList styleFormats;
    const auto styles = parseXml(member(zip, QStringLiteral("xl/styles.xml")));
    if (const XmlNode* sheet = styles->child(QStringLiteral("styleSheet"))) {
        if (const XmlNode* numFmts = sheet->child(QStringLiteral("numFmts")))
            for (const XmlNode* format : numFmts->all(QStringLiteral("numFmt")))
                formats.insert(format->attribute(QStringLiteral("numFmtId")),
                               format->attribute(QStringLiteral("formatCode")));
        if (const XmlNode* xfs = sheet->child(QStringLiteral("cellXfs")))
            for (const XmlNode* xf : xfs->all(QStringLiteral("xf")))
                styleFormats << formats.value(xf->attribute(QStringLiteral("numFmtId")), QStringLiteral("?"));
    }

    const auto root = parseXml(member(zip, part));
    if (const XmlNode* columns = root->find(QStringLiteral("cols")))
        for (const XmlNode* column : columns->all(QStringLiteral("col")))
            if (column->attribute(QStringLiteral("min")) == QLatin1String("1"))
                book.firstColumnWidth = column->attribute(QStringLiteral("width")).toDouble();
    const XmlNode* data = root->find(QStringLiteral("sheetData"));
    if (data == nullptr) return;
    for (const XmlNode* row : data->all(QStringLiteral("row")))
        for (const XmlNode* c : row->all(QStringLiteral("c"))) {
            Cell cell;
            const QString type = c->attribute(QStringLiteral("t"));
            const XmlNode* value = c->child(QStringLiteral("v"));
            cell.isFormula = c->child(QStringLiteral("f")) != nullptr;
            if (type == QLatin1String("s")) {
                cell.isString = true;
                cell.text = shared.value(value ? value->text.toInt() : -1, QStringLiteral("<no string>"));
            } else if (type == QLatin1String("inlineStr") || type == QLatin1String("str")) {
                cell.isString = true;
                QStringList runs;
                c->texts(QStringLiteral("t"), runs);
                cell.text = value ? value->text : runs.join(QString());
            } else {
                cell.number = value ? value->text.toDouble() : 0;
            }
            const int style = c->attribute(QStringLiteral("s")).toInt();
            cell.format = styleFormats.value(style, QStringLiteral("General"));
            const QString reference = c->attribute(QStringLiteral("r"));
            book.cells.insert(reference, cell);
            int column = 0;
            int rowNumber = 0;
            splitReference(reference, column, rowNumber);
            book.rows = std::max(book.rows, rowNumber);
            book.columns = std::max(book.columns, column);
        }
}

Workbook readWorkbook(const QString& zip) {
    Workbook book;
    // The container itself: every member's checksum.
    QProcess test;
    test.start(QStringLiteral("unzip"), {QStringLiteral("-tqq"), zip});
    if (!test.waitForFinished(30000) || test.exitCode() != 0) return book;

    const QString workbookPart = QStringLiteral("xl/workbook.xml");
    const auto rels = relationships(zip, workbookPart);
    const auto root = parseXml(member(zip, workbookPart));
    const XmlNode* workbook = root->child(QStringLiteral("workbook"));
    if (workbook == nullptr) return book;
    if (const XmlNode* view = workbook->find(QStringLiteral("workbookView")))
        book.activeTab = view->attribute(QStringLiteral("activeTab")).toInt();
    const XmlNode* sheets = workbook->child(QStringLiteral("sheets"));
    if (sheets == nullptr) return book;
    for (const XmlNode* sheet : sheets->all(QStringLiteral("sheet"))) {
        const auto rel = rels.value(sheet->attribute(QStringLiteral("r:id")));
        book.sheets.push_back({sheet->attribute(QStringLiteral("name")), rel.first});
        if (rel.first == QLatin1String("worksheet")) readWorksheet(zip, rel.second, book);
        if (rel.first == QLatin1String("chartsheet")) {
            // Chart sheet -> its drawing -> the chart.
            for (const auto& drawing : relationships(zip, rel.second))
                if (drawing.first == QLatin1String("drawing"))
                    for (const auto& chart : relationships(zip, drawing.second))
                        if (chart.first == QLatin1String("chart")) readChart(zip, chart.second, book.chart);
        }
    }
    book.valid = true;
    return book;
}

QString columnLetter(int column) {
    return QString(QChar(u'A' + column - 1));
}

QString reference(int column, int row) {
    return columnLetter(column) + QString::number(row);
}

// "Sheet1!$B$1:$B$3"
QString sheetRange(int column, int rows) {
    const QString letter = columnLetter(column);
    return QStringLiteral("Sheet1!$%1$1:$%1$%2").arg(letter).arg(rows);
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

    WorkbookOpener recordingOpener() {
        return [this](const QString& path) {
            opened << path;
            return true;
        };
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

    // Exports the log file name of DATA through the library window's path and reads the
    // workbook that was opened.
    Workbook exported(const QString& name) {
        opened.clear();
        if (!OpenInExcelWith(state.settings, TraceColorsOf(state), ui, LogFilePath(state, name), recordingOpener()) || opened.size() != 1) {
            qWarning("export of %s failed: %s", qPrintable(name), qPrintable(ui.messageTexts().join(" | ")));
            return {};
        }
        return readWorkbook(opened.front());
    }

    // The entries of TMPDIR: export folders left behind.
    QStringList exportFolders() const {
        return QDir(temporary.path()).entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden);
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
        ui.answers.clear();
        opened.clear();
        for (const QString& folder : exportFolders())
            QDir(temporary.path() + '/' + folder).removeRecursively();
        state.log.RecordCount = 0;
        state.log.SensorType = 0;
    }

    // Every cell of small logs of both families, with all, none and some derived columns.
    void cells_data() {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<int>("celsius");
        QTest::addColumn<int>("derived");
        QTest::addColumn<bool>("q7r");

        const QByteArray vantorpF = "5/21/2014 13:45,72.5,45.0\r\n5/21/2014 14:15,68.0,50.0\r\n"
                                    "5/21/2014 14:45, 70.0 ,50.0\r\n";
        const QByteArray vantorpC = "21.05.2014 13:45,20.0,50.0\r\n21.05.2014 14:15,20.0,100.0\r\n"
                                    "21.05.2014 14:45,-5.5,0.0\r\n";
        const QByteArray q7rF =
            "5/21/2014 13:45,72.5,12.0,8.6,30.1,55.2\r\n5/21/2014 14:15,68.0,11.9,0.0,-0.3,50.0\r\n";
        const QByteArray q7rC =
            "21.05.2014 13:45,20.0,12.0,8.6,30.1,50.0\r\n21.05.2014 14:15,20.0,11.9,0.0,-0.3,100.0\r\n"
            "21.05.2014 14:45,-10.0,99.9,7.0,15.5,0.0\r\n";
        QTest::newRow("Vantorp, all derived, F") << vantorpF << 0 << (Gpp | Emc | Dew) << false;
        QTest::newRow("Vantorp, none derived, F") << vantorpF << 0 << 0 << false;
        QTest::newRow("Vantorp, all derived, C") << vantorpC << 1 << (Gpp | Emc | Dew) << false;
        QTest::newRow("Vantorp, EMC only, C") << vantorpC << 1 << int(Emc) << false;
        QTest::newRow("Q7R, all derived, C") << q7rC << 1 << (Gpp | Emc | Dew) << true;
        QTest::newRow("Q7R, none derived, C") << q7rC << 1 << 0 << true;
        QTest::newRow("Q7R, all derived, F") << q7rF << 0 << (Gpp | Emc | Dew) << true;
        QTest::newRow("Q7R, GPP and dew point, F") << q7rF << 0 << (Gpp | Dew) << true;
    }

    void cells() {
        QFETCH(QByteArray, content);
        QFETCH(int, celsius);
        QFETCH(int, derived);
        QFETCH(bool, q7r);
        useSettings(celsius, derived);
        writeLog(QStringLiteral("cells.txt"), content);
        const Workbook book = exported(QStringLiteral("cells.txt"));
        QVERIFY(book.valid);
        QVERIFY2(ui.messages.empty(), qPrintable(ui.messageTexts().join(" | ")));

        const QList<QByteArray> lines = content.trimmed().split('\n');
        const int measured = q7r ? 6 : 3;
        const int derivedCount =
            ((derived & Gpp) ? 1 : 0) + ((derived & Emc) ? 1 : 0) + ((derived & Dew) ? 1 : 0);
        QCOMPARE(book.rows, lines.size());
        QCOMPARE(book.columns, measured + derivedCount);
        QCOMPARE(book.cells.size(), lines.size() * (measured + derivedCount));

        qsizetype longestTime = 0;
        for (int row = 1; row <= lines.size(); ++row) {
            const QList<QByteArray> fields = lines[row - 1].trimmed().split(',');
            longestTime = std::max(longestTime, fields[0].size());
            QCOMPARE(fields.size(), measured);
            const Cell time = book.cells.value(reference(1, row));
            QVERIFY(time.isString);
            QCOMPARE(time.text, QString::fromLatin1(fields[0]));
            for (int column = 2; column <= measured; ++column) {
                const Cell cell = book.cells.value(reference(column, row));
                QVERIFY2(!cell.isString, qPrintable(reference(column, row)));
                QCOMPARE(cell.number, fields[column - 1].trimmed().toDouble());
                QCOMPARE(cell.format, QStringLiteral("General"));
            }
            const double t = fields[1].trimmed().toDouble();
            const double rh = fields[measured - 1].trimmed().toDouble();
            std::vector<double> exact;
            if (derived & Gpp) exact.push_back(AhOf(t, rh, celsius).value);
            if (derived & Emc) exact.push_back(EmcOf(t, rh, celsius).value);
            if (derived & Dew) exact.push_back(CalcDewPoint(t, rh, celsius).value);
            for (std::size_t k = 0; k < exact.size(); ++k) {
                const QString where = reference(measured + 1 + int(k), row);
                const Cell cell = book.cells.value(where);
                QVERIFY2(!cell.isString, qPrintable(where));
                QCOMPARE(cell.format, QStringLiteral("0.0"));
                QVERIFY2(
                    isRoundedTenth(cell.number, exact[k]),
                    qPrintable(QStringLiteral("%1: %2 for %3").arg(where).arg(cell.number).arg(exact[k])));
            }
        }

        // No time text is cut off by the column next to it.
        QVERIFY2(book.firstColumnWidth >= double(longestTime),
                 qPrintable(QString::number(book.firstColumnWidth)));

        // Values known apart from the program: 20 degrees C (68 F) at 50 % hold 51.97 grains per
        // pound; at 100 % the dew point is the temperature.
        if (derived & Gpp) QCOMPARE(book.cells.value(reference(measured + 1, celsius ? 1 : 2)).number, 52.0);
        if ((derived & Dew) && celsius) QCOMPARE(book.cells.value(reference(book.columns, 2)).number, 20.0);
    }

    // The chart sheet: first, active, XY scatter with straight lines over the data's range, its
    // title, axis titles, series names and colours.
    void chart_data() {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<int>("celsius");
        QTest::addColumn<int>("derived");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("valueAxis");
        QTest::addColumn<QStringList>("names");
        QTest::addColumn<QStringList>("colours");

        const QByteArray vantorp = "a,70.0,40.0\r\nb,71.0,41.0\r\nc,72.0,42.0\r\n";
        const QByteArray q7r = "a,70.0,10.0,11.0,12.0,40.0\r\nb,71.0,10.5,11.5,12.5,41.0\r\n";
        const QString humidity = QStringLiteral("Temp & Humidity");
        const QString moisture = QStringLiteral("Temp & Moisture");
        QTest::newRow("Vantorp, all derived, F")
            << vantorp << 0 << (Gpp | Emc | Dew) << QStringLiteral("Temp & Humidity Chart") << humidity
            << QStringList{"Temp " + Degree + "F", "RH%", "GPP", "EMC%", "Dew " + Degree + "F"}
            << QStringList{"FF0000", "0000FF", "008000", "800080", "007FFF"};
        QTest::newRow("Vantorp, none derived, C")
            << vantorp << 1 << 0 << QStringLiteral("Temp & Humidity Chart") << humidity
            << QStringList{"Temp " + Degree + "C", "RH%"} << QStringList{"FF0000", "0000FF"};
        QTest::newRow("Vantorp, dew point only, C")
            << vantorp << 1 << int(Dew) << QStringLiteral("Temp & Humidity Chart") << humidity
            << QStringList{"Temp " + Degree + "C", "RH%", "Dew " + Degree + "C"}
            << QStringList{"FF0000", "0000FF", "007FFF"};
        QTest::newRow("Q7R, all derived, C")
            << q7r << 1 << (Gpp | Emc | Dew) << QStringLiteral("Temp & Moisture Chart") << moisture
            << QStringList{"Temp " + Degree + "C", "MC1%", "MC2%", "MC3%", "RH%", "GPP", "EMC%",
                           "Dew " + Degree + "C"}
            << QStringList{"FF0000", "000000", "FF00FF", "FF7F27", "0000FF", "008000", "800080", "007FFF"};
        QTest::newRow("Q7R, none derived, F")
            << q7r << 0 << 0 << QStringLiteral("Temp & Moisture Chart") << moisture
            << QStringList{"Temp " + Degree + "F", "MC1%", "MC2%", "MC3%", "RH%"}
            << QStringList{"FF0000", "000000", "FF00FF", "FF7F27", "0000FF"};
        QTest::newRow("Q7R, EMC only, F")
            << q7r << 0 << int(Emc) << QStringLiteral("Temp & Moisture Chart") << moisture
            << QStringList{"Temp " + Degree + "F", "MC1%", "MC2%", "MC3%", "RH%", "EMC%"}
            << QStringList{"FF0000", "000000", "FF00FF", "FF7F27", "0000FF", "800080"};
    }

    void chart() {
        QFETCH(QByteArray, content);
        QFETCH(int, celsius);
        QFETCH(int, derived);
        QFETCH(QString, title);
        QFETCH(QString, valueAxis);
        QFETCH(QStringList, names);
        QFETCH(QStringList, colours);
        useSettings(celsius, derived);
        const QString name = QStringLiteral("SN12345-2014-05-21-13-45-01.txt");
        writeLog(name, content);
        const Workbook book = exported(name);
        QVERIFY(book.valid);
        QVERIFY2(ui.messages.empty(), qPrintable(ui.messageTexts().join(" | ")));

        // The workbook is named after the log, in a folder of its own under the temporary folder.
        QCOMPARE(QFileInfo(opened.front()).fileName(), QStringLiteral("SN12345-2014-05-21-13-45-01.xlsx"));
        QCOMPARE(QFileInfo(QFileInfo(opened.front()).path()).path(), QDir(temporary.path()).canonicalPath());

        QCOMPARE(book.sheets.size(), std::size_t(2));
        QCOMPARE(book.sheets[0].kind, QStringLiteral("chartsheet"));
        QCOMPARE(book.sheets[1].kind, QStringLiteral("worksheet"));
        QCOMPARE(book.sheets[1].name, QStringLiteral("Sheet1"));
        QCOMPARE(book.activeTab, 0);

        const Chart& chart = book.chart;
        QCOMPARE(chart.type, QStringLiteral("scatterChart"));
        QCOMPARE(chart.scatterStyle, QStringLiteral("lineMarker"));
        QCOMPARE(chart.title, title + QLatin1Char('\n') + name);
        QCOMPARE(chart.xAxisTitle, QStringLiteral("Elapsed Time"));
        QCOMPARE(chart.yAxisTitle, valueAxis);

        const int rows = int(content.count('\n'));
        QCOMPARE(chart.series.size(), std::size_t(names.size()));
        // The series cover A1 to the last column of the sheet, one column each.
        QCOMPARE(book.columns, names.size() + 1);
        for (int k = 0; k < names.size(); ++k) {
            const Series& series = chart.series[std::size_t(k)];
            QCOMPARE(series.name, names[k]);
            QCOMPARE(series.colour, colours[k]);
            QCOMPARE(series.xRange, sheetRange(1, rows));
            QCOMPARE(series.yRange, sheetRange(k + 2, rows));
            QCOMPARE(series.marker, QStringLiteral("none"));
            QVERIFY(!series.smooth);
            // A medium line: 1.5 points of 12700 EMU.
            QCOMPARE(series.lineWidth, QStringLiteral("19050"));
        }
    }

    // Each family's columns and chart; the humidity of the derived values is the family's. The
    // time text is always text, also when it looks like a formula or a number. What the reader
    // makes of a file is the log-file tests' business: the export uses the same reader.
    void layoutOfEachFamily() {
        useSettings(0, Gpp);
        writeLog(QStringLiteral("v.txt"), "=1+1,70.0,40.0\r\n42,71.0,1.0\r\n");
        Workbook book = exported(QStringLiteral("v.txt"));
        QVERIFY(book.valid);
        QCOMPARE(book.columns, 4);
        const Cell formula = book.cells.value("A1");
        QVERIFY(formula.isString && !formula.isFormula);
        QCOMPARE(formula.text, QStringLiteral("=1+1"));
        QVERIFY(book.cells.value("A2").isString);
        QCOMPARE(book.cells.value("C2").number, 1.0);
        QVERIFY(isRoundedTenth(book.cells.value("D2").number, AhOf(71.0, 1.0, 0).value));
        QCOMPARE(book.chart.series.size(), std::size_t(3));
        QVERIFY(book.chart.title.startsWith(QLatin1String("Temp & Humidity Chart")));

        writeLog(QStringLiteral("q.txt"), "a,70.0,10.0,11.0,12.0,40.0\r\n");
        book = exported(QStringLiteral("q.txt"));
        QVERIFY(book.valid);
        QCOMPARE(book.columns, 7);
        const QMap<QString, double> expected{{"B1", 70}, {"C1", 10}, {"D1", 11}, {"E1", 12}, {"F1", 40}};
        for (auto it = expected.begin(); it != expected.end(); ++it)
            QCOMPARE(book.cells.value(it.key()).number, it.value());
        QVERIFY(isRoundedTenth(book.cells.value("G1").number, AhOf(70.0, 40.0, 0).value));
        QCOMPARE(book.chart.series.size(), std::size_t(6));
        QVERIFY(book.chart.title.startsWith(QLatin1String("Temp & Moisture Chart")));
        QVERIFY(ui.messages.empty());
    }

    // An empty log exports nothing: the user is told, no workbook is written or opened, and the
    // in-memory log keeps its family.
    void emptyLogExportsNothing_data() {
        QTest::addColumn<QByteArray>("content");
        QTest::newRow("no bytes") << QByteArray();
        QTest::newRow("empty first line") << QByteArray("\r\na,1.0,2.0\r\n");
    }

    void emptyLogExportsNothing() {
        QFETCH(QByteArray, content);
        useSettings(0, Gpp | Emc | Dew);
        state.log.SensorType = SensorQ7R;
        writeLog(QStringLiteral("empty.txt"), content);
        QVERIFY(!OpenInExcelWith(state.settings, TraceColorsOf(state), ui, LogFilePath(state, QStringLiteral("empty.txt")), recordingOpener()));
        QVERIFY(opened.isEmpty());
        QCOMPARE(ui.messages.size(), std::size_t(1));
        QCOMPARE(ui.messages[0].icon, Icon::Information);
        QVERIFY(ui.messages[0].text.contains(QLatin1String("empty.txt")));
        QVERIFY(ui.messages[0].text.contains(QLatin1String("empty")));
        QCOMPARE(exportFolders(), QStringList());
        QCOMPARE(state.log.SensorType, SensorQ7R);

        // The command line writes nothing either.
        QString printed;
        QTextStream out(&printed);
        const QString target = temporary.path() + QStringLiteral("/empty.xlsx");
        QCOMPARE(RunExportCommand(state, ui, QStringLiteral("empty.txt"), target, out), 1);
        QVERIFY(printed.isEmpty());
        QVERIFY(!QFileInfo::exists(target));
        QCOMPARE(QDir(temporary.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
                 QStringList());
    }

    // The export reads its file and leaves the in-memory log as it is, family included, so the
    // views never show one family's records under the other's layout.
    void inMemoryLogUntouched() {
        useSettings(0, 0);
        state.log.RecordCount = 2;
        state.log.SensorType = SensorVantorp;
        state.log.LogTemp[0] = 70;
        writeLog(QStringLiteral("q7r.txt"), "a,70.0,10.0,11.0,12.0,40.0\r\n");
        QVERIFY(exported(QStringLiteral("q7r.txt")).valid);
        QCOMPARE(state.log.SensorType, SensorVantorp);
        QCOMPARE(state.log.RecordCount, 2);
        QCOMPARE(state.log.LogTemp[0], 70.0);
    }

    // No application opens the workbook: the user is told so and where the workbook is.
    void noApplicationOpensIt() {
        useSettings(0, 0);
        writeLog(QStringLiteral("log.txt"), "a,70.0,40.0\r\n");
        QString offered;
        QVERIFY(!OpenInExcelWith(state.settings, TraceColorsOf(state), ui, LogFilePath(state, QStringLiteral("log.txt")), [&offered](const QString& path) {
            offered = path;
            return false;
        }));
        QVERIFY(!offered.isEmpty());
        QCOMPARE(ui.messageTexts(),
                 QStringList{QStringLiteral("The workbook was saved at %1, but no application "
                                            "for spreadsheet files is set up to open it.")
                                 .arg(offered)});
        QCOMPARE(ui.messages[0].icon, Icon::Exclamation);
        // The workbook stays for the user.
        QVERIFY(readWorkbook(offered).valid);
    }

    // No workbook can be created: one message with the folder and the cause, and nothing is
    // opened or left behind.
    void workbookCannotBeCreated() {
        useSettings(0, 0);
        writeLog(QStringLiteral("log.txt"), "a,70.0,40.0\r\n");
        const QString missing = temporary.path() + QStringLiteral("/no/such/folder");
        qputenv("TMPDIR", QFile::encodeName(missing));
        const bool done = OpenInExcelWith(state.settings, TraceColorsOf(state), ui, LogFilePath(state, QStringLiteral("log.txt")), recordingOpener());
        qputenv("TMPDIR", QFile::encodeName(temporary.path()));
        QVERIFY(!done);
        QVERIFY(opened.isEmpty());
        QCOMPARE(
            ui.messageTexts(),
            QStringList{
                QStringLiteral("ERROR: OpenInExcel: the temporary folder %1 is not there").arg(missing)});

        // The same for the command line's output file in a folder that is not there.
        ui.clearRecord();
        QString printed;
        QTextStream out(&printed);
        QCOMPARE(
            RunExportCommand(state, ui, QStringLiteral("log.txt"), missing + QStringLiteral("/x.xlsx"), out),
            1);
        QVERIFY(printed.isEmpty());
        QCOMPARE(ui.messageTexts(),
                 QStringList{QStringLiteral("ERROR: OpenInExcel: cannot open the folder %1: %2")
                                 .arg(missing, QString::fromLocal8Bit(std::strerror(ENOENT)))});
    }

    // Failures after the workbook was started: each reported with its procedure, the export
    // ends, nothing is opened and no file is left.
    void failuresEndTheExport() {
        // A log file that is not there.
        useSettings(1, Gpp | Emc | Dew);
        QVERIFY(!OpenInExcelWith(state.settings, TraceColorsOf(state), ui, LogFilePath(state, QStringLiteral("gone.txt")), recordingOpener()));
        QCOMPARE(ui.messages.size(), std::size_t(1));
        QVERIFY2(ui.messages[0].text.startsWith(QLatin1String("ERROR: OpenInExcel: ")) &&
                     ui.messages[0].text.contains(QLatin1String("gone.txt")),
                 qPrintable(ui.messages[0].text));

        // A dew point that cannot be computed (-243.12 degrees C) names its line.
        ui.clearRecord();
        useSettings(1, Dew);
        writeLog(QStringLiteral("cold.txt"), "a,20.0,50.0\r\nb,-243.12,50.0\r\n");
        QVERIFY(!OpenInExcelWith(state.settings, TraceColorsOf(state), ui, LogFilePath(state, QStringLiteral("cold.txt")), recordingOpener()));
        QCOMPARE(ui.messages.size(), std::size_t(1));
        QVERIFY2(ui.messages[0].text.startsWith(QLatin1String("ERROR: OpenInExcel: ")) &&
                     ui.messages[0].text.contains(QLatin1String("line 2")),
                 qPrintable(ui.messages[0].text));

        QVERIFY(opened.isEmpty());
        QCOMPARE(exportFolders(), QStringList());
    }

    // A GPP that cannot be computed (above boiling) is reported once for the whole export and
    // its cell left empty; the export goes on.
    void gppFailureReportedOnce() {
        useSettings(1, Gpp);
        writeLog(QStringLiteral("boiling.txt"), "a,110.0,50.0\r\nb,120.0,60.0\r\nc,20.0,50.0\r\n");
        const Workbook book = exported(QStringLiteral("boiling.txt"));
        QVERIFY(book.valid);
        QCOMPARE(ui.messageTexts(),
                 QStringList{QStringLiteral("ERROR: CalcAh: Saturation pressure at or above one atmosphere")});
        QVERIFY(!book.cells.contains("D1") && !book.cells.contains("D2"));
        QCOMPARE(book.cells.value("D3").number, 52.0);
    }

    // `kv5 export`: the workbook is written where asked (replacing an earlier file) or under
    // the log's name in a new temporary folder, not opened, and its path printed.
    void exportCommand() {
        useSettings(0, Gpp | Emc | Dew);
        writeLog(QStringLiteral("SN7-2014-05-21-13-45-01.txt"), "a,70.0,10.0,11.0,12.0,40.0\r\n");
        const QString target = temporary.path() + QStringLiteral("/out.xlsx");
        QVERIFY(writeBytes(target, "an older file"));
        QString printed;
        QTextStream out(&printed);
        // The workbook gets the mode of any new file: 0666 less the umask.
        const mode_t umask = ::umask(027);
        const int result =
            RunExportCommand(state, ui, QStringLiteral("SN7-2014-05-21-13-45-01.txt"), target, out);
        ::umask(umask);
        QCOMPARE(result, 0);
        struct stat status {};
        QCOMPARE(::stat(QFile::encodeName(target).constData(), &status), 0);
        QCOMPARE(status.st_mode & 0777, mode_t(0640));
        QCOMPARE(printed, target + QLatin1Char('\n'));
        QVERIFY2(ui.messages.empty(), qPrintable(ui.messageTexts().join(" | ")));
        Workbook book = readWorkbook(target);
        QVERIFY(book.valid);
        QCOMPARE(book.columns, 9);
        QCOMPARE(book.chart.series.size(), std::size_t(8));
        QCOMPARE(book.chart.title, QStringLiteral("Temp & Moisture Chart\nSN7-2014-05-21-13-45-01.txt"));
        QVERIFY(QFile::remove(target));

        // A path outside DATA, no output named.
        const QString elsewhere = temporary.path() + QStringLiteral("/elsewhere.txt");
        QVERIFY(writeBytes(elsewhere, "a,70.0,40.0\r\n"));
        printed.clear();
        QCOMPARE(RunExportCommand(state, ui, elsewhere, QString(), out), 0);
        QVERIFY(printed.endsWith(QLatin1String("/elsewhere.xlsx\n")));
        const QString written = printed.trimmed();
        QCOMPARE(QFileInfo(QFileInfo(written).path()).path(), QDir(temporary.path()).canonicalPath());
        book = readWorkbook(written);
        QVERIFY(book.valid);
        QCOMPARE(book.sheets[0].kind, QStringLiteral("chartsheet"));
        QCOMPARE(book.columns, 6);
        QVERIFY(QFile::remove(elsewhere));
        // Nothing but the workbook is left in its folder.
        QCOMPARE(
            QDir(QFileInfo(written).path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
            QStringList{QStringLiteral("elsewhere.xlsx")});
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
