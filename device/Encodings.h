// The logger's two-byte number forms and the small number routines shared by the program.
// Byte texts are QByteArrays: every element is one byte, the first element is sent first.
#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

namespace kv5 {

class UserInterface;

// Signed fixed point: big-endian two's-complement 16-bit integer divided by 256.
inline double fixedPointValue(unsigned char high, unsigned char low) {
    return static_cast<qint16>(static_cast<quint16>((high << 8) | low)) / 256.0;
}

// Decodes the first two bytes as fixed point; fewer than two bytes report and give 0.
double FpToDbl(const QByteArray& bytes, UserInterface& ui);
// Encodes value clamped to -127..127, rounded half to even; a value that is no number reports
// and gives two 0x00 bytes.
QByteArray DblToFp(double value, UserInterface& ui);
// Big-endian unsigned 16-bit count; fewer than two bytes report and give 0.
qint32 U16ToLng(const QByteArray& bytes, UserInterface& ui);
// Encodes 0..65535; anything else reports and gives the empty text.
QByteArray LngToU16(qint32 value, UserInterface& ui);
// Limits a percentage to 0..99.9.
double ClampPercent(double value);
// Text in the user's locale to a number; 0 for anything that is no number. Never reports.
double StrToDbl(const QString& text);
// Text the user typed to a number: the user's decimal separator and "." are both taken, digit
// groups are not. Nothing for empty text, text that is no number, or an infinite value.
std::optional<double> ReadNumber(const QString& text);
// As StrToDbl, rounded to a whole number with halves to even; 0 when out of the 32-bit range.
qint32 StrToLng(const QString& text);

// A number in the pattern "0.0": one decimal, halves away from zero on the decimal value
// (72.05 gives 72.1 although its binary double lies just below), no digit grouping. The
// separator is the user's, or "." for text that goes into a log file.
enum class Separator { User, Point };
QString NumberText(double value, Separator separator = Separator::User);

} // namespace kv5
