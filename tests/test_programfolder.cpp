// Where the program keeps its files: the choice of the program folder, its first-start seeding
// and the DATA folder.
#include "app/ProgramFolder.h"
#include "logfiles/LogFile.h"
#include "support/Installation.h"
#include "support/ScriptedUi.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace kv5;

namespace {

bool writeFile(const QString& path, const QByteArray& content) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(content) == content.size();
}

} // namespace

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
        QTest::addColumn<QString>("option");
        QTest::addColumn<QString>("variable");
        QTest::addColumn<QString>("program"); // the program's folder
        QTest::addColumn<QString>("expected");
        QTest::newRow("option first") << "option"
                                      << "variable"
                                      << "portable"
                                      << "option";
        QTest::newRow("then the variable") << ""
                                           << "variable"
                                           << "portable"
                                           << "variable";
        QTest::newRow("then a portable program's folder") << ""
                                                          << ""
                                                          << "portable"
                                                          << "portable";
        QTest::newRow("not one that is not there") << ""
                                                   << ""
                                                   << "gone"
                                                   << "share/quorvane-kv5";
        // An installation's bin folder, even a writable one, has its data in share/.
        QTest::newRow("not an installation's") << ""
                                               << ""
                                               << "usr/bin"
                                               << "share/quorvane-kv5";
    }
    void choice() {
        QFETCH(QString, option);
        QFETCH(QString, variable);
        QFETCH(QString, program);
        QFETCH(QString, expected);
        const ProgramFolderChoice choice =
            ChooseProgramFolder({path(option), path(variable), path(program), path(QStringLiteral("share"))});
        QCOMPARE(choice.folder, path(expected));
        QCOMPARE(choice.perUser, expected.startsWith(QLatin1String("share")));
    }

    void relativeHomeBecomesAbsolute() {
        QCOMPARE(ChooseProgramFolder({QStringLiteral("some/../kv5home"), {}, {}, {}}).folder,
                 QDir::current().absoluteFilePath(QStringLiteral("kv5home")));
        QCOMPARE(
            ShippedFileFolders(path(QStringLiteral("usr/bin"))),
            (QStringList{path(QStringLiteral("usr/bin")), path(QStringLiteral("usr/share/quorvane-kv5"))}));
    }

    void seedingCopiesMissingShippedFilesOnly() {
        const QString first = path(QStringLiteral("seed/first")),
                      second = path(QStringLiteral("seed/second"));
        const QString target = path(QStringLiteral("seed/user/quorvane-kv5"));
        QVERIFY(QDir().mkpath(first) && QDir().mkpath(second));
        QVERIFY(writeFile(second + QStringLiteral("/ABLIST.TXT"), "shipped list\n"));
        QVERIFY(writeFile(second + QStringLiteral("/KV5.PDF"), "%PDF second"));
        QVERIFY(writeFile(first + QStringLiteral("/KV5.PDF"), "%PDF first"));
        QFile::setPermissions(second + QStringLiteral("/ABLIST.TXT"), QFileDevice::ReadOwner);

        // Each file from the first folder that has it; the copy is the user's to change.
        SeedProgramFolder(target, {first, second});
        QCOMPARE(FileBytes(target + QStringLiteral("/ABLIST.TXT")), QByteArray("shipped list\n"));
        QCOMPARE(FileBytes(target + QStringLiteral("/KV5.PDF")), QByteArray("%PDF first"));
        QVERIFY(QFileInfo(target + QStringLiteral("/ABLIST.TXT")).permissions() & QFileDevice::WriteOwner);

        // The user's own list is never overwritten.
        QVERIFY(writeFile(target + QStringLiteral("/ABLIST.TXT"), "my list\n"));
        SeedProgramFolder(target, {first, second});
        QCOMPARE(FileBytes(target + QStringLiteral("/ABLIST.TXT")), QByteArray("my list\n"));

        // Nothing shipped: the folder is made, no file appears.
        const QString bare = path(QStringLiteral("seed/bare"));
        SeedProgramFolder(bare, {path(QStringLiteral("seed/nothing"))});
        QVERIFY(QFileInfo(bare).isDir() && QDir(bare).isEmpty());
    }

    void makeFolders() {
        ScriptedUi ui;
        const QString home = path(QStringLiteral("home1"));
        QVERIFY(QDir().mkpath(home));
        MakeFolders(home, ui);
        MakeFolders(home, ui); // already there
        QVERIFY(QFileInfo(home + QStringLiteral("/DATA")).isDir());
        QVERIFY(ui.messages.empty());

        const QString blocked = path(QStringLiteral("home2"));
        QVERIFY(QDir().mkpath(blocked) && writeFile(blocked + QStringLiteral("/DATA"), "not a folder"));
        MakeFolders(blocked, ui);
        QCOMPARE(ui.messages.size(), std::size_t(1));
        QVERIFY2(ui.messages[0].text.startsWith(QStringLiteral("ERROR: MakeFolders.0: ")),
                 qPrintable(ui.messages[0].text));
    }
};

QTEST_GUILESS_MAIN(TestProgramFolder)
#include "test_programfolder.moc"
