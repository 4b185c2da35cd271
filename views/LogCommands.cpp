#include "views/LogCommands.h"

#include "app/AppState.h"
#include "core/UserInterface.h"
#include "logfiles/LogFile.h"
#include "views/LogStatistics.h"
#include "views/LogTable.h"

#include <QTextStream>

namespace kv5 {

namespace {

// Reads the file into an empty log, so that a file that cannot be opened leaves nothing to show.
bool readArgument(AppState& state, UserInterface& ui, const QString& file) {
    state.log.RecordCount = 0;
    return ReadLogFile(state.log, ui, LogFileArgumentPath(state.dataFolder(), file));
}

} // namespace

int RunTableCommand(AppState& state, UserInterface& ui, const QString& file, QTextStream& out) {
    const bool read = readArgument(state, ui, file);
    if (!read && state.log.RecordCount == 0) return 1;
    for (const QString& line : TableLines(state.log, state.settings, QLatin1Char('\t'))) out << line << '\n';
    out.flush();
    return read ? 0 : 1;
}

int RunInfoCommand(AppState& state, UserInterface& ui, const QString& file, QTextStream& out) {
    const bool read = readArgument(state, ui, file);
    if (!read && state.log.RecordCount == 0) return 1;
    LogExtremes extremes;
    const bool computed = ComputeExtremes(state.log, state.settings, extremes, ui);
    if (!computed)
        ui.error(QStringLiteral("RunInfoCommand"),
                 QStringLiteral("the dew point of some records cannot be computed; the Dew line leaves them out"));
    QString text = LogInfoText(state.log, state.settings, extremes);
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    if (!text.endsWith(QLatin1Char('\n'))) text += QLatin1Char('\n');
    out << text;
    out.flush();
    return read && computed ? 0 : 1;
}

} // namespace kv5
