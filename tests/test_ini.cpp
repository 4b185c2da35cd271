// The settings file KV5.INI: reads and writes with the results of the Windows profile functions.
#include "app/IniFile.h"
#include "support/ScriptedUi.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace kv5;

namespace {

QByteArray readAll(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return {};
    return file.readAll();
}

void writeAll(const QString& path, const QByteArray& content) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(content), content.size());
}

} // namespace

class TestIni : public QObject {
    Q_OBJECT

    QTemporaryDir dir;
    QString ini;
    ScriptedUi ui;

    QString get(const QString& key, const QString& defaultValue = QStringLiteral("default"),
                const QString& section = QStringLiteral("General")) {
        return GetIniSetting(ini, section, key, defaultValue, ui);
    }

private slots:
    void init() {
        QVERIFY(dir.isValid());
        ini = dir.filePath(QStringLiteral("KV5.INI"));
        QFile::remove(ini);
        ui = ScriptedUi();
    }

    void cleanup() { QVERIFY2(ui.messages.empty(), qPrintable(ui.messageTexts().join(QLatin1Char('\n')))); }

    void missingFileSectionOrKeyGivesTheDefault() {
        QCOMPARE(get(QStringLiteral("Celsius"), QStringLiteral("0")), QStringLiteral("0"));
        writeAll(ini, "[Other]\nCelsius=1\n");
        QCOMPARE(get(QStringLiteral("Celsius"), QStringLiteral("0")), QStringLiteral("0"));
        writeAll(ini, "[General]\nAhGpp=0\n");
        QCOMPARE(get(QStringLiteral("Celsius"), QStringLiteral("0")), QStringLiteral("0"));
        QCOMPARE(get(QStringLiteral("AhGpp"), QStringLiteral("1")), QStringLiteral("0"));
    }

    void namesMatchWhateverTheirLetterCase() {
        writeAll(ini, "[GENERAL]\ntestmode=1\nMcSP2 = 7\n");
        QCOMPARE(get(QStringLiteral("TestMode")), QStringLiteral("1"));
        QCOMPARE(get(QStringLiteral("McSp2")), QStringLiteral("7"));
        QCOMPARE(get(QStringLiteral("mcsp2"), QStringLiteral("x"), QStringLiteral("general")),
                 QStringLiteral("7"));
    }

    void valuesAsWritten_data() {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<QString>("expected");
        QTest::newRow("empty value is empty text") << QByteArray("Emc=") << QString();
        QTest::newRow("blanks around the value") << QByteArray("Emc =   0  \t") << QStringLiteral("0");
        QTest::newRow("blanks inside stay") << QByteArray("Emc= a  b ") << QStringLiteral("a  b");
        QTest::newRow("quotes enclosing the value") << QByteArray("Emc=\" 1 \"") << QStringLiteral(" 1 ");
        QTest::newRow("a single quote stays") << QByteArray("Emc=\"1") << QStringLiteral("\"1");
        QTest::newRow("word") << QByteArray("Emc=yes") << QStringLiteral("yes");
        QTest::newRow("text after a semicolon is part of the value")
            << QByteArray("Emc=1 ; on") << QStringLiteral("1 ; on");
        QTest::newRow("second equals sign belongs to the value")
            << QByteArray("Emc=a=b") << QStringLiteral("a=b");
    }
    void valuesAsWritten() {
        QFETCH(QByteArray, line);
        QFETCH(QString, expected);
        writeAll(ini, "[General]\r\n" + line + "\r\n");
        const QString value = get(QStringLiteral("Emc"));
        QCOMPARE(value, expected);
        QCOMPARE(value.isNull() || value.isEmpty(), expected.isEmpty());
    }

    void commentsAndOtherSectionsAreNotKeys() {
        writeAll(ini, "; Celsius=1\nCelsius=5\n[Other]\nCelsius=2\n[General]\n;Celsius=3\nDewpoint=0\n"
                      "[General]\nCelsius=4\n");
        // Lines before any section, comments and other sections do not count; the first
        // section of the name is the one read.
        QCOMPARE(get(QStringLiteral("Celsius"), QStringLiteral("none")), QStringLiteral("none"));
        QCOMPARE(get(QStringLiteral("Dewpoint")), QStringLiteral("0"));
    }

    void readIsCutTo254Characters() {
        const QString longValue = QString(200, QLatin1Char('a')) + QString(100, QLatin1Char('b'));
        writeAll(ini, "[General]\nDescription=" + longValue.toUtf8() + "\n");
        const QString value = get(QStringLiteral("Description"));
        QCOMPARE(value.size(), 254);
        QCOMPARE(value, longValue.left(254));
        // The default is cut the same way.
        QCOMPARE(get(QStringLiteral("Missing"), longValue).size(), 254);
        // 254 characters pass whole.
        writeAll(ini, "[General]\nDescription=" + longValue.left(254).toUtf8() + "\n");
        QCOMPARE(get(QStringLiteral("Description")), longValue.left(254));
    }

