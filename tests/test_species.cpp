// The species list ABLIST.TXT and the moisture correction it drives. The program runs under a
// locale whose decimal separator is a comma: the list's "." must still be read as one.
#include "calc/Species.h"
#include "support/ScriptedUi.h"

#include <QCoreApplication>
#include <QFile>
#include <QLocale>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

using namespace kv5;

class TestSpecies : public QObject {
    Q_OBJECT

    QTemporaryDir dir;
    ScriptedUi ui;
    SpeciesList species;

    // Reads a species file with that content (none when it is null) into a list that held
    // something before; returns the messages it gave.
    QStringList read(const QByteArray& content) {
        const QString path = dir.filePath(QStringLiteral("ABLIST.TXT"));
        QFile::remove(path);
        QFile file(path);
        if (!content.isNull() && (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size()))
            return {"cannot write"};
        file.close();
        ui.clearRecord();
        species.SpeciesCount = 3;
        ReadSpeciesFile(path, species, ui);
        return ui.messageTexts();
    }
    QStringList entries() const {
        QStringList found;
        for (int i = 0; i < species.SpeciesCount; ++i) {
            const SpeciesEntry& entry = species.SpeciesTable[i];
            found << QStringLiteral("%1/%2/%3/%4").arg(entry.Code).arg(entry.Name).arg(entry.A).arg(entry.B);
        }
        return found;
    }

private slots:
    void initTestCase() { QCOMPARE(QLocale::system().decimalPoint(), QStringLiteral(",")); }

    void readFile_data() {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QStringList>("expected"); // code/name/A/B
        QTest::addColumn<bool>("error");
        QTest::newRow("heading only") << QByteArray("Code\tName\tA\tB\r\n") << QStringList() << false;
        QTest::newRow("heading without line end") << QByteArray("Code\tName\tA\tB") << QStringList() << false;
        QTest::newRow("empty file") << QByteArray("") << QStringList() << true;
        QTest::newRow("no file") << QByteArray() << QStringList() << true;
        QTest::newRow("fields") << QByteArray("heading\n5\t Oak \t1.5\t0.9\n") << QStringList{"5/Oak/1.5/0.9"}
                                << false;
        // Blanks only make an entry of code 0; the codes -1 and -2 leave no entry and no gap.
        QTest::newRow("odd lines") << QByteArray(
                                          "heading\r\n\r\n   \r\n7\tPine\r\n-1\tDropped\t1\t1\r\n"
                                          "8\tBirch\t-0.5\t1.25\tcomment\tmore\r\n-2\tDropped\t1\t1\r\n"
                                          "x\tNo number\t.5\tabc\r\n-3\tBuilt-in\t0\t1\r\n")
                                   << QStringList{"0//0/0", "7/Pine/0/0", "8/Birch/-0.5/1.25",
                                                  "0/No number/0.5/0", "-3/Built-in/0/1"}
                                   << false;
        // A file that is not UTF-8 is taken as Latin-1.
        QTest::newRow("Latin-1") << QByteArray("heading\n3\tH\xEAtre\t0\t1\n")
                                 << QStringList{"3/H\u00EAtre/0/1"} << false;
        QTest::newRow("UTF-8") << QByteArray("heading\n4\tWei\xC3\x9F"
                                             "buche\t0\t1\n")
                               << QStringList{"4/Wei\u00DF"
                                              "buche/0/1"}
                               << false;
    }
    void readFile() {
        QFETCH(QByteArray, content);
        QFETCH(QStringList, expected);
        QFETCH(bool, error);
        const QStringList messages = read(content);
        QCOMPARE(entries(), expected);
        QCOMPARE(messages.size(), error ? 1 : 0);
        if (error)
            QVERIFY2(messages[0].startsWith(QStringLiteral("ERROR: ReadSpeciesFile: ")),
                     qPrintable(messages[0]));
    }

