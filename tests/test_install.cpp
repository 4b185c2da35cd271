// The installed program: `cmake --install` into a temporary prefix puts every file in its place,
// and the installed program, manual page, bash completion, menu files and udev rule agree.
#include "device/PortDiscovery.h"
#include "support/Installation.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

using namespace kv5;

namespace {

const QString SourceDir = QStringLiteral(KV5_SOURCE_DIR);
const QString BinaryDir = QStringLiteral(KV5_BINARY_DIR);
const QString RuleName = QStringLiteral("60-quorvane-kv5.rules");

// Rendered text as a reader sees it: blanks of every kind as one, groff's hyphens, minus signs
// and quotes as the characters typed.
QString plainText(QString text) {
    text.remove(QRegularExpression(QStringLiteral(".\\x08")));
    for (const QChar sign : {QChar(0x2010), QChar(0x2011), QChar(0x2212)})
        text.replace(sign, QLatin1Char('-'));
    text.replace(QChar(0x2019), QLatin1Char('\'')).replace(QChar(0x2018), QLatin1Char('`'));
    return text.simplified();
}

} // namespace

class TestInstall : public QObject {
    Q_OBJECT

    QTemporaryDir prefix_;
    ProgramRun install_;
    QString help_, version_; // what the installed program says to --help and --version

    QString installed(const QString& relative) const { return prefix_.filePath(relative); }

    // What bash completes for the words of a command line (the last one being completed) with the
    // installed completion and program, sorted, with anything bash says on its error output.
    QStringList
    completions(const QStringList& words,
                QProcessEnvironment environment = QProcessEnvironment::systemEnvironment()) const {
        environment.insert("COMPLETION", installed("share/bash-completion/completions/kv5"));
        environment.insert("PATH", installed("bin:") + environment.value("PATH"));
        const QString script = "cd \"${HERE:-.}\" && source \"$COMPLETION\" && COMP_WORDS=(\"$@\") && "
                               "COMP_CWORD=$(($# - 1)) && { _kv5; printf '%s\\n' \"${COMPREPLY[@]}\"; }";
        const ProgramRun run =
            RunProgram("bash", QStringList{"--norc", "-c", script, "bash"} + words, environment);
        QStringList found = QString::fromUtf8(run.output + run.errors).split('\n', Qt::SkipEmptyParts);
        found.sort();
        found.removeDuplicates();
        return found;
    }

private slots:
    void initTestCase() {
        install_ = RunProgram("cmake", {"--install", BinaryDir, "--prefix", prefix_.path()});
        QVERIFY2(install_.exitCode == 0, install_.errors.constData());
        help_ = QString::fromUtf8(RunProgram(installed("bin/kv5"), {"--help"}).output);
        version_ = QString::fromUtf8(RunProgram(installed("bin/kv5"), {"--version"}).output).trimmed();
    }

    void everyFileInItsPlace() {
        // The shipped files as they are in the source or the build; the others are made by the build.
        const QMap<QString, QString> sources{
            {"share/quorvane-kv5/KV5.PDF", BinaryDir + "/app/KV5.PDF"},
            {"share/quorvane-kv5/ABLIST.TXT", SourceDir + "/data/ABLIST.TXT"},
            {"share/applications/quorvane-kv5.desktop", SourceDir + "/data/quorvane-kv5.desktop"},
            {"share/icons/hicolor/scalable/apps/quorvane-kv5.svg", SourceDir + "/data/quorvane-kv5.svg"},
            {"lib/udev/rules.d/" + RuleName, SourceDir + "/data/" + RuleName},
            {"share/bash-completion/completions/kv5", SourceDir + "/data/kv5.bash-completion"},
        };
        for (const QString& place : InstalledFiles) {
            const QByteArray bytes = FileBytes(installed(place));
            QVERIFY2(!bytes.isEmpty() && (!sources.contains(place) || bytes == FileBytes(sources[place])) &&
                         (!place.endsWith(".gz") || bytes.startsWith("\x1f\x8b")),
                     qPrintable(place));
        }
        // The install says where udev will not look for the rule.
        QVERIFY2(install_.output.contains("udev does not read"), install_.output.constData());
    }

