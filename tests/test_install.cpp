// The installed program: `cmake --install` into a temporary prefix puts every file in its place,
// the installed program finds its shipped files from there, and the desktop entry, its icon and
// the udev rule are well-formed and do what they are for. The rule is checked by a small model
// of udev's rule matching, run over the devices the logger brings; the desktop-file and udev
// validators are run as well where the system has them.
#include "app/ProgramFolder.h"
#include "support/Installation.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QXmlStreamReader>

#include <memory>
#include <optional>

using namespace kv5;

namespace {

const QString SourceDir = QStringLiteral(KV5_SOURCE_DIR);
const QString BinaryDir = QStringLiteral(KV5_BINARY_DIR);
const QString RuleName = QStringLiteral("60-quorvane-kv5.rules");

// ---- A model of udev's rules, as far as the shipped rule needs it ----

struct RulePair {
    QString key;
    QString attribute; // the part in braces, e.g. idVendor of ATTRS{idVendor}
    QString op;
    QString value;
};
using Rule = QList<RulePair>;

const QSet<QString> MatchOnlyKeys{"ACTION",     "DEVPATH", "KERNEL",  "KERNELS", "SUBSYSTEM",
                                  "SUBSYSTEMS", "DRIVER",  "DRIVERS", "ATTRS",   "TAGS",
                                  "TEST",       "PROGRAM", "RESULT"};
const QSet<QString> AssignOnlyKeys{"OWNER", "GROUP", "MODE", "RUN", "LABEL", "GOTO", "IMPORT", "OPTIONS"};
const QSet<QString> EitherKeys{"ENV", "TAG", "ATTR", "NAME", "SYMLINK", "SYSCTL"};
const QSet<QString> KeysWithAttribute{"ATTR", "ATTRS", "ENV", "SYSCTL"};
// Keys that look at the device or one of its parents; all of them in a rule must match one device.
const QSet<QString> ParentKeys{"KERNELS", "SUBSYSTEMS", "DRIVERS", "ATTRS"};

// Parses one rule line into its pairs; an error text when the line is no valid rule.
std::optional<Rule> parseRule(const QString& line, QString& error) {
    // KEY{attribute} op "value", then a comma or the end. (No raw string: moc misreads them.)
    static const QRegularExpression pair(
        QStringLiteral("\\G\\s*([A-Z_]+)(?:\\{([^}]*)\\})?\\s*"
                       "(==|!=|\\+=|-=|:=|=)\\s*\"((?:[^\"\\\\]|\\\\.)*)\"\\s*(,|$)"));
    Rule rule;
    qsizetype position = 0;
    while (position < line.size()) {
        const auto match = pair.match(line, position);
        if (!match.hasMatch()) {
            error = QStringLiteral("cannot read the rule from column %1").arg(position + 1);
            return std::nullopt;
        }
        RulePair entry{match.captured(1), match.captured(2), match.captured(3), match.captured(4)};
        const bool isMatch = entry.op == QLatin1String("==") || entry.op == QLatin1String("!=");
        if (!MatchOnlyKeys.contains(entry.key) && !AssignOnlyKeys.contains(entry.key) &&
            !EitherKeys.contains(entry.key)) {
            error = QStringLiteral("unknown key %1").arg(entry.key);
            return std::nullopt;
        }
        if ((MatchOnlyKeys.contains(entry.key) && !isMatch) ||
            (AssignOnlyKeys.contains(entry.key) && isMatch)) {
            error = QStringLiteral("%1 does not take %2").arg(entry.key, entry.op);
            return std::nullopt;
        }
        if (KeysWithAttribute.contains(entry.key) == entry.attribute.isEmpty()) {
            error = QStringLiteral("%1 %2 a name in braces")
                        .arg(entry.key, entry.attribute.isEmpty() ? "needs" : "takes no");
            return std::nullopt;
        }
        rule << entry;
        position = match.capturedEnd();
        if (match.captured(5).isEmpty()) break;
    }
    if (rule.isEmpty()) {
        error = QStringLiteral("an empty rule");
        return std::nullopt;
    }
    return rule;
}

// The rules of a file: comment and empty lines skipped, a backslash at the end of a line joins
// it to the next. Errors name the line.
QList<Rule> parseRules(const QString& text, QStringList& errors) {
    QList<Rule> rules;
    const QStringList lines = text.split(QLatin1Char('\n'));
    QString pending;
    for (int number = 0; number < lines.size(); ++number) {
        QString line = lines[number].trimmed();
        if (line.endsWith(QLatin1Char('\\'))) {
            pending += line.chopped(1);
            continue;
        }
        line = pending + line;
        pending.clear();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#'))) continue;
        QString error;
        if (auto rule = parseRule(line, error))
            rules << *rule;
        else
            errors << QStringLiteral("line %1: %2").arg(number + 1).arg(error);
    }
    return rules;
}

struct Device {
    QString subsystem;
    QString devtype;
    QString kernel;
    QMap<QString, QString> attributes;
    const Device* parent = nullptr;
    // What the rules set.
    QMap<QString, QString> environment;
    QStringList tags;
    QString mode;
};

// udev's patterns: *, ? and [...] as in the shell, and | between alternatives.
bool globMatches(const QString& pattern, const QString& value) {
    for (const QString& alternative : pattern.split(QLatin1Char('|'))) {
        const QRegularExpression expression(QRegularExpression::wildcardToRegularExpression(
            alternative, QRegularExpression::UnanchoredWildcardConversion));
        if (QRegularExpression(QRegularExpression::anchoredPattern(expression.pattern()))
                .match(value)
                .hasMatch())
            return true;
    }
    return false;
}

bool pairMatches(const RulePair& entry, const Device& device) {
    QString actual;
    if (entry.key == QLatin1String("SUBSYSTEM") || entry.key == QLatin1String("SUBSYSTEMS"))
        actual = device.subsystem;
    else if (entry.key == QLatin1String("KERNEL") || entry.key == QLatin1String("KERNELS"))
        actual = device.kernel;
    else if (entry.key == QLatin1String("ACTION"))
        actual = QStringLiteral("add");
    else if (entry.key == QLatin1String("ATTR") || entry.key == QLatin1String("ATTRS"))
        actual = device.attributes.value(entry.attribute);
    else if (entry.key == QLatin1String("ENV"))
        actual = entry.attribute == QLatin1String("DEVTYPE") ? device.devtype
                                                             : device.environment.value(entry.attribute);
    else if (entry.key == QLatin1String("TAG"))
        return device.tags.contains(entry.value) == (entry.op == QLatin1String("=="));
    else
        return false; // keys the model does not know never match
    return globMatches(entry.value, actual) == (entry.op == QLatin1String("=="));
}

// Runs the rules for an "add" event of device, as udev does: a rule whose matches all hold applies
// its assignments in order.
void applyRules(const QList<Rule>& rules, Device& device) {
    for (const Rule& rule : rules) {
        bool matches = true;
        // Keys on the device itself.
        for (const RulePair& entry : rule) {
            const bool isMatch = entry.op == QLatin1String("==") || entry.op == QLatin1String("!=");
            if (isMatch && !ParentKeys.contains(entry.key) && !pairMatches(entry, device)) matches = false;
        }
        // Keys on the device or a parent: one of them must match them all.
        bool hasParentKeys = false;
        for (const RulePair& entry : rule) hasParentKeys |= ParentKeys.contains(entry.key);
        if (matches && hasParentKeys) {
            bool found = false;
            for (const Device* candidate = &device; candidate && !found; candidate = candidate->parent) {
                found = true;
                for (const RulePair& entry : rule)
                    if (ParentKeys.contains(entry.key) && !pairMatches(entry, *candidate)) found = false;
            }
            matches = found;
        }
        if (!matches) continue;
        for (const RulePair& entry : rule) {
            if (entry.op == QLatin1String("==") || entry.op == QLatin1String("!=")) continue;
            if (entry.key == QLatin1String("ENV"))
                device.environment[entry.attribute] = entry.value;
            else if (entry.key == QLatin1String("TAG"))
                device.tags << entry.value;
            else if (entry.key == QLatin1String("MODE"))
                device.mode = entry.value;
        }
    }
}

// The devices a USB serial device brings: its USB device under a hub, its interfaces, and the
// serial port under interface 0.
struct UsbSerialDevice {
    UsbSerialDevice(const QString& vendor, const QString& product) {
        hub.subsystem = device.subsystem = control.subsystem = data.subsystem = QStringLiteral("usb");
        hub.devtype = device.devtype = QStringLiteral("usb_device");
        control.devtype = data.devtype = QStringLiteral("usb_interface");
        hub.kernel = QStringLiteral("usb1");
        hub.attributes = {{QStringLiteral("idVendor"), QStringLiteral("1d6b")},
                          {QStringLiteral("idProduct"), QStringLiteral("0002")}};
        device.kernel = QStringLiteral("1-1");
        device.attributes = {{QStringLiteral("idVendor"), vendor}, {QStringLiteral("idProduct"), product}};
        device.parent = &hub;
        control.kernel = QStringLiteral("1-1:1.0");
        control.attributes = {{QStringLiteral("bInterfaceNumber"), QStringLiteral("00")}};
        control.parent = &device;
        data.kernel = QStringLiteral("1-1:1.1");
        data.attributes = {{QStringLiteral("bInterfaceNumber"), QStringLiteral("01")}};
        data.parent = &device;
        port.subsystem = QStringLiteral("tty");
        port.kernel = QStringLiteral("ttyACM0");
        port.parent = &control;
    }
    void applyAll(const QList<Rule>& rules) {
        for (Device* each : {&hub, &device, &control, &data, &port}) applyRules(rules, *each);
    }
    Device hub, device, control, data, port;
};

QList<Rule> shippedRules() {
    QStringList errors;
    const QList<Rule> rules =
        parseRules(QString::fromUtf8(FileBytes(SourceDir + QStringLiteral("/data/") + RuleName)), errors);
    if (!errors.isEmpty()) qWarning() << errors;
    return rules;
}

// The desktop entry's keys of its [Desktop Entry] group; duplicates and lines outside the group
// are reported in errors.
QMap<QString, QString> desktopEntryKeys(const QString& text, QStringList& errors) {
    QMap<QString, QString> keys;
    QString group;
    for (const QString& rawLine : text.split(QLatin1Char('\n'))) {
        const QString line = rawLine.trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#'))) continue;
        if (line.startsWith(QLatin1Char('['))) {
            group = line;
            continue;
        }
        if (group.isEmpty()) errors << QStringLiteral("a line before the first group: %1").arg(line);
        if (group != QLatin1String("[Desktop Entry]")) continue;
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        if (equals <= 0) {
            errors << QStringLiteral("no key: %1").arg(line);
            continue;
        }
        const QString key = line.left(equals).trimmed();
        if (keys.contains(key)) errors << QStringLiteral("%1 twice").arg(key);
        keys.insert(key, line.mid(equals + 1).trimmed());
    }
    return keys;
}

// `kv5 --help` as it is laid out: usage lines, a paragraph, then sections ("Options:") of
// entries, each a term two blanks in and its description after two blanks or on the lines below.
struct HelpEntry {
    QString section;
    QString term;
    QString description;
};

struct Help {
    QStringList usage;
    QString description;
    QList<HelpEntry> entries;

