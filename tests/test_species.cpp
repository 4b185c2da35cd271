// The species list ABLIST.TXT and the moisture correction it drives. The program runs under a
// locale whose decimal separator is a comma: the list's "." must still be read as one.
#include "calc/Species.h"
#include "support/ScriptedUi.h"

#include <QCoreApplication>
#include <QFile>
#include <QLocale>
#include <QTemporaryDir>
#include <QTest>

using namespace kv5;

class TestSpecies : public QObject {
    Q_OBJECT

    QTemporaryDir dir;
    ScriptedUi ui;
    SpeciesList species;

    // Reads a species file with that content; returns the messages it gave.
    QStringList read(const QByteArray& content) {
        const QString path = dir.filePath(QStringLiteral("ABLIST.TXT"));
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size())
            return {"cannot write"};
        file.close();
        ui.clearRecord();
        ReadSpeciesFile(path, species, ui);
        return ui.messageTexts();
    }

    static SpeciesList tableOf(std::initializer_list<SpeciesEntry> entries) {
        SpeciesList list;
        for (const SpeciesEntry& entry : entries) list.SpeciesTable[list.SpeciesCount++] = entry;
        return list;
    }

private slots:
    void initTestCase() {
        QVERIFY(dir.isValid());
        QCOMPARE(QLocale::system().decimalPoint(), QStringLiteral(","));
    }

    void headingOnlyGivesEmptyTableWithoutMessage() {
        species.SpeciesCount = 5;
        QCOMPARE(read("Code\tName\tA\tB\r\n"), QStringList());
        QCOMPARE(species.SpeciesCount, 0);
        QCOMPARE(read("Code\tName\tA\tB"), QStringList());
        QCOMPARE(species.SpeciesCount, 0);
    }

    void emptyOrMissingFileIsReported() {
        const QStringList messages = read("");
        QCOMPARE(messages.size(), 1);
        QVERIFY(messages[0].startsWith(QStringLiteral("ERROR: ReadSpeciesFile: ")));
        QCOMPARE(species.SpeciesCount, 0);

        ui.clearRecord();
        species.SpeciesCount = 3;
        ReadSpeciesFile(dir.filePath(QStringLiteral("nothing-here.txt")), species, ui);
        QCOMPARE(ui.messages.size(), std::size_t(1));
        QVERIFY(ui.messages[0].text.startsWith(QStringLiteral("ERROR: ReadSpeciesFile: ")));
        QCOMPARE(ui.messages[0].title, ProgramTitle);
        QCOMPARE(species.SpeciesCount, 0);
    }

    void fieldsAreReadWithPointDecimalsWhateverTheLocale() {
        QCOMPARE(read("heading\n5\t Oak \t1.5\t0.9\n"), QStringList());
        QCOMPARE(species.SpeciesCount, 1);
        QCOMPARE(species.SpeciesTable[0].Code, 5);
        QCOMPARE(species.SpeciesTable[0].Name, QStringLiteral("Oak"));
        QCOMPARE(species.SpeciesTable[0].A, 1.5);
        QCOMPARE(species.SpeciesTable[0].B, 0.9);
    }

    void oddLines() {
        QCOMPARE(read("heading\r\n"
                      "\r\n"
                      "   \r\n"               // blanks only: an entry of code 0 and nothing else
                      "7\tPine\r\n"           // code and name only: A and B are 0
                      "-1\tDropped\t1\t1\r\n" // reserved codes leave no entry and no gap
                      "8\tBirch\t-0.5\t1.25\tcomment\tmore\r\n"
                      "-2\tDropped too\t1\t1\r\n"
                      "x\tNo number\t.5\tabc\r\n"
                      "-3\tBuilt-in\t0\t1\r\n"),
                 QStringList());
        QCOMPARE(species.SpeciesCount, 5);
        QCOMPARE(species.SpeciesTable[0].Code, 0);
        QCOMPARE(species.SpeciesTable[0].Name, QString());
        QCOMPARE(species.SpeciesTable[0].A, 0.0);
        QCOMPARE(species.SpeciesTable[0].B, 0.0);
        QCOMPARE(species.SpeciesTable[1].Name, QStringLiteral("Pine"));
        QCOMPARE(species.SpeciesTable[1].A, 0.0);
        QCOMPARE(species.SpeciesTable[1].B, 0.0);
        QCOMPARE(species.SpeciesTable[2].Code, 8);
        QCOMPARE(species.SpeciesTable[2].A, -0.5);
        QCOMPARE(species.SpeciesTable[2].B, 1.25);
        QCOMPARE(species.SpeciesTable[3].Code, 0);
        QCOMPARE(species.SpeciesTable[3].A, 0.5);
        QCOMPARE(species.SpeciesTable[3].B, 0.0);
        QCOMPARE(species.SpeciesTable[4].Code, SpeciesCodeBuiltInCurve);
    }

    void namesInAnOlderCodePageKeepTheirLetters() {
        QCOMPARE(read("heading\n3\tH\xEAtre\t0\t1\n4\tWei\xC3\x9F"
                      "buche\t0\t1\n"),
                 QStringList());
        // A file that is not UTF-8 is taken as Latin-1; the second file's line is UTF-8.
        QCOMPARE(species.SpeciesTable[0].Name, QStringLiteral("H\u00EAtre"));
        QCOMPARE(read("heading\n4\tWei\xC3\x9F"
                      "buche\t0\t1\n"),
                 QStringList());
        QCOMPARE(species.SpeciesTable[0].Name, QStringLiteral("Wei\u00DF"
                                                              "buche"));
    }

    void atMost99Entries() {
        QByteArray content = "heading\n";
        for (int i = 1; i <= 99; ++i)
            content += QByteArray::number(i) + "\tSpecies " + QByteArray::number(i) + "\t0\t1\n";
        QCOMPARE(read(content), QStringList());
        QCOMPARE(species.SpeciesCount, 99);

        content += "-1\tDropped\t0\t1\n"; // a dropped code does not count as the 100th
        QCOMPARE(read(content), QStringList());
        QCOMPARE(species.SpeciesCount, 99);

        content += "100\tOne too many\t0\t1\n101\tTwo too many\t0\t1\n";
        const QStringList messages = read(content);
        QCOMPARE(messages.size(), 1);
        QVERIFY(messages[0].startsWith(QStringLiteral("ERROR: ReadSpeciesFile: ")));
        QCOMPARE(species.SpeciesCount, 99);
        QCOMPARE(species.SpeciesTable[98].Code, 99);
        // The 99 entries stay usable.
        QCOMPARE(CorrectMcForSpecies(species, 99, 20), 20.0);
    }

    void shippedListHoldsTheReferenceAndTheBuiltInCurve() {
        ui.clearRecord();
        ReadSpeciesFile(QStringLiteral(KV5_SOURCE_DIR "/data/ABLIST.TXT"), species, ui);
        QVERIFY(ui.messages.empty());
        QVERIFY(species.SpeciesCount >= 2);
        QCOMPARE(species.SpeciesTable[0].Code, 1);
        QCOMPARE(CorrectMcForSpecies(species, 1, 23.4), 23.4);
        bool hasCurve = false;
        for (int i = 0; i < species.SpeciesCount; ++i) hasCurve |= species.SpeciesTable[i].Code == -3;
        QVERIFY(hasCurve);
    }

    void parseDecimal_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<double>("expected");
        QTest::newRow("point") << QStringLiteral("1.5") << 1.5;
        QTest::newRow("negative") << QStringLiteral("-10.81") << -10.81;
        QTest::newRow("blanks") << QStringLiteral(" 0.25 ") << 0.25;
        QTest::newRow("whole") << QStringLiteral("12") << 12.0;
        QTest::newRow("locale's own separator") << QStringLiteral("1,5") << 1.5;
        QTest::newRow("word") << QStringLiteral("abc") << 0.0;
        QTest::newRow("empty") << QString() << 0.0;
    }
    void parseDecimal() {
        QFETCH(QString, text);
        QFETCH(double, expected);
        QCOMPARE(ParseDecimal(text), expected);
    }

    // The built-in curve: each bound belongs to the higher range.
    void builtInCurve_data() {
        QTest::addColumn<double>("mc");
        QTest::addColumn<double>("expected");
        QTest::newRow("17.9") << 17.9 << 0.125 * 17.9 - 0.375;
        QTest::newRow("18") << 18.0 << 1.875;
        QTest::newRow("25.9") << 25.9 << 0.1875 * 25.9 - 1.5;
        QTest::newRow("26") << 26.0 << 0.25 * 26 - 3.0;
        QTest::newRow("31") << 31.0 << 0.25 * 31 - 2.875;
        QTest::newRow("35.9") << 35.9 << 0.25 * 35.9 - 2.875;
        QTest::newRow("36") << 36.0 << 0.3125 * 36 - 5.0;
        QTest::newRow("41") << 41.0 << 0.375 * 41 - 7.625;
        QTest::newRow("50.9") << 50.9 << 0.375 * 50.9 - 7.625;
        QTest::newRow("51") << 51.0 << 0.4375 * 51 - 10.81;
        QTest::newRow("64.9") << 64.9 << 0.4375 * 64.9 - 10.81;
        QTest::newRow("65") << 65.0 << 0.5 * 65 - 14.81;
        QTest::newRow("100") << 100.0 << 35.19;
        QTest::newRow("below zero is limited") << 2.0 << 0.0;
        QTest::newRow("far above is limited") << 300.0 << 99.9;
    }
    void builtInCurve() {
        QFETCH(double, mc);
        QFETCH(double, expected);
        QCOMPARE(CorrectMcForSpecies(SpeciesList{}, SpeciesCodeBuiltInCurve, mc), expected);
        // The table's own entry for the code does not matter.
        const SpeciesList table = tableOf({{-3, QStringLiteral("Curve"), 50, 3}});
        QCOMPARE(CorrectMcForSpecies(table, SpeciesCodeBuiltInCurve, mc), expected);
    }

    void linearCorrection() {
        const SpeciesList table = tableOf({{4, QStringLiteral("Spruce"), 1.5, 0.9},
                                           {9, QStringLiteral("Strong"), 0, 1.2},
                                           {4, QStringLiteral("Second spruce"), 0, 2}});
        QCOMPARE(CorrectMcForSpecies(table, 4, 10), 0.9 * 10 + 1.5); // the first entry of a code
        QCOMPARE(CorrectMcForSpecies(table, 9, 90), 99.9);
        QCOMPARE(CorrectMcForSpecies(table, 9, -5), 0.0);
        QCOMPARE(CorrectMcForSpecies(table, 9, 50), 60.0);
        // A code not in the table only limits the reading.
        QCOMPARE(CorrectMcForSpecies(table, 77, 42.5), 42.5);
        QCOMPARE(CorrectMcForSpecies(table, 77, 120), 99.9);
        QCOMPARE(CorrectMcForSpecies(table, 77, -1), 0.0);
        // Entries beyond the count are not looked at.
        SpeciesList shorter = table;
        shorter.SpeciesCount = 1;
        QCOMPARE(CorrectMcForSpecies(shorter, 9, 50), 50.0);
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
