// Text files as the program reads them.
#pragma once

#include <QByteArray>

namespace kv5 {

// A UTF-8 byte-order mark at the start of a text file, as some editors write it, is no part
// of the file's text: the bytes without it.
QByteArray WithoutByteOrderMark(const QByteArray& bytes);

} // namespace kv5
