// Where the program keeps its files: the choice of the program folder and its first-start seeding.
#include "app/ProgramFolder.h"
#include "support/Installation.h"
#include "support/Windows.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

using namespace kv5;

class TestProgramFolder : public QObject {
    Q_OBJECT

    QTemporaryDir dir;

    QString path(const QString& name) const { return name.isEmpty() ? name : dir.filePath(name); }

private slots:
    void initTestCase() {
        for (const char* folder : {"portable", "usr/bin", "usr/share/quorvane-kv5"})
            QVERIFY(QDir().mkpath(path(QLatin1String(folder))));
    }

    void choice_data() {
        QTest::addColumn<QStringList>("row"); // --home, KV5_HOME, the program's folder, the choice
        QTest::newRow("option first") << QStringList{"option", "variable", "portable", "option"};
        QTest::newRow("then the variable") << QStringList{"", "variable", "portable", "variable"};
        QTest::newRow("then a portable program's folder") << QStringList{"", "", "portable", "portable"};
        QTest::newRow("not one that is not there") << QStringList{"", "", "gone", "share/quorvane-kv5"};
        // An installation's bin folder, even a writable one, has its data in share/.
        QTest::newRow("not an installation's") << QStringList{"", "", "usr/bin", "share/quorvane-kv5"};
    }
    void choice() {
        QFETCH(QStringList, row);
        const ProgramFolderChoice choice =
            ChooseProgramFolder({path(row[0]), path(row[1]), path(row[2]), path(QStringLiteral("share"))});
        QCOMPARE(choice.folder, path(row[3]));
        QCOMPARE(choice.perUser, row[3].startsWith(QLatin1String("share")));
        QCOMPARE(ChooseProgramFolder({QStringLiteral("some/../kv5home"), {}, {}, {}}).folder,
                 QDir::current().absoluteFilePath(QStringLiteral("kv5home")));
    }

    void seedingCopiesMissingShippedFilesOnly() {
        const QString first = path(QStringLiteral("seed/first")),
                      second = path(QStringLiteral("seed/second"));
        const QString target = path(QStringLiteral("seed/user/quorvane-kv5"));
        QVERIFY(QDir().mkpath(first) && QDir().mkpath(second));
        QVERIFY(WriteFileBytes(second + QStringLiteral("/ABLIST.TXT"), "shipped list\n"));
        QVERIFY(WriteFileBytes(second + QStringLiteral("/KV5.PDF"), "%PDF second"));
        QVERIFY(WriteFileBytes(first + QStringLiteral("/KV5.PDF"), "%PDF first"));
        QFile::setPermissions(second + QStringLiteral("/ABLIST.TXT"), QFileDevice::ReadOwner);

        // Each file from the first folder that has it, for the user to change, and never overwritten.
        SeedProgramFolder(target, {first, second});
        QCOMPARE(FileBytes(target + QStringLiteral("/KV5.PDF")), QByteArray("%PDF first"));
        QCOMPARE(FileBytes(target + QStringLiteral("/ABLIST.TXT")), QByteArray("shipped list\n"));
        QVERIFY(QFileInfo(target + QStringLiteral("/ABLIST.TXT")).permissions() & QFileDevice::WriteOwner);
        QVERIFY(WriteFileBytes(target + QStringLiteral("/ABLIST.TXT"), "my list\n"));
        SeedProgramFolder(target, {first, second});
        QCOMPARE(FileBytes(target + QStringLiteral("/ABLIST.TXT")), QByteArray("my list\n"));
    }
};

QTEST_GUILESS_MAIN(TestProgramFolder)
#include "test_programfolder.moc"
