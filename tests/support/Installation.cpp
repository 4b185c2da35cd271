#include "support/Installation.h"

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>

namespace kv5 {

const QStringList InstalledFiles{
    QStringLiteral("bin/kv5"),
    QStringLiteral("share/quorvane-kv5/KV5.PDF"),
    QStringLiteral("share/quorvane-kv5/ABLIST.TXT"),
    QStringLiteral("share/applications/quorvane-kv5.desktop"),
    QStringLiteral("share/icons/hicolor/scalable/apps/quorvane-kv5.svg"),
    QStringLiteral("share/metainfo/com.quorvane.kv5.metainfo.xml"),
    QStringLiteral("lib/udev/rules.d/60-quorvane-kv5.rules"),
    QStringLiteral("share/man/man1/kv5.1.gz"),
    QStringLiteral("share/bash-completion/completions/kv5"),
    QStringLiteral("share/doc/kv5/copyright"),
    QStringLiteral("share/doc/kv5/changelog.Debian.gz"),
    QStringLiteral("share/lintian/overrides/kv5"),
};

ProgramRun RunProgram(const QString& program, const QStringList& arguments,
                      const QProcessEnvironment& environment) {
    QProcess process;
    process.setProcessEnvironment(environment);
    process.start(program, arguments);
    ProgramRun result;
    if (!process.waitForFinished(120000)) {
        process.kill();
        process.waitForFinished();
        result.errors = "did not finish";
        return result;
    }
    result.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    result.output = process.readAllStandardOutput();
    result.errors = process.readAllStandardError();
    return result;
}

QByteArray FileBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QString CMakeProgram(const QString& binaryDir) {
    const QString cache = QString::fromUtf8(FileBytes(binaryDir + QStringLiteral("/CMakeCache.txt")));
    const auto match = QRegularExpression(QStringLiteral("^CMAKE_COMMAND:INTERNAL=(.*)$"),
                                          QRegularExpression::MultilineOption)
                           .match(cache);
    return match.hasMatch() ? match.captured(1).trimmed()
                            : QStandardPaths::findExecutable(QStringLiteral("cmake"));
}

} // namespace kv5
