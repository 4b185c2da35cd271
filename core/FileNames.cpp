#include "core/FileNames.h"

namespace kv5 {

QByteArray WithoutByteOrderMark(const QByteArray& bytes) {
    return bytes.startsWith("\xEF\xBB\xBF") ? bytes.mid(3) : bytes;
}

} // namespace kv5
