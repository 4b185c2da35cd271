#include "app/ProgramFolder.h"

#include "core/FileNames.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

namespace kv5 {

namespace {

QString installDataFolder(const QString& applicationDir) {
    return QDir::cleanPath(applicationDir + QStringLiteral("/../share/") + UserFolderName);
}

QString absoluteClean(const QString& path) {
    return QDir::cleanPath(QDir(path).absolutePath());
}

} // namespace

ProgramFolderChoice ChooseProgramFolder(const ProgramFolderSources& sources) {
    if (!sources.homeOption.isEmpty()) return {absoluteClean(sources.homeOption), false};
    if (!sources.homeVariable.isEmpty()) return {absoluteClean(sources.homeVariable), false};
    const QFileInfo own(sources.applicationDir);
    const bool installed = QFileInfo(installDataFolder(sources.applicationDir)).isDir();
    if (!sources.applicationDir.isEmpty() && own.isDir() && own.isWritable() && !installed)
        return {absoluteClean(sources.applicationDir), false};
    return {absoluteClean(sources.userDataDir + QLatin1Char('/') + UserFolderName), true};
}

QStringList ShippedFileFolders(const QString& applicationDir) {
    return {QDir::cleanPath(applicationDir), installDataFolder(applicationDir)};
}

void SeedProgramFolder(const QString& folder, const QStringList& shippedFolders) {
    QDir().mkpath(folder);
    for (const QString& name : {SpeciesFileName, HelpFileName}) {
        const QString target = ProgramFile(folder, name);
        if (QFileInfo::exists(target)) continue;
        for (const QString& source : shippedFolders) {
            const QString shipped = ProgramFile(source, name);
            if (QFileInfo(shipped).isFile() && QFile::copy(shipped, target)) {
                // The copy keeps the shipped file's mode, which may be read-only.
                QFile::setPermissions(target, QFile::permissions(target) | QFileDevice::WriteOwner);
                break;
            }
        }
    }
}

QString ResolveProgramFolder(const QString& homeOption, QString& refusal) {
    ProgramFolderSources sources;
    sources.homeOption = homeOption;
    sources.homeVariable = DecodeFileName(qgetenv(HomeVariable));
    sources.applicationDir = QCoreApplication::applicationDirPath();
    sources.userDataDir = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    // Another folder, named by replacement characters, must never be used instead.
    const QString& named = sources.homeOption.isEmpty() ? sources.homeVariable : sources.homeOption;
    if (HoldsForeignBytes(named)) {
        refusal =
            QStringLiteral("the folder name %1 is not UTF-8 text; rename the folder or choose another").arg(named);
        return {};
    }
    const ProgramFolderChoice choice = ChooseProgramFolder(sources);
    // A new folder named with --home or KV5_HOME gets the shipped files as the per-user one does;
    // files already there are never replaced.
    SeedProgramFolder(choice.folder, ShippedFileFolders(sources.applicationDir));
    return choice.folder;
}

} // namespace kv5
