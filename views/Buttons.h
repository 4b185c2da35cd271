// The push buttons of the program's windows: named for the tests and the guide's pictures, and
// never the dialog's default, so that Enter in a text box presses none of them.
#pragma once

#include "views/LogView.h"

#include <QAction>
#include <QLatin1String>
#include <QMenu>
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

// Print of the table and chart windows with a report among the window's actions: the button
// offers "Print..." and "Report..." in a small menu (mnuPrint, mnuReport), made once.
inline void AddPrintMenu(QWidget* window, QPushButton* print, const LogFileActions& actions,
                         const std::function<void()>& printHandler, QAction*& mnuPrint, QAction*& mnuReport) {
    if (!printHandler || !actions.report || print->menu() != nullptr) return;
    auto* menu = new QMenu(print);
    mnuPrint = menu->addAction(QStringLiteral("Print..."), window, [&printHandler] { printHandler(); });
    mnuReport = menu->addAction(QStringLiteral("Report..."), window, [window, &actions] { actions.report(window); });
    mnuPrint->setObjectName(QStringLiteral("mnuPrint"));
    mnuReport->setObjectName(QStringLiteral("mnuReport"));
    print->setMenu(menu);
}

} // namespace kv5
