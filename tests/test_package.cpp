// The Debian package, made by CPack from this build as `scripts/package` makes it, checked
// without installing it: its files, its control fields with the dependencies computed from
// the program, lintian's verdict (which takes in the maintainer scripts and the checksums), and
// the program unpacked into a folder running from there.
#include "support/Installation.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

using namespace kv5;

namespace {

const QString BinaryDir = QStringLiteral(KV5_BINARY_DIR);

QString text(const QByteArray& bytes) {
    return QString::fromUtf8(bytes).trimmed();
}

} // namespace

class TestPackage : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();

    void nameAndVersion();
    void contents();
    void computedDependencies();
    void lintian();
    void unpackedProgramRuns();

private:
    QString field(const QString& name) const {
        return text(
            RunProgram(QStringLiteral("dpkg-deb"), {QStringLiteral("--field"), package_, name}).output);
    }

    QTemporaryDir folder_;
    QString package_; // path of the .deb
    QString version_; // as `kv5 --version` of the build says it
};

void TestPackage::initTestCase() {
    for (const char* tool : {"dpkg-deb", "dpkg-shlibdeps"})
        if (QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty())
            QFAIL(qPrintable(QStringLiteral("%1 is not installed (Debian package dpkg-dev)").arg(tool)));
    const QString cpack = QFileInfo(CMakeProgram(BinaryDir)).dir().filePath(QStringLiteral("cpack"));
    const ProgramRun made = RunProgram(
        cpack, {QStringLiteral("-G"), QStringLiteral("DEB"), QStringLiteral("--config"),
                BinaryDir + QStringLiteral("/CPackConfig.cmake"), QStringLiteral("-B"), folder_.path()});
    QVERIFY2(made.exitCode == 0, (made.output + made.errors).constData());
    const QStringList packages = QDir(folder_.path()).entryList({QStringLiteral("*.deb")}, QDir::Files);
    QCOMPARE(packages.size(), 1);
    package_ = folder_.filePath(packages.first());
    version_ = text(RunProgram(BinaryDir + QStringLiteral("/app/kv5"), {QStringLiteral("--version")}).output)
                   .remove(QRegularExpression(QStringLiteral("^kv5 ")));
    QVERIFY(!version_.isEmpty());
    qInfo("%s: %lld bytes, Depends: %s", qPrintable(packages.first()), QFileInfo(package_).size(),
          qPrintable(field(QStringLiteral("Depends"))));
}

void TestPackage::nameAndVersion() {
    const QString architecture =
        text(RunProgram(QStringLiteral("dpkg"), {QStringLiteral("--print-architecture")}).output);
    QCOMPARE(QFileInfo(package_).fileName(), QStringLiteral("kv5_%1-1_%2.deb").arg(version_, architecture));
    QCOMPARE(field(QStringLiteral("Package")), QStringLiteral("kv5"));
    QCOMPARE(field(QStringLiteral("Version")), version_ + QStringLiteral("-1"));
    QCOMPARE(field(QStringLiteral("Architecture")), architecture);
    QCOMPARE(field(QStringLiteral("Section")), QStringLiteral("science"));
    QVERIFY(field(QStringLiteral("Maintainer"))
                .contains(QRegularExpression(QStringLiteral("^[^<]+ <[^@>]+@[^>]+>$"))));
    // A summary, then a description of several lines.
    const QStringList description = field(QStringLiteral("Description")).split(QLatin1Char('\n'));
    QVERIFY(description.size() > 5);
    QVERIFY(description.first().size() < 80);
}

void TestPackage::contents() {
    const ProgramRun listing =
        RunProgram(QStringLiteral("dpkg-deb"), {QStringLiteral("--contents"), package_});
    QCOMPARE(listing.exitCode, 0);
    // tar's listing: mode, owner/group, size, date, time, path.
    QMap<QString, QStringList> entries;
    for (const QString& line : text(listing.output).split(QLatin1Char('\n'))) {
        const QStringList columns = line.simplified().split(QLatin1Char(' '));
        QVERIFY2(columns.size() == 6, qPrintable(line));
        entries.insert(columns[5], columns);
    }
    // What an installation holds, under /usr; nothing elsewhere, everything owned by root.
    for (const QString& file : InstalledFiles) {
        const QString path = QStringLiteral("./usr/") + file;
        QVERIFY2(entries.contains(path), qPrintable(path));
        QCOMPARE(entries[path][0], file.startsWith(QLatin1String("bin/")) ? QStringLiteral("-rwxr-xr-x")
                                                                          : QStringLiteral("-rw-r--r--"));
    }
    for (const QStringList& columns : entries) {
        QVERIFY2(columns[5] == QLatin1String("./") || columns[5].startsWith(QLatin1String("./usr/")),
                 qPrintable(columns[5]));
        QVERIFY2(!columns[5].startsWith(QLatin1String("./usr/local/")), qPrintable(columns[5]));
        QCOMPARE(columns[1], QStringLiteral("root/root"));
    }
}

