#include "app/ProgramSettings.h"

#include "app/AppState.h"
#include "app/IniFile.h"
#include "calc/Species.h"
#include "core/Numbers.h"
#include "logfiles/LogFile.h"

namespace kv5 {

void LoadSettings(const QString& iniPath, SettingGroup group, Settings& settings, UserInterface& ui,
                  QString* refusal) {
    Settings defaults;
    for (const SettingKey& setting : SettingKeys) {
        if (setting.group != group) continue;
        const QString key = QString::fromLatin1(setting.key);
        int& value = setting.of(settings);
        value =
            StrToLng(GetIniSetting(iniPath, GeneralSection, key, QString::number(setting.of(defaults)), ui));
        if (refusal != nullptr && setting.writtenBack)
            WriteIniSetting(iniPath, GeneralSection, key, QString::number(value), ui, refusal);
    }
}

void SaveSettings(const QString& iniPath, const Settings& saved, UserInterface& ui) {
    Settings settings = saved;
    QString refusal;
    for (const SettingGroup group : {SettingGroup::Species, SettingGroup::Display})
        for (const SettingKey& setting : SettingKeys)
            if (setting.group == group && setting.writtenBack)
                WriteIniSetting(iniPath, GeneralSection, QString::fromLatin1(setting.key),
                                QString::number(setting.of(settings)), ui, &refusal);
    ReportUnsavedSettings(iniPath, refusal, ui);
}

void LoadProgramState(AppState& state, UserInterface& ui, WriteBack writeBack) {
    const QString ini = state.iniPath();
    QString refusal;
    QString* written = writeBack == WriteBack::Yes ? &refusal : nullptr;
    LoadSettings(ini, SettingGroup::Display, state.settings, ui, written);
    LoadSummarySettings(ini, state.settings, ui);
    MakeFolders(state.ProgramFolder, ui);
    ReadSpeciesFile(state.speciesPath(), state.species, ui);
    LoadSettings(ini, SettingGroup::Species, state.settings, ui, written);
    if (writeBack == WriteBack::Yes) ReportUnsavedSettings(ini, refusal, ui);
}

} // namespace kv5
