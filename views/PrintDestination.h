// Where a printout goes: a PDF file the command line names, the default printer, or, with no
// printer installed, a PDF file the user agrees to.
#pragma once

#include "views/LogView.h"

#include <QString>

namespace kv5 {

class UserInterface;

// Where a printout goes.
struct PrintTarget {
    // A PDF file to write instead of printing (the command line); empty: the default printer.
    QString pdfFile;
    // The folder of the PDF file offered when no printer is installed; empty: the user's
    // Documents folder when it exists, else the program folder.
    QString fallbackFolder;
};

// The destination chosen for one printout.
struct PrintDestination {
    // The PDF file to write; empty: the default printer.
    QString pdfPath;
    // The user is told where the PDF file went: it was offered for want of a printer.
    bool announce = false;
};

// Chooses the destination of a printout of kind ("table" or "chart", which names the PDF file
// offered when there is no printer). False when the user declined: nothing is printed.
bool ChoosePrintDestination(const LogView& view, UserInterface& ui, const PrintTarget& target, const QString& kind,
                            PrintDestination& destination);

} // namespace kv5
