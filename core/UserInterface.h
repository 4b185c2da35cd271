// The one seam through which core code talks to the user: message boxes, questions,
// input boxes and the status line. Implemented by the windows, the console and the tests'
// scripted double. What only the main window cares about is core/DeviceObserver.h.
#pragma once

#include <QString>

namespace kv5 {

// The program's title, carried by every message box that names no title of its own.
inline const QString ProgramTitle = QStringLiteral("Quorvane KV5");
// Title of every question.
inline const QString ConfirmTitle = QStringLiteral("Confirm");

enum class Icon { None, Stop, Exclamation, Question, Information };
enum class Buttons { Ok, OkCancel, YesNo };
enum class Answer { Ok, Cancel, Yes, No };

struct Message {
    QString text;
    Icon icon = Icon::None;
    Buttons buttons = Buttons::Ok;
    QString title = ProgramTitle;
    Answer defaultAnswer = Answer::Ok;
    // More to read behind the box's "Show Details..." button; none when empty.
    QString detailedText = {};
};

class UserInterface {
public:
    virtual ~UserInterface() = default;

    // A message box; returns the button the user chose (Ok for a plain box).
    virtual Answer message(const Message& message) = 0;

    // An input box pre-filled with value; false when the user cancels.
    virtual bool input(const QString& prompt, const QString& title, QString& value) = 0;

    // The main window's status line `txtStatus`.
    virtual void status(const QString& text) = 0;

    // Convenience forms of message().
    void inform(const QString& text, Icon icon = Icon::None) { message({text, icon}); }
    // "ERROR: " + procedure + ": " + description, a plain box with an OK button.
    void error(const QString& procedure, const QString& description) {
        message({QStringLiteral("ERROR: %1: %2").arg(procedure, description)});
    }
};

} // namespace kv5
