// The push buttons of the program's windows: named for the tests and the guide's pictures, and
// never the dialog's default, so that Enter in a text box presses none of them.
#pragma once

#include <QLatin1String>
#include <QPushButton>

namespace kv5 {

inline QPushButton* MakeButton(QWidget* parent, const char* name, const QString& caption) {
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(QLatin1String(name));
    button->setAutoDefault(false);
    return button;
}

} // namespace kv5
