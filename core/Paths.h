// The one way a path is made from a folder and a name.
#pragma once

#include <QString>

namespace kv5 {

// folder + "/" + name.
inline QString ProgramFile(const QString& folder, const QString& name) { return folder + QLatin1Char('/') + name; }

} // namespace kv5
