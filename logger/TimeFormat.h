// Time stamps of the log: the display form the windows and log files carry, and the logger's
// start time text YYMMDDhhmm in its two forms.
#pragma once

#include <QDateTime>
#include <QString>

namespace kv5 {

struct LogData;
class UserInterface;

// The user's short date with a four-digit year, one blank, and the 24-hour time in hours and
// minutes with the user's time separator: 5/21/2014 13:45 in the United States.
QString TimeStampText(const QDateTime& time);
// A time stamp text of TimeStampText read back under the same locale, as a time held as UTC
// like the logger's clock; invalid for text of another form.
QDateTime ReadTimeStampText(const QString& text);

// Sets StartTime from the ten digits YYMMDDhhmm (years of the 2000s; a part out of its range
// rolls over into the next larger unit) and returns its display form. The logger's clock knows
// no time zone and no daylight-saving change, so StartTime is held as UTC: the logger's date and
// time as they are, and adding seconds to it is plain calendar arithmetic. Text that is not five
// two-digit numbers is reported as "ERROR: FormatTime: "; StartTime becomes invalid and the
// result is empty.
QString FormatTime(const QString& startTimeText, LogData& log, UserInterface& ui);

// "20" YY "-" MM "-" DD "-" hh "-" mm, the characters copied as they are: the start time as
// it stands in log file names (2014-05-21-13-45).
QString FormatTimeISO(const QString& startTimeText, UserInterface& ui);

} // namespace kv5
