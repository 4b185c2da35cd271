// Log text files in the DATA folder: one line per record, fields separated by commas, numbers
// "0.0" with a point whatever the user's locale, every line ended by CR LF. A Vantorp line
// holds time, temperature and RH; a Q7R line time, temperature, MC1, MC2, MC3 and RH.
#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

namespace kv5 {

struct LogContext;
struct LogData;
class UserInterface;

// The folder of the log files, in the program folder.
inline const QString DataFolderName = QStringLiteral("DATA");

// Returns the part of line before its first comma and removes it and the comma from line;
// without a comma, returns the whole line and leaves it empty.
QString NextCommaField(QString& line);


// text with every character that cannot stand in a file name ("/", "\", NUL and the other
// control characters) replaced by "_"; all other characters stay as they are.
QString SafeFileNamePart(const QString& text);

// "SN" + serial number + "-" + the start time as 2014-05-21-13-45, both made safe for a file
// name. A start time text shorter than ten characters is reported by FormatTimeISO.
QString LogFileBaseName(const LogData& log, UserInterface& ui);
// base + "-" + the sequence number in at least two digits (01 .. 99, 100, ...) + ".txt".
QString LogFileName(const QString& base, int sequence);

// The whole content of the log file for the in-memory log: its records in order, the layout
// chosen by SensorType, every line ended by CR LF.
QByteArray LogFileContent(const LogData& log);

// Writes the log to a new file in the DATA folder dataFolder (created when it is not there) and
// returns its name without folder, the
// smallest free sequence number of its base name. The content goes to a hidden temporary
// file that is flushed to disk and then published under its name by an operation that fails
// when the name exists (never overwriting; the next number is then tried), on a file system
// without such an operation or hard links by a copy into a file created only if the name is
// free (see PendingFile). A failure is
// reported as "ERROR: SaveLogFile: " with the cause, leaves no file behind and gives "".
// The log is never changed.
// Beside it goes its context file (ContextFileName) with context, its record count and the
// SHA-256 of the log file's bytes, published the same way; a sequence number is taken only when
// neither name exists. Without a context the log's header values and the unit of settings are
// not known here, so only the names are kept free. A context that cannot be saved leaves the
// log saved and says so.
QString SaveLogFile(const LogData& log, const QString& dataFolder, UserInterface& ui,
                    const LogContext* context = nullptr);

// Creates the DATA folder in the program folder when none exists. A failure is reported as
// "ERROR: MakeFolders.0: " and the reason; the program runs on without it.
void MakeFolders(const QString& programFolder, UserInterface& ui);

// A log file given on the command line: the file of that name in DATA when it is there (and
// the name has no folder), else the path as given.
QString LogFileArgumentPath(const QString& dataFolder, const QString& file);

// The one reader of log files. Replaces the records of log by the file at path: RecordCount 0
// and SensorType 40, then one record per line until the end or the first empty line;
// SensorType 80 when the first line has a fourth field. Header values stay. The file is read a
// line at a time and no further than needed, so its size costs no memory; a line that is not
// UTF-8 is taken as Latin-1. What is not a plain file (a folder, pipe, device or socket) is
// refused without waiting. A file that cannot be read, a read failure, a line longer than any
// log line (4096 bytes) or a 17001st record gives false with the cause in why; the records read
// before stay.
bool ReadLogRecords(LogData& log, const QString& path, QString& why);
// The same, a failure reported as "ERROR: OpenLogFile: " with the cause; then the context file
// beside it into the log's Context (nothing without one). A context file that cannot be read is
// reported the same way and left out; the records still count as read.
bool ReadLogFile(LogData& log, UserInterface& ui, const QString& path);

// The same for something made from a log (what: "export", "report"), failures reported under
// procedure's name. A log without records is false too, after "The log file NAME is empty:
// there is nothing to WHAT."
bool ReadLogForOutput(LogData& log, UserInterface& ui, const QString& path, const QString& procedure,
                      const QString& what);

// Reads the context file beside the log file at logPath into context; nothing when there is
// none. A context file that cannot be read gives false with the cause in why.
bool ReadLogContext(const QString& logPath, std::optional<LogContext>& context, QString& why);

// Deletes the file of that name from the DATA folder dataFolder, and its context file when it
// has one. On failure returns false with the cause in why.
bool DeleteLogFile(const QString& dataFolder, const QString& name, QString& why);

// Asks "Do you want to delete <name> ?" and, on Yes, deletes the file of that name from the DATA
// folder dataFolder. A failed delete shows "Delete Error: " and the cause. Returns true when the
// file was deleted.
bool ConfirmDeleteLogFile(const QString& dataFolder, const QString& name, UserInterface& ui);

// The Delete button of the table and chart windows: "Select a file first." when no file was
// chosen in the library; else ConfirmDeleteLogFile of it, and when that deleted it, empties
// SelectedLogFile and the log (RecordCount 0, SensorType 40, no context). Returns true when the log was
// emptied (the view then loads again).
bool DeleteSelectedLogFile(LogData& log, const QString& dataFolder, UserInterface& ui);

} // namespace kv5
