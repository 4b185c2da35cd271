// What the table and chart windows and their printouts work from: the in-memory log with the
// settings it is shown under, and what the windows' Open and Delete buttons do. The owner of the
// log fills them in; a view only reads the log.
#pragma once

#include "core/LogData.h"
#include "core/Settings.h"

#include <QString>

#include <functional>

class QWidget;

namespace kv5 {

struct LogView {
    const LogData& log;
    const Settings& settings;
    // Folder of the program's files, where a printout goes as a PDF file when no printer is
    // installed and the user has no Documents folder.
    QString ProgramFolder;
};

// The windows' Open and Delete buttons (and the Print button's report): open lets the user choose another log over the window
// (the in-memory log may change); remove deletes the file of the log shown and returns true
// when it did. A missing action does nothing.
struct LogFileActions {
    std::function<void(QWidget* parent)> open;
    std::function<bool()> remove;
    // The report of the log file shown, offered beside printing by the Print button.
    std::function<void(QWidget* parent)> report;
};

} // namespace kv5
