// The program folder: where KV5.INI, ABLIST.TXT, KV5.PDF and the DATA folder of log files live.
#pragma once

#include "core/Paths.h"

#include <QString>
#include <QStringList>

namespace kv5 {

inline const QString SpeciesFileName = QStringLiteral("ABLIST.TXT");
inline const QString HelpFileName = QStringLiteral("KV5.PDF");
// Name of the per-user folder under the user's data folder (~/.local/share).
inline const QString UserFolderName = QStringLiteral("quorvane-kv5");
// Environment variable naming the program folder.
inline const char* const HomeVariable = "KV5_HOME";

// Where the program folder can come from, in the order they are tried.
struct ProgramFolderSources {
    QString homeOption;     // the --home option; empty when not given
    QString homeVariable;   // the KV5_HOME environment variable; empty when not set
    QString applicationDir; // the folder of the program itself
    QString userDataDir;    // the user's data folder, normally ~/.local/share
};

struct ProgramFolderChoice {
    QString folder;
    // True when the folder is the per-user one, which gets the shipped files on first start.
    bool perUser = false;
};

// The --home option, else KV5_HOME, else the program's own folder when it is a writable portable
// folder (not the bin folder of an installation, which has its data beside it in
// share/quorvane-kv5), else the per-user folder. The path is absolute and clean.
ProgramFolderChoice ChooseProgramFolder(const ProgramFolderSources& sources);

// The folders that hold the files shipped with the program: its own folder, then the data
// folder of an installation (../share/quorvane-kv5 from the program's folder).
QStringList ShippedFileFolders(const QString& applicationDir);

// Copies the shipped species list and help document into folder when they are not there yet,
// from the first of shippedFolders that has them. Creates folder if needed. Missing shipped
// files are no failure: the program then reports the missing species list when it reads it.
void SeedProgramFolder(const QString& folder, const QStringList& shippedFolders);

// Resolves the program folder from the option, the environment and the running program,
// creates it and copies the shipped files that it lacks into it. A folder whose name is not
// UTF-8 text cannot be used, as the files in it are opened by name: then nothing is created,
// the result is empty and refusal says why.
QString ResolveProgramFolder(const QString& homeOption, QString& refusal);

} // namespace kv5
