// Loading and saving the settings of the one list in core/Settings.h, and the program's state at
// start-up, the same for the main window and the command line.
#pragma once

#include "core/Settings.h"

#include <QString>

namespace kv5 {

struct AppState;
class UserInterface;

// Reads the settings of group from the settings file (a key that is missing takes the default
// of Settings). With refusal given, each key that is written back is written back at once, and
// the first refused write leaves its reason there.
void LoadSettings(const QString& iniPath, SettingGroup group, Settings& settings, UserInterface& ui,
                  QString* refusal = nullptr);

// Writes every setting that is written back, the species choices first, and reports once when
// the file refused them.
void SaveSettings(const QString& iniPath, const Settings& settings, UserInterface& ui);

enum class WriteBack { No, Yes };

// The program's state at start-up: the display settings, the DATA folder, the species list,
// then the species choices. The main window writes the settings back (and reports once when the
// file refused them); the command line leaves the file alone.
void LoadProgramState(AppState& state, UserInterface& ui, WriteBack writeBack);

} // namespace kv5
