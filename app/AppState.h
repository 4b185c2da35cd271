// Everything the program keeps for the whole run, in one object passed by reference.
#pragma once

#include "app/IniFile.h"
#include "app/ProgramFolder.h"
#include "calc/Species.h"
#include "core/DeviceFlags.h"
#include "core/LogData.h"
#include "core/Settings.h"
#include "logfiles/LogFile.h"
#include "logger/Download.h"

#include <QString>

namespace kv5 {

struct AppState {
    // Folder of KV5.INI, ABLIST.TXT, KV5.PDF and DATA/; absolute, without a trailing "/".
    QString ProgramFolder;

    Settings settings;
    LogData log;
    DeviceFlags device;
    SpeciesList species;

    QString iniPath() const { return ProgramFile(ProgramFolder, IniFileName); }
    QString speciesPath() const { return ProgramFile(ProgramFolder, SpeciesFileName); }
    QString helpPath() const { return ProgramFile(ProgramFolder, HelpFileName); }
    QString dataFolder() const { return ProgramFile(ProgramFolder, DataFolderName); }
};

// The pieces of the program-wide state that decoding the logger's blocks needs.
inline DecodeOptions DecodeOptionsOf(const AppState& state) { return {state.settings, state.species, state.device}; }

// The full path of a file of the DATA folder.
inline QString LogFilePath(const AppState& state, const QString& name) {
    return ProgramFile(state.dataFolder(), name);
}

} // namespace kv5
