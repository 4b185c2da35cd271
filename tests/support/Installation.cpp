#include "support/Installation.h"

#include <QFile>
#include <QProcess>

namespace kv5 {

const QStringList InstalledFiles{"bin/kv5",
                                 "share/quorvane-kv5/KV5.PDF",
                                 "share/quorvane-kv5/ABLIST.TXT",
                                 "share/applications/quorvane-kv5.desktop",
                                 "share/icons/hicolor/scalable/apps/quorvane-kv5.svg",
                                 "share/metainfo/com.quorvane.kv5.metainfo.xml",
                                 "lib/udev/rules.d/60-quorvane-kv5.rules",
                                 "share/man/man1/kv5.1.gz",
                                 "share/bash-completion/completions/kv5",
                                 "share/doc/kv5/copyright",
                                 "share/doc/kv5/changelog.Debian.gz",
                                 "share/lintian/overrides/kv5"};

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

} // namespace kv5
