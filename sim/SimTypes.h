// The simulated logger's configuration and the faults it can be told to commit.
#pragma once

#include <QByteArray>
#include <QString>

namespace kv5::sim {

// The sensor plugged into the logger; it decides the record layout of the log.
enum class Family { Vantorp, Q7R };

enum class Fault {
    None,
    NoReply,
    ShortReply, // only the first half of the reply
    SlowReply,  // the whole reply, but only after the command's time limit (2.0 s; 0.2 s for "P") + 300 ms
    WrongEcho,  // the first echoed character changed
    OneLeadingZero,  // one 0x00 byte before the reply
    TwoLeadingZeros, // two 0x00 bytes before the reply
    CorruptHead,     // one byte of "GETLOG  !@#$" changed (the '@'); on other replies the first byte
    CorruptTail, // one byte of "%^&*" CR LF changed (the final LF becomes CR); on other replies the last byte
    Block275,    // the reply one byte short
    Block277,    // one extra byte (LF) after the reply
    HangUp       // write about half of the reply, then close the line: the device vanishes
};

struct FaultRule {
    QByteArray command; // "P", "GETSN", "GETLOG", "SETINT", ..., or "*" for any command
    int block = -1;     // for GETLOG: the block number it applies to, -1 = any block
    Fault fault = Fault::None;
    int times = -1; // how many matching requests it applies to; -1 = always
};

struct Options {
    Family family = Family::Vantorp;
    QByteArray revision = "PKV5r3fix"; // reply text of "P", blank-padded or cut to 19 characters before CR LF
    char battery = '5';                // '5', '3', '2', 'L' (any byte allowed)
    int memorySizeMark = 1; // memory address 123: 0 = log in blocks 1..255 without 128, else 1..127
    int records = 500;      // records in the generated log, clamped to what the memory holds
    QByteArray serialNumber = "1234";
    QByteArray description = "Kiln 3 north stack";
    QByteArray startTime = "2605210800"; // YYMMDDhhmm
    int intervalTicks = 10;
    // Alarm limits as the logger stores them (°C, %).
    double tempHigh = 60, tempLow = 5, rhHigh = 90, rhLow = 20, emcHigh = 18, emcLow = 6;
    bool holdAlarms = false, beep = false;
    bool paced = false;  // 9600 baud, 10 bits a byte, both directions
    unsigned seed = 1;   // for the generated log
    int sensorCode = -1; // -1 = from the family (40 or 80); other values = a wrong or missing sensor
    // Raw log memory: record words as the logger stores them (4 bytes per Vantorp record, 8 per Q7R
    // record). When not empty it replaces the generated log; it is cut to whole words and to the memory.
    QByteArray log;
};

// Short names of the faults, as the kv5-sim command line takes them ("no-reply", "block275", ...).
QString faultName(Fault fault);
// Accepts the short names and the enumerator names, case-insensitively ("hang-up", "HangUp").
bool faultFromName(const QString& name, Fault* fault);

} // namespace kv5::sim
