// Numbers from and to the texts of the program: boxes the user typed into, log files, and the
// percentages the logger reports.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringView>

#include <optional>

namespace kv5 {

// Limits a percentage to 0..99.9.
double ClampPercent(double value);
// Text to number. Blanks around the number are ignored everywhere; an infinite value is no
// number. The names say what a reader takes and what it gives for text that is no number:
//   StrToDbl, StrToLng          the user's locale, digit groups too; 0
//   ReadNumberEitherSeparator   the user's separator or "." whatever the locale, no groups; nothing
//   ParseDecimal                as ReadNumberEitherSeparator, but 0
//   ReadPointNumber             "." alone whatever the locale, as a log file holds it; 0

// Text in the user's locale to a number; 0 for anything that is no number. Never reports.
double StrToDbl(const QString& text);
// As StrToDbl, rounded to a whole number with halves to even; 0 when out of the 32-bit range.
qint32 StrToLng(const QString& text);
// Text the user typed to a number: the user's decimal separator and "." are both taken (the
// first "." counts as the separator), digit groups are not. Nothing for empty text, text that is
// no number, or an infinite value.
std::optional<double> ReadNumberEitherSeparator(const QString& text);
// A decimal number with "." as its separator whatever the user's locale (the user's own
// separator is taken too), as a species list holds it; 0 for text that is no number.
double ParseDecimal(const QString& text);
// A number of a log file: "." as decimal separator whatever the locale, a leading "+" taken, no
// groups; 0 for text that is no finite number.
double ReadPointNumber(QStringView text);

// A number in the pattern "0.0": one decimal, halves away from zero on the decimal value
// (72.05 gives 72.1 although its binary double lies just below), no digit grouping. The
// separator is the user's, or "." for text that goes into a log file.
enum class Separator { User, Point };
// The number NumberText shows: value rounded to one decimal the same way.
double OneDecimal(double value);
QString NumberText(double value, Separator separator = Separator::User);
// NumberText with a point, appended to bytes: for files written in bulk, where a text per value
// would cost more than the rest of the writing.
void AppendNumberText(QByteArray& out, double value);

// Puts the C library's numbers back to the C locale after the application object has set every
// category from the environment. C libraries that write files, the workbook writer among them,
// format with printf, which would write "65,3" under a comma locale; readers then see 65 or a
// damaged file. The windows still show the user's separator: they go through QLocale.
void UsePointInFileNumbers();

} // namespace kv5
