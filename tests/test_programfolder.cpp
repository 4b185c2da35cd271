// Where the program keeps its files: the choice of the program folder, its first-start seeding
// and the DATA folder.
#include "app/ProgramFolder.h"
#include "logfiles/LogFile.h"
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

QByteArray readFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class TestProgramFolder : public QObject {
    Q_OBJECT

    QTemporaryDir dir;

    QString path(const QString& name) const { return dir.filePath(name); }

private slots:
    void initTestCase() { QVERIFY(dir.isValid()); }

    void choiceOrder() {
        QVERIFY(QDir().mkpath(path(QStringLiteral("portable"))));
        ProgramFolderSources sources;
        sources.homeOption = path(QStringLiteral("option"));
        sources.homeVariable = path(QStringLiteral("variable"));
        sources.applicationDir = path(QStringLiteral("portable"));
        sources.userDataDir = path(QStringLiteral("share"));

        ProgramFolderChoice choice = ChooseProgramFolder(sources);
        QCOMPARE(choice.folder, path(QStringLiteral("option")));
        QVERIFY(!choice.perUser);

        sources.homeOption.clear();
        QCOMPARE(ChooseProgramFolder(sources).folder, path(QStringLiteral("variable")));

        sources.homeVariable.clear();
        choice = ChooseProgramFolder(sources);
        QCOMPARE(choice.folder, path(QStringLiteral("portable")));
        QVERIFY(!choice.perUser);

        // A program folder that is not there (or not writable) leaves the per-user folder.
        sources.applicationDir = path(QStringLiteral("gone"));
        choice = ChooseProgramFolder(sources);
        QCOMPARE(choice.folder, path(QStringLiteral("share/quorvane-kv5")));
        QVERIFY(choice.perUser);
    }

    void installedProgramUsesThePerUserFolder() {
        QVERIFY(QDir().mkpath(path(QStringLiteral("usr/bin"))));
        QVERIFY(QDir().mkpath(path(QStringLiteral("usr/share/quorvane-kv5"))));
        ProgramFolderSources sources;
        sources.applicationDir = path(QStringLiteral("usr/bin"));
        sources.userDataDir = path(QStringLiteral("home/.local/share"));
        const ProgramFolderChoice choice = ChooseProgramFolder(sources);
        QCOMPARE(choice.folder, path(QStringLiteral("home/.local/share/quorvane-kv5")));
        QVERIFY(choice.perUser);
        QCOMPARE(
            ShippedFileFolders(sources.applicationDir),
            (QStringList{path(QStringLiteral("usr/bin")), path(QStringLiteral("usr/share/quorvane-kv5"))}));
    }

    void relativeHomeBecomesAbsolute() {
        ProgramFolderSources sources;
        sources.homeOption = QStringLiteral("some/../kv5home");
        QCOMPARE(ChooseProgramFolder(sources).folder,
                 QDir::current().absoluteFilePath(QStringLiteral("kv5home")));
    }

    void seedingCopiesMissingShippedFilesOnly() {
        const QString first = path(QStringLiteral("seed/first"));
        const QString second = path(QStringLiteral("seed/second"));
        const QString target = path(QStringLiteral("seed/user/quorvane-kv5"));
        QVERIFY(QDir().mkpath(first));
        QVERIFY(QDir().mkpath(second));
        QVERIFY(writeFile(second + QStringLiteral("/ABLIST.TXT"), "shipped list\n"));
        QVERIFY(writeFile(second + QStringLiteral("/KV5.PDF"), "%PDF second"));
        QVERIFY(writeFile(first + QStringLiteral("/KV5.PDF"), "%PDF first"));
        QFile::setPermissions(second + QStringLiteral("/ABLIST.TXT"), QFileDevice::ReadOwner);

        SeedProgramFolder(target, {first, second});
        QCOMPARE(readFile(target + QStringLiteral("/ABLIST.TXT")), QByteArray("shipped list\n"));
        QCOMPARE(readFile(target + QStringLiteral("/KV5.PDF")), QByteArray("%PDF first"));
        QVERIFY(QFileInfo(target + QStringLiteral("/ABLIST.TXT")).permissions() & QFileDevice::WriteOwner);

        // The user's own list is never overwritten.
        QVERIFY(writeFile(target + QStringLiteral("/ABLIST.TXT"), "my list\n"));
        SeedProgramFolder(target, {first, second});
        QCOMPARE(readFile(target + QStringLiteral("/ABLIST.TXT")), QByteArray("my list\n"));

        // Nothing shipped: the folder is made, no file appears.
        const QString bare = path(QStringLiteral("seed/bare"));
        SeedProgramFolder(bare, {path(QStringLiteral("seed/nothing"))});
        QVERIFY(QFileInfo(bare).isDir());
        QVERIFY(QDir(bare).isEmpty());
    }

    void makeFolders() {
        ScriptedUi ui;
        const QString home = path(QStringLiteral("home1"));
        QVERIFY(QDir().mkpath(home));
        MakeFolders(home, ui);
        QVERIFY(QFileInfo(home + QStringLiteral("/DATA")).isDir());
        MakeFolders(home, ui); // already there
        QVERIFY(ui.messages.empty());

        const QString blocked = path(QStringLiteral("home2"));
        QVERIFY(QDir().mkpath(blocked));
        QVERIFY(writeFile(blocked + QStringLiteral("/DATA"), "not a folder"));
        MakeFolders(blocked, ui);
        QCOMPARE(ui.messages.size(), std::size_t(1));
        QVERIFY2(ui.messages[0].text.startsWith(QStringLiteral("ERROR: MakeFolders.0: ")),
                 qPrintable(ui.messages[0].text));
    }

    void buildFolderIsAPortableProgramFolder() {
        const QByteArray shipped = readFile(QStringLiteral(KV5_SOURCE_DIR "/data/ABLIST.TXT"));
        QVERIFY(!shipped.isEmpty());
        QCOMPARE(readFile(QStringLiteral(KV5_BINARY_DIR "/app/ABLIST.TXT")), shipped);
    }
};

QTEST_GUILESS_MAIN(TestProgramFolder)
#include "test_programfolder.moc"
