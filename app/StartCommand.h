// `kv5 start`: what "Start New Log" does, from a script. Nothing is asked: the options give
// what the window's boxes would hold, and what is not given keeps what the logger holds.
#pragma once

#include <QString>

#include <functional>
#include <optional>

class QCommandLineParser;
class QTextStream;

namespace kv5 {

struct AppState;
struct MainWindowValues;
class ConsoleUi;

// A logging interval given as a whole number of seconds, minutes or hours ("30s", "5m", "1h"),
// in seconds; nothing for any other text.
std::optional<int> IntervalSeconds(const QString& text);

// Reads the logger's settings, puts the options given into them, and starts a new log: unsaved
// records are read and saved first unless --discard-unsaved says otherwise. Prints the settings
// read back with describe, and the saved file's path. 0 on success; 1 on a failure, whose
// message says whether the log was cleared.
int RunStartCommand(AppState& state, ConsoleUi& ui, const QCommandLineParser& parser, QTextStream& out,
                    const std::function<void(const MainWindowValues&)>& describe);

} // namespace kv5
