#include "sim/RecordCodec.h"

#include <algorithm>
#include <cmath>

namespace kv5::sim {

namespace {

QByteArray twoBytes(int raw) {
    QByteArray bytes(2, '\0');
    bytes[0] = static_cast<char>((raw >> 8) & 0xFF);
    bytes[1] = static_cast<char>(raw & 0xFF);
    return bytes;
}

// A 16-bit fixed-point pattern whose low four bits are zero: the value in steps of 1/16.
int sixteenthsPattern(double value) {
    if (std::isnan(value)) value = 0;
    const double steps = std::clamp(std::nearbyint(value * 16.0), -2048.0, 2047.0);
    return (static_cast<int>(steps) * 16) & 0xFFFF;
}

} // namespace

QByteArray encodeFixedPoint(double value) {
    if (std::isnan(value)) return twoBytes(0);
    value = std::clamp(value, -127.0, 127.0);
    // nearbyint rounds in the default mode, to nearest with halves to even.
    return twoBytes(static_cast<int>(std::nearbyint(value * 256.0)) & 0xFFFF);
}

QByteArray encodeCount16(int value) {
    return twoBytes(std::clamp(value, 0, 65535));
}

QByteArray encodeVantorpRecord(double temperature, double humidity) {
    return encodeFixedPoint(temperature) + encodeFixedPoint(humidity);
}

QByteArray encodeQ7RRecord(double mc1, double mc2, double mc3, double humidity, double temperature) {
    const int m1 = sixteenthsPattern(mc1);
    const int m2 = sixteenthsPattern(mc2);
    const int m3 = sixteenthsPattern(mc3);
    const int rh = sixteenthsPattern(humidity);
    const int t = sixteenthsPattern(temperature);
    QByteArray record(kQ7RRecordSize, '\0');
    record[0] = static_cast<char>(m1 >> 8);
    record[1] = static_cast<char>((m1 & 0xF0) | ((t >> 12) & 0x0F));
    record[2] = static_cast<char>(m2 >> 8);
    record[3] = static_cast<char>((m2 & 0xF0) | ((t >> 8) & 0x0F));
    record[4] = static_cast<char>(m3 >> 8);
    record[5] = static_cast<char>((m3 & 0xF0) | ((t >> 4) & 0x0F));
    record[6] = static_cast<char>(rh >> 8);
    record[7] = static_cast<char>(rh & 0xF0);
    return record;
}

} // namespace kv5::sim