    QList<HelpEntry> section(const QString& name) const {
        QList<HelpEntry> found;
        for (const HelpEntry& entry : entries)
            if (entry.section.startsWith(name)) found << entry;
        return found;
    }
};

Help readHelp(const QString& text) {
    Help help;
    const QStringList paragraphs = text.split(QStringLiteral("\n\n"));
    for (const QString& line : paragraphs.value(0).split(QLatin1Char('\n')))
        help.usage << line.trimmed().remove(QRegularExpression(QStringLiteral("^Usage: ")));
    help.description = paragraphs.value(1).simplified();
    QString section;
    for (const QString& line : paragraphs.mid(2).join(QLatin1Char('\n')).split(QLatin1Char('\n'))) {
        if (line.endsWith(QLatin1Char(':')) && !line.startsWith(QLatin1Char(' '))) {
            section = line.chopped(1);
        } else if (line.startsWith(QLatin1String("    ")) && !help.entries.isEmpty()) {
            help.entries.last().description =
                (help.entries.last().description + QLatin1Char(' ') + line).simplified();
        } else if (line.startsWith(QLatin1String("  "))) {
            const qsizetype gap = line.indexOf(QStringLiteral("  "), 2);
            help.entries.append({section, (gap < 0 ? line : line.left(gap)).trimmed(),
                                 gap < 0 ? QString() : line.mid(gap).simplified()});
        }
    }
    return help;
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

private slots:
    void initTestCase();

    void everyFileInItsPlace();
    void installedProgramSeedsTheUserFolder();

    void manualPageAgreesWithHelp();
    void metainfo();
    void bashCompletion_data();
    void bashCompletion();
    void bashCompletionKnowsTheHelp();

    void desktopEntry();
    void desktopEntryValidator();
    void icon();

    void udevRuleSyntax();
    void udevRuleGivesAccessToTheLoggerAlone();
    void udevRuleKeepsModemManagerAway();
    void udevRuleValidator();
    void portMessageNamesTheShippedRule();

private:
    QString installed(const QString& relative) const { return prefix_->filePath(relative); }
    Help installedHelp() const;
    // What bash completes for the words of a command line (the last one being completed) with
    // the installed completion; a failure as a single entry.
    QStringList completions(const QStringList& words, const QProcessEnvironment& environment) const;

    std::unique_ptr<QTemporaryDir> prefix_;
    ProgramRun install_;
};

void TestInstall::initTestCase() {
    prefix_ = std::make_unique<QTemporaryDir>();
    QVERIFY(prefix_->isValid());
    const QString cmake = CMakeProgram(BinaryDir);
    QVERIFY2(!cmake.isEmpty(), "cmake not found");
    install_ = RunProgram(
        cmake, {QStringLiteral("--install"), BinaryDir, QStringLiteral("--prefix"), prefix_->path()});
    QVERIFY2(install_.exitCode == 0, install_.errors.constData());
}

void TestInstall::everyFileInItsPlace() {
    // The shipped files as they are in the source or the build; the others are made by the build.
    const QMap<QString, QString> sources{
        {QStringLiteral("share/quorvane-kv5/KV5.PDF"), BinaryDir + QStringLiteral("/app/KV5.PDF")},
        {QStringLiteral("share/quorvane-kv5/ABLIST.TXT"), SourceDir + QStringLiteral("/data/ABLIST.TXT")},
        {QStringLiteral("share/applications/quorvane-kv5.desktop"),
         SourceDir + QStringLiteral("/data/quorvane-kv5.desktop")},
        {QStringLiteral("share/icons/hicolor/scalable/apps/quorvane-kv5.svg"),
         SourceDir + QStringLiteral("/data/quorvane-kv5.svg")},
        {QStringLiteral("lib/udev/rules.d/60-quorvane-kv5.rules"),
         SourceDir + QStringLiteral("/data/") + RuleName},
        {QStringLiteral("share/bash-completion/completions/kv5"),
         SourceDir + QStringLiteral("/data/kv5.bash-completion")},
    };
    for (const QString& place : InstalledFiles) {
        const QFileInfo info(installed(place));
        QVERIFY2(info.isFile() && info.size() > 0, qPrintable(place));
        if (sources.contains(place))
            QVERIFY2(FileBytes(info.filePath()) == FileBytes(sources[place]), qPrintable(place));
    }
    QVERIFY(QFileInfo(installed(QStringLiteral("bin/kv5"))).isExecutable());
    // Compressed files are gzip files.
    for (const QString& place : InstalledFiles)
        if (place.endsWith(QLatin1String(".gz")))
            QVERIFY2(FileBytes(installed(place)).startsWith("\x1f\x8b"), qPrintable(place));
    // The install says where udev will not look for the rule.
    QVERIFY2(install_.output.contains("udev does not read"), install_.output.constData());
}

void TestInstall::installedProgramSeedsTheUserFolder() {
    QTemporaryDir home;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("KV5_HOME"));
    environment.remove(QStringLiteral("KV5_PORT"));
    environment.insert(QStringLiteral("HOME"), home.path());
    environment.insert(QStringLiteral("XDG_DATA_HOME"), home.filePath(QStringLiteral("data")));
    const QString program = installed(QStringLiteral("bin/kv5"));

