// The Debian package, made by CPack from this build as `scripts/package` makes it, checked without
// installing it: its name and files, its computed dependencies, the unpacked program running, and
// lintian's verdict, which runs while the other checks do.
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
    QString version_;  // `kv5 --version` of the build
    QProcess lintian_;

private slots:
    void initTestCase() {
        const ProgramRun made = RunProgram(
            "cpack", {"-G", "DEB", "--config", BinaryDir + "/CPackConfig.cmake", "-B", folder_.path()});
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
    }

    void nameAndContents() {
        const QString architecture =
            text(RunProgram(QStringLiteral("dpkg"), {"--print-architecture"}).output);
        QCOMPARE(QFileInfo(package_).fileName(), "kv5_" + version_.mid(4) + "-1_" + architecture + ".deb");
        // tar's listing: mode, owner/group, size, date, time, path; all owned by root, under /usr but
        // not /usr/local.
        static const QRegularExpression path(QStringLiteral("^\\./(usr/(?!local/).*)?$"));
        QMap<QString, QString> modes;
        for (const QString& line :
             text(RunProgram("dpkg-deb", {"--contents", package_}).output).split('\n')) {
            const QStringList columns = line.simplified().split(QLatin1Char(' '));
            QVERIFY2(columns.size() == 6 && columns[1] == "root/root" && path.match(columns[5]).hasMatch(),
                     qPrintable(line));
            modes.insert(columns[5], columns[0]);
        }
        for (const QString& file : InstalledFiles)
            QCOMPARE(modes.value("./usr/" + file),
                     file.startsWith(QLatin1String("bin/")) ? "-rwxr-xr-x" : "-rw-r--r--");
    }

    void computedDependencies() {
        // The unpacked program runs, and every library it needs comes from a package it depends on.
        const QString program = unpacked_ + QStringLiteral("/usr/bin/kv5");
        QCOMPARE(text(RunProgram(program, {QStringLiteral("--version")}).output), version_);
        const QString depends =
            text(RunProgram(QStringLiteral("dpkg-deb"), {"--field", package_, "Depends"}).output);
        // Minimum versions, as dpkg-shlibdeps writes them.
        QVERIFY2(depends.contains(QRegularExpression(QStringLiteral("libc6 \\(>= [0-9.]+\\)"))),
                 qPrintable(depends));
        QStringList names;
        for (const QString& entry : depends.split(QStringLiteral(", ")))
            names << QRegularExpression::escape(entry.section(QLatin1Char(' '), 0, 0));
        // dpkg-query's "libc6:amd64: /lib/x86_64-linux-gnu/libc.so.6", a line per package.
        const QRegularExpression dependedOn("^(" + names.join('|') + ")[:,]",
                                            QRegularExpression::MultilineOption);
        const ProgramRun headers = RunProgram(QStringLiteral("objdump"), {QStringLiteral("-p"), program});
        int checked = 0;
        for (auto it = QRegularExpression(QStringLiteral("^\\s*NEEDED\\s+(\\S+)$"),
                                          QRegularExpression::MultilineOption)
                           .globalMatch(QString::fromUtf8(headers.output));
             it.hasNext(); ++checked) {
            const QString library = it.next().captured(1);
            const ProgramRun owners =
                RunProgram(QStringLiteral("dpkg-query"), {QStringLiteral("--search"), "*/" + library});
            QVERIFY2(dependedOn.match(QString::fromUtf8(owners.output)).hasMatch(),
                     qPrintable(library + ": " + owners.output));
        }
        QVERIFY(checked >= 5);
    }

    void lintian() {
        if (lintian_.program().isEmpty())
            QSKIP("lintian is not installed (scripts/install-deps installs it)");
        QVERIFY(lintian_.waitForFinished(120000));
        // It fails on an error tag, not on a warning.
        QVERIFY2(lintian_.exitStatus() == QProcess::NormalExit && lintian_.exitCode() == 0,
                 (lintian_.readAllStandardOutput() + lintian_.readAllStandardError()).constData());
    }
};

QTEST_GUILESS_MAIN(TestPackage)
#include "test_package.moc"
