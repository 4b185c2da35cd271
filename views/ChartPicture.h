// The chart as a picture, for the command line: the log drawn as the chart window draws it.
#pragma once

#include "views/LogView.h"

#include <QImage>
#include <QSize>
#include <QString>

namespace kv5 {

class UserInterface;

// The picture's size from "WIDTHxHEIGHT"; empty text gives the window's own, 603 by 425. False
// for anything else and for sizes outside 460x313 to 8000x8000.
bool ParseChartSize(const QString& text, QSize& size);

// The Y range from "LOW:HIGH", two whole numbers; false for anything else. Empty text is no range.
bool ParseChartRange(const QString& text, qint32& low, qint32& high);

// What the chart window of the given size shows above its buttons: the log's chart with the Y
// axis from top to bottom after the Zoom box's adjustments, and the readout on the last record.
// A null image when there is no memory for it.
QImage DrawChartPicture(const LogView& view, UserInterface& ui, QSize size, qint32 top, qint32 bottom);

} // namespace kv5