    // An installed program keeps its files in the user's folder, seeded from share/quorvane-kv5.
    const ProgramRun read =
        RunProgram(program, {QStringLiteral("read"), QStringLiteral("--simulate=q7r")}, environment);
    QVERIFY2(read.exitCode == 0, read.errors.constData());
    const QString folder = home.filePath(QStringLiteral("data/quorvane-kv5"));
    const QString saved = QString::fromUtf8(read.output).trimmed().split(QLatin1Char('\n')).last();
    QVERIFY2(saved.startsWith(folder + QStringLiteral("/DATA/SN")), qPrintable(saved));
    QVERIFY(QFileInfo(saved).isFile());
    QCOMPARE(FileBytes(folder + QStringLiteral("/KV5.PDF")),
             FileBytes(installed(QStringLiteral("share/quorvane-kv5/KV5.PDF"))));
    QCOMPARE(FileBytes(folder + QStringLiteral("/ABLIST.TXT")),
             FileBytes(installed(QStringLiteral("share/quorvane-kv5/ABLIST.TXT"))));
    QVERIFY(!read.errors.contains("ReadSpeciesFile"));

    // The user's own species list stays as it is at the next start.
    const QByteArray own = "Code\tSpecies\tA\tB\n1\tReference\t0\t1\n5\tRed oak\t1.5\t0.9\n";
    {
        QFile list(folder + QStringLiteral("/ABLIST.TXT"));
        QVERIFY(list.open(QIODevice::WriteOnly | QIODevice::Truncate));
        list.write(own);
    }
    const ProgramRun info = RunProgram(program, {QStringLiteral("info"), saved}, environment);
    QVERIFY2(info.exitCode == 0, info.errors.constData());
    QVERIFY(info.output.contains("Records 900"));
    QCOMPARE(FileBytes(folder + QStringLiteral("/ABLIST.TXT")), own);
}

