// The command line's chart: a log file drawn as the chart window draws it, into a PNG file.
#pragma once

#include <QSize>
#include <QString>

namespace kv5 {

struct AppState;
class UserInterface;

// The picture's size from "WIDTHxHEIGHT"; empty text gives the window's own, 603 by 425. False
// for anything else and for sizes outside 460x313 to 8000x8000.
bool ParseChartSize(const QString& text, QSize& size);

// The Y range from "LOW:HIGH", two whole numbers; false for anything else. Empty text is no range.
bool ParseChartRange(const QString& text, qint32& low, qint32& high);

// `kv5 chart FILE -o OUT.png [--size WIDTHxHEIGHT] [--range LOW:HIGH]`: reads the file (a name in
// DATA or a path) into the in-memory log and writes what the chart window shows above its
// buttons, with the readout on the last record, to outPng (written whole or not at all). The Y
// axis goes from LOW to HIGH after the Zoom box's adjustments; without a range from 0 to 100.
// Returns 0; 1 when the file could not be read completely (the records read are still drawn) or
// the picture could not be written; 2 for a size, range or output name that cannot be used.
// Failures are reported through ui.
int RunChartCommand(AppState& state, UserInterface& ui, const QString& file, const QString& outPng,
                    const QString& size, const QString& range = {});

} // namespace kv5
