// The push buttons of the program's windows: named for the tests and the guide's pictures, and
// never the dialog's default, so that Enter in a text box presses none of them.
#pragma once

#include "views/LogView.h"

#include <QLatin1String>
#include <QPushButton>

#include <functional>

namespace kv5 {

inline QPushButton* MakeButton(QWidget* parent, const char* name, const QString& caption) {
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(QLatin1String(name));
    button->setAutoDefault(false);
    return button;
}

// Open, Print and Delete of the table and chart windows: Open lets the user choose another log
// over window and then reloads, Print runs the window's print handler when it has one, Delete
// removes the file shown and reloads when it did. actions and print are the window's own.
inline void ConnectLogFileButtons(QWidget* window, QPushButton* open, QPushButton* print, QPushButton* remove,
                                  const LogFileActions& actions, const std::function<void()>& printHandler,
                                  const std::function<void()>& reload) {
    QObject::connect(open, &QPushButton::clicked, window, [window, &actions, reload] {
        if (actions.open) actions.open(window);
        reload();
    });
    // A button with a menu (Print... and Report...) runs what the menu chooses.
    QObject::connect(print, &QPushButton::clicked, window, [&printHandler, print] {
        if (printHandler && print->menu() == nullptr) printHandler();
    });
    QObject::connect(remove, &QPushButton::clicked, window, [&actions, reload] {
        if (actions.remove && actions.remove()) reload();
    });
}

} // namespace kv5
