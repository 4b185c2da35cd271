// The views of the in-memory log as the program hands them out: what a view gets of the
// program-wide state, and the command line's table, info, chart and print commands.
#pragma once

#include "core/LogContext.h"
#include "views/LogView.h"
#include "views/Report.h"

#include <QString>

#include <functional>
#include <map>
#include <optional>

class QTextStream;

namespace kv5 {

struct AppState;
class UserInterface;

// The log, the settings, the trace colours and the program folder of state, for a view.
LogView LogViewOf(const AppState& state);

// The table and chart windows' Open (the log library, OpenLogFile) and Delete
// (DeleteSelectedLogFile) on state.
LogFileActions LogFileActionsOf(AppState& state, UserInterface& ui);

// The table and chart windows' Report: the report of the log file chosen in the library, to the
// PDF file the user names (ask, else a save dialog over parent; empty text makes nothing). Without
// a chosen file the user is told to open one first.
using SaveNameQuestion = std::function<QString(const QString& suggested)>;
void ReportSelectedLogFile(const AppState& state, UserInterface& ui, QWidget* parent,
                           const SaveNameQuestion& ask = {});

// `kv5 table FILE`: reads the file (a name in DATA or a path) into the in-memory log and prints
// the table as the window shows it under the current settings: the header line, then one line
// per record, cells separated by tabs. Returns 0, or 1 when the file could not be read
// completely (the failure is reported through ui; the records read are still printed).
int RunTableCommand(AppState& state, UserInterface& ui, const QString& file, QTextStream& out);

// What `kv5 info` is asked for besides the file: the summary as JSON, limits by quantity key
// that replace those of the log's context, and the target moisture content.
struct InfoRequest {
    bool json = false;
    std::map<QString, AlarmLimits> limits;
    std::optional<double> targetMc;
};

// One --limit NAME=LOW:HIGH into request; either side may be empty (no limit on that side).
// False with the cause in why for an unknown name or a side that is no number.
bool ParseLimitOption(const QString& text, InfoRequest& request, QString& why);

// `kv5 info FILE`: reads the file and prints the "Log Info" text, each CR shown as a line end,
// then a blank line and the summary as text; with json only the summary as one JSON object.
// Returns as RunTableCommand.
int RunInfoCommand(AppState& state, UserInterface& ui, const QString& file, QTextStream& out,
                   const InfoRequest& request = {});

// `kv5 chart FILE -o OUT.png [--size WIDTHxHEIGHT] [--range LOW:HIGH]`: reads the file and
// writes what the chart window shows above its buttons, with the readout on the last record, to
// outPng (written whole or not at all, as PDF files are: see Print.h). The Y axis goes from LOW to HIGH after the Zoom box's
// adjustments; without a range from 0 to 100. Returns 0; 1 when the file could not be read
// completely (the records read are still drawn) or the picture could not be written; 2 for a
// size, range or output name that cannot be used. Failures are reported through ui.
int RunChartCommand(AppState& state, UserInterface& ui, const QString& file, const QString& outPng,
                    const QString& size, const QString& range = {});

// `kv5 print FILE --pdf OUT.pdf [--chart] [--description TEXT]`: reads the file and writes its
// table printout, or with chart its chart printout, to pdf (written whole or not at all). The
// title is description, or the log file's name when description is a null text. Nothing is
// asked. Returns 0; 1 when the file could not be read completely (the records read are still
// printed) or the PDF could not be written; 2 without an output name.
int RunPrintCommand(AppState& state, UserInterface& ui, const QString& file, const QString& pdf, bool chart,
                    const QString& description);

// `kv5 report FILE -o OUT.pdf [--limit NAME=LOW:HIGH]... [--target-mc X] [--site TEXT]
// [--operator TEXT]`: writes the log's report (WriteLogReport) on the paper of the user's
// locale; site and operator replace the settings' when given. Returns 0, 1 when no report was
// written (the cause was reported through ui), 2 without an output name.
struct ReportRequest {
    InfoRequest summary;
    std::optional<QString> site;
    std::optional<QString> operatorName;
};
int RunReportCommand(AppState& state, UserInterface& ui, const QString& file, const QString& pdf,
                     const ReportRequest& request);

// The report's options of state's settings and the user's locale, made now.
ReportOptions ReportOptionsOfState(const AppState& state);

} // namespace kv5
