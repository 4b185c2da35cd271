// The Debian package, made by CPack from this build as `scripts/package` makes it, checked
// without installing it: its name and files, the dependencies computed from the program,
// lintian's verdict (which takes in the control fields, the maintainer scripts and the
// checksums), and the program unpacked into a folder running from there. lintian, the slowest
// step, runs while the other checks do.
#include "support/Installation.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
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

    QTemporaryDir folder_;
    QString package_;  // path of the .deb
    QString unpacked_; // its files, unpacked
    QString version_;  // as `kv5 --version` of the build says it
    QProcess lintian_;

    QString field(const QString& name) const {
        return text(
            RunProgram(QStringLiteral("dpkg-deb"), {QStringLiteral("--field"), package_, name}).output);
    }

private slots:
    void initTestCase() {
        const QString cpack = QFileInfo(CMakeProgram(BinaryDir)).dir().filePath(QStringLiteral("cpack"));
        const ProgramRun made = RunProgram(
            cpack, {"-G", "DEB", "--config", BinaryDir + "/CPackConfig.cmake", "-B", folder_.path()});
        QVERIFY2(made.exitCode == 0, (made.output + made.errors).constData());
        const QStringList packages = QDir(folder_.path()).entryList({QStringLiteral("*.deb")}, QDir::Files);
        QCOMPARE(packages.size(), 1);
        package_ = folder_.filePath(packages.first());
        const QString lintian = QStandardPaths::findExecutable(QStringLiteral("lintian"));
        if (!lintian.isEmpty())
            lintian_.start(lintian, {QStringLiteral("--tag-display-limit"), QStringLiteral("0"), package_});
        unpacked_ = folder_.filePath(QStringLiteral("root"));
        QCOMPARE(RunProgram(QStringLiteral("dpkg-deb"), {"-x", package_, unpacked_}).exitCode, 0);
        version_ =
            text(RunProgram(BinaryDir + QStringLiteral("/app/kv5"), {QStringLiteral("--version")}).output);
        QVERIFY(version_.startsWith(QLatin1String("kv5 ")));
        version_.remove(0, 4);
        qInfo("%s: %lld bytes, Depends: %s", qPrintable(packages.first()), QFileInfo(package_).size(),
              qPrintable(field(QStringLiteral("Depends"))));
    }

    void nameAndContents() {
        const QString architecture =
            text(RunProgram(QStringLiteral("dpkg"), {QStringLiteral("--print-architecture")}).output);
        QCOMPARE(QFileInfo(package_).fileName(),
                 QStringLiteral("kv5_%1-1_%2.deb").arg(version_, architecture));
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
            QCOMPARE(entries[path][0], file.startsWith(QLatin1String("bin/")) ? "-rwxr-xr-x" : "-rw-r--r--");
        }
        for (const QStringList& columns : entries) {
            QVERIFY2(columns[5] == QLatin1String("./") ||
                         (columns[5].startsWith(QLatin1String("./usr/")) &&
                          !columns[5].startsWith(QLatin1String("./usr/local/"))),
                     qPrintable(columns[5]));
            QCOMPARE(columns[1], QStringLiteral("root/root"));
        }
    }

    void computedDependencies() {
        // Every library the program is linked with comes from a package that the package depends on.
        const QString program = unpacked_ + QStringLiteral("/usr/bin/kv5");
        const ProgramRun headers = RunProgram(QStringLiteral("objdump"), {QStringLiteral("-p"), program});
        const ProgramRun found = RunProgram(QStringLiteral("ldd"), {program});
        QVERIFY(headers.exitCode == 0 && found.exitCode == 0);
        const QString depends = field(QStringLiteral("Depends"));
        // Minimum versions, as dpkg-shlibdeps writes them.
        QVERIFY2(depends.contains(QRegularExpression(QStringLiteral("libc6 \\(>= [0-9.]+\\)"))),
                 qPrintable(depends));
        int checked = 0;
        for (auto needed = QRegularExpression(QStringLiteral("^\\s*NEEDED\\s+(\\S+)$"),
                                              QRegularExpression::MultilineOption)
                               .globalMatch(QString::fromUtf8(headers.output));
             needed.hasNext(); ++checked) {
            const QString library = QRegularExpression::escape(needed.next().captured(1));
            // "libX.so.1 => /path/libX.so.1 (address)", or "/path/ld-linux.so.2 (address)" for the loader.
            const auto where =
                QRegularExpression(QStringLiteral("^\\s*(?:%1 => |(?=/\\S*/%1 ))(/\\S+)").arg(library),
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
            const QString name = text(owner.output).section(QLatin1Char(':'), 0, 0);
            QVERIFY2(owner.exitCode == 0 &&
                         QRegularExpression(
                             QStringLiteral("(^|, )%1( |,|$)").arg(QRegularExpression::escape(name)))
                             .match(depends)
                             .hasMatch(),
                     qPrintable(name + QStringLiteral(" for ") + library));
        }
        QVERIFY(checked >= 5);
    }

    void unpackedProgramRuns() {
        // It finds its libraries (its shipped files as an installation does: the install test).
        QCOMPARE(
            text(
                RunProgram(unpacked_ + QStringLiteral("/usr/bin/kv5"), {QStringLiteral("--version")}).output),
            QStringLiteral("kv5 ") + version_);
    }

    void lintian() {
        if (lintian_.program().isEmpty())
            QSKIP("lintian is not installed (scripts/install-deps installs it)");
        QVERIFY(lintian_.waitForFinished(120000));
        const QString lines = text(lintian_.readAllStandardOutput() + lintian_.readAllStandardError());
        if (!lines.isEmpty()) qInfo("lintian:\n%s", qPrintable(lines));
        QVERIFY2(lintian_.exitStatus() == QProcess::NormalExit && lintian_.exitCode() == 0,
                 qPrintable(lines));
        QVERIFY2(
            !lines.contains(QRegularExpression(QStringLiteral("^E: "), QRegularExpression::MultilineOption)),
            qPrintable(lines));
    }
};

QTEST_GUILESS_MAIN(TestPackage)
#include "test_package.moc"