    void unreadableFileIsReportedWithoutBlankAfterTheColon() {
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("KV5.INI")));
        QCOMPARE(get(QStringLiteral("Celsius"), QStringLiteral("0")), QString());
        QCOMPARE(ui.messages.size(), std::size_t(1));
        const QString text = ui.messages[0].text;
        QVERIFY2(text.startsWith(QStringLiteral("ERROR: GetIniSetting:")), qPrintable(text));
        QVERIFY2(text.size() > 21 && text[21] != QLatin1Char(' '), qPrintable(text));
        QCOMPARE(ui.messages[0].title, ProgramTitle);
        QCOMPARE(ui.messages[0].buttons, Buttons::Ok);
        QVERIFY(QDir(dir.path()).rmdir(QStringLiteral("KV5.INI")));
        ui.clearRecord();
    }

    void writeCreatesFileAndSection() {
        QVERIFY(WriteIniSetting(ini, QStringLiteral("General"), QStringLiteral("Celsius"),
                                QStringLiteral("0"), ui));
        QVERIFY(WriteIniSetting(ini, QStringLiteral("General"), QStringLiteral("AhGpp"), QStringLiteral("1"),
                                ui));
        QCOMPARE(readAll(ini), QByteArray("[General]\nCelsius=0\nAhGpp=1\n"));
        QCOMPARE(get(QStringLiteral("AhGpp")), QStringLiteral("1"));
    }

    void writeReplacesTheValueWhereItStandsAndKeepsEveryOtherLine() {
        const QByteArray before = "; KV5 settings\r\n"
                                  "[Window]\r\n"
                                  "Celsius=9\r\n"
                                  "\r\n"
                                  "[general]\r\n"
                                  "  ; the unit\r\n"
                                  "  CELSIUS = 0\r\n"
                                  "Emc=1\r\n"
                                  "\r\n"
                                  "[Last]\r\n"
                                  "x=y";
        writeAll(ini, before);
        QVERIFY(WriteIniSetting(ini, QStringLiteral("General"), QStringLiteral("Celsius"),
                                QStringLiteral("1"), ui));
        QByteArray expected = before;
        expected.replace("  CELSIUS = 0\r\n", "  CELSIUS=1\r\n");
        QCOMPARE(readAll(ini), expected);
        QCOMPARE(get(QStringLiteral("Celsius")), QStringLiteral("1"));
        QCOMPARE(get(QStringLiteral("Celsius"), {}, QStringLiteral("Window")), QStringLiteral("9"));
    }

    void missingKeyGoesToTheEndOfItsSection() {
        writeAll(ini, "[General]\nCelsius=0\n; end of General\n\n[Other]\nx=1\n");
        QVERIFY(
            WriteIniSetting(ini, QStringLiteral("General"), QStringLiteral("Emc"), QStringLiteral("0"), ui));
        QCOMPARE(readAll(ini), QByteArray("[General]\nCelsius=0\n; end of General\nEmc=0\n\n[Other]\nx=1\n"));
        // The last section of a file that does not end with a line end.
        writeAll(ini, "[Other]\r\nx=1\r\n[General]\r\nCelsius=0");
        QVERIFY(
            WriteIniSetting(ini, QStringLiteral("General"), QStringLiteral("Emc"), QStringLiteral("1"), ui));
        QCOMPARE(readAll(ini), QByteArray("[Other]\r\nx=1\r\n[General]\r\nCelsius=0\r\nEmc=1\r\n"));
        // A section with nothing in it yet.
        writeAll(ini, "[General]\n[Other]\n");
        QVERIFY(
            WriteIniSetting(ini, QStringLiteral("General"), QStringLiteral("Emc"), QStringLiteral("1"), ui));
        QCOMPARE(readAll(ini), QByteArray("[General]\nEmc=1\n[Other]\n"));
    }

    void missingSectionGoesToTheEndOfTheFile() {
        writeAll(ini, "; only a comment");
        QVERIFY(
            WriteIniSetting(ini, QStringLiteral("General"), QStringLiteral("Emc"), QStringLiteral("1"), ui));
        QCOMPARE(readAll(ini), QByteArray("; only a comment\n\n[General]\nEmc=1\n"));
    }

    void refusedWriteIsSilentAndChangesNothing() {
        const QString nowhere = dir.filePath(QStringLiteral("no-such-folder/KV5.INI"));
        QVERIFY(!WriteIniSetting(nowhere, QStringLiteral("General"), QStringLiteral("Emc"),
                                 QStringLiteral("1"), ui));
        QVERIFY(!QFile::exists(nowhere));
        // A settings "file" that cannot be read is never replaced.
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("KV5.INI")));
        QVERIFY(
            !WriteIniSetting(ini, QStringLiteral("General"), QStringLiteral("Emc"), QStringLiteral("1"), ui));
        QVERIFY(QFileInfo(ini).isDir());
        QVERIFY(QDir(dir.path()).rmdir(QStringLiteral("KV5.INI")));
    }

    void valueWithLineBreakIsRefusedWithAMessage() {
        writeAll(ini, "[General]\nEmc=1\n");
        QVERIFY(!WriteIniSetting(ini, QStringLiteral("General"), QStringLiteral("Emc"),
                                 QStringLiteral("0\n[X]"), ui));
        QCOMPARE(readAll(ini), QByteArray("[General]\nEmc=1\n"));
        QCOMPARE(ui.messages.size(), std::size_t(1));
        QVERIFY(ui.messages[0].text.startsWith(QStringLiteral("ERROR: WriteIniSetting:")));
        QVERIFY(ui.messages[0].text[22] != QLatin1Char(' '));
        ui.clearRecord();
    }

    void writeLeavesNoOtherFileBehind() {
        for (int i = 0; i < 5; ++i)
            QVERIFY(WriteIniSetting(ini, QStringLiteral("General"), QStringLiteral("McSp%1").arg(i),
                                    QString::number(i), ui));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden),
                 QStringList{QStringLiteral("KV5.INI")});
        QCOMPARE(get(QStringLiteral("McSp4")), QStringLiteral("4"));
    }
};

QTEST_GUILESS_MAIN(TestIni)
#include "test_ini.moc"
