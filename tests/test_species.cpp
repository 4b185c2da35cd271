// The species list ABLIST.TXT and the moisture correction it drives. The program runs under a
// locale whose decimal separator is a comma: the list's "." must still be read as one.
#include "calc/Species.h"
#include "support/ScriptedUi.h"
#include "support/Windows.h"

#include <QCoreApplication>
#include <QLocale>
#include <QTemporaryDir>
#include <QTest>

using namespace kv5;

class TestSpecies : public QObject {
    Q_OBJECT

    QTemporaryDir dir;
    ScriptedUi ui;
    SpeciesList species;

private slots:
    void initTestCase() { QCOMPARE(QLocale::system().decimalPoint(), QStringLiteral(",")); }

    void readFile_data() {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QStringList>("expected"); // code/name/A/B
        QTest::addColumn<bool>("error");
        QTest::newRow("empty file") << QByteArray("") << QStringList() << true;
        // A decimal point and the locale's comma both read; a file that is not UTF-8 is Latin-1.
        QTest::newRow("UTF-8") << QByteArray("heading\n4\t Wei\xC3\x9F \t1,5\t0.9\n")
                               << QStringList{"4/Wei\u00DF/1.5/0.9"} << false;
        QTest::newRow("Latin-1") << QByteArray("heading\n3\tH\xEAtre\t0\t1\n")
                                 << QStringList{"3/H\u00EAtre/0/1"} << false;
        // Blanks only make an entry of code 0; the codes -1 and -2 leave no entry and no gap.
        QTest::newRow("odd lines") << QByteArray(
                                          "heading\r\n\r\n   \r\n7\tPine\r\n-1\tDropped\t1\t1\r\n"
                                          "8\tBirch\t-0.5\t1.25\tcomment\tmore\r\n-2\tDropped\t1\t1\r\n"
                                          "x\tNo number\t.5\tabc\r\n-3\tBuilt-in\t0\t1")
                                   << QStringList{"0//0/0", "7/Pine/0/0", "8/Birch/-0.5/1.25",
                                                  "0/No number/0.5/0", "-3/Built-in/0/1"}
                                   << false;
        // At most 99 species, a dropped code not counted; the 99 stay usable after the 100th.
        QByteArray content = "heading\n";
        QStringList expected;
        for (int i = 1; i <= 99; ++i) {
            content += QByteArray::number(i) + "\tS\t0\t1\n";
            expected << QStringLiteral("%1/S/0/1").arg(i);
        }
        content += "-1\tDropped\t0\t1\n";
        QTest::newRow("99 species") << content << expected << false;
        QTest::newRow("100 species") << content + "100\tS\t0\t1\n101\tS\t0\t1\n" << expected << true;
    }
    void readFile() {
        QFETCH(QByteArray, content);
        QFETCH(QStringList, expected);
        QFETCH(bool, error);
        const QString path = dir.filePath(QStringLiteral("ABLIST.TXT"));
        QVERIFY(WriteFileBytes(path, content));
        species.SpeciesCount = 3;
        ReadSpeciesFile(path, species, ui);
        QStringList found;
        for (int i = 0; i < species.SpeciesCount; ++i) {
            const SpeciesEntry& entry = species.SpeciesTable[i];
            found << QStringLiteral("%1/%2/%3/%4").arg(entry.Code).arg(entry.Name).arg(entry.A).arg(entry.B);
        }
        QCOMPARE(found, expected);
        QCOMPARE(ui.messageTexts().filter(QStringLiteral("ERROR: ReadSpeciesFile: ")).size(), error ? 1 : 0);
        ui.clearRecord();
    }

    void correction_data() {
        QTest::addColumn<int>("code");
        QTest::addColumn<double>("mc");
        QTest::addColumn<double>("expected");
        // The built-in curve, each bound belonging to the higher range, limited to 0 to 99.9 %; the
        // table's own entry for its code does not matter.
        QTest::newRow("curve 17.9") << -3 << 17.9 << 0.125 * 17.9 - 0.375;
        QTest::newRow("curve 26") << -3 << 26.0 << 0.25 * 26 - 3.0;
        QTest::newRow("curve 36") << -3 << 36.0 << 0.3125 * 36 - 5.0;
        QTest::newRow("curve 51") << -3 << 51.0 << 0.4375 * 51 - 10.81;
        QTest::newRow("curve 2") << -3 << 2.0 << 0.0;
        QTest::newRow("curve 300") << -3 << 300.0 << 99.9;
        // Inside the rows the bounds above do not reach, the top row included.
        QTest::newRow("curve 20") << -3 << 20.0 << 2.25;
        QTest::newRow("curve 33") << -3 << 33.0 << 5.375;
        QTest::newRow("curve 45") << -3 << 45.0 << 9.25;
        QTest::newRow("curve 100") << -3 << 100.0 << 35.19;
        QTest::newRow("the first entry of a code") << 4 << 10.0 << 0.9 * 10 + 1.5;
        QTest::newRow("a code not in the table") << 77 << 42.5 << 42.5;
        QTest::newRow("an entry beyond the count") << 5 << 50.0 << 50.0;
    }
    void correction() {
        QFETCH(int, code);
        QFETCH(double, mc);
        QFETCH(double, expected);
        SpeciesList table;
        table.SpeciesTable[0] = {4, QStringLiteral("Spruce"), 1.5, 0.9};
        table.SpeciesTable[1] = {4, QStringLiteral("Second spruce"), 0, 2};
        table.SpeciesTable[2] = {SpeciesCodeBuiltInCurve, QStringLiteral("Curve"), 50, 3};
        table.SpeciesTable[3] = {5, QStringLiteral("Beyond"), 0, 2};
        table.SpeciesCount = 3;
        QCOMPARE(CorrectMcForSpecies(table, code, mc), expected);
    }
};

int main(int argc, char** argv) {
    qputenv("LC_ALL", "de_DE.UTF-8");
    QCoreApplication app(argc, argv);
    TestSpecies test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_species.moc"
