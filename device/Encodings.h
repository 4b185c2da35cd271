// The logger's two-byte number forms.
// Byte texts are QByteArrays: every element is one byte, the first element is sent first.
#pragma once

#include <QByteArray>

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

} // namespace kv5