    // An installed program keeps its files in the user's folder, seeded from share/quorvane-kv5.
    void installedProgramSeedsTheUserFolder() {
        QTemporaryDir home;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.remove("KV5_HOME");
        environment.insert("HOME", home.path());
        environment.insert("XDG_DATA_HOME", home.filePath("data"));
        const QString folder = home.filePath("data/quorvane-kv5/");
        const ProgramRun read = RunProgram(installed("bin/kv5"), {"read", "--simulate=q7r"}, environment);
        QVERIFY2(read.exitCode == 0 && !read.errors.contains("ReadSpeciesFile"), read.errors.constData());
        const QString saved = QString::fromUtf8(read.output).trimmed().section('\n', -1);
        QVERIFY2(saved.startsWith(folder + "DATA/SN") && QFileInfo(saved).isFile(), qPrintable(saved));
        for (const QString file : {"KV5.PDF", "ABLIST.TXT"})
            QCOMPARE(FileBytes(folder + file), FileBytes(installed("share/quorvane-kv5/" + file)));
    }

    // Every entry of the help (an option or a command) is in the manual page, whose groff has
    // nothing to say; bash completes every command, long option and the options of each command.
    void manualPageAndCompletionKnowTheHelp() {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("MANWIDTH", "100");
        environment.insert("LC_ALL", "C.UTF-8");
        const ProgramRun page = RunProgram(
            "man", {"--warnings", "--nh", "--nj", "-l", installed("share/man/man1/kv5.1.gz")}, environment);
        QVERIFY2(page.exitCode == 0 && page.errors.isEmpty(), page.errors.constData());
        const QString manual = plainText(QString::fromUtf8(page.output));
        QVERIFY2(manual.contains(version_), qPrintable(manual.right(200)));
        static const QRegularExpression option(QStringLiteral("(?<![\\w-])--?[a-z][a-z-]*"));
        const qsizetype commandsAt = help_.indexOf("\nCommands");
        QStringList commands, longOptions;
        for (const QString& line : help_.split('\n')) {
            const QString term = line.section("  ", 1, 1);
            if (!line.startsWith("  ") || term.isEmpty()) continue;
            QVERIFY2(manual.contains(plainText(term)), qPrintable(term));
            QStringList options;
            for (auto it = option.globalMatch(term); it.hasNext();) options << it.next().captured();
            if (help_.indexOf(line) < commandsAt) {
                longOptions << options.filter(QRegularExpression("^--"));
                continue;
            }
            commands << term.section(' ', 0, 0);
            const QStringList offered = completions({"kv5", commands.last(), "-"});
            for (const QString& name : options << "--home")
                QVERIFY2(offered.contains(name), qPrintable(commands.last() + ' ' + name));
        }
        commands.sort();
        longOptions.sort();
        QVERIFY(commands.size() >= 6 && longOptions.size() >= 6);
        QCOMPARE(completions({"kv5", ""}), commands);
        QCOMPARE(completions({"kv5", "--"}), longOptions);
    }

    void completedFiles_data() {
        // The words as bash splits them ("=" is a word of its own), the last one being completed;
        // OTHER and PORTABLE stand for folders of the test, where KV5_HOME may point to OTHER.
        QTest::addColumn<QString>("words");
        QTest::addColumn<bool>("homeVariable");
        QTest::addColumn<QString>("expected");
        QTest::newRow("kinds of simulated logger") << "kv5 --simulate = " << false << "kv6 q7r vantorp";
        QTest::newRow("logs of the user's folder and files here")
            << "kv5 table " << false << "SN1-2026-05-21T0800-01.txt SN1-2026-05-21T0800-02.txt here.txt";
        QTest::newRow("logs of --home=")
            << "kv5 --home = OTHER chart S" << false << "SN2-2026-06-01T1200-01.txt";
        QTest::newRow("logs of KV5_HOME") << "kv5 export S" << true << "SN2-2026-06-01T1200-01.txt";
        QTest::newRow("logs beside a portable program")
            << "PORTABLE/kv5 print S" << false << "SN3-2026-07-04T0600-01.txt";
    }
    void completedFiles() {
        QFETCH(QString, words);
        QFETCH(bool, homeVariable);
        QFETCH(QString, expected);
        QTemporaryDir root;
        for (const char* file :
             {"home/.local/share/quorvane-kv5/DATA/SN1-2026-05-21T0800-01.txt",
              "home/.local/share/quorvane-kv5/DATA/SN1-2026-05-21T0800-02.txt",
              "other/DATA/SN2-2026-06-01T1200-01.txt", "portable/DATA/SN3-2026-07-04T0600-01.txt",
              "portable/kv5", "here/here.txt"}) {
            QFile made(root.filePath(file));
            QVERIFY(QDir().mkpath(QFileInfo(made).path()) && made.open(QIODevice::WriteOnly));
        }
        QVERIFY(QFile::setPermissions(root.filePath("portable/kv5"), QFile::ReadOwner | QFile::ExeOwner));
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("HOME", root.filePath("home"));
        environment.insert("HERE", root.filePath("here")); // file names are completed from here
        environment.remove("XDG_DATA_HOME");
        environment.remove("KV5_HOME");
        if (homeVariable) environment.insert("KV5_HOME", root.filePath("other"));
        words.replace("OTHER", root.filePath("other")).replace("PORTABLE", root.filePath("portable"));
        QCOMPARE(completions(words.split(' '), environment), expected.split(' '));
    }

