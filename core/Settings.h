// The user's choices, kept in KV5.INI and held in these variables for the whole run, and the
// one list of their keys in the file.
#pragma once

#include <QString>

#include <array>

namespace kv5 {

// The defaults are those of a settings file without the key.
struct Settings {
    int Celsius = 0;  // temperatures of newly decoded data in degrees C (1) or F (0)
    int AhGpp = 1;    // show absolute humidity in grains per pound
    int TestMode = 0; // offer "Set Test Mode"; only ever set by editing the file
    int Emc = 1;      // show EMC
    int Dewpoint = 1; // show dew point
    int ChartTimes = 0; // label the chart's X axis with dates and times
    // The moisture content, %, that the summary's drying rate is projected to; 0 for none.
    double TargetMc = 0;
    // Species code of MC channels 1, 2, 3; McSp[0] is channel 1.
    std::array<int, 3> McSp{1, 1, 1};
    // The site and operator lines of a log's report; none when empty.
    QString ReportSite{};
    QString ReportOperator{};
};

// The species choices are read after the species list, the display settings before it.
enum class SettingGroup { Display, Species };

// A setting in the file: its key, the variable that holds it (a whole number; text that is no
// number reads as 0), its group, and whether start-up writes it back so that the file holds
// every key after the first start.
struct SettingKey {
    const char* key;
    int& (*of)(Settings& settings);
    SettingGroup group;
    bool writtenBack;
};

// In the order they are read and, within their group, written.
inline constexpr std::array<SettingKey, 8> SettingKeys{{
    {"Celsius", [](Settings& s) -> int& { return s.Celsius; }, SettingGroup::Display, true},
    {"AhGpp", [](Settings& s) -> int& { return s.AhGpp; }, SettingGroup::Display, true},
    // Set only by editing the file: never written.
    {"TestMode", [](Settings& s) -> int& { return s.TestMode; }, SettingGroup::Display, false},
    {"Emc", [](Settings& s) -> int& { return s.Emc; }, SettingGroup::Display, true},
    {"Dewpoint", [](Settings& s) -> int& { return s.Dewpoint; }, SettingGroup::Display, true},
    {"McSp1", [](Settings& s) -> int& { return s.McSp[0]; }, SettingGroup::Species, true},
    {"McSp2", [](Settings& s) -> int& { return s.McSp[1]; }, SettingGroup::Species, true},
    {"McSp3", [](Settings& s) -> int& { return s.McSp[2]; }, SettingGroup::Species, true},
}};

} // namespace kv5
