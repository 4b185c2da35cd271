// The installed program: `cmake --install` into a temporary prefix puts every file in its place,
// the installed program seeds the user's folder from there, the manual page and the bash
// completion agree with `kv5 --help`, the menu files name what is installed, and the udev rule
// gives access to the logger alone and keeps ModemManager away from it.
#include "device/PortDiscovery.h"
#include "support/Installation.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QXmlStreamReader>

using namespace kv5;

namespace {

const QString SourceDir = QStringLiteral(KV5_SOURCE_DIR);
const QString BinaryDir = QStringLiteral(KV5_BINARY_DIR);
const QString RuleName = QStringLiteral("60-quorvane-kv5.rules");

// `kv5 --help` as a reader looks for its parts: each usage line, the paragraph under them, and
// each entry (a term two blanks in, with its description beside or below it).
QStringList helpParts(const QString& help) {
    QStringList parts{QString()};
    for (const QString& line : help.split(QLatin1Char('\n'))) {
        if (line.trimmed().isEmpty() ||
            (line.endsWith(QLatin1Char(':')) && !line.startsWith(QLatin1Char(' '))) ||
            QRegularExpression(QStringLiteral("^(  \\S|Usage: |\\s+kv5 )")).match(line).hasMatch())
            parts << QString();
        parts.last() += QLatin1Char(' ') + line;
    }
    QStringList found;
    for (const QString& part : parts)
        if (!part.trimmed().endsWith(QLatin1Char(':')) && !part.trimmed().isEmpty())
            found << part.simplified().remove(QRegularExpression(QStringLiteral("^Usage: ")));
    return found;
}

// The options a text names (--home, -o).
QStringList optionsIn(const QString& text) {
    QStringList options;
    static const QRegularExpression option(QStringLiteral("(?<![\\w-])--?[a-z][a-z-]*"));
    for (auto match = option.globalMatch(text); match.hasNext();) options << match.next().captured();
    return options;
}

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

