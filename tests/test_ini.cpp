// The settings file KV5.INI: what a read finds in a file as a user may have edited it, and what a
// write leaves of the lines around the value it changes.
#include "app/IniFile.h"
#include "support/Installation.h"
#include "support/ScriptedUi.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

using namespace kv5;

class TestIni : public QObject {
    Q_OBJECT

    QTemporaryDir dir;
    QString ini;
    ScriptedUi ui;

    // Puts content into the settings file; a null content leaves no file.
    void setFile(const QByteArray& content) {
        QFile::remove(ini);
        if (content.isNull()) return;
        QFile file(ini);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(content) == content.size());
    }
    QString get(const QString& key, const QString& defaultValue = QStringLiteral("default")) {
        return GetIniSetting(ini, QStringLiteral("General"), key, defaultValue, ui);
    }
    bool set(const QString& key, const QString& value, const QString& path = {}) {
        return WriteIniSetting(path.isEmpty() ? ini : path, QStringLiteral("General"), key, value, ui);
    }

private slots:
    void init() {
        ini = dir.filePath(QStringLiteral("KV5.INI"));
        setFile({});
        ui = ScriptedUi();
    }
    void cleanup() { QVERIFY2(ui.messages.empty(), qPrintable(ui.messageTexts().join(QLatin1Char('\n')))); }

    void read_data() {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("expected"); // of the key Emc in [General]
        const QString cut(254, QLatin1Char('a'));
        QTest::newRow("no file") << QByteArray() << "default";
        QTest::newRow("other section") << QByteArray("[Other]\nEmc=1\n") << "default";
        QTest::newRow("other key") << QByteArray("[General]\nAhGpp=0\n") << "default";
        QTest::newRow("names in any letter case") << QByteArray("[GENERAL]\n emc = 7\n") << "7";
        QTest::newRow("empty value") << QByteArray("[General]\r\nEmc=\r\n") << "";
        QTest::newRow("blanks around") << QByteArray("[General]\nEmc =   0  \t\n") << "0";
        QTest::newRow("blanks inside stay") << QByteArray("[General]\nEmc= a  b \n") << "a  b";
        QTest::newRow("enclosing quotes") << QByteArray("[General]\nEmc=\" 1 \"") << " 1 ";
        QTest::newRow("a single quote stays") << QByteArray("[General]\nEmc=\"1\n") << "\"1";
        QTest::newRow("semicolon in the value") << QByteArray("[General]\nEmc=1 ; on\n") << "1 ; on";
        QTest::newRow("second equals sign") << QByteArray("[General]\nEmc=a=b\n") << "a=b";
        // Lines before any section, comments and other sections do not count; the first section
        // of the name is the one read.
        QTest::newRow("not keys") << QByteArray(
                                         "Emc=5\n[Other]\nEmc=2\n[General]\n;Emc=3\n[General]\nEmc=4\n")
                                  << "default";
        QTest::newRow("cut to 254") << "[General]\nEmc=" + cut.toUtf8() + "bbb\n" << cut;
    }
    void read() {
        QFETCH(QByteArray, content);
        QFETCH(QString, expected);
        setFile(content);
        QCOMPARE(get(QStringLiteral("Emc")), expected);
    }

    void readFailures() {
        // The default is cut like a value.
        QCOMPARE(get(QStringLiteral("Emc"), QString(300, QLatin1Char('d'))).size(), 254);
        // A file that cannot be read: an empty value, and the system's message without a blank
        // after its colon.
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("KV5.INI")));
        QCOMPARE(get(QStringLiteral("Emc")), QString());
        QCOMPARE(ui.messageTexts().size(), 1);
        QVERIFY2(QRegularExpression(QStringLiteral("^ERROR: GetIniSetting:\\S"))
                     .match(ui.messageTexts()[0])
                     .hasMatch(),
                 qPrintable(ui.messageTexts()[0]));
        QCOMPARE(ui.messages[0].title, ProgramTitle);
        // ...and is never replaced by a write.
        ui.clearRecord();
        QVERIFY(!set(QStringLiteral("Emc"), QStringLiteral("1")));
        QVERIFY(QFileInfo(ini).isDir());
        QVERIFY(QDir(dir.path()).rmdir(QStringLiteral("KV5.INI")));
        // A folder that is not there: refused without a message.
        QVERIFY(
            !set(QStringLiteral("Emc"), QStringLiteral("1"), dir.filePath(QStringLiteral("none/KV5.INI"))));
        // A value that would make a second line: refused with a message, the file unchanged.
        setFile("[General]\nEmc=1\n");
        QVERIFY(!set(QStringLiteral("Emc"), QStringLiteral("0\n[X]")));
        QCOMPARE(FileBytes(ini), QByteArray("[General]\nEmc=1\n"));
        QCOMPARE(ui.messageTexts().size(), 1);
        QVERIFY(ui.messageTexts()[0].startsWith(QStringLiteral("ERROR: WriteIniSetting:the value")));
        ui.clearRecord();
    }

    void write_data() {
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<QByteArray>("after"); // Emc set to 1 in [General]
        QTest::newRow("new file") << QByteArray() << QByteArray("[General]\nEmc=1\n");
        QTest::newRow("replaced where it stands, its spelling and every other line kept")
            << QByteArray("; KV5 settings\r\n[Window]\r\nEmc=9\r\n\r\n[general]\r\n  ; the index\r\n"
                          "  EMC = 0\r\nCelsius=1\r\n\r\n[Last]\r\nx=y")
            << QByteArray("; KV5 settings\r\n[Window]\r\nEmc=9\r\n\r\n[general]\r\n  ; the index\r\n"
                          "  EMC=1\r\nCelsius=1\r\n\r\n[Last]\r\nx=y");
        QTest::newRow("new key after the last line of its section")
            << QByteArray("[General]\nCelsius=0\n; end\n\n[Other]\nx=1\n")
            << QByteArray("[General]\nCelsius=0\n; end\nEmc=1\n\n[Other]\nx=1\n");
        QTest::newRow("last section without a line end")
            << QByteArray("[Other]\r\nx=1\r\n[General]\r\nCelsius=0")
            << QByteArray("[Other]\r\nx=1\r\n[General]\r\nCelsius=0\r\nEmc=1\r\n");
        QTest::newRow("empty section")
            << QByteArray("[General]\n[Other]\n") << QByteArray("[General]\nEmc=1\n[Other]\n");
        QTest::newRow("new section at the end")
            << QByteArray("; only a comment") << QByteArray("; only a comment\n\n[General]\nEmc=1\n");
    }
    void write() {
        QFETCH(QByteArray, before);
        QFETCH(QByteArray, after);
        setFile(before);
        QVERIFY(set(QStringLiteral("Emc"), QStringLiteral("1")));
        QCOMPARE(FileBytes(ini), after);
        QCOMPARE(get(QStringLiteral("Emc")), QStringLiteral("1"));
        // No temporary file is left beside it.
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden),
                 QStringList{QStringLiteral("KV5.INI")});
    }
};

QTEST_GUILESS_MAIN(TestIni)
#include "test_ini.moc"
