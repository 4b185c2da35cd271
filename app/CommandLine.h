// The kv5 command line: the same code as the windows, through the console's side of the
// user-interface seam, without a display.
#pragma once

#include <QString>
#include <QStringList>

class QCommandLineParser;

namespace kv5 {

struct AppState;
class UserInterface;

// The subcommand of an argument list (the first argument that is neither an option nor an
// option's value), or empty text when the program is to start its windows.
QString CommandOf(const QStringList& arguments);

// Adds the options the window takes (--home, --port, --simulate and --bench-startup) to parser;
// the commands' options come from the same list.
void AddWindowOptions(QCommandLineParser& parser);

// True when the arguments ask for the help or the version.
bool WantsHelp(const QStringList& arguments);

// The arguments with a bare "--simulate" given its default kind, "--simulate=vantorp".
QStringList WithSimulateKind(const QStringList& arguments);

// A command's standard error carries only the program's own messages: Qt's warnings (such as
// the one about XDG_RUNTIME_DIR under cron or sudo) are left out, its critical and fatal
// messages still shown. Call it before the application object is made.
void KeepStandardErrorForOwnMessages();

// Runs a subcommand and gives the program's exit status. Output that cannot be written (a full
// disk, a closed pipe) ends it with status 1 and "kv5: cannot write the output: " and the cause.
int RunCommandLine(const QStringList& arguments);

} // namespace kv5