    // What bash completes for the words of a command line (the last one being completed) with
    // the installed completion, sorted; a failure as a single entry.
    QStringList
    completions(const QStringList& words,
                QProcessEnvironment environment = QProcessEnvironment::systemEnvironment()) const {
        environment.insert(QStringLiteral("COMPLETION"),
                           installed(QStringLiteral("share/bash-completion/completions/kv5")));
        const QString script =
            QStringLiteral("cd \"${HERE:-.}\" && source \"$COMPLETION\" && COMP_WORDS=(\"$@\") && "
                           "COMP_CWORD=$(($# - 1)) && { _kv5; printf '%s\\n' \"${COMPREPLY[@]}\"; }");
        const ProgramRun run =
            RunProgram(QStringLiteral("bash"),
                       QStringList{"--norc", "--noprofile", "-c", script, "bash"} + words, environment);
        if (run.exitCode != 0) return {QStringLiteral("failed: ") + QString::fromUtf8(run.errors)};
        QStringList found = QString::fromUtf8(run.output).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        found.sort();
        found.removeDuplicates();
        return found;
    }

private slots:
    void initTestCase() {
        install_ = RunProgram(CMakeProgram(BinaryDir), {"--install", BinaryDir, "--prefix", prefix_.path()});
        QVERIFY2(install_.exitCode == 0, install_.errors.constData());
        help_ = QString::fromUtf8(RunProgram(installed(QStringLiteral("bin/kv5")), {"--help"}).output);
        version_ = QString::fromUtf8(RunProgram(installed(QStringLiteral("bin/kv5")), {"--version"}).output)
                       .trimmed();
        QVERIFY(help_.contains(QLatin1String("Commands")) && version_.startsWith(QLatin1String("kv5 ")));
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
            QVERIFY2(!bytes.isEmpty(), qPrintable(place));
            if (sources.contains(place)) QVERIFY2(bytes == FileBytes(sources[place]), qPrintable(place));
            if (place.endsWith(QLatin1String(".gz")))
                QVERIFY2(bytes.startsWith("\x1f\x8b"), qPrintable(place));
        }
        QVERIFY(QFileInfo(installed(QStringLiteral("bin/kv5"))).isExecutable());
        // The install says where udev will not look for the rule.
        QVERIFY2(install_.output.contains("udev does not read"), install_.output.constData());
    }

    void installedProgramSeedsTheUserFolder() {
        QTemporaryDir home;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.remove(QStringLiteral("KV5_HOME"));
        environment.remove(QStringLiteral("KV5_PORT"));
        environment.insert(QStringLiteral("HOME"), home.path());
        environment.insert(QStringLiteral("XDG_DATA_HOME"), home.filePath(QStringLiteral("data")));
        const QString folder = home.filePath(QStringLiteral("data/quorvane-kv5/"));

        // An installed program keeps its files in the user's folder, seeded from share/quorvane-kv5.
        const ProgramRun read =
            RunProgram(installed(QStringLiteral("bin/kv5")), {"read", "--simulate=q7r"}, environment);
        QVERIFY2(read.exitCode == 0 && !read.errors.contains("ReadSpeciesFile"), read.errors.constData());
        const QString saved = QString::fromUtf8(read.output).trimmed().section(QLatin1Char('\n'), -1);
        QVERIFY2(saved.startsWith(folder + QStringLiteral("DATA/SN")) && QFileInfo(saved).isFile(),
                 qPrintable(saved));
        for (const QString& file : {QStringLiteral("KV5.PDF"), QStringLiteral("ABLIST.TXT")})
            QCOMPARE(FileBytes(folder + file),
                     FileBytes(installed(QStringLiteral("share/quorvane-kv5/") + file)));

        // The user's own species list stays as it is at the next start.
        const QByteArray own = "Code\tSpecies\tA\tB\n1\tReference\t0\t1\n5\tRed oak\t1.5\t0.9\n";
        QFile list(folder + QStringLiteral("ABLIST.TXT"));
        QVERIFY(list.open(QIODevice::WriteOnly | QIODevice::Truncate) && list.write(own) == own.size());
        list.close();
        const ProgramRun info =
            RunProgram(installed(QStringLiteral("bin/kv5")), {"info", saved}, environment);
        QVERIFY2(info.exitCode == 0 && info.output.contains("Records 900"), info.errors.constData());
        QCOMPARE(FileBytes(list.fileName()), own);
    }

    void manualPageAgreesWithHelp() {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("MANWIDTH"), QStringLiteral("100"));
        environment.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
        const ProgramRun page = RunProgram(
            QStringLiteral("man"),
            {"--warnings", "--nh", "--nj", "-l", installed(QStringLiteral("share/man/man1/kv5.1.gz"))},
            environment);
        // groff has nothing to say about the page.
        QVERIFY2(page.exitCode == 0 && page.errors.isEmpty(), page.errors.constData());
        const QString text = plainText(QString::fromUtf8(page.output));
        // Every usage line, option and command with its description, as the help gives them.
        const QStringList parts = helpParts(help_);
        QVERIFY(parts.size() >= 14);
        for (const QString& part : parts) QVERIFY2(text.contains(plainText(part)), qPrintable(part));
        QVERIFY2(text.contains(version_), qPrintable(text.right(200)));
    }

    void bashCompletion_data() {
        // The words as bash splits them ("=" is a word of its own); OTHER and PORTABLE stand for
        // folders of the test.
        QTest::addColumn<QStringList>("words");
        QTest::addColumn<bool>("homeVariable"); // KV5_HOME set to OTHER
        QTest::addColumn<QStringList>("expected");
        const QString user1 = "SN1-2026-05-21T0800-01.txt", user2 = "SN1-2026-05-21T0800-02.txt";
        const QStringList other{"SN2-2026-06-01T1200-01.txt"};
        QTest::newRow("kinds of simulated logger")
            << QStringList{"kv5", "--simulate", "=", ""} << false << QStringList{"kv6", "q7r", "vantorp"};
        QTest::newRow("logs of the user's folder and files here")
            << QStringList{"kv5", "table", ""} << false << QStringList{user1, user2, "here.txt"};
        QTest::newRow("logs of --home")
            << QStringList{"kv5", "--home", "OTHER", "info", "S"} << false << other;
        QTest::newRow("logs of --home=")
            << QStringList{"kv5", "--home", "=", "OTHER", "chart", "S"} << false << other;
        QTest::newRow("logs of KV5_HOME") << QStringList{"kv5", "export", "S"} << true << other;
        QTest::newRow("logs beside a portable program") << QStringList{"PORTABLE/kv5", "print", "S"} << false
                                                        << QStringList{"SN3-2026-07-04T0600-01.txt"};
        QTest::newRow("one log file only")
            << QStringList{"kv5", "table", user1, ""} << false << QStringList{};
        QTest::newRow("read takes no file") << QStringList{"kv5", "read", ""} << false << QStringList{};
        QTest::newRow("an output file")
            << QStringList{"kv5", "chart", user1, "-o", "h"} << false << QStringList{"here.txt"};
        QTest::newRow("a value to type")
            << QStringList{"kv5", "print", user1, "--description", ""} << false << QStringList{};
    }
    void bashCompletion() {
        QFETCH(QStringList, words);
        QFETCH(bool, homeVariable);
        QFETCH(QStringList, expected);
        QTemporaryDir root;
        for (const char* file :
             {"home/.local/share/quorvane-kv5/DATA/SN1-2026-05-21T0800-01.txt",
              "home/.local/share/quorvane-kv5/DATA/SN1-2026-05-21T0800-02.txt",
              "other/DATA/SN2-2026-06-01T1200-01.txt", "portable/DATA/SN3-2026-07-04T0600-01.txt",
              "portable/kv5", "here/here.txt"}) {
            QFile made(root.filePath(QLatin1String(file)));
            QVERIFY(QDir().mkpath(QFileInfo(made).path()) && made.open(QIODevice::WriteOnly));
        }
        QVERIFY(QFile::setPermissions(root.filePath(QStringLiteral("portable/kv5")),
                                      QFile::ReadOwner | QFile::ExeOwner));

        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("HOME"), root.filePath(QStringLiteral("home")));
        environment.remove(QStringLiteral("XDG_DATA_HOME"));
        environment.remove(QStringLiteral("KV5_HOME"));
        if (homeVariable)
            environment.insert(QStringLiteral("KV5_HOME"), root.filePath(QStringLiteral("other")));
        // The installed program is the kv5 on the PATH; file names are completed from "here".
        environment.insert(QStringLiteral("PATH"),
                           installed(QStringLiteral("bin:")) + environment.value(QStringLiteral("PATH")));
        environment.insert(QStringLiteral("HERE"), root.filePath(QStringLiteral("here")));
        words.replaceInStrings(QStringLiteral("OTHER"), root.filePath(QStringLiteral("other")))
            .replaceInStrings(QStringLiteral("PORTABLE"), root.filePath(QStringLiteral("portable")));
        QCOMPARE(completions(words, environment), expected);
    }

    void bashCompletionKnowsTheHelp() {
        const qsizetype commandsAt = help_.indexOf(QLatin1String("\nCommands"));
        QStringList names, longOptions;
        for (const QString& line : help_.split(QLatin1Char('\n'))) {
            const QString term = line.section(QStringLiteral("  "), 1, 1);
            if (!line.startsWith(QLatin1String("  ")) || term.isEmpty()) continue;
            if (help_.indexOf(line) < commandsAt) {
                // Before a command: the long options of the help.
                longOptions << optionsIn(term).filter(QRegularExpression(QStringLiteral("^--")));
                continue;
            }
            // The commands, each with the options its line in the help names.
            const QString name = term.section(QLatin1Char(' '), 0, 0);
            names << name;
            const QStringList offered = completions({"kv5", name, "-"});
            const QStringList options = optionsIn(term) << QStringLiteral("--home");
            for (const QString& option : options)
                QVERIFY2(offered.contains(option), qPrintable(name + QLatin1Char(' ') + option));
        }
        names.sort();
        longOptions.sort();
        QVERIFY(names.size() >= 6 && longOptions.size() >= 6);
        QCOMPARE(completions({"kv5", ""}), names);
        QCOMPARE(completions({"kv5", "--"}), longOptions);
    }

    void menuEntryMetainfoAndIcon() {
        // The validators run where the system has them (scripts/install-deps installs them).
        const QString desktop = installed(QStringLiteral("share/applications/quorvane-kv5.desktop"));
        const QString metainfo = installed(QStringLiteral("share/metainfo/com.quorvane.kv5.metainfo.xml"));
        for (const QStringList& check :
             {QStringList{"desktop-file-validate", desktop},
              QStringList{"appstreamcli", "validate", "--no-net", "--pedantic", metainfo}}) {
            if (QStandardPaths::findExecutable(check[0]).isEmpty()) continue;
            const ProgramRun result = RunProgram(check[0], check.mid(1));
            // Errors and warnings both fail; hints are only suggestions.
            QVERIFY2(result.exitCode == 0 && !result.output.contains("error:") &&
                         !result.output.contains("warning:"),
                     (result.output + result.errors).constData());
        }
        // The menu entry starts the installed program from the PATH with its installed icon, in no terminal.
        const QString entry = QString::fromUtf8(FileBytes(desktop));
        const auto key = [&](const char* name) {
            return QRegularExpression(QStringLiteral("^%1=(.*)$").arg(QLatin1String(name)),
                                      QRegularExpression::MultilineOption)
                .match(entry)
                .captured(1);
        };
        QVERIFY(QFileInfo(installed(QStringLiteral("bin/") + key("Exec").section(QLatin1Char(' '), 0, 0)))
                    .isExecutable());
        const QString icon =
            installed(QStringLiteral("share/icons/hicolor/scalable/apps/%1.svg").arg(key("Icon")));
        QCOMPARE(key("Terminal"), QStringLiteral("false"));

        // The metainfo's release is the program's version; it launches the installed menu entry.
        QXmlStreamReader xml(FileBytes(metainfo));
        QString release, launchable;
        while (!xml.atEnd()) {
            if (xml.readNext() != QXmlStreamReader::StartElement) continue;
            if (xml.name() == QLatin1String("release"))
                release = xml.attributes().value(QStringLiteral("version")).toString();
            if (xml.name() == QLatin1String("launchable")) launchable = xml.readElementText();
        }
        QVERIFY2(!xml.hasError(), qPrintable(xml.errorString()));
        QCOMPARE(QStringLiteral("kv5 ") + release, version_);
        QCOMPARE(launchable, QFileInfo(desktop).fileName());

        // The icon is an SVG picture.
        QXmlStreamReader svg(FileBytes(icon));
        QVERIFY(svg.readNextStartElement() && svg.name() == QLatin1String("svg"));
        while (!svg.atEnd()) svg.readNext();
        QVERIFY2(!svg.hasError(), qPrintable(svg.errorString()));
    }

    // udev does not run here: the rule's lines are read as udev reads them. Both rules match the
    // logger's own USB ids (those port discovery looks for); both keep ModemManager off (it
    // looks at the port and at its USB device), and the port's rule gives it to the user at the
    // screen.
    void udevRule() {
        static const QRegularExpression pair(
            QStringLiteral("^([A-Z_]+)(?:\\{([A-Za-z_]+)\\})?(==|!=|\\+=|=)\"([^\"]*)\"$"));
        const QRegularExpressionMatch ids =
            QRegularExpression(QStringLiteral("VID_(\\w{4})&PID_(\\w{4})")).match(LoggerHardwareId);
        QVERIFY(ids.hasMatch());
        QMap<QString, QStringList> assignments; // by the rule's SUBSYSTEM
        for (const QString& line :
             QString::fromUtf8(FileBytes(installed("lib/udev/rules.d/" + RuleName))).split('\n')) {
            if (line.trimmed().isEmpty() || line.startsWith(QLatin1Char('#'))) continue;
            QString subsystem;
            QStringList matched, assigned;
            for (const QString& part : line.split(QStringLiteral(", "))) {
                const QRegularExpressionMatch m = pair.match(part);
                QVERIFY2(m.hasMatch(), qPrintable(part));
                const QString key =
                    m.captured(1) + (m.hasCaptured(2) ? '{' + m.captured(2) + '}' : QString());
                if (m.captured(3) == QLatin1String("=="))
                    (key == QLatin1String("SUBSYSTEM") ? subsystem : matched.emplaceBack()) =
                        key + "==" + m.captured(4);
                else
                    assigned << key + m.captured(3) + m.captured(4);
            }
            QCOMPARE(matched, QStringList({"ATTRS{idVendor}==" + ids.captured(1).toLower(),
                                           "ATTRS{idProduct}==" + ids.captured(2).toLower()}));
            assignments[subsystem] = assigned;
        }
        QCOMPARE(assignments.keys(), QStringList({"SUBSYSTEM==tty", "SUBSYSTEM==usb"}));
        QCOMPARE(assignments.value("SUBSYSTEM==usb"), QStringList{"ENV{ID_MM_DEVICE_IGNORE}=1"});
        QCOMPARE(assignments.value("SUBSYSTEM==tty"),
                 QStringList({"TAG+=uaccess", "MODE=0660", "ENV{ID_MM_DEVICE_IGNORE}=1"}));
        // uaccess is granted by 73-seat-late.rules: a rule that tags must come before it.
        QVERIFY(RuleName.left(2).toInt() < 73);
        // The permission message names the rule by the file name shipped.
        QVERIFY(FileBytes(SourceDir + QStringLiteral("/device/SerialPortStream.cpp"))
                    .contains('"' + RuleName.toUtf8() + '"'));
    }
};

QTEST_MAIN(TestInstall)
#include "test_install.moc"
