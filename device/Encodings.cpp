#include "device/Encodings.h"

#include "core/UserInterface.h"

#include <cmath>

namespace kv5 {

double FpToDbl(const QByteArray& bytes, UserInterface& ui) {
    if (bytes.size() < 2) {
        ui.error(QStringLiteral("FpToDbl"),
                 QStringLiteral("a fixed-point value needs two bytes, got %1").arg(bytes.size()));
        return 0.0;
    }
    return fixedPointValue(static_cast<unsigned char>(bytes[0]), static_cast<unsigned char>(bytes[1]));
}

QByteArray DblToFp(double value, UserInterface& ui) {
    if (std::isnan(value)) {
        ui.error(QStringLiteral("DblToFp"), QStringLiteral("the value is not a number"));
        return QByteArray(2, '\0');
    }
    if (value < -127.0) value = -127.0;
    if (value > 127.0) value = 127.0;
    // The default floating-point rounding mode rounds halves to the even neighbour.
    const auto scaled = static_cast<qint16>(std::nearbyint(value * 256.0));
    const auto bits = static_cast<quint16>(scaled);
    QByteArray bytes(2, '\0');
    bytes[0] = static_cast<char>(bits >> 8);
    bytes[1] = static_cast<char>(bits & 0xFF);
    return bytes;
}

qint32 U16ToLng(const QByteArray& bytes, UserInterface& ui) {
    if (bytes.size() < 2) {
        ui.error(QStringLiteral("U16ToLng"),
                 QStringLiteral("a 16-bit count needs two bytes, got %1").arg(bytes.size()));
        return 0;
    }
    return static_cast<unsigned char>(bytes[0]) * 256 + static_cast<unsigned char>(bytes[1]);
}

QByteArray LngToU16(qint32 value, UserInterface& ui) {
    if (value < 0 || value > 65535) {
        ui.error(QStringLiteral("LngToU16"), QStringLiteral("%1 is outside 0 to 65535").arg(value));
        return {};
    }
    QByteArray bytes(2, '\0');
    bytes[0] = static_cast<char>(value / 256);
    bytes[1] = static_cast<char>(value % 256);
    return bytes;
}

} // namespace kv5
