// File names and other bytes of the system (arguments, environment) as text, and back. Names
// on Linux are bytes; most are UTF-8, but a name made under a Latin-1 system, or copied from an
// old disk, is not. Such a name must still open the same file and show its own bytes in
// messages, so each byte that is not part of valid UTF-8 is kept in the text as U+DC80 + the
// byte's value (a code unit that valid UTF-8 never yields) and written back as that byte.
#pragma once

#include <QByteArray>
#include <QString>

namespace kv5 {

// UTF-8 bytes as text, every byte outside valid UTF-8 kept as U+DC80 + byte.
QString DecodeFileName(const QByteArray& bytes);
// The bytes DecodeFileName made the text from; other text as UTF-8.
QByteArray EncodeFileName(const QString& name);
// True when the text keeps bytes that are not UTF-8: Qt's file classes cannot name such a file,
// only the system calls given EncodeFileName can.
bool HoldsForeignBytes(const QString& name);

// A UTF-8 byte-order mark at the start of a text file, as some editors write it, is no part
// of the file's text: the bytes without it. An editor that adds one at every save leaves several.
QByteArray WithoutByteOrderMark(const QByteArray& bytes);

// Why the small text file at path (the settings, the species list) is not to be read whole, or
// empty when it may be: a pipe would wait for a writer, a device may never end, and a file of
// more than a mebibyte is no file the program wrote or a user edited. A missing file is not
// refused; opening it says so.
QString TextFileRefusal(const QString& path);

} // namespace kv5
