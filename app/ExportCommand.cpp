#include "app/ExportCommand.h"

#include "app/AppState.h"
#include "export/ExcelExport.h"

#include <QFileInfo>
#include <QTextStream>

namespace kv5 {

int RunExportCommand(const AppState& state, UserInterface& ui, const QString& file, const QString& out,
                     QTextStream& output) {
    const QString logPath = LogFileArgumentPath(state.dataFolder(), file);
    QString workbook = out.isEmpty() ? QString() : QFileInfo(out).absoluteFilePath();
    const bool written = out.isEmpty() ? WriteNewExportWorkbook(state.settings, ui, logPath, workbook)
                                       : WriteLogWorkbook(state.settings, ui, logPath, workbook);
    if (!written) return 1;
    output << workbook << '\n';
    output.flush();
    return 0;
}

} // namespace kv5