Help TestInstall::installedHelp() const {
    const ProgramRun help = RunProgram(installed(QStringLiteral("bin/kv5")), {QStringLiteral("--help")});
    return help.exitCode == 0 ? readHelp(QString::fromUtf8(help.output)) : Help();
}

void TestInstall::manualPageAgreesWithHelp() {
    const QString man = QStandardPaths::findExecutable(QStringLiteral("man"));
    if (man.isEmpty()) QSKIP("man is not installed (Debian package man-db)");
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("MANWIDTH"), QStringLiteral("100"));
    environment.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
    const ProgramRun page =
        RunProgram(man,
                   {QStringLiteral("--warnings"), QStringLiteral("--nh"), QStringLiteral("--nj"),
                    QStringLiteral("-l"), installed(QStringLiteral("share/man/man1/kv5.1.gz"))},
                   environment);
    QVERIFY2(page.exitCode == 0, page.errors.constData());
    // groff has nothing to say about the page.
    QVERIFY2(page.errors.isEmpty(), page.errors.constData());
    const QString text = plainText(QString::fromUtf8(page.output));

    const Help help = installedHelp();
    QVERIFY(help.usage.size() >= 2 && help.entries.size() >= 10);
    for (const QString& usage : help.usage) QVERIFY2(text.contains(plainText(usage)), qPrintable(usage));
    QVERIFY2(text.contains(help.description), qPrintable(help.description));
    // Every option and command with its description, as the help gives them.
    for (const HelpEntry& entry : help.entries) {
        QVERIFY2(!entry.description.isEmpty(), qPrintable(entry.term));
        const QString both = entry.term + QLatin1Char(' ') + entry.description;
        QVERIFY2(text.contains(both), qPrintable(both));
    }
    const ProgramRun version =
        RunProgram(installed(QStringLiteral("bin/kv5")), {QStringLiteral("--version")});
    QVERIFY(version.output.startsWith("kv5 "));
    QVERIFY2(text.contains(QString::fromUtf8(version.output).trimmed()), qPrintable(text.right(200)));
}