    void atMost99Entries() {
        QByteArray content = "heading\n";
        for (int i = 1; i <= 99; ++i) content += QByteArray::number(i) + "\tSpecies\t0\t1\n";
        content += "-1\tDropped\t0\t1\n"; // a dropped code does not count as the 100th
        QCOMPARE(read(content), QStringList());
        QCOMPARE(species.SpeciesCount, 99);

        content += "100\tOne too many\t0\t1\n101\tTwo too many\t0\t1\n";
        const QStringList messages = read(content);
        QCOMPARE(messages.size(), 1);
        QVERIFY(messages[0].startsWith(QStringLiteral("ERROR: ReadSpeciesFile: ")));
        QCOMPARE(ui.messages[0].title, ProgramTitle);
        // The 99 entries stay usable.
        QCOMPARE(species.SpeciesCount, 99);
        QCOMPARE(species.SpeciesTable[98].Code, 99);
    }

    void shippedList() {
        ui.clearRecord();
        ReadSpeciesFile(QStringLiteral(KV5_SOURCE_DIR "/data/ABLIST.TXT"), species, ui);
        QVERIFY(ui.messages.empty());
        // The reference species first; the built-in curve offered.
        QCOMPARE(species.SpeciesTable[0].Code, 1);
        QCOMPARE(CorrectMcForSpecies(species, 1, 23.4), 23.4);
        QVERIFY(entries().filter(QRegularExpression(QStringLiteral("^-3/"))).size() == 1);
    }

    void parseDecimal_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<double>("expected");
        QTest::newRow("point") << QStringLiteral("-10.81") << -10.81;
        QTest::newRow("blanks") << QStringLiteral(" 0.25 ") << 0.25;
        QTest::newRow("locale's own separator") << QStringLiteral("1,5") << 1.5;
        QTest::newRow("word") << QStringLiteral("abc") << 0.0;
        QTest::newRow("empty") << QString() << 0.0;
    }
    void parseDecimal() {
        QFETCH(QString, text);
        QFETCH(double, expected);
        QCOMPARE(ParseDecimal(text), expected);
    }

    void correction_data() {
        QTest::addColumn<int>("code");
        QTest::addColumn<double>("mc");
        QTest::addColumn<double>("expected");
        // The built-in curve, each bound belonging to the higher range; the table's own entry for
        // its code does not matter.
        const double curve[][2] = {{17.9, 0.125 * 17.9 - 0.375},
                                   {26, 0.25 * 26 - 3.0},
                                   {31, 0.25 * 31 - 2.875},
                                   {36, 0.3125 * 36 - 5.0},
                                   {50.9, 0.375 * 50.9 - 7.625},
                                   {51, 0.4375 * 51 - 10.81},
                                   {65, 0.5 * 65 - 14.81},
                                   {2, 0},
                                   {300, 99.9}};
        for (const auto& row : curve) QTest::addRow("curve %g", row[0]) << -3 << row[0] << row[1];
        QTest::newRow("the first entry of a code") << 4 << 10.0 << 0.9 * 10 + 1.5;
        QTest::newRow("linear") << 9 << 50.0 << 60.0;
        QTest::newRow("limited above") << 9 << 90.0 << 99.9;
        QTest::newRow("limited below") << 9 << -5.0 << 0.0;
        QTest::newRow("a code not in the table") << 77 << 42.5 << 42.5;
        QTest::newRow("only limited") << 77 << 120.0 << 99.9;
        QTest::newRow("an entry beyond the count") << 5 << 50.0 << 50.0;
    }
    void correction() {
        QFETCH(int, code);
        QFETCH(double, mc);
        QFETCH(double, expected);
        SpeciesList table;
        table.SpeciesTable[0] = {4, QStringLiteral("Spruce"), 1.5, 0.9};
        table.SpeciesTable[1] = {9, QStringLiteral("Strong"), 0, 1.2};
        table.SpeciesTable[2] = {4, QStringLiteral("Second spruce"), 0, 2};
        table.SpeciesTable[3] = {SpeciesCodeBuiltInCurve, QStringLiteral("Curve"), 50, 3};
        table.SpeciesTable[4] = {5, QStringLiteral("Beyond"), 0, 2};
        table.SpeciesCount = 4;
        QCOMPARE(CorrectMcForSpecies(table, code, mc), expected);
    }
};

int main(int argc, char** argv) {
    // Numbers in this locale use a decimal comma; the list is written with points.
    qputenv("LC_ALL", "de_DE.UTF-8");
    QCoreApplication app(argc, argv);
    TestSpecies test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_species.moc"
