// The print system's side of printing: a finished file handed to a print queue as one job.
#pragma once

#include <QString>

namespace kv5 {

// Sends the file at path to the print queue printerName as one job titled with the program's
// title. False with why when the print system does not take it.
bool SendToPrintQueue(const QString& printerName, const QString& path, QString& why);

} // namespace kv5
