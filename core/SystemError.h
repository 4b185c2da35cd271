// The one way a system error code becomes text for a message.
#pragma once

#include <QString>

#include <cstring>

namespace kv5 {

// The C library's text for error, in the locale's encoding, so that messages speak the user's language.
inline QString systemError(int error) { return QString::fromLocal8Bit(std::strerror(error)); }

} // namespace kv5
