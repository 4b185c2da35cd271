// The bodies of the fuzz targets: each takes one input of arbitrary bytes, runs it through the
// program's own readers and checks, and returns what went wrong (empty when every property
// held). The libFuzzer programs abort on a non-empty result; the regression test runs the
// committed inputs through the same functions.
#pragma once

#include <QByteArray>
#include <QString>

#include <span>

namespace kv5::fuzz {

// The log file reader: the input is the content of a log file.
QString LogFileInput(const QByteArray& input);
// The species list reader and the correction it feeds: the input is the content of ABLIST.TXT.
QString SpeciesInput(const QByteArray& input);
// The settings file: section NUL key NUL value NUL file content; without three NUL bytes the
// whole input is the file content and a fixed setting is written.
QString IniInput(const QByteArray& input);
// The block decoders: a byte of options (bit 0 Q7R, bit 1 Celsius, bit 2 extended firmware,
// bit 3 a nearly full log, bits 4 to 7 the species codes), two bytes of interval, then the
// block payload.
QString BlockInput(const QByteArray& input);
// The reply checks: a byte choosing the check, a byte choosing the command, then the reply.
QString ReplyInput(const QByteArray& input);

struct Target {
    const char* name; // the fuzz program and the folder of its corpus and regressions
    QString (*run)(const QByteArray& input);
};

// Every target, by name.
std::span<const Target> Targets();
// The target of that name, or nullptr.
const Target* FindTarget(const QString& name);

} // namespace kv5::fuzz
