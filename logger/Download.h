// Fetching the stored log block by block and decoding the blocks of both sensor families
// into time-stamped records of the in-memory log.
#pragma once

#include <QByteArray>

namespace kv5 {

struct AppState;
class SerialLink;
class UserInterface;

// Appends the records of one Vantorp block (one 4-byte word a record) to the in-memory log.
void ParseLog(const QByteArray& payload, AppState& state, UserInterface& ui);
// Appends the records of one Q7R block (two words a record), species-corrected.
void ParseQ7RLog(const QByteArray& payload, AppState& state, UserInterface& ui);

// Downloads the log: blocks 1 to 127 when the memory-size mark is not 0, else 1 to 255
// without 128; progress in the status line; stops after the first block that is not full.
// A failed block leaves RecordCount at 0. `reply` holds the last payload (or "COMM ERROR").
void GetVantorpLog(SerialLink& link, AppState& state, QByteArray& reply, int memorySizeMark);
void GetQ7RLog(SerialLink& link, AppState& state, QByteArray& reply, int memorySizeMark);

} // namespace kv5