void TestInstall::metainfo() {
    const QString file = installed(QStringLiteral("share/metainfo/com.quorvane.kv5.metainfo.xml"));
    // The release listed is the program's version; the component starts the installed menu entry.
    QXmlStreamReader xml(FileBytes(file));
    QString release, launchable;
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement) continue;
        if (xml.name() == QLatin1String("release"))
            release = xml.attributes().value(QStringLiteral("version")).toString();
        if (xml.name() == QLatin1String("launchable")) launchable = xml.readElementText();
    }
    QVERIFY2(!xml.hasError(), qPrintable(xml.errorString()));
    const ProgramRun version =
        RunProgram(installed(QStringLiteral("bin/kv5")), {QStringLiteral("--version")});
    QCOMPARE(QStringLiteral("kv5 ") + release, QString::fromUtf8(version.output).trimmed());
    QVERIFY(QFileInfo::exists(installed(QStringLiteral("share/applications/")) + launchable));

    const QString validator = QStandardPaths::findExecutable(QStringLiteral("appstreamcli"));
    if (validator.isEmpty()) QSKIP("appstreamcli is not installed (Debian package appstream)");
    const ProgramRun result = RunProgram(validator, {QStringLiteral("validate"), QStringLiteral("--no-net"),
                                                     QStringLiteral("--pedantic"), file});
    QVERIFY2(result.exitCode == 0, (result.output + result.errors).constData());
}

QStringList TestInstall::completions(const QStringList& words, const QProcessEnvironment& environment) const {
    const QString script = QStringLiteral("cd \"${HERE:-.}\" && source \"$COMPLETION\" && "
                                          "COMP_WORDS=(\"$@\") && COMP_CWORD=$(($# - 1)) && { _kv5; "
                                          "printf '%s\\n' \"${COMPREPLY[@]}\"; }");
    QProcessEnvironment withScript = environment;
    withScript.insert(QStringLiteral("COMPLETION"),
                      installed(QStringLiteral("share/bash-completion/completions/kv5")));
    const ProgramRun run = RunProgram(QStringLiteral("bash"),
                                      QStringList{QStringLiteral("--norc"), QStringLiteral("--noprofile"),
                                                  QStringLiteral("-c"), script, QStringLiteral("bash")} +
                                          words,
                                      withScript);
    if (run.exitCode != 0) return {QStringLiteral("failed: ") + QString::fromUtf8(run.errors)};
    QStringList found = QString::fromUtf8(run.output).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    found.sort();
    found.removeDuplicates();
    return found;
}