    void menuEntryAndMetainfo() {
        // The menu entry starts the installed program with its installed icon, in no terminal
        // (lintian validates it and the metainfo: the package test).
        const QString entry =
            QString::fromUtf8(FileBytes(installed("share/applications/quorvane-kv5.desktop")));
        const auto key = [&](const char* name) {
            return entry.section('\n' + QString(name) + '=', 1).section('\n', 0, 0);
        };
        QVERIFY(QFileInfo(installed("bin/" + key("Exec").section(' ', 0, 0))).isExecutable());
        QVERIFY(QFileInfo::exists(installed("share/icons/hicolor/scalable/apps/%1.svg").arg(key("Icon"))));
        QCOMPARE(key("Terminal"), "false");
        // The metainfo's release is the program's version; it launches the installed menu entry.
        const QString metainfo =
            QString::fromUtf8(FileBytes(installed("share/metainfo/com.quorvane.kv5.metainfo.xml")));
        QCOMPARE("kv5 " + metainfo.section("<release version=\"", 1).section('"', 0, 0), version_);
        QVERIFY(metainfo.contains(">quorvane-kv5.desktop</launchable>"));
    }

    // udev does not run here: the rule's lines are read as udev reads them. Both match the logger's
    // own USB ids (those port discovery looks for) and keep ModemManager off (it looks at the port
    // and at its USB device); the port's rule gives it to the user at the screen.
    void udevRule() {
        // Each part of a rule is a key, an operator and a quoted value.
        static const QRegularExpression pair(
            QStringLiteral("^[A-Z_]+(\\{[A-Za-z_]+\\})?(==|!=|\\+=|=)\"[^\"]*\"$"));
        const auto ids =
            QRegularExpression(QStringLiteral("VID_(\\w{4})&PID_(\\w{4})")).match(LoggerHardwareId);
        QList<QStringList> rules;
        for (const QString& line :
             QString::fromUtf8(FileBytes(installed("lib/udev/rules.d/" + RuleName))).split('\n')) {
            if (line.trimmed().isEmpty() || line.startsWith('#')) continue;
            QStringList parts = line.split(", ");
            QVERIFY2(parts.filter(pair).size() == parts.size(), qPrintable(line));
            rules << parts.replaceInStrings("\"", "");
        }
        const QStringList device{"ATTRS{idVendor}==" + ids.captured(1).toLower(),
                                 "ATTRS{idProduct}==" + ids.captured(2).toLower()};
        QCOMPARE(rules,
                 (QList<QStringList>{
                     QStringList{"SUBSYSTEM==usb"} + device + QStringList{"ENV{ID_MM_DEVICE_IGNORE}=1"},
                     QStringList{"SUBSYSTEM==tty"} + device +
                         QStringList{"TAG+=uaccess", "MODE=0660", "ENV{ID_MM_DEVICE_IGNORE}=1"}}));
        // uaccess is granted by 73-seat-late.rules: a rule that tags must come before it. The
        // permission message names the rule by the file name shipped.
        QVERIFY(RuleName.left(2).toInt() < 73);
        QVERIFY(
            FileBytes(SourceDir + "/device/SerialPortStream.cpp").contains('"' + RuleName.toUtf8() + '"'));
    }
};

QTEST_MAIN(TestInstall)
#include "test_install.moc"