void TestPackage::computedDependencies() {
    // Every library the program is linked with comes from a package that the package depends on.
    QTemporaryDir unpacked;
    QCOMPARE(
        RunProgram(QStringLiteral("dpkg-deb"), {QStringLiteral("-x"), package_, unpacked.path()}).exitCode,
        0);
    const QString program = unpacked.filePath(QStringLiteral("usr/bin/kv5"));
    const ProgramRun headers = RunProgram(QStringLiteral("objdump"), {QStringLiteral("-p"), program});
    const ProgramRun found = RunProgram(QStringLiteral("ldd"), {program});
    QVERIFY(headers.exitCode == 0 && found.exitCode == 0);
    QStringList depends;
    for (const QString& entry : field(QStringLiteral("Depends")).split(QLatin1Char(',')))
        depends << entry.trimmed().section(QLatin1Char(' '), 0, 0);
    static const QRegularExpression needed(QStringLiteral("^\\s*NEEDED\\s+(\\S+)$"),
                                           QRegularExpression::MultilineOption);
    int checked = 0;
    for (auto match = needed.globalMatch(QString::fromUtf8(headers.output)); match.hasNext();) {
        const QString library = match.next().captured(1);
        // "libX.so.1 => /path/libX.so.1 (address)", or "/path/ld-linux.so.2 (address)" for the loader.
        const auto where =
            QRegularExpression(QStringLiteral("^\\s*(?:") + QRegularExpression::escape(library) +
                                   QStringLiteral(" => |(?=/\\S*/") + QRegularExpression::escape(library) +
                                   QStringLiteral(" ))(/\\S+)"),
                               QRegularExpression::MultilineOption)
                .match(QString::fromUtf8(found.output));
        QVERIFY2(where.hasMatch(), qPrintable(library));
        // dpkg knows a library by the folder its package put it in, /lib or /usr/lib.
        QString path = where.captured(1);
        ProgramRun owner = RunProgram(QStringLiteral("dpkg-query"), {QStringLiteral("--search"), path});
        if (owner.exitCode != 0) {
            path = path.startsWith(QLatin1String("/usr/")) ? path.mid(4) : QStringLiteral("/usr") + path;
            owner = RunProgram(QStringLiteral("dpkg-query"), {QStringLiteral("--search"), path});
        }
        QVERIFY2(owner.exitCode == 0, qPrintable(path));
        const QString name = text(owner.output).section(QLatin1Char(':'), 0, 0);
        QVERIFY2(depends.contains(name), qPrintable(name + QStringLiteral(" for ") + library));
        ++checked;
    }
    QVERIFY(checked >= 5);
    // Minimum versions, as dpkg-shlibdeps writes them.
    QVERIFY(field(QStringLiteral("Depends"))
                .contains(QRegularExpression(QStringLiteral("libc6 \\(>= [0-9.]+\\)"))));
}

void TestPackage::lintian() {
    const QString lintian = QStandardPaths::findExecutable(QStringLiteral("lintian"));
    if (lintian.isEmpty()) QSKIP("lintian is not installed (scripts/install-deps installs it)");
    const ProgramRun report =
        RunProgram(lintian, {QStringLiteral("--tag-display-limit"), QStringLiteral("0"), package_});
    const QString lines = text(report.output + report.errors);
    if (!lines.isEmpty()) qInfo("lintian:\n%s", qPrintable(lines));
    QVERIFY2(!lines.contains(QRegularExpression(QStringLiteral("^E: "), QRegularExpression::MultilineOption)),
             qPrintable(lines));
    QVERIFY2(report.exitCode == 0, qPrintable(lines));
}

void TestPackage::unpackedProgramRuns() {
    QTemporaryDir root;
    QCOMPARE(RunProgram(QStringLiteral("dpkg-deb"), {QStringLiteral("-x"), package_, root.path()}).exitCode,
             0);
    const QString program = root.filePath(QStringLiteral("usr/bin/kv5"));
    QCOMPARE(text(RunProgram(program, {QStringLiteral("--version")}).output),
             QStringLiteral("kv5 ") + version_);

    // The program finds its shipped files in the package's share folder and seeds the user's
    // folder from there (the install test looks at the seeding closely).
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("KV5_HOME"));
    environment.remove(QStringLiteral("KV5_PORT"));
    environment.insert(QStringLiteral("HOME"), root.filePath(QStringLiteral("home")));
    environment.insert(QStringLiteral("XDG_DATA_HOME"), root.filePath(QStringLiteral("home/data")));
    const ProgramRun read =
        RunProgram(program, {QStringLiteral("read"), QStringLiteral("--simulate")}, environment);
    QVERIFY2(read.exitCode == 0, read.errors.constData());
    const QString saved = text(read.output).split(QLatin1Char('\n')).last();
    QVERIFY2(saved.startsWith(root.filePath(QStringLiteral("home/data/quorvane-kv5/DATA/SN"))),
             qPrintable(saved));
    QVERIFY(QFileInfo(saved).size() > 0);
    QVERIFY(QFileInfo::exists(root.filePath(QStringLiteral("home/data/quorvane-kv5/KV5.PDF"))));
}

QTEST_GUILESS_MAIN(TestPackage)
#include "test_package.moc"
