// The logger's number formats and record layouts, as the simulator writes them.
#pragma once

#include <QByteArray>

namespace kv5::sim {

// Two bytes, big-endian two's complement, value × 256; clamped to ±127, halves rounded to even.
QByteArray encodeFixedPoint(double value);
// Two bytes, big-endian unsigned, clamped to 0..65535.
QByteArray encodeCount16(int value);

constexpr int kVantorpRecordSize = 4;
constexpr int kQ7RRecordSize = 8;

// One word: temperature and relative humidity, both fixed-point.
QByteArray encodeVantorpRecord(double temperature, double humidity);
// Two words: MC1, MC2, MC3 and RH with 12 significant bits each (steps of 1/16); the temperature,
// also in steps of 1/16, is spread over the spare low nibbles of bytes 2, 4 and 6.
QByteArray encodeQ7RRecord(double mc1, double mc2, double mc3, double humidity, double temperature);

} // namespace kv5::sim
