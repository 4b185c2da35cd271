#include "app/ExportCommand.h"

#include "app/AppState.h"
#include "core/SystemError.h"
#include "export/ExcelExport.h"

#include <QFileInfo>
#include <QTextStream>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace kv5 {

int RunExportCommand(const AppState& state, UserInterface& ui, const QString& file, const QString& out,
                     QTextStream& output, std::optional<OpenFormat> format) {
    const QString logPath = LogFileArgumentPath(state.dataFolder(), file);
    if (format) {
        if (!out.isEmpty()) return WriteOpenFormatFile(*format, state.settings, ui, logPath, out) ? 0 : 1;
        output.flush();
        const auto toStandardOutput = [](const QByteArray& bytes, QString& why) {
            if (std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout) == size_t(bytes.size())) return true;
            why = QStringLiteral("cannot write to standard output: %1").arg(systemError(errno));
            return false;
        };
        if (!WriteOpenFormat(*format, state.settings, ui, logPath, toStandardOutput)) return 1;
        if (std::fflush(stdout) != 0) {
            std::fprintf(stderr, "kv5: cannot write to standard output: %s\n", std::strerror(errno));
            return 1;
        }
        return 0;
    }
    QString workbook = out.isEmpty() ? QString() : QFileInfo(out).absoluteFilePath();
    const bool written = out.isEmpty() ? WriteNewExportWorkbook(state.settings, ui, logPath, workbook)
                                       : WriteLogWorkbook(state.settings, ui, logPath, workbook);
    if (!written) return 1;
    output << workbook << '\n';
    output.flush();
    return 0;
}

} // namespace kv5