void TestInstall::bashCompletion_data() {
    // The words as bash splits them ("=" is a word of its own); HOME, OTHER and PORTABLE stand
    // for folders of the test.
    QTest::addColumn<QStringList>("words");
    QTest::addColumn<bool>("homeVariable"); // KV5_HOME set to OTHER
    QTest::addColumn<QStringList>("expected");
    const QStringList userLogs{"SN1-2026-05-21T0800-01.txt", "SN1-2026-05-21T0800-02.txt"};
    QTest::newRow("kinds of simulated logger")
        << QStringList{"kv5", "--simulate", "=", ""} << false << QStringList{"kv6", "q7r", "vantorp"};
    QTest::newRow("a kind begun") << QStringList{"kv5", "read", "--simulate", "=", "q"} << false
                                  << QStringList{"q7r"};
    QTest::newRow("logs of the user's folder and files here")
        << QStringList{"kv5", "table", ""} << false << QStringList{userLogs + QStringList{"here.txt"}};
    QTest::newRow("logs of --home") << QStringList{"kv5", "--home", "OTHER", "info", "S"} << false
                                    << QStringList{"SN2-2026-06-01T1200-01.txt"};
    QTest::newRow("logs of --home=") << QStringList{"kv5", "--home", "=", "OTHER", "chart", "S"} << false
                                     << QStringList{"SN2-2026-06-01T1200-01.txt"};
    QTest::newRow("logs of KV5_HOME")
        << QStringList{"kv5", "export", "S"} << true << QStringList{"SN2-2026-06-01T1200-01.txt"};
    QTest::newRow("logs beside a portable program")
        << QStringList{"PORTABLE/kv5", "print", "S"} << false << QStringList{"SN3-2026-07-04T0600-01.txt"};
    QTest::newRow("one log file only")
        << QStringList{"kv5", "table", userLogs[0], ""} << false << QStringList{};
    QTest::newRow("read takes no file") << QStringList{"kv5", "read", ""} << false << QStringList{};
    QTest::newRow("an output file") << QStringList{"kv5", "chart", userLogs[0], "-o", "h"} << false
                                    << QStringList{"here.txt"};
    QTest::newRow("a value to type") << QStringList{"kv5", "print", userLogs[0], "--description", ""} << false
                                     << QStringList{};
}

