// The settings file KV5.INI: sections in square brackets, key=value lines. Reads and writes
// give the results users know from the Windows profile functions: names match whatever their
// letter case, a write changes only its own line, and a value is at most 254 characters.
#pragma once

#include <QString>

namespace kv5 {

struct Settings;

class UserInterface;

// Name of the settings file in the program folder.
inline const QString IniFileName = QStringLiteral("KV5.INI");
// The one section the program keeps its settings in.
inline const QString GeneralSection = QStringLiteral("General");

// The value of key in section, or defaultValue when the file, the section or the key is
// missing. A key present with an empty value gives empty text. Blanks around a value, and one
// pair of matching quotes enclosing it, are not part of it. At most 254 characters are
// returned. A file that exists but cannot be read is reported as "ERROR: GetIniSetting:"
// followed by the reason, and gives empty text.
QString GetIniSetting(const QString& iniPath, const QString& section, const QString& key,
                      const QString& defaultValue, UserInterface& ui);

// Stores value under key in section. The key's line is rewritten where it stands, a missing
// key is added at the end of its section, a missing section at the end of the file, and a
// missing file is created; every other line stays as it was. The file is replaced whole and
// atomically. A write the system refuses (a read-only folder, an unreadable file) is not
// reported here: the result is then false, the file is unchanged and, when refusal is given and
// still empty, it receives the system's reason, for the caller to report once for all the
// settings it writes together (ReportUnsavedSettings). A section, key or value that cannot be
// written as one line is reported as "ERROR: WriteIniSetting:" and the reason.
bool WriteIniSetting(const QString& iniPath, const QString& section, const QString& key, const QString& value,
                     UserInterface& ui, QString* refusal = nullptr);

// Tells the user, when refusal is not empty, that the settings could not be saved and why.
void ReportUnsavedSettings(const QString& iniPath, const QString& refusal, UserInterface& ui);

// Reads the settings of the chart's times, the summary and the report: "ChartTimes" (0 or 1,
// default 0), "TargetMc" (the target moisture content in %, "." as its separator; 0, the
// default, is none), "ReportSite" and "ReportOperator" (texts, empty by default). None is
// written back, so a settings file without them stays as it was.
void LoadSummarySettings(const QString& iniPath, Settings& settings, UserInterface& ui);

} // namespace kv5
