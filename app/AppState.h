// Everything the program keeps for the whole run, in one object passed by reference.
#pragma once

#include "app/IniFile.h"
#include "app/ProgramFolder.h"
#include "calc/Species.h"
#include "core/DeviceFlags.h"
#include "core/LogData.h"
#include "core/Settings.h"
#include "core/TraceColors.h"
#include "logfiles/LogFile.h"
#include "logger/Download.h"

#include <QColor>
#include <QString>

namespace kv5 {

struct AppState {
    // Folder of KV5.INI, ABLIST.TXT, KV5.PDF and DATA/; absolute, without a trailing "/".
    QString ProgramFolder;

    Settings settings;
    LogData log;
    DeviceFlags device;
    SpeciesList species;

    // Colours of the derived traces in the chart and the workbook chart; set at start-up.
    QColor GppTraceColor;
    QColor EmcTraceColor;
    QColor Mc3TraceColor;
    QColor DewTraceColor;

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

// The colours of the derived traces, for the workbook's chart.
inline TraceColors TraceColorsOf(const AppState& state) {
    return {state.GppTraceColor, state.EmcTraceColor, state.Mc3TraceColor, state.DewTraceColor};
}

// Sets the four trace colours: GPP (0, 128, 0), EMC (128, 0, 128), MC3 (255, 127, 39) and
// dew point (0, 127, 255).
inline void SetTraceColors(AppState& state) {
    state.GppTraceColor = QColor(0, 128, 0);
    state.EmcTraceColor = QColor(128, 0, 128);
    state.Mc3TraceColor = QColor(255, 127, 39);
    state.DewTraceColor = QColor(0, 127, 255);
}

} // namespace kv5
