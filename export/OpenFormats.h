// A saved log file as CSV or JSON, for programs other than a spreadsheet: a header of each
// column's key and unit, times in ISO 8601 with the offset from UTC, values with one decimal
// and a point, the same bytes under every locale. Written record by record, never held whole.
#pragma once

#include <QByteArray>
#include <QString>

#include <functional>

namespace kv5 {

struct Settings;
class UserInterface;

enum class OpenFormat { Csv, Json };

// Takes the next piece of the output; false with the cause in why when it cannot.
using ByteSink = std::function<bool(const QByteArray& bytes, QString& why)>;

// Writes the log file at logPath, read by the one log-file reader with its context file, to
// sink in format:
// - CSV (RFC 4180): UTF-8 without a byte-order mark, lines ended by CR LF; a header row
//   "time,temperature_C,rh_percent,..." and one row per record. Derived columns (gpp, emc,
//   dew_point) as far as the settings show them; a value that cannot be computed is an empty
//   field.
// - JSON: {"log": the context (or what the file tells), "columns": [{"name", "unit"}...],
//   "records": [[time, value, ...]...]}, null where a value cannot be computed.
// The times are the logger's clock (the context's start plus the interval per record, else the
// file's time stamps) with the context's offset from UTC, or without a context the computer's
// offset at the first record. The unit is the context's, else the settings'. A failure is
// reported as "ERROR: ExportCsv: " or "ERROR: ExportJson: " with the cause; an empty log is
// told there is nothing to export. Returns true when everything was written.
bool WriteOpenFormat(OpenFormat format, const Settings& settings, UserInterface& ui, const QString& logPath,
                     const ByteSink& sink);

// The same into the file outPath, which is replaced only once the whole output is written.
bool WriteOpenFormatFile(OpenFormat format, const Settings& settings, UserInterface& ui, const QString& logPath,
                         const QString& outPath);

// ".csv" or ".json".
QString OpenFormatSuffix(OpenFormat format);

} // namespace kv5
