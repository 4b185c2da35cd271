// The settings file KV5.INI: what a read finds in a file as a user may have edited it, and what a
// write leaves of the lines around the value it changes.
#include "app/IniFile.h"
#include "calc/Species.h"
#include "support/Installation.h"
#include "support/ScriptedUi.h"
#include "support/Windows.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

using namespace kv5;

class TestIni : public QObject {
    Q_OBJECT

    QTemporaryDir dir;
    const QString ini = dir.filePath(QStringLiteral("KV5.INI"));
    ScriptedUi ui;

    // Puts content into the settings file; a null content leaves no file.
    void setFile(const QByteArray& content) {
        QFile::remove(ini);
        if (!content.isNull()) QVERIFY(WriteFileBytes(ini, content));
    }
    QString get() { return GetIniSetting(ini, "General", "Emc", "default", ui); }
    bool set(const QString& value, const QString& path) {
        return WriteIniSetting(path, "General", "Emc", value, ui);
    }

private slots:
    void init() { setFile({}); }
    void cleanup() { QVERIFY2(ui.messages.empty(), qPrintable(ui.messageTexts().join(QLatin1Char('\n')))); }

    void read_data() {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("expected"); // of the key Emc in [General]
        const QString cut(254, QLatin1Char('a'));
        QTest::newRow("no file") << QByteArray() << "default";
        QTest::newRow("names in any letter case")
            << QByteArray("[GENERAL]\n emc = a  b ; c=d \t\n") << "a  b ; c=d";
        QTest::newRow("enclosing quotes") << QByteArray("[General]\nEmc=\" 1 \"") << " 1 ";
        QTest::newRow("a single quote stays") << QByteArray("[General]\nEmc=\"1\n") << "\"1";
        // Lines before any section, comments and other sections do not count; the first section
        // of the name is the one read.
        QTest::newRow("not keys") << QByteArray(
                                         "Emc=5\n[Other]\nEmc=2\n[General]\n;Emc=3\n[General]\nEmc=4\n")
                                  << "default";
        QTest::newRow("cut to 254") << "[General]\nEmc=" + cut.toUtf8() + "bbb\n" << cut;
        // Some editors start a file with a byte-order mark; the first section still counts.
        QTest::newRow("byte-order mark") << QByteArray("\xEF\xBB\xBF[General]\r\nEmc=0\r\n") << "0";
        QTest::newRow("two byte-order marks") << QByteArray("\xEF\xBB\xBF\xEF\xBB\xBF[General]\nEmc=0\n") << "0";
    }
    void read() {
        QFETCH(QByteArray, content);
        QFETCH(QString, expected);
        setFile(content);
        QCOMPARE(get(), expected);
    }

    void refusedWrites() {
        // A file that cannot be read is never replaced by a write.
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("KV5.INI")));
        QVERIFY(!set("1", ini));
        QVERIFY(QFileInfo(ini).isDir() && QDir(dir.path()).rmdir(QStringLiteral("KV5.INI")));
        // Nor is one in a folder that is not there made; neither says so.
        QVERIFY(!set("1", dir.filePath(QStringLiteral("none/KV5.INI"))));
        // A value that would make a second line: refused with a message, the file unchanged.
        setFile("[General]\nEmc=1\n");
        QVERIFY(!set("0\n[X]", ini));
        QCOMPARE(FileBytes(ini), QByteArray("[General]\nEmc=1\n"));
        QCOMPARE(ui.messageTexts().size(), 1);
        QVERIFY(ui.messageTexts()[0].startsWith(QStringLiteral("ERROR: WriteIniSetting:")));
        ui.clearRecord();
    }

    void notFilesToRead_data() {
        QTest::addColumn<bool>("pipe");
        QTest::newRow("a pipe") << true;
        QTest::newRow("more than a mebibyte") << false;
    }
    // The settings and the species list are read only from a plain file of a sensible size: a pipe
    // would wait for a writer for ever. Neither is replaced, and each reader says why.
    void notFilesToRead() {
        QFETCH(bool, pipe);
        const QByteArray big = "[General]\nEmc=1\n" + QByteArray(1 << 20, ';');
        if (pipe)
            QCOMPARE(::mkfifo(QFile::encodeName(ini).constData(), 0600), 0);
        else
            setFile(big);
        const QString why = pipe ? ini + " is a pipe, a device or a socket, not a file"
                                 : ini + " is larger than 1048576 bytes";
        QCOMPARE(get(), QString());
        QString refusal;
        QVERIFY(!WriteIniSetting(ini, "General", "Emc", "0", ui, &refusal));
        QCOMPARE(refusal, why);
        SpeciesList species;
        ReadSpeciesFile(ini, species, ui);
        QCOMPARE(ui.messageTexts(), QStringList({"ERROR: GetIniSetting:" + why, "ERROR: ReadSpeciesFile: " + why}));
        QCOMPARE(QFileInfo(ini).isFile(), !pipe);
        if (!pipe) QCOMPARE(FileBytes(ini), big);
        ui.clearRecord();
        QVERIFY(QFile::remove(ini));
    }

    void write_data() {
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<QByteArray>("after"); // Emc set to 1 in [General]
        QTest::newRow("new file") << QByteArray() << QByteArray("[General]\nEmc=1\n");
        QTest::newRow("replaced where it stands, its spelling and every other line kept")
            << QByteArray("[Window]\r\nEmc=9\r\n[general]\r\n  ; c\r\n  EMC = 0\r\nx=y")
            << QByteArray("[Window]\r\nEmc=9\r\n[general]\r\n  ; c\r\n  EMC=1\r\nx=y");
        QTest::newRow("new key after the last line of its section")
            << QByteArray("[General]\nCelsius=0\n; end\n\n[Other]\nx=1\n")
            << QByteArray("[General]\nCelsius=0\n; end\nEmc=1\n\n[Other]\nx=1\n");
        QTest::newRow("last section without a line end")
            << QByteArray("[Other]\r\nx=1\r\n[General]\r\nCelsius=0")
            << QByteArray("[Other]\r\nx=1\r\n[General]\r\nCelsius=0\r\nEmc=1\r\n");
        QTest::newRow("empty section")
            << QByteArray("[General]\n[Other]\n") << QByteArray("[General]\nEmc=1\n[Other]\n");
        QTest::newRow("byte-order mark dropped, the first section's key replaced")
            << QByteArray("\xEF\xBB\xBF[General]\nEmc=0\n") << QByteArray("[General]\nEmc=1\n");
        QTest::newRow("new section at the end")
            << QByteArray("; only a comment") << QByteArray("; only a comment\n\n[General]\nEmc=1\n");
    }
    void write() {
        QFETCH(QByteArray, before);
        QFETCH(QByteArray, after);
        setFile(before);
        QVERIFY(set("1", ini));
        QCOMPARE(FileBytes(ini), after);
        QCOMPARE(get(), QStringLiteral("1"));
    }
};

QTEST_GUILESS_MAIN(TestIni)
#include "test_ini.moc"
