// The command line's views of a log file, built from the same code as the windows.
#pragma once

#include <QString>

class QTextStream;

namespace kv5 {

struct AppState;
class UserInterface;

// `kv5 table FILE`: reads the file into the in-memory log and prints the table as the window
// shows it under the current settings: the header line, then one line per record, cells
// separated by tabs. Returns 0, or 1 when the file could not be read completely (the failure
// is reported through ui; the records read are still printed).
int RunTableCommand(AppState& state, UserInterface& ui, const QString& file, QTextStream& out);

// `kv5 info FILE`: reads the file and prints the "Log Info" text, each CR shown as a line end.
// Returns as RunTableCommand.
int RunInfoCommand(AppState& state, UserInterface& ui, const QString& file, QTextStream& out);

} // namespace kv5
