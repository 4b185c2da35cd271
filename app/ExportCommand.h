// `kv5 export`: the command line's way to a workbook.
#pragma once

#include "export/OpenFormats.h"

#include <QString>

#include <optional>

class QTextStream;

namespace kv5 {

struct AppState;
class UserInterface;

// `kv5 export FILE [-o OUT.xlsx]`: writes the workbook of FILE (a file of DATA when it is there
// and the name has no folder, else the path as given) to out, or, when out is empty, to a new
// temporary folder under the log's name with ".xlsx"; does not open it. Prints the workbook's
// absolute path and a line end to output. Returns 0, or 1 when no workbook was written (the
// cause was reported through ui).
// With a format (`--csv`, `--json`): writes that format of FILE to out, or, when out is empty,
// to standard output, and prints nothing else.
int RunExportCommand(const AppState& state, UserInterface& ui, const QString& file, const QString& out,
                     QTextStream& output, std::optional<OpenFormat> format = std::nullopt);

} // namespace kv5
