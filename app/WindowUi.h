// The windows' side of the user-interface seam: message boxes with the exact texts, titles,
// icons, buttons and default button, input boxes, and the main window's status line.
#pragma once

#include "core/UserInterface.h"

namespace kv5 {

class frmApp;

class WindowUi : public UserInterface {
public:
    explicit WindowUi(frmApp& window) : window_(window) {}

    // A modal message box over the active window. A CR in the text starts a new line.
    Answer message(const Message& message) override;
    bool input(const QString& prompt, const QString& title, QString& value) override;
    // The text of the main window's status line `txtStatus`.
    void status(const QString& text) override;

private:
    frmApp& window_;
};

} // namespace kv5