void TestInstall::bashCompletion() {
    QFETCH(QStringList, words);
    QFETCH(bool, homeVariable);
    QFETCH(QStringList, expected);
    QTemporaryDir root;
    const auto makeFile = [&](const QString& path) {
        QVERIFY(QDir().mkpath(QFileInfo(root.filePath(path)).path()));
        QFile file(root.filePath(path));
        QVERIFY(file.open(QIODevice::WriteOnly));
    };
    makeFile(QStringLiteral("home/.local/share/quorvane-kv5/DATA/SN1-2026-05-21T0800-01.txt"));
    makeFile(QStringLiteral("home/.local/share/quorvane-kv5/DATA/SN1-2026-05-21T0800-02.txt"));
    makeFile(QStringLiteral("other/DATA/SN2-2026-06-01T1200-01.txt"));
    makeFile(QStringLiteral("portable/DATA/SN3-2026-07-04T0600-01.txt"));
    makeFile(QStringLiteral("portable/kv5"));
    QVERIFY(QFile::setPermissions(root.filePath(QStringLiteral("portable/kv5")),
                                  QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    makeFile(QStringLiteral("here/here.txt"));

    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("HOME"), root.filePath(QStringLiteral("home")));
    environment.remove(QStringLiteral("XDG_DATA_HOME"));
    environment.remove(QStringLiteral("KV5_HOME"));
    if (homeVariable) environment.insert(QStringLiteral("KV5_HOME"), root.filePath(QStringLiteral("other")));
    // The installed program is the kv5 on the PATH.
    environment.insert(QStringLiteral("PATH"), installed(QStringLiteral("bin")) + QLatin1Char(':') +
                                                   environment.value(QStringLiteral("PATH")));
    for (QString& word : words)
        word.replace(QStringLiteral("OTHER"), root.filePath(QStringLiteral("other")))
            .replace(QStringLiteral("PORTABLE"), root.filePath(QStringLiteral("portable")));
    // File names are completed from this folder.
    environment.insert(QStringLiteral("HERE"), root.filePath(QStringLiteral("here")));
    QCOMPARE(completions(words, environment), expected);
}

void TestInstall::bashCompletionKnowsTheHelp() {
    const Help help = installedHelp();
    const QList<HelpEntry> commands = help.section(QStringLiteral("Commands"));
    QVERIFY(commands.size() >= 6);
    const QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();

    // The commands, each with the options its line in the help names.
    QStringList names;
    for (const HelpEntry& command : commands) {
        const QString name = command.term.section(QLatin1Char(' '), 0, 0);
        names << name;
        const QStringList offered =
            completions({QStringLiteral("kv5"), name, QStringLiteral("-")}, environment);
        const QStringList options = optionsIn(command.term) << QStringLiteral("--home");
        for (const QString& option : options)
            QVERIFY2(offered.contains(option), qPrintable(name + QLatin1Char(' ') + option));
    }
    names.sort();
    QCOMPARE(completions({QStringLiteral("kv5"), QString()}, environment), names);

    // Before a command: the long options of the help.
    QStringList options;
    for (const HelpEntry& option : help.section(QStringLiteral("Options")))
        for (const QString& name : optionsIn(option.term))
            if (name.startsWith(QLatin1String("--"))) options << name;
    options.sort();
    QCOMPARE(completions({QStringLiteral("kv5"), QStringLiteral("--")}, environment), options);
}

void TestInstall::desktopEntry() {
    QStringList errors;
    const QMap<QString, QString> keys = desktopEntryKeys(
        QString::fromUtf8(FileBytes(installed(QStringLiteral("share/applications/quorvane-kv5.desktop")))),
        errors);
    QVERIFY2(errors.isEmpty(), qPrintable(errors.join(QStringLiteral("; "))));
    QCOMPARE(keys.value(QStringLiteral("Type")), QStringLiteral("Application"));
    QCOMPARE(keys.value(QStringLiteral("Name")), QStringLiteral("Quorvane KV5"));
    QCOMPARE(keys.value(QStringLiteral("Terminal")), QStringLiteral("false"));
    QVERIFY(!keys.value(QStringLiteral("Comment")).isEmpty());
    // The command is the installed program, started from the PATH.
    const QString exec = keys.value(QStringLiteral("Exec"));
    QCOMPARE(exec.split(QLatin1Char(' ')).first(), QStringLiteral("kv5"));
    QVERIFY(
        QFileInfo(installed(QStringLiteral("bin/") + exec.split(QLatin1Char(' ')).first())).isExecutable());
    // The icon is named by its theme name and installed under it.
    const QString icon = keys.value(QStringLiteral("Icon"));
    QCOMPARE(icon, QStringLiteral("quorvane-kv5"));
    QVERIFY(
        QFileInfo::exists(installed(QStringLiteral("share/icons/hicolor/scalable/apps/") + icon + ".svg")));
    // Lists end with a semicolon.
    for (const QString& key : {QStringLiteral("Categories"), QStringLiteral("Keywords")}) {
        QVERIFY2(keys.value(key).endsWith(QLatin1Char(';')), qPrintable(key));
    }
}

void TestInstall::desktopEntryValidator() {
    const QString validator = QStandardPaths::findExecutable(QStringLiteral("desktop-file-validate"));
    if (validator.isEmpty())
        QSKIP("desktop-file-validate is not installed (Debian package desktop-file-utils)");
    const ProgramRun result =
        RunProgram(validator, {installed(QStringLiteral("share/applications/quorvane-kv5.desktop"))});
    QVERIFY2(result.exitCode == 0, result.output.constData());
    // Errors and warnings both fail; hints are only suggestions.
    QVERIFY2(!result.output.contains("error:") && !result.output.contains("warning:"),
             result.output.constData());
}

void TestInstall::icon() {
    QXmlStreamReader svg(
        FileBytes(installed(QStringLiteral("share/icons/hicolor/scalable/apps/quorvane-kv5.svg"))));
    QVERIFY(svg.readNextStartElement());
    QCOMPARE(svg.name().toString(), QStringLiteral("svg"));
    QCOMPARE(svg.namespaceUri().toString(), QStringLiteral("http://www.w3.org/2000/svg"));
    // A scalable icon is square.
    const QStringList box =
        svg.attributes().value(QStringLiteral("viewBox")).toString().split(QLatin1Char(' '));
    QCOMPARE(box.size(), 4);
    QCOMPARE(box[2], box[3]);
    int shapes = 0;
    while (!svg.atEnd()) {
        if (svg.readNext() == QXmlStreamReader::StartElement) ++shapes;
    }
    QVERIFY2(!svg.hasError(), qPrintable(svg.errorString()));
    QVERIFY(shapes >= 5);
}

void TestInstall::udevRuleSyntax() {
    QStringList errors;
    const QList<Rule> rules =
        parseRules(QString::fromUtf8(FileBytes(SourceDir + QStringLiteral("/data/") + RuleName)), errors);
    QVERIFY2(errors.isEmpty(), qPrintable(errors.join(QStringLiteral("; "))));
    QVERIFY(!rules.isEmpty());
    // The model itself tells good rules from bad ones.
    for (const QString& bad :
         {QStringLiteral("SUBSYSTEM=\"tty\""), QStringLiteral("TAG+=uaccess"),
          QStringLiteral("ATTRS=\"04d8\""), QStringLiteral("MODE==\"0660\""),
          QStringLiteral("SUBSYSTEM==\"tty\" TAG+=\"uaccess\""), QStringLiteral("FOO==\"x\"")}) {
        QString error;
        QVERIFY2(!parseRule(bad, error), qPrintable(bad));
    }
    // uaccess is granted by 73-seat-late.rules: a rule that tags must come before it.
    const int number = RuleName.left(2).toInt();
    QVERIFY(number > 0 && number < 73);
}

void TestInstall::udevRuleGivesAccessToTheLoggerAlone() {
    const QList<Rule> rules = shippedRules();
    QVERIFY(!rules.isEmpty());

    UsbSerialDevice logger(QStringLiteral("04d8"), QStringLiteral("5a3c"));
    logger.applyAll(rules);
    QVERIFY(logger.port.tags.contains(QStringLiteral("uaccess")));
    QCOMPARE(logger.port.mode, QStringLiteral("0660"));
    // Only the port is opened by the program; the raw USB device needs no access.
    QVERIFY(!logger.device.tags.contains(QStringLiteral("uaccess")));

    // Another device of the same vendor, another vendor's device with the same product number,
    // and a serial port without USB: untouched.
    UsbSerialDevice sameVendor(QStringLiteral("04d8"), QStringLiteral("000a"));
    UsbSerialDevice sameProduct(QStringLiteral("0403"), QStringLiteral("5a3c"));
    sameVendor.applyAll(rules);
    sameProduct.applyAll(rules);
    Device plain;
    plain.subsystem = QStringLiteral("tty");
    plain.kernel = QStringLiteral("ttyS0");
    applyRules(rules, plain);
    for (const Device* other : {&sameVendor.port, &sameProduct.port, &plain}) {
        QVERIFY(other->tags.isEmpty());
        QVERIFY(other->mode.isEmpty());
        QVERIFY(other->environment.isEmpty());
    }
}

void TestInstall::udevRuleKeepsModemManagerAway() {
    UsbSerialDevice logger(QStringLiteral("04d8"), QStringLiteral("5a3c"));
    logger.applyAll(shippedRules());
    // ModemManager reads the property on the port and on the port's USB device.
    for (const Device* device : {&logger.port, &logger.device, &logger.control, &logger.data})
        QCOMPARE(device->environment.value(QStringLiteral("ID_MM_DEVICE_IGNORE")), QStringLiteral("1"));
    QVERIFY(logger.hub.environment.isEmpty());

    UsbSerialDevice modem(QStringLiteral("1199"), QStringLiteral("9071"));
    modem.applyAll(shippedRules());
    QVERIFY(modem.port.environment.isEmpty() && modem.device.environment.isEmpty());
}

void TestInstall::udevRuleValidator() {
    const QString udevadm = QStandardPaths::findExecutable(
        QStringLiteral("udevadm"), {QStringLiteral("/usr/bin"), QStringLiteral("/bin"),
                                    QStringLiteral("/sbin"), QStringLiteral("/usr/sbin")});
    if (udevadm.isEmpty()) QSKIP("udevadm is not installed (Debian package udev)");
    // "udevadm verify" came with systemd 254; older ones do not know the verb.
    if (RunProgram(udevadm, {QStringLiteral("verify"), QStringLiteral("--help")}).exitCode != 0)
        QSKIP("this udevadm has no verify command (systemd 254 or later has)");
    const ProgramRun result = RunProgram(
        udevadm, {QStringLiteral("verify"), installed(QStringLiteral("lib/udev/rules.d/") + RuleName)});
    QVERIFY2(result.exitCode == 0, (result.output + result.errors).constData());
}

void TestInstall::portMessageNamesTheShippedRule() {
    // The permission message points to the rule by its file name: it must be the file shipped.
    const QString link = QString::fromUtf8(FileBytes(SourceDir + QStringLiteral("/device/SerialPortStream.cpp")));
    const auto named = QRegularExpression(QStringLiteral("\"(\\d\\d-[A-Za-z0-9-]+\\.rules)\"")).match(link);
    QVERIFY(named.hasMatch());
    QCOMPARE(named.captured(1), RuleName);
    QVERIFY(QFileInfo::exists(SourceDir + QStringLiteral("/data/") + named.captured(1)));
}

QTEST_MAIN(TestInstall)
#include "test_install.moc"
