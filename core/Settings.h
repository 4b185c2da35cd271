// The user's choices, kept in KV5.INI and held in these variables for the whole run.
#pragma once

#include <QString>

#include <array>

namespace kv5 {

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

} // namespace kv5
